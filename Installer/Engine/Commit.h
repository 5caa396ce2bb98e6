#pragma once
#include <string>

#include "Installer/Engine/CommitEnds.h"
#include "Installer/Engine/InstallListener.h"
#include "Installer/Engine/Journal.h"
#include "Installer/Engine/PackageList.h"
#include "Installer/Engine/StagingArea.h"
#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

// Puts the package staged in area.newTree in place over the target, the
// files and folders of `package` and nothing else: every one of its files
// must be staged whole (with its size) and nothing else may be, or the
// commit fails before it touches anything. It writes the journal (with
// what each file of the package and each installed file it replaces
// holds, for which every such installed file is read), then moves each
// folder the target lacks in whole (one rename, everything in it along),
// then for every other file the installed copy into area.backups and the
// staged one into place, then flushes what it renamed and writes the
// commit mark. Before the mark
// nothing is final: a cancel (read between steps) or a failure moves every
// file back, returns the target to what it was and removes the staging
// folder. OnProgress goes from 0 to 1 over the files, and OnFiles counts them.
//
// True once committed: the new version is in place, and the backups and the
// staging folder are left for FinishCommit. False after a cancel, rolled
// back. Raises InstallException (no new
// download can help) for a failure, after the roll-back: a folder or file of
// the package blocked by a file or folder (or a link) in the target, an
// installed file that stays locked for seconds, a journal that cannot be
// written, a rename that fails.
bool CommitStaged(Platform::IFileSystem& files, const StagingArea& area, const PackageList& package,
                  IInstallListener* listener, const CancelFlag& cancel);

}  // namespace InstallBackend
