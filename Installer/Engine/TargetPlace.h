#pragma once
#include <string>

#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

// Whether a path below a target lies where its name says: no link on the
// way (symbolic link, junction, mount point), on the target's own volume.
// Everything found on a drive may have been put there by someone else; a
// path that leads elsewhere is never moved, removed or written through.
class TargetPlace {
 public:
  enum class Found { Missing, InPlace, Elsewhere };

  // target: "E:\" or "E:\Apps\"; the target itself is the user's choice.
  TargetPlace(Platform::IFileSystem& files, const std::wstring& target);

  // relative: "a\b" below the target. why, when given, receives what is
  // wrong with a path found Elsewhere (for the log).
  Found Find(const std::wstring& relative, std::wstring* why = nullptr);
  bool IsInPlace(const std::wstring& relative) { return Find(relative) == Found::InPlace; }

 private:
  Platform::IFileSystem& m_files;
  std::wstring m_target;
  bool m_known = false;
  Platform::PathIdentity m_identity;
};

// True when two final paths name the same place as the file system
// compares names (case, separators, trailing separators).
bool SameFinalPath(const std::wstring& left, const std::wstring& right);

// What is wrong with a path whose identity was expected at expectedFinal;
// empty when nothing is.
std::wstring Misplacement(const Platform::PathIdentity& found, const std::wstring& expectedFinal,
                          std::uint64_t expectedVolume);

}  // namespace InstallBackend
