// The localisation on the real string table: this test program carries the
// same compiled resources as the installer.
#include <cstdarg>
#include <cwchar>
#include <string>

#include <gtest/gtest.h>

#include "Installer/Localization/LocalizedStrings.h"

namespace {

constexpr int kFirstResource = 135;
constexpr int kLastResource = 482;

const UiLanguage kAllLanguages[] = {
    UiLanguage::English, UiLanguage::French,  UiLanguage::Italian,    UiLanguage::German,
    UiLanguage::Spanish, UiLanguage::Polish,  UiLanguage::Portuguese, UiLanguage::Korean,
    UiLanguage::Japanese, UiLanguage::ChineseSimplified, UiLanguage::ChineseTraditional,
    UiLanguage::Russian};

LocalizedStrings BuiltFor(UiLanguage language) {
  LocalizedStrings strings(language);
  strings.BuildStringIdTables();
  return strings;
}

// The Windows C runtime's printf rules, as the screens format their texts:
// %s takes a wide text and %c a wide character.
std::wstring Format(const std::wstring& format, ...) {
  wchar_t buffer[1024] = {};
  va_list args;
  va_start(args, format);
  const int length = _vsnwprintf(buffer, 1023, format.c_str(), args);
  va_end(args);
  return length < 0 ? L"<format failed>" : std::wstring(buffer, length);
}

std::wstring Replace(std::wstring text, const std::wstring& placeholder, const std::wstring& value) {
  const std::size_t at = text.find(placeholder);
  if (at != std::wstring::npos) text.replace(at, placeholder.size(), value);
  return text;
}

std::size_t LineBreaks(const std::wstring& text) {
  std::size_t count = 0;
  for (wchar_t c : text) count += (c == L'\n');
  return count;
}

TEST(StringTable, EveryResourceOfTheTableLoadsAndIsNotEmpty) {
  for (int id = kFirstResource; id <= kLastResource; ++id) {
    EXPECT_FALSE(LocalizedStrings::LoadResourceString(id).empty()) << "resource " << id;
  }
  // Nothing outside the table; a missing resource reads as empty.
  EXPECT_EQ(LocalizedStrings::LoadResourceString(kFirstResource - 1), L"");
  EXPECT_EQ(LocalizedStrings::LoadResourceString(kLastResource + 1), L"");
}

TEST(StringTable, EveryLanguageHasItsOwnTexts) {
  // A language whose table points at another language's resources would
  // show the same text twice over.
  for (UiLanguage a : kAllLanguages) {
    for (UiLanguage b : kAllLanguages) {
      if (a == b) continue;
      EXPECT_NE(BuiltFor(a).GetLocalizedString(135), BuiltFor(b).GetLocalizedString(135))
          << static_cast<int>(a) << " and " << static_cast<int>(b);
    }
  }
}

TEST(LocalizedStrings, GermanBaseIdsYieldTheGermanResources) {
  const LocalizedStrings german = BuiltFor(UiLanguage::German);
  EXPECT_EQ(german.GetLocalizedString(183), L"Installieren von Korvane. Warten...");
  EXPECT_EQ(german.GetLocalizedString(135), LocalizedStrings::LoadResourceString(136));
  EXPECT_EQ(german.GetLocalizedString(315), LocalizedStrings::LoadResourceString(316));
}

TEST(LocalizedStrings, EnglishButtonTexts) {
  const LocalizedStrings english = BuiltFor(UiLanguage::English);
  EXPECT_EQ(english.GetLocalizedString(147), L"Accept");
  EXPECT_EQ(english.GetLocalizedString(159), L"Decline");
}

TEST(LocalizedStrings, IdsThatAreNoBaseIdYieldEmptyTexts) {
  const LocalizedStrings german = BuiltFor(UiLanguage::German);
  for (int id : {136, 134, 483, 0, -1}) EXPECT_EQ(german.GetLocalizedString(id), L"") << id;
}

TEST(LocalizedStrings, UnsupportedLanguageShowsEnglish) {
  const LocalizedStrings unsupported = BuiltFor(UiLanguage::Default);
  EXPECT_EQ(unsupported.GetLocalizedString(147), L"Accept");
  EXPECT_EQ(unsupported.GetLocalizedString(136), L"");
}

TEST(LocalizedStrings, NothingIsShownBeforeTheTablesAreBuilt) {
  const LocalizedStrings german(UiLanguage::German);
  EXPECT_EQ(german.GetLocalizedString(183), L"");
}

TEST(LocalizedStrings, InstallTargetShowsDescriptionAndLetterOnItsSecondLine) {
  for (UiLanguage language : kAllLanguages) {
    const std::wstring text = Format(BuiltFor(language).GetLocalizedString(171),
                                     L"KORVANE USB", L'E');
    const std::size_t lineBreak = text.find(L'\n');
    ASSERT_NE(lineBreak, std::wstring::npos) << static_cast<int>(language);
    EXPECT_EQ(text.substr(lineBreak + 1), L"KORVANE USB (E:)") << static_cast<int>(language);
    EXPECT_EQ(LineBreaks(text), 1u) << static_cast<int>(language);
  }
}

TEST(LocalizedStrings, DriveCheckPutsTheLetterAtItsPlaceholder) {
  for (UiLanguage language : kAllLanguages) {
    const std::wstring message = BuiltFor(language).GetLocalizedString(267);
    ASSERT_NE(message.find(L"%c"), std::wstring::npos) << static_cast<int>(language);
    EXPECT_EQ(Format(message, L'E'), Replace(message, L"%c", L"E")) << static_cast<int>(language);
  }
}

TEST(LocalizedStrings, FreeSpaceMessageNamesDriveAndMegabytes) {
  for (UiLanguage language : kAllLanguages) {
    const std::wstring message = BuiltFor(language).GetLocalizedString(279);
    const std::wstring text = Format(message, L'E', 150.0);
    EXPECT_EQ(text, Replace(Replace(message, L"%c", L"E"), L"%.0f", L"150"))
        << static_cast<int>(language);
    EXPECT_LT(text.find(L'E'), text.find(L"150")) << static_cast<int>(language);
    EXPECT_EQ(LineBreaks(text), language == UiLanguage::Russian ? 0u : 1u)
        << static_cast<int>(language);
  }
  EXPECT_EQ(Format(BuiltFor(UiLanguage::English).GetLocalizedString(279), L'E', 150.0),
            L"Not enough drive E free space.\nAt least 150 MB required.");
}

}  // namespace
