#include "Installer/Engine/FileTree.h"

#include <algorithm>

#include "Installer/Engine/TargetPlace.h"

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
    if (entry.isLink) {
      complete = false;
    } else if (!entry.isFolder) {
      listing.files.push_back(relative);
    } else {
      listing.folders.push_back(relative);
      ListBelow(files, root, relative + L"\\", listing, complete);
    }
  }
}

// A folder that cannot be listed may simply be gone: only one that is
// still there counts against the removal.
bool Gone(Platform::IFileSystem& files, const std::wstring& path) {
  return files.RemoveFolder(WithoutSeparator(path)) || !files.PathExists(WithoutSeparator(path));
}

// Removes a tree as it lies on its own volume, and nothing a link leads to:
// every name is looked at before it is touched, as the system would
// follow a link in any call on it (under Wine even a removal or a rename
// acts on what the link names). A link, or a name that leads elsewhere,
// stays, and with it the folders above it.
class TreeRemoval {
 public:
  TreeRemoval(Platform::IFileSystem& files, Deadline until) : m_files(files), m_until(until) {}

  // root must lie in its parent, which is taken to be where it says.
  bool Remove(const std::wstring& root, bool filesToo, const std::wstring& last) {
    m_last = last;
    m_filesToo = filesToo;
    const std::wstring path = WithoutSeparator(root);
    const std::size_t separator = path.find_last_of(L"\\/");
    Platform::PathIdentity identity;
    Platform::PathIdentity parent;
    if (!m_files.IdentifyPath(path, identity)) return !m_files.PathExists(path);
    if (separator == std::wstring::npos || !m_files.IdentifyPath(path.substr(0, separator + 1), parent)) return false;
    const std::wstring expected = WithoutSeparator(parent.finalPath) + L"\\" + path.substr(separator + 1);
    if (!Misplacement(identity, expected, parent.volume).empty()) return false;
    m_volume = identity.volume;
    return RemoveFolder(path + L"\\", identity.finalPath, true);
  }

 private:
  bool RemoveFolder(const std::wstring& folder, const std::wstring& finalPath, bool atRoot) {
    std::vector<Platform::FolderEntry> entries;
    if (!m_files.ListFolder(folder, entries)) return !m_files.PathExists(WithoutSeparator(folder));
    if (atRoot && !m_last.empty()) {
      std::stable_partition(entries.begin(), entries.end(),
                            [this](const Platform::FolderEntry& entry) { return entry.name != m_last; });
    }
    for (const Platform::FolderEntry& entry : entries) {
      if (std::chrono::steady_clock::now() > m_until) return false;
      if (entry.isLink || (!entry.isFolder && !m_filesToo)) return false;
      const std::wstring path = folder + entry.name;
      const std::wstring expected = WithoutSeparator(finalPath) + L"\\" + entry.name;
      Platform::PathIdentity identity;
      if (!m_files.IdentifyPath(path, identity)) {
        if (m_files.PathExists(path)) return false;
        continue;  // gone meanwhile
      }
      if (!Misplacement(identity, expected, m_volume).empty()) return false;
      if (entry.isFolder ? !RemoveFolder(path + L"\\", expected, false) : !RemoveFileEvenReadOnly(m_files, path)) {
        return false;
      }
    }
    return Gone(m_files, folder);
  }

  Platform::IFileSystem& m_files;
  const Deadline m_until;
  std::uint64_t m_volume = 0;
  bool m_filesToo = true;
  std::wstring m_last;
};

}  // namespace

bool RemoveFileEvenReadOnly(Platform::IFileSystem& files, const std::wstring& path) {
  if (files.RemoveFile(path)) return true;
  std::uint32_t attributes = 0;
  if (!files.GetPathAttributes(path, attributes)) return false;
  files.SetPathAttributes(path, attributes & ~(Platform::kAttributeReadOnly | Platform::kAttributeHidden |
                                               Platform::kAttributeSystem));
  return files.RemoveFile(path);
}

std::wstring WithSeparator(const std::wstring& folder) {
  return !folder.empty() && IsSeparator(folder.back()) ? folder : folder + L"\\";
}

std::wstring WithoutSeparator(const std::wstring& folder) {
  std::wstring path = folder;
  while (!path.empty() && IsSeparator(path.back())) path.pop_back();
  return path;
}

std::wstring ParentOf(const std::wstring& relative) {
  const std::size_t separator = relative.find_last_of(L'\\');
  return separator == std::wstring::npos ? std::wstring() : relative.substr(0, separator);
}

bool ListTree(Platform::IFileSystem& files, const std::wstring& root, TreeListing& listing) {
  listing = TreeListing();
  bool complete = true;
  ListBelow(files, WithSeparator(root), std::wstring(), listing, complete);
  return complete;
}

bool RemoveTree(Platform::IFileSystem& files, const std::wstring& root, Deadline until, const std::wstring& last) {
  return TreeRemoval(files, until).Remove(root, true, last);
}

bool RemoveEmptyTree(Platform::IFileSystem& files, const std::wstring& root) {
  return TreeRemoval(files, kNoDeadline).Remove(root, false, std::wstring());
}

}  // namespace InstallBackend
