#include "Common/Drives/DriveLetter.h"

#include <gtest/gtest.h>

namespace {

TEST(DriveLetter, NamesTheDriveItsRootAndPathsBelowIt) {
  const DriveLetter drive(L'E');
  EXPECT_EQ(drive.Letter(), L'E');
  EXPECT_EQ(drive.Name(), L"E:");
  EXPECT_EQ(drive.Root(), L"E:\\");
  EXPECT_EQ(drive.Below(L"Korvane.exe"), L"E:\\Korvane.exe");
  EXPECT_EQ(drive.Below(L"Apps\\Korvane.exe"), L"E:\\Apps\\Korvane.exe");
  // The letter is kept as given: no case folding, whatever code unit it is.
  EXPECT_EQ(DriveLetter(L'e').Root(), L"e:\\");
  EXPECT_EQ(DriveLetter(L'\u00C4').Name(), std::wstring(L"\u00C4:"));
}

}  // namespace
