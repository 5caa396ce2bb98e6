#include "Installer/ScreenLogic/MessageFormat.h"

#include <gtest/gtest.h>

namespace {

using Arg = MessageArgument;

TEST(MessageFormatTest, FillsDriveDescriptionAndLetterInOrder) {
  EXPECT_EQ(FormatMessageText(L"Install to:\n%s (%c:)", {Arg::Text(L"KORVANE USB"), Arg::CodeUnit(L'E')}),
            L"Install to:\nKORVANE USB (E:)");
}

TEST(MessageFormatTest, WritesTheRequiredSpaceAsAWholeNumber) {
  EXPECT_EQ(FormatMessageText(L"Not enough drive %c free space.\nAt least %.0f MB required.",
                              {Arg::CodeUnit(L'E'), Arg::Number(150.0)}),
            L"Not enough drive E free space.\nAt least 150 MB required.");
  EXPECT_EQ(FormatMessageText(L"%.0f", {Arg::Number(149.6)}), L"150");
}

TEST(MessageFormatTest, EmptyDescriptionLeavesTheBlankBeforeTheLetter) {
  EXPECT_EQ(FormatMessageText(L"%s (%c:)", {Arg::Text(L""), Arg::CodeUnit(L'G')}), L" (G:)");
}

TEST(MessageFormatTest, MissingOrMismatchedArgumentsComeOutEmptyNeverAsMemory) {
  EXPECT_EQ(FormatMessageText(L"Check drive %c is connected", {}), L"Check drive  is connected");
  EXPECT_EQ(FormatMessageText(L"%s and %s", {Arg::Text(L"one")}), L"one and ");
  // A translation that swapped its placeholders gets nothing where the kinds differ.
  EXPECT_EQ(FormatMessageText(L"%c %s", {Arg::Text(L"text"), Arg::CodeUnit(L'E')}), L" ");
}

TEST(MessageFormatTest, OtherPercentSequencesAreCopiedAsText) {
  EXPECT_EQ(FormatMessageText(L"100%% %n %x %", {}), L"100% %n %x %");
  EXPECT_EQ(FormatMessageText(L"%d%s", {Arg::Text(L"!")}), L"%d!");
}

TEST(MessageFormatTest, NoDriveLetterWritesNoCharacter) {
  EXPECT_EQ(FormatMessageText(L"[%c]", {Arg::CodeUnit(0)}), L"[]");
}

}  // namespace
