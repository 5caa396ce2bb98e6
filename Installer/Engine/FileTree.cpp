#include "Installer/Engine/FileTree.h"

namespace InstallBackend {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

void ListBelow(Platform::IFileSystem& files, const std::wstring& root, const std::wstring& prefix,
               TreeListing& listing, bool& complete) {
  std::vector<Platform::FolderEntry> entries;
  if (!files.ListFolder(root + prefix, entries)) {
    complete = false;
    return;
  }
  for (const Platform::FolderEntry& entry : entries) {
    const std::wstring relative = prefix + entry.name;
    if (!entry.isFolder) {
      listing.files.push_back(relative);
      continue;
    }
    listing.folders.push_back(relative);
    ListBelow(files, root, relative + L"\\", listing, complete);
  }
}

// A folder that cannot be listed may simply be gone: only one that is
// still there counts against the removal.
bool Gone(Platform::IFileSystem& files, const std::wstring& path) {
  return files.RemoveFolder(WithoutSeparator(path)) || !files.PathExists(WithoutSeparator(path));
}

bool RemoveFileEvenReadOnly(Platform::IFileSystem& files, const std::wstring& path) {
  if (files.RemoveFile(path)) return true;
  std::uint32_t attributes = 0;
  if (!files.GetPathAttributes(path, attributes)) return false;
  files.SetPathAttributes(path, attributes & ~(Platform::kAttributeReadOnly | Platform::kAttributeHidden |
                                               Platform::kAttributeSystem));
  return files.RemoveFile(path);
}

}  // namespace

std::wstring WithSeparator(const std::wstring& folder) {
  return !folder.empty() && IsSeparator(folder.back()) ? folder : folder + L"\\";
}

std::wstring WithoutSeparator(const std::wstring& folder) {
  std::wstring path = folder;
  while (!path.empty() && IsSeparator(path.back())) path.pop_back();
  return path;
}

bool ListTree(Platform::IFileSystem& files, const std::wstring& root, TreeListing& listing) {
  listing = TreeListing();
  bool complete = true;
  ListBelow(files, WithSeparator(root), std::wstring(), listing, complete);
  return complete;
}

bool RemoveTree(Platform::IFileSystem& files, const std::wstring& root, Deadline until) {
  const std::wstring folder = WithSeparator(root);
  std::vector<Platform::FolderEntry> entries;
  if (!files.ListFolder(folder, entries)) return !files.PathExists(WithoutSeparator(folder));
  for (const Platform::FolderEntry& entry : entries) {
    if (std::chrono::steady_clock::now() > until) return false;
    const std::wstring path = folder + entry.name;
    if (entry.isFolder ? !RemoveTree(files, path, until) : !RemoveFileEvenReadOnly(files, path)) return false;
  }
  return Gone(files, folder);
}

bool RemoveEmptyTree(Platform::IFileSystem& files, const std::wstring& root) {
  const std::wstring folder = WithSeparator(root);
  std::vector<Platform::FolderEntry> entries;
  if (!files.ListFolder(folder, entries)) return !files.PathExists(WithoutSeparator(folder));
  for (const Platform::FolderEntry& entry : entries) {
    if (!entry.isFolder || !RemoveEmptyTree(files, folder + entry.name)) return false;
  }
  return Gone(files, folder);
}

}  // namespace InstallBackend
