#include "Platform/Environment.h"

#include <windows.h>

namespace Platform {

const wchar_t kPathSeparator = L'\\';

std::wstring GetTempDirectory() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH, buffer);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(buffer, length);
}

}  // namespace Platform
