#include "Platform/Win32/SystemLibrary.h"

#include <windows.h>

namespace Platform {

void RestrictDllSearchToSystemFolder() {
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Takes the current folder out of the search of anything that still
  // asks the loader by name.
  ::SetDllDirectoryW(L"");
}

SystemLibrary::SystemLibrary(const wchar_t* fileName)
    : m_module(::LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}

SystemLibrary::~SystemLibrary() {
  if (m_module) ::FreeLibrary(static_cast<HMODULE>(m_module));
}

void* SystemLibrary::Symbol(const char* name) const {
  if (!m_module) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(m_module), name));
}

}  // namespace Platform
