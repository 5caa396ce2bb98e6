#pragma once
#include <string>

#include "Installer/Engine/TargetPlace.h"
#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

// Where a recovery keeps what it finds in the way and may not delete:
// <target>\.korvane-set-aside\<its path>. That is a file at an installed
// path that is neither version's (the application wrote its settings while
// it closed, or the user put one there), and the second name a torn rename
// left: on FAT and exFAT both names may point at the same data, and
// deleting one would free the other's. The staging folder goes at the end
// of every run; this folder stays until the user removes it.
constexpr wchar_t kSetAsideFolderName[] = L".korvane-set-aside";

class SetAside {
 public:
  SetAside(Platform::IFileSystem& files, const std::wstring& target) : m_files(files), m_target(target), m_place(files, target) {}

  // Moves target + relative into the set-aside folder, beside any copy
  // kept there before (".2", ".3", ... after the name), and logs it. False
  // when it stays where it is.
  bool Keep(const std::wstring& relative) { return Keep(m_target + relative, relative); }
  // The same for `path` (in the staging folder), kept under `relative`.
  bool Keep(const std::wstring& path, const std::wstring& relative);

 private:
  bool MakeFoldersFor(const std::wstring& relative);

  Platform::IFileSystem& m_files;
  std::wstring m_target;
  TargetPlace m_place;
};

}  // namespace InstallBackend
