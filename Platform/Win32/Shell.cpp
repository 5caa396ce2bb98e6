#include "Platform/Win32/Shell.h"

#include <windows.h>
#include <shellapi.h>

namespace Platform {

bool PathExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void OpenWithShell(const std::wstring& path) {
  ::ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace Platform
