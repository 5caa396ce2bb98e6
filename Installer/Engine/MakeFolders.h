#pragma once
#include <string>
#include <unordered_set>

#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

// The folders one extraction has made or found below its root. A folder is
// asked for once per extraction: every further entry in it costs no call
// to the file system.
class FolderMaker {
 public:
  FolderMaker(Platform::IFileSystem& files, std::wstring root);

  // Creates root (its last component only) when missing, then every folder
  // of path below it, outermost first. Failures are not reported: a folder
  // that could not be made shows when the file inside it cannot be created.
  void Make(const std::wstring& path);

 private:
  void MakeOne(const std::wstring& path);

  Platform::IFileSystem& m_files;
  std::wstring m_root;
  bool m_rootChecked = false;
  // Paths as given, with their separators unified and case folded the
  // way the file system compares names.
  std::unordered_set<std::wstring> m_known;
};

}  // namespace InstallBackend
