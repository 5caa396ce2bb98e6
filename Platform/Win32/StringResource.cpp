#include "Platform/StringResource.h"

#include <windows.h>

namespace Platform {

std::wstring LoadStringResource(int resourceId) {
  // With a zero buffer size LoadStringW hands out a pointer into the mapped
  // resource instead of copying, so no text is ever cut at a buffer's end.
  const wchar_t* text = nullptr;
  const int length = ::LoadStringW(::GetModuleHandleW(nullptr), static_cast<UINT>(resourceId),
                                   reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return std::wstring();
  return std::wstring(text, static_cast<std::size_t>(length));
}

}  // namespace Platform
