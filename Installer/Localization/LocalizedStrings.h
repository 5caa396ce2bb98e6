#pragma once
#include <map>
#include <string>

#include "Installer/Localization/UiLanguage.h"

// Base ids of the messages: the string resource of a message is its base id
// plus the offset of the language in the table.
namespace MessageId {
constexpr int kFirst = 135;
constexpr int kStep = 12;
constexpr int kCount = 29;
}  // namespace MessageId

// Maps a message's base id to its string resource id in one language.
using StringIdTable = std::map<int, int>;

// The messages in the user's UI language. The language is decided once, when
// the object is made, and never changes; texts are loaded afresh on every
// lookup. Used on the UI thread only.
class LocalizedStrings {
 public:
  // Detects the user's UI language.
  LocalizedStrings();
  // Takes the given language as if it had been detected.
  explicit LocalizedStrings(UiLanguage language);

  // Must run before the first lookup; tables already present are kept.
  void BuildStringIdTables();

  // The message with this base id in the current language. A language
  // without a table of its own (Default) shows the English messages; an id
  // that is no message's base id, or a text that cannot be loaded, gives an
  // empty text.
  std::wstring GetLocalizedString(int baseId) const;

  UiLanguage Language() const { return m_language; }

  static UiLanguage ParseLanguageName(const std::wstring& name);
  static bool MatchLanguageName(const std::wstring& name, const std::wstring& candidate);
  // Empty when the resource is missing or empty.
  static std::wstring LoadResourceString(int resourceId);

 private:
  void DetectUiLanguage();

  std::map<UiLanguage, StringIdTable> m_tables;
  UiLanguage m_language = UiLanguage::Default;
};

// The process's one instance; its language is detected during static
// initialisation, before the application object starts.
extern LocalizedStrings theLocalizedStrings;
