#include "Installer/Log/LogText.h"

#include <gtest/gtest.h>

namespace {

// The program never changes the C runtime's locale, so the "C" locale is
// what converts its texts.
TEST(LogText, AsciiTextIsWrittenUnchanged) {
  EXPECT_EQ(LogText(std::wstring(L"E:\\Korvane\\Korvane.exe")), "E:\\Korvane\\Korvane.exe");
  EXPECT_EQ(LogText(std::wstring()), "");
}

TEST(LogText, UnconvertibleTextIsWrittenEmpty) {
  const std::wstring cyrillic = {L'E', L':', L'\\', 0x0416, L'.', L'e', L'x', L'e'};
  EXPECT_EQ(LogText(cyrillic), "");
  const std::wstring emoji = {L'a', 0xD83D, 0xDE00};
  EXPECT_EQ(LogText(emoji), "");
}

TEST(LogText, NullTextIsWrittenAsNullptr) {
  EXPECT_EQ(LogText(static_cast<const wchar_t*>(nullptr)), "nullptr");
  EXPECT_EQ(LogText(L"abc"), "abc");
}

TEST(LogText, CodeUnitIsItsNumber) {
  EXPECT_EQ(LogCodeUnit(L'E'), 69u);
  EXPECT_EQ(LogCodeUnit(0), 0u);
}

}  // namespace
