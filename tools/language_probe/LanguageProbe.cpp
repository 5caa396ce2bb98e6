// Prints, as UTF-8 lines of "key=value", what the static initialisation of
// the installer's localisation detected and what it shows for message 183:
//   ui-language=0x0407   the system's UI language identifier
//   name=de-DE           the name made from its ISO codes
//   language=4           the UiLanguage value picked
//   message-183=...      the text of base id 183 in that language
#include <windows.h>

#include <cstdio>
#include <string>

#include "Installer/Localization/LocalizedStrings.h"
#include "Platform/Text/TextConversion.h"
#include "Platform/UserLanguage.h"

namespace {

void PrintLine(const std::string& key, const std::wstring& value) {
  const std::string line = key + "=" + Platform::Utf16ToUtf8(value) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
}

}  // namespace

int wmain() {
  wchar_t identifier[16] = {};
  std::swprintf(identifier, 16, L"0x%04X", static_cast<unsigned>(::GetUserDefaultUILanguage()));
  const Platform::LanguageCodes codes = Platform::GetUserUiLanguageCodes();

  theLocalizedStrings.BuildStringIdTables();
  PrintLine("ui-language", identifier);
  PrintLine("name", codes.language + L"-" + codes.country);
  PrintLine("language", std::to_wstring(static_cast<int>(theLocalizedStrings.Language())));
  PrintLine("message-183", theLocalizedStrings.GetLocalizedString(183));
  return 0;
}
