#pragma once
#include <string>

#include "Installer/Engine/TargetPlace.h"
#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

// Where a recovery keeps a file it finds at an installed path that is
// neither version's (the application wrote its settings while it closed,
// or the user put a file there): <target>\.korvane-set-aside\<its path>.
// The staging folder goes at the end of every run; this folder stays
// until the user removes it.
constexpr wchar_t kSetAsideFolderName[] = L".korvane-set-aside";

class SetAside {
 public:
  SetAside(Platform::IFileSystem& files, const std::wstring& target) : m_files(files), m_target(target), m_place(files, target) {}

  // Moves target + relative into the set-aside folder, beside any copy
  // kept there before (".2", ".3", ... after the name), and logs it. False
  // when it stays where it is.
  bool Keep(const std::wstring& relative);

 private:
  bool MakeFoldersFor(const std::wstring& relative);

  Platform::IFileSystem& m_files;
  std::wstring m_target;
  TargetPlace m_place;
};

}  // namespace InstallBackend
