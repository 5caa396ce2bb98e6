#include "Platform/Win32/SystemLibrary.h"

#include <windows.h>

#include <string>

namespace Platform {
namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// Windows 7 without its loader update (KB2533623) has neither
// SetDefaultDllDirectories nor the LOAD_LIBRARY_SEARCH_* flags. A static
// import of the one would keep the program from starting there at all, and
// the other would make every run-time load fail, so both are only used when
// kernel32 offers them. kernel32 is always loaded: asking it loads nothing.
SetDefaultDllDirectoriesFunction FindSetDefaultDllDirectories() {
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return nullptr;
  return reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
}

HMODULE LoadByFullSystemPath(const wchar_t* fileName) {
  const std::wstring path = SystemFolderPath(fileName);
  if (path.empty()) return nullptr;
  // The DLL's own dependencies are then looked for in the system folder first.
  return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE LoadFromSystemFolder(const wchar_t* fileName) {
  if (!FindSetDefaultDllDirectories()) return LoadByFullSystemPath(fileName);
  return ::LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

void RestrictDllSearchToSystemFolder() {
  if (SetDefaultDllDirectoriesFunction setDefaults = FindSetDefaultDllDirectories()) {
    setDefaults(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  // Takes the current folder out of the search of anything that still
  // asks the loader by name.
  ::SetDllDirectoryW(L"");
}

std::wstring SystemFolderPath(const wchar_t* fileName) {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(folder, length) + L"\\" + fileName;
}

SystemLibrary::SystemLibrary(const wchar_t* fileName) : m_module(LoadFromSystemFolder(fileName)) {}

SystemLibrary::~SystemLibrary() {
  if (m_module) ::FreeLibrary(static_cast<HMODULE>(m_module));
}

void* SystemLibrary::Symbol(const char* name) const {
  if (!m_module) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(m_module), name));
}

}  // namespace Platform
