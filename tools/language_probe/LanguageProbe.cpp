// Prints, as UTF-8 lines of "key=value", what the static initialisation of
// the installer's localisation detected and what it shows for message 183:
//   ui-language=0x0407   the system's UI language identifier
//   name=de-DE           the name made from its ISO codes
//   language=4           the UiLanguage value picked
//   message-183=...      the text of base id 183 in that language
// With "--dump FILE" it prints instead every string resource 135 to 482 of
// that program file as "id=text", a line break written as \n and a
// backslash as \\, so that a test can compare the shipped table with its
// sources.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>

#include "Installer/Localization/LocalizedStrings.h"
#include "Platform/Text/TextConversion.h"
#include "Platform/UserLanguage.h"

namespace {

void PrintLine(const std::string& key, const std::wstring& value) {
  const std::string line = key + "=" + Platform::Utf16ToUtf8(value) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
}

std::wstring Escaped(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c == L'\\') {
      out += L"\\\\";
    } else if (c == L'\n') {
      out += L"\\n";
    } else {
      out += c;
    }
  }
  return out;
}

int DumpStringTable(const wchar_t* file) {
  const std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&::FreeLibrary)> module(
      ::LoadLibraryExW(file, nullptr, LOAD_LIBRARY_AS_DATAFILE), &::FreeLibrary);
  if (!module) return 2;
  for (int id = 135; id <= 482; ++id) {
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(module.get(), id, reinterpret_cast<LPWSTR>(&text), 0);
    PrintLine(std::to_string(id), length > 0 ? Escaped(std::wstring(text, length)) : L"");
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--dump") return DumpStringTable(argv[2]);

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
