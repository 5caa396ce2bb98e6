#pragma once
#include <optional>
#include <string>
#include <vector>

#include "Installer/Engine/FileIdentity.h"
#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

// A file the commit places, with what its two versions hold: a later run
// tells by them which copy is which, whatever a torn move left behind.
struct PlannedFile {
  std::wstring name;                  // relative to the target
  FileIdentity fresh;                 // the package's file
  std::optional<FileIdentity> old;    // the installed file it replaces; none for a file new to the target
};

// The commit's plan as it is kept on the drive: enough for a later run to
// undo a commit that never reached its mark, or to finish it. Which step a
// file had reached needs no record of its own: every step is one rename,
// and where the file's three copies (staged, installed, backed up) stand,
// and what each holds, tells it.
struct CommitPlan {
  // Folders the target lacks, moved in whole from the staging folder (each
  // with everything in it, outermost ones only): a fresh install is a few
  // renames.
  std::vector<std::wstring> movedFolders;
  // Target folders made one by one (outermost first): only an earlier
  // installer's journal names any.
  std::vector<std::wstring> newFolders;
  std::vector<PlannedFile> files;  // every file placed by a rename of its own
  // False for a journal of an earlier installer, which records names only:
  // its copies are told apart by where they stand.
  bool identified = true;
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

// The commit's mark: written once every file is in place (and on the
// disk), it makes the commit final. A mark cut short is no mark.
bool WriteCommitMark(Platform::IFileSystem& files, const std::wstring& path);
// Also takes the mark of an earlier installer, which renamed its whole
// journal into it.
bool IsCommitMark(Platform::IFileSystem& files, const std::wstring& path);

}  // namespace InstallBackend
