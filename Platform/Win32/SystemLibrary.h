#pragma once
#include <string>

namespace Platform {

// Installers run from download folders full of other people's files, so no
// DLL may ever come from the program's folder or the current folder. Called
// first thing in the entry point.
void RestrictDllSearchToSystemFolder();

// The full path of a file in the system folder; empty when the folder is
// unknown. What SystemLibrary loads where the loader has no flag for it.
std::wstring SystemFolderPath(const wchar_t* fileName);

// A DLL loaded from the system folder only, released with the object.
class SystemLibrary {
 public:
  explicit SystemLibrary(const wchar_t* fileName);
  ~SystemLibrary();
  SystemLibrary(const SystemLibrary&) = delete;
  SystemLibrary& operator=(const SystemLibrary&) = delete;

  bool IsLoaded() const { return m_module != nullptr; }
  // Null when the library is not loaded or has no such export.
  void* Symbol(const char* name) const;

  template <typename Function>
  Function Get(const char* name) const {
    return reinterpret_cast<Function>(Symbol(name));
  }

 private:
  void* m_module;
};

}  // namespace Platform
