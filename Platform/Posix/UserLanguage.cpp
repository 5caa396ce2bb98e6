#include "Platform/UserLanguage.h"

#include <cstdlib>
#include <string>

#include "Platform/Text/TextConversion.h"

namespace Platform {
namespace {

// The locale that decides the language of messages, such as "de_DE.UTF-8".
std::string MessageLocale() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return value;
  }
  return std::string();
}

}  // namespace

LanguageCodes GetUserUiLanguageCodes() {
  const std::string locale = MessageLocale();
  const std::size_t languageEnd = locale.find_first_of("_.@");
  LanguageCodes codes;
  codes.language = Utf8ToUtf16(locale.substr(0, languageEnd));
  if (languageEnd != std::string::npos && locale[languageEnd] == '_') {
    const std::size_t countryEnd = locale.find_first_of(".@", languageEnd);
    codes.country = Utf8ToUtf16(locale.substr(languageEnd + 1, countryEnd - languageEnd - 1));
  }
  return codes;
}

// The native build shows no screen; the defaults serve its tests.
NumberSymbols GetUserNumberSymbols() { return NumberSymbols(); }

}  // namespace Platform
