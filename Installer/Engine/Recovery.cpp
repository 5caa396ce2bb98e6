#include "Installer/Engine/Recovery.h"

#include "Installer/Engine/Commit.h"
#include "Installer/Engine/FileTree.h"
#include "Installer/Engine/StagingArea.h"
#include "Installer/Log/Log.h"

namespace InstallBackend {
namespace {

const char kLogPrefix[] = "InstallBackend::Recover ";

bool Report(Platform::IFileSystem& files, bool done, const StagingArea& area, const std::string& what) {
  if (done) {
    LOG_INFO << kLogPrefix << LogText(area.target) << " " << what;
  } else {
    LOG_ERROR << kLogPrefix << LogText(area.target) << " could not be recovered yet (" << what
              << "), the next run tries again Last error: " << files.LastErrorCode();
  }
  return done;
}

}  // namespace

bool RecoverInterruptedInstall(Platform::IFileSystem& files, const std::wstring& target) {
  const StagingArea area(target);
  if (!files.PathExists(WithoutSeparator(area.folder))) return true;
  if (files.PathExists(area.commitMark)) {
    return Report(files, FinishCommit(files, area), area, "finished the clean-up of a completed update");
  }
  if (files.PathExists(area.journal)) {
    CommitPlan plan;
    if (!ReadJournal(files, area.journal, plan)) {
      // Cut short while it was written, no file moved yet: unless backups
      // say otherwise, and then it is only unreadable for now.
      if (files.PathExists(WithoutSeparator(area.backups))) return Report(files, false, area, "unreadable journal");
      return Report(files, RemoveTree(files, area.folder), area, "removed an update whose journal was never finished");
    }
    return Report(files, RollBack(files, area, plan), area,
                  "rolled back an interrupted update of " + std::to_string(plan.files.size()) + " files");
  }
  // Backups without a journal or a mark come from no step of a run: leave
  // them for a run that can tell what they are.
  if (files.PathExists(WithoutSeparator(area.backups))) return Report(files, false, area, "backups without a journal");
  return Report(files, RemoveTree(files, area.folder), area, "removed the staging folder of an unfinished install");
}

}  // namespace InstallBackend
