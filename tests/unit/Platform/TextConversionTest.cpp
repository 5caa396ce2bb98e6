#include "Platform/Text/TextConversion.h"

#include <gtest/gtest.h>

namespace {

using Platform::Utf16ToUtf8;
using Platform::Utf8ToUtf16;

TEST(TextConversion, RoundTripsEveryPlane) {
  const std::wstring text = {L'K', 0x00E9, 0x0416, 0x65E5, 0xD83D, 0xDE00};
  const std::string utf8 = "K\xC3\xA9\xD0\x96\xE6\x97\xA5\xF0\x9F\x98\x80";
  EXPECT_EQ(Utf16ToUtf8(text), utf8);
  EXPECT_EQ(Utf8ToUtf16(utf8), text);
}

TEST(TextConversion, MalformedUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), (std::wstring{L'a', 0xFFFD, L'b'}));
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), std::wstring(1, 0xFFFD));      // overlong '/'
  EXPECT_EQ(Utf8ToUtf16("\xE6\x97"), std::wstring(1, 0xFFFD));      // truncated
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), std::wstring(1, 0xFFFD));  // encoded surrogate
}

TEST(TextConversion, LoneSurrogateBecomesReplacementCharacter) {
  EXPECT_EQ(Utf16ToUtf8(std::wstring{L'a', 0xD800, L'b'}), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(Utf16ToUtf8(std::wstring{0xDC00}), "\xEF\xBF\xBD");
}

}  // namespace
