#include "Installer/Localization/LocalizedStrings.h"

#include <initializer_list>
#include <string_view>
#include <vector>

#include "Platform/StringResource.h"
#include "Platform/UserLanguage.h"

namespace {

struct LanguageEntry {
  UiLanguage language;
  const wchar_t* candidate;
  int offset;  // position of the language in the string table
};

// In the order in which the candidates are tried.
constexpr LanguageEntry kLanguages[] = {
    {UiLanguage::English, L"en", 0},
    {UiLanguage::French, L"fr", 3},
    {UiLanguage::Italian, L"it", 4},
    {UiLanguage::German, L"de", 1},
    {UiLanguage::Spanish, L"es", 2},
    {UiLanguage::Polish, L"pl", 7},
    {UiLanguage::Portuguese, L"pt", 8},
    {UiLanguage::Korean, L"ko", 6},
    {UiLanguage::Japanese, L"ja", 5},
    {UiLanguage::ChineseSimplified, L"zh-Hans", 10},
    {UiLanguage::ChineseTraditional, L"zh-Hant", 11},
    {UiLanguage::Russian, L"ru", 9},
};

constexpr std::wstring_view kDefaultName = L"default";
constexpr std::wstring_view kSimplifiedChinese = L"zh-Hans";
constexpr std::wstring_view kTraditionalChinese = L"zh-Hant";

// Language names are ASCII; the comparison must not depend on the C locale.
wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c; }

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

std::vector<std::wstring_view> Subtags(std::wstring_view name) {
  std::vector<std::wstring_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t dash = name.find(L'-', start);
    parts.push_back(name.substr(start, dash - start));
    if (dash == std::wstring_view::npos) return parts;
    start = dash + 1;
  }
}

bool IsOneOf(std::wstring_view code, std::initializer_list<std::wstring_view> codes) {
  for (std::wstring_view each : codes) {
    if (EqualsIgnoringCase(code, each)) return true;
  }
  return false;
}

// The system names a Chinese UI language by its country (zh-CN, zh-TW),
// while the table has one entry per script. A script subtag (zh-Hant-HK)
// decides; else the country picks the script written there. Empty when the
// name is not Chinese or tells neither.
std::wstring_view ChineseScriptOf(std::wstring_view name) {
  const std::vector<std::wstring_view> subtags = Subtags(name);
  if (!EqualsIgnoringCase(subtags[0], L"zh")) return {};
  for (std::size_t i = 1; i < subtags.size(); ++i) {
    if (subtags[i].size() != 4) continue;
    if (EqualsIgnoringCase(subtags[i], L"Hans")) return kSimplifiedChinese;
    if (EqualsIgnoringCase(subtags[i], L"Hant")) return kTraditionalChinese;
    return {};
  }
  for (std::size_t i = 1; i < subtags.size(); ++i) {
    if (IsOneOf(subtags[i], {L"CN", L"SG"})) return kSimplifiedChinese;
    if (IsOneOf(subtags[i], {L"TW", L"HK", L"MO"})) return kTraditionalChinese;
  }
  return {};
}

}  // namespace

LocalizedStrings::LocalizedStrings() { DetectUiLanguage(); }

LocalizedStrings::LocalizedStrings(UiLanguage language) : m_language(language) {}

void LocalizedStrings::DetectUiLanguage() {
  const Platform::LanguageCodes codes = Platform::GetUserUiLanguageCodes();
  m_language = ParseLanguageName(codes.language + L"-" + codes.country);
}

UiLanguage LocalizedStrings::ParseLanguageName(const std::wstring& name) {
  if (MatchLanguageName(name, std::wstring(kDefaultName))) return UiLanguage::Default;
  for (const LanguageEntry& entry : kLanguages) {
    if (MatchLanguageName(name, entry.candidate)) return entry.language;
  }
  return UiLanguage::Default;
}

bool LocalizedStrings::MatchLanguageName(const std::wstring& name, const std::wstring& candidate) {
  if (EqualsIgnoringCase(name, candidate)) return true;
  if (IsOneOf(candidate, {kSimplifiedChinese, kTraditionalChinese})) {
    return EqualsIgnoringCase(ChineseScriptOf(name), candidate);
  }
  const std::size_t dash = name.find(L'-');
  if (dash == std::wstring::npos) return false;
  return EqualsIgnoringCase(std::wstring_view(name).substr(0, dash), candidate);
}

void LocalizedStrings::BuildStringIdTables() {
  for (const LanguageEntry& entry : kLanguages) {
    StringIdTable table;
    for (int i = 0; i < MessageId::kCount; ++i) {
      const int baseId = MessageId::kFirst + i * MessageId::kStep;
      table.emplace(baseId, baseId + entry.offset);
    }
    m_tables.emplace(entry.language, std::move(table));
  }
}

std::wstring LocalizedStrings::GetLocalizedString(int baseId) const {
  auto table = m_tables.find(m_language);
  // Nobody should face a screen of empty texts: a language the program does
  // not speak gets the English messages.
  if (table == m_tables.end()) table = m_tables.find(UiLanguage::English);
  if (table == m_tables.end()) return std::wstring();
  const auto resource = table->second.find(baseId);
  if (resource == table->second.end()) return std::wstring();
  return LoadResourceString(resource->second);
}

std::wstring LocalizedStrings::LoadResourceString(int resourceId) {
  return Platform::LoadStringResource(resourceId);
}

LocalizedStrings theLocalizedStrings;
