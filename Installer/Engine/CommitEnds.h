#pragma once
#include "Installer/Engine/Journal.h"
#include "Installer/Engine/StagingArea.h"
#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

enum class CommitEnd {
  Done,
  Failed,       // a step failed: what is done so far stays, and the journal for another try
  VersionLost,  // a file of the version aimed for is on the drive in no copy; nothing was moved
};

// Undoes a commit that has not reached its mark, whatever step it stopped
// at, and removes the staging folder. Every step can be repeated.
CommitEnd RollBack(Platform::IFileSystem& files, const StagingArea& area, const CommitPlan& plan);

// Finishes a commit that has not reached its mark and cannot be undone
// (a torn rename lost a file of the installed version): every file of the
// package is put in place, the mark written, and what is left removed.
// Every step can be repeated.
CommitEnd RollForward(Platform::IFileSystem& files, const StagingArea& area, const CommitPlan& plan);

// Removes what a commit that reached its mark left behind: the backups and
// the staging folder. False leaves the rest to the next run's recovery.
bool FinishCommit(Platform::IFileSystem& files, const StagingArea& area);

}  // namespace InstallBackend
