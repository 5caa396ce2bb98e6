#include "Installer/Engine/PackageList.h"

#include <algorithm>

#include "Common/Zip/ZipEntryName.h"
#include "Installer/Engine/FileTree.h"
#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

void PackageListBuilder::Add(const ZipItem& item) {
  std::wstring name = item.name;
  std::replace(name.begin(), name.end(), L'/', L'\\');
  name = WithoutSeparator(name);
  // A name ending with a separator is a folder, whatever its attributes.
  if ((item.attributes & Platform::kAttributeDirectory) || name.size() != item.name.size()) {
    AddFolder(name);
    return;
  }
  const std::size_t separator = name.find_last_of(L'\\');
  if (separator != std::wstring::npos) AddFolder(name.substr(0, separator));
  m_list.files.push_back({name, item.uncompressedSize, item.crc});
}

// Every folder on the way too, for packages that list only their files.
void PackageListBuilder::AddFolder(const std::wstring& folder) {
  const std::wstring key = FoldEntryPath(folder);
  const auto at = std::lower_bound(m_folderKeys.begin(), m_folderKeys.end(), key);
  if (folder.empty() || (at != m_folderKeys.end() && *at == key)) return;
  const std::size_t separator = folder.find_last_of(L'\\');
  if (separator != std::wstring::npos) AddFolder(folder.substr(0, separator));
  m_folderKeys.insert(std::lower_bound(m_folderKeys.begin(), m_folderKeys.end(), key), key);
  m_list.folders.push_back(folder);
}

}  // namespace InstallBackend
