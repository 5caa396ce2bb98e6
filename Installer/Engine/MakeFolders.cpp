#include "Installer/Engine/MakeFolders.h"

#include "Common/Zip/ZipEntryName.h"

namespace InstallBackend {

FolderMaker::FolderMaker(Platform::IFileSystem& files, std::wstring root) : m_files(files), m_root(std::move(root)) {}

void FolderMaker::Make(const std::wstring& path) {
  if (!m_rootChecked) {
    if (!m_root.empty() && !m_files.PathExists(m_root)) m_files.MakeFolder(m_root);
    m_rootChecked = true;
  }
  if (path.empty()) return;
  MakeOne(path);
}

void FolderMaker::MakeOne(const std::wstring& given) {
  std::wstring path = given;
  while (!path.empty() && (path.back() == L'/' || path.back() == L'\\')) path.pop_back();
  if (path.empty() || !m_known.insert(FoldEntryPath(path)).second) return;
  const std::size_t separator = path.find_last_of(L"/\\");
  if (separator != std::wstring::npos && separator != 0) MakeOne(path.substr(0, separator));
  // Creating an existing folder fails harmlessly: one call instead of a
  // test and a creation.
  m_files.MakeFolder(m_root + path);
}

}  // namespace InstallBackend
