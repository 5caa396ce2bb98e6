#pragma once

// The languages of the program's messages. The order is the order in which
// ParseLanguageName tries their candidate names; it differs from the order
// of the languages in the string table (the offsets in kLanguages,
// LocalizedStrings.cpp).
enum class UiLanguage {
  Default = 0,  // no candidate matched; has no string table of its own
  English,
  French,
  Italian,
  German,
  Spanish,
  Polish,
  Portuguese,
  Korean,
  Japanese,
  ChineseSimplified,
  ChineseTraditional,
  Russian,
};
