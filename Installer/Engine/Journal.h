#pragma once
#include <string>
#include <vector>

#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

// The commit's plan as it is kept on the drive: enough for a later run to
// undo a commit that never reached its mark. Which step a file had reached
// needs no record of its own: every step is one rename, and where the
// file's three copies (staged, installed, backed up) stand tells it.
struct CommitPlan {
  std::vector<std::wstring> newFolders;  // target folders the commit creates, outermost first
  std::vector<std::wstring> files;       // every file placed, relative to the target
};

// Writes the plan and flushes it to the disk; false when any of it failed.
bool WriteJournal(Platform::IFileSystem& files, const std::wstring& path, const CommitPlan& plan);

// False when the journal is missing, unreadable or was cut short while it
// was written (then no file was moved yet).
bool ReadJournal(Platform::IFileSystem& files, const std::wstring& path, CommitPlan& plan);

}  // namespace InstallBackend
