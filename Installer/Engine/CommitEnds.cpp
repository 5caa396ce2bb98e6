#include "Installer/Engine/CommitEnds.h"

#include <vector>

#include "Installer/Engine/FileTree.h"
#include "Installer/Engine/PlannedCopies.h"
#include "Installer/Engine/StagingFolder.h"
#include "Installer/Log/Log.h"

namespace InstallBackend {
namespace {

CommitEnd Lost(const std::wstring& path, const char* version) {
  LOG_ERROR << "InstallBackend::Commit " << LogText(path) << " is lost: no copy of the " << version
            << " version's file is left on the drive";
  return CommitEnd::VersionLost;
}

std::vector<PlannedCopies> LookAtCopies(Platform::IFileSystem& files, const StagingArea& area,
                                        const CommitPlan& plan) {
  std::vector<PlannedCopies> copies;
  copies.reserve(plan.files.size());
  for (const PlannedFile& file : plan.files) copies.emplace_back(files, area, file);
  return copies;
}

// An earlier installer's journal names the files only: where a file's
// copies stand after whole steps, forward or back, tells how far it got (a
// backup with no staged copy means the new file sits in place).
bool PutBackByPlace(Platform::IFileSystem& files, const StagingArea& area, const std::wstring& relative) {
  const std::wstring backup = area.backups + relative;
  const std::wstring staged = area.newTree + relative;
  const std::wstring installed = area.target + relative;
  if (files.PathExists(backup)) {
    if (!files.PathExists(staged) && !files.MovePath(installed, staged)) return false;
    return files.MovePath(backup, installed);
  }
  return files.PathExists(staged) || files.MovePath(installed, staged);
}

CommitEnd PutBackFiles(Platform::IFileSystem& files, const StagingArea& area, const CommitPlan& plan) {
  if (!plan.identified) {
    for (auto file = plan.files.rbegin(); file != plan.files.rend(); ++file) {
      if (!PutBackByPlace(files, area, file->name)) return CommitEnd::Failed;
    }
    return CommitEnd::Done;
  }
  std::vector<PlannedCopies> copies = LookAtCopies(files, area, plan);
  for (PlannedCopies& file : copies) {
    if (!file.HasOld()) return Lost(area.target + file.Name(), "installed");
  }
  SetAside aside(files, area.target);
  for (auto file = copies.rbegin(); file != copies.rend(); ++file) {
    if (!file->PutBack(aside)) return CommitEnd::Failed;
  }
  return CommitEnd::Done;
}

// A folder moved in whole goes back whole. Something at its name beside
// the staged one came from elsewhere (the commit never leaves both): it is
// set aside, with what it holds.
bool PutFolderBack(Platform::IFileSystem& files, const StagingArea& area, const std::wstring& folder,
                   SetAside& aside) {
  if (!files.PathExists(area.target + folder)) return true;
  if (files.PathExists(area.newTree + folder)) return aside.Keep(folder);
  return files.MovePath(area.target + folder, area.newTree + folder);
}

}  // namespace

CommitEnd RollBack(Platform::IFileSystem& files, const StagingArea& area, const CommitPlan& plan) {
  // A mark whose writing failed may still have reached the disk whole: it
  // goes first, or a roll-back cut short would be taken for a commit.
  if (!files.RemoveFile(area.commitMark) && files.PathExists(area.commitMark)) return CommitEnd::Failed;
  const CommitEnd filesBack = PutBackFiles(files, area, plan);
  if (filesBack != CommitEnd::Done) return filesBack;
  SetAside aside(files, area.target);
  for (auto folder = plan.movedFolders.rbegin(); folder != plan.movedFolders.rend(); ++folder) {
    if (!PutFolderBack(files, area, *folder, aside)) return CommitEnd::Failed;
  }
  for (auto folder = plan.newFolders.rbegin(); folder != plan.newFolders.rend(); ++folder) {
    const std::wstring path = area.target + *folder;
    if (!files.RemoveFolder(path) && files.PathExists(path)) return CommitEnd::Failed;
  }
  // What is left in old\ is a second name of a file put back. Without the
  // copies' contents to tell, a backup left there means a step above was
  // misjudged: the journal stays.
  const bool backupsGone = plan.identified ? RemoveTree(files, area.backups) : RemoveEmptyTree(files, area.backups);
  if (!backupsGone) return CommitEnd::Failed;
  if (!files.RemoveFile(area.journal) && files.PathExists(area.journal)) return CommitEnd::Failed;
  return RemoveStaging(files, area) ? CommitEnd::Done : CommitEnd::Failed;
}

CommitEnd RollForward(Platform::IFileSystem& files, const StagingArea& area, const CommitPlan& plan) {
  if (!plan.identified) return CommitEnd::VersionLost;
  std::vector<PlannedCopies> copies = LookAtCopies(files, area, plan);
  for (PlannedCopies& file : copies) {
    if (!file.HasNew()) return Lost(area.target + file.Name(), "package's");
  }
  for (const std::wstring& folder : plan.movedFolders) {
    if (!files.PathExists(area.target + folder) && !files.PathExists(area.newTree + folder)) {
      return Lost(area.target + folder, "package's");
    }
  }
  SetAside aside(files, area.target);
  for (const std::wstring& folder : plan.movedFolders) {
    const bool staged = files.PathExists(area.newTree + folder);
    if (!files.PathExists(area.target + folder)) {
      if (!files.MovePath(area.newTree + folder, area.target + folder)) return CommitEnd::Failed;
    } else if (staged && !aside.Keep(area.newTree + folder, folder)) {
      return CommitEnd::Failed;  // a second name of the folder in place: never deleted through
    }
  }
  for (PlannedCopies& file : copies) {
    if (!file.PutForward(aside)) return CommitEnd::Failed;
  }
  if (!WriteCommitMark(files, area.commitMark)) return CommitEnd::Failed;
  return FinishCommit(files, area) ? CommitEnd::Done : CommitEnd::Failed;
}

bool FinishCommit(Platform::IFileSystem& files, const StagingArea& area) {
  if (!RemoveTree(files, area.backups) || !RemoveTree(files, area.newTree)) return false;
  // The mark outlives the journal: a commit with its mark and no journal
  // is still a finished one.
  if (!files.RemoveFile(area.journal) && files.PathExists(area.journal)) return false;
  return RemoveStaging(files, area);
}

}  // namespace InstallBackend
