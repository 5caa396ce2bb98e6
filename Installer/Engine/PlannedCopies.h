#pragma once
#include <string>

#include "Installer/Engine/Journal.h"
#include "Installer/Engine/SetAside.h"
#include "Installer/Engine/StagingArea.h"
#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

// The copies of one file of a commit's plan: staged (new\), installed (in
// the target) and backed up (old\). Each step of a commit or a roll-back
// is one rename, and where the copies stand tells how far the file got.
// A rename that a pulled drive tore (FAT and exFAT write the new name and
// remove the old one separately) leaves both names or neither, and
// another program may have written a file at an installed path meanwhile:
// where the places alone do not tell, what a copy holds does.
class PlannedCopies {
 public:
  // Looks at the three places once; what is found is what the calls below
  // work from.
  PlannedCopies(Platform::IFileSystem& files, const StagingArea& area, const PlannedFile& file);

  const std::wstring& Name() const { return m_file.name; }

  // Whether the installed version of the file (or, for a file new to the
  // target, its absence) can be put back from what is there.
  bool HasOld();
  // Whether the package's file can be put in place from what is there.
  bool HasNew();

  // Puts the installed version back; the package's copy, when it is
  // there, goes to new\; a copy that is neither, and the second name a
  // torn rename left, is set aside (never deleted).
  bool PutBack(SetAside& aside);
  // Puts the package's file in place; the installed version's copy is
  // removed (its version is given up); a copy that is neither, and the
  // second name a torn rename left, is set aside.
  bool PutForward(SetAside& aside);

 private:
  enum class Holds { Unknown, New, Old, Other, Unreadable };
  Holds InstalledHolds();
  bool ClearInstalled(SetAside& aside);

  Platform::IFileSystem& m_files;
  const PlannedFile& m_file;
  const std::wstring m_staged, m_installed, m_backup;
  const bool m_isStaged, m_isInstalled, m_isBackedUp;
  Holds m_installedHolds = Holds::Unknown;
};

}  // namespace InstallBackend
