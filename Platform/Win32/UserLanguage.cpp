#include "Platform/UserLanguage.h"

#include <windows.h>

namespace Platform {
namespace {

// Large enough for every ISO code the system reports.
constexpr int kCodeBufferLength = 50;

std::wstring LocaleCode(LANGID language, LCTYPE what) {
  wchar_t buffer[kCodeBufferLength] = {};
  const int length = ::GetLocaleInfoW(MAKELCID(language, SORT_DEFAULT), what, buffer,
                                      kCodeBufferLength);
  // The length counts the terminating null; 0 means the query failed.
  return length > 1 ? std::wstring(buffer, length - 1) : std::wstring();
}

}  // namespace

LanguageCodes GetUserUiLanguageCodes() {
  const LANGID language = ::GetUserDefaultUILanguage();
  return {LocaleCode(language, LOCALE_SISO639LANGNAME),
          LocaleCode(language, LOCALE_SISO3166CTRYNAME)};
}

NumberSymbols GetUserNumberSymbols() {
  NumberSymbols symbols;
  // Follows the user's regional format, which may differ from the UI language.
  const std::wstring decimal = LocaleCode(LANG_USER_DEFAULT, LOCALE_SDECIMAL);
  const std::wstring thousands = LocaleCode(LANG_USER_DEFAULT, LOCALE_STHOUSAND);
  if (!decimal.empty()) symbols.decimal = decimal;
  if (!thousands.empty()) symbols.thousands = thousands;
  return symbols;
}

}  // namespace Platform
