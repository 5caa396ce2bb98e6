#include "Installer/Localization/LocalizedStrings.h"

#include <gtest/gtest.h>

namespace {

UiLanguage Parse(const wchar_t* name) { return LocalizedStrings::ParseLanguageName(name); }

TEST(LanguageName, RegionalVariantsPickTheirLanguageWhateverTheCase) {
  EXPECT_EQ(Parse(L"en-US"), UiLanguage::English);
  EXPECT_EQ(Parse(L"en-GB"), UiLanguage::English);
  EXPECT_EQ(Parse(L"EN-us"), UiLanguage::English);
  EXPECT_EQ(Parse(L"de-AT"), UiLanguage::German);
  EXPECT_EQ(Parse(L"pt-BR"), UiLanguage::Portuguese);
  EXPECT_EQ(Parse(L"pt-PT"), UiLanguage::Portuguese);
  EXPECT_EQ(Parse(L"ru-RU"), UiLanguage::Russian);
  EXPECT_EQ(Parse(L"fr-CA"), UiLanguage::French);
  EXPECT_EQ(Parse(L"it-IT"), UiLanguage::Italian);
  EXPECT_EQ(Parse(L"es-MX"), UiLanguage::Spanish);
  EXPECT_EQ(Parse(L"pl-PL"), UiLanguage::Polish);
  EXPECT_EQ(Parse(L"ko-KR"), UiLanguage::Korean);
  EXPECT_EQ(Parse(L"ja-JP"), UiLanguage::Japanese);
}

TEST(LanguageName, NameWithoutDashMatchesOnlyAWholeCandidate) {
  EXPECT_EQ(Parse(L"de"), UiLanguage::German);
  EXPECT_EQ(Parse(L"DE"), UiLanguage::German);
  EXPECT_EQ(Parse(L"deu"), UiLanguage::Default);
  EXPECT_EQ(Parse(L"d"), UiLanguage::Default);
  EXPECT_FALSE(LocalizedStrings::MatchLanguageName(L"den", L"de"));
  EXPECT_FALSE(LocalizedStrings::MatchLanguageName(L"de", L"den"));
}

TEST(LanguageName, OnlyThePartBeforeTheFirstDashCounts) {
  EXPECT_FALSE(LocalizedStrings::MatchLanguageName(L"nl-DE", L"de"));
  EXPECT_FALSE(LocalizedStrings::MatchLanguageName(L"en-de-AT", L"de"));
  EXPECT_TRUE(LocalizedStrings::MatchLanguageName(L"de-", L"de"));
  EXPECT_EQ(Parse(L"-de"), UiLanguage::Default);
}

TEST(LanguageName, UnknownOrEmptyNamesGiveDefault) {
  EXPECT_EQ(Parse(L"nl-NL"), UiLanguage::Default);
  EXPECT_EQ(Parse(L"sv-SE"), UiLanguage::Default);
  EXPECT_EQ(Parse(L""), UiLanguage::Default);
  EXPECT_EQ(Parse(L"-"), UiLanguage::Default);
  EXPECT_EQ(Parse(L"Default"), UiLanguage::Default);
}

TEST(LanguageName, ChineseCountryPicksTheScriptWrittenThere) {
  EXPECT_EQ(Parse(L"zh-CN"), UiLanguage::ChineseSimplified);
  EXPECT_EQ(Parse(L"zh-SG"), UiLanguage::ChineseSimplified);
  EXPECT_EQ(Parse(L"zh-TW"), UiLanguage::ChineseTraditional);
  EXPECT_EQ(Parse(L"zh-HK"), UiLanguage::ChineseTraditional);
  EXPECT_EQ(Parse(L"zh-MO"), UiLanguage::ChineseTraditional);
  EXPECT_EQ(Parse(L"ZH-tw"), UiLanguage::ChineseTraditional);
}

TEST(LanguageName, ChineseScriptSubtagWinsOverCountry) {
  EXPECT_EQ(Parse(L"zh-Hant-HK"), UiLanguage::ChineseTraditional);
  EXPECT_EQ(Parse(L"zh-Hans-HK"), UiLanguage::ChineseSimplified);
  EXPECT_EQ(Parse(L"zh-Hant-CN"), UiLanguage::ChineseTraditional);
  EXPECT_EQ(Parse(L"zh-Hans"), UiLanguage::ChineseSimplified);
  EXPECT_EQ(Parse(L"zh-hant"), UiLanguage::ChineseTraditional);
}

TEST(LanguageName, ChineseWithoutScriptOrKnownCountryIsNotGuessed) {
  EXPECT_EQ(Parse(L"zh"), UiLanguage::Default);
  EXPECT_EQ(Parse(L"zh-US"), UiLanguage::Default);
  EXPECT_EQ(Parse(L"zh-Latn-CN"), UiLanguage::Default);
  // The countries only decide for Chinese.
  EXPECT_EQ(Parse(L"en-CN"), UiLanguage::English);
  EXPECT_FALSE(LocalizedStrings::MatchLanguageName(L"ja-TW", L"zh-Hant"));
}

}  // namespace
