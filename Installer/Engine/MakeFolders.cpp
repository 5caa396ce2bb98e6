#include "Installer/Engine/MakeFolders.h"

#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

void MakeFolders(const std::wstring& root, const std::wstring& path) {
  if (!root.empty() && !Platform::PathExists(root)) Platform::MakeFolder(root);
  if (path.empty()) return;
  const std::size_t separator = path.find_last_of(L"/\\");
  if (separator != std::wstring::npos && separator != 0) MakeFolders(root, path.substr(0, separator));
  const std::wstring full = root + path;
  if (!Platform::PathExists(full)) Platform::MakeFolder(full);
}

}  // namespace InstallBackend
