#include "Platform/Ui/ResourceModule.h"

namespace Platform {

HINSTANCE ResourceModule() { return ::GetModuleHandleW(nullptr); }

std::string LoadResourceBytes(const wchar_t* type, int id) {
  HINSTANCE module = ResourceModule();
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (!found) return std::string();
  HGLOBAL loaded = ::LoadResource(module, found);
  const char* data = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
  const DWORD size = ::SizeofResource(module, found);
  if (!data || size == 0) return std::string();
  // Resources are not NUL-terminated: exactly size bytes belong to it.
  return std::string(data, size);
}

}  // namespace Platform
