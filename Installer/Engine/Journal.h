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

enum class JournalRead {
  Whole,
  Unreadable,  // missing, unreadable, or cut short while it was written (then no file was moved yet)
  Refused,     // a name in it is no name a package can install: it was not written by a commit
};

// A journal is read back from a drive anybody may have written to: every
// name in it must pass the checks of a package entry's name, or none is used.
JournalRead ReadJournal(Platform::IFileSystem& files, const std::wstring& path, CommitPlan& plan);

}  // namespace InstallBackend
