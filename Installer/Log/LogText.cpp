#include "Installer/Log/LogText.h"

#include <cwchar>
#include <vector>

#include "Platform/Text/TextConversion.h"

namespace {

// The C runtime's wide characters for a UTF-16 text: the same code units
// where wchar_t is 16 bits, whole code points where it is 32 bits.
std::wstring ToRuntimeWide(const std::wstring& utf16) {
  if (sizeof(wchar_t) == 2) return utf16;
  std::wstring out;
  for (size_t i = 0; i < utf16.size(); ++i) out.push_back(static_cast<wchar_t>(Platform::DecodeUtf16(utf16, i)));
  return out;
}

}  // namespace

std::string LogText(const std::wstring& text) {
  const std::wstring wide = ToRuntimeWide(text);
  std::mbstate_t state{};
  const wchar_t* source = wide.c_str();
  const size_t length = std::wcsrtombs(nullptr, &source, 0, &state);
  if (length == static_cast<size_t>(-1)) return std::string();
  std::vector<char> buffer(length + 1);
  state = std::mbstate_t{};
  source = wide.c_str();
  std::wcsrtombs(buffer.data(), &source, buffer.size(), &state);
  return std::string(buffer.data(), length);
}

std::string LogText(const wchar_t* text) {
  return text ? LogText(std::wstring(text)) : std::string("nullptr");
}
