#include "Installer/Engine/Recovery.h"

#include <optional>
#include <unordered_set>

#include "Installer/Engine/Commit.h"
#include "Installer/Engine/FileTree.h"
#include "Installer/Engine/StagingArea.h"
#include "Installer/Engine/StagingFolder.h"
#include "Installer/Engine/TargetPlace.h"
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

// A roll-back's or a roll-forward's end, when it ends the recovery; none
// when the version it aimed for is lost.
std::optional<bool> Reported(Platform::IFileSystem& files, const StagingArea& area, CommitEnd end, const char* done,
                             const char* tried, const std::string& count) {
  if (end == CommitEnd::VersionLost) return std::nullopt;
  if (end == CommitEnd::Done) return Report(files, true, area, std::string(done) + " an interrupted update of " + count);
  return Report(files, false, area, std::string(tried) + " an interrupted update of " + count);
}

// Nothing is touched: what is there is not the installer's to judge.
bool Refuse(const std::wstring& path, const std::wstring& why, const char* advice) {
  LOG_ERROR << kLogPrefix << LogText(path) << " is left as it is: " << LogText(why) << advice;
  return false;
}

// Every place a roll-back moves from or to, and every folder it removes,
// must lie where its name says before the first rename: a journal names
// paths on a drive that anybody may have laid links on.
class PlanCheck {
 public:
  PlanCheck(Platform::IFileSystem& files, const StagingArea& area) : m_place(files, area.target) {}

  // Empty when the plan stays in place; else the first path that does not.
  std::wstring FirstMisplaced(const CommitPlan& plan) {
    const std::wstring staging = std::wstring(kStagingFolderName) + L"\\";
    for (const std::wstring& name : {std::wstring(kStagingFolderName), staging + L"journal"}) {
      if (!InPlaceOrMissing(name)) return name;
    }
    std::vector<std::wstring> moved;
    for (const PlannedFile& planned : plan.files) {
      const std::wstring& file = planned.name;
      moved.insert(moved.end(), {file, staging + L"new\\" + file, staging + L"old\\" + file});
    }
    for (const std::wstring& folder : plan.movedFolders) moved.insert(moved.end(), {folder, staging + L"new\\" + folder});
    for (const std::wstring& path : moved) {
      if (!InPlaceOrMissing(path) || !FirstFoundFolderInPlace(ParentOf(path))) return path;
    }
    for (const std::wstring& folder : plan.newFolders) {
      if (!InPlaceOrMissing(folder)) return folder;
    }
    return std::wstring();
  }

 private:
  bool InPlaceOrMissing(const std::wstring& relative) {
    return m_place.Find(relative) != TargetPlace::Found::Elsewhere;
  }

  // A move into a missing path goes through the nearest folder above it
  // that is there.
  bool FirstFoundFolderInPlace(const std::wstring& folder) {
    if (folder.empty() || m_checked.count(folder)) return true;
    const TargetPlace::Found found = m_place.Find(folder);
    if (found == TargetPlace::Found::Elsewhere) return false;
    if (found == TargetPlace::Found::Missing && !FirstFoundFolderInPlace(ParentOf(folder))) return false;
    m_checked.insert(folder);
    return true;
  }

  TargetPlace m_place;
  std::unordered_set<std::wstring> m_checked;
};

bool RecoverJournal(Platform::IFileSystem& files, const StagingArea& area) {
  CommitPlan plan;
  switch (ReadJournal(files, area.journal, plan)) {
    case JournalRead::Refused:
      return Refuse(area.journal, L"it names a path that is not below the target or is not a file's name",
                    "; it was not written by the installer");
    case JournalRead::Unreadable:
      // Cut short while it was written, no file moved yet: unless backups
      // say otherwise, and then it is only unreadable for now.
      if (files.PathExists(WithoutSeparator(area.backups))) return Report(files, false, area, "unreadable journal");
      return Report(files, RemoveStaging(files, area), area, "removed an update whose journal was never finished");
    case JournalRead::Whole:
      break;
  }
  const std::wstring misplaced = PlanCheck(files, area).FirstMisplaced(plan);
  if (!misplaced.empty()) {
    return Refuse(area.target + misplaced, L"it is a link or leads elsewhere than its name says",
                  "; the interrupted update is not rolled back");
  }
  std::string count = std::to_string(plan.files.size()) + " files";
  if (!plan.movedFolders.empty()) count += " and " + std::to_string(plan.movedFolders.size()) + " folders";
  if (const auto back = Reported(files, area, RollBack(files, area, plan), "rolled back", "roll-back of", count)) {
    return *back;
  }
  // A torn rename lost a file of the installed version: the package's
  // version is the one that can still be made whole.
  LOG_INFO << kLogPrefix << LogText(area.target)
           << " cannot get the installed version back whole: the interrupted update is finished instead";
  if (const auto forward = Reported(files, area, RollForward(files, area, plan), "finished", "finishing", count)) {
    return *forward;
  }
  return Refuse(area.target, L"files of both versions were lost in an interrupted update",
                "; copy what you need from the drive, delete the folder .korvane-staging on it, then install "
                "again: the installer puts the whole new version in place");
}

}  // namespace

bool RecoverInterruptedInstall(Platform::IFileSystem& files, const std::wstring& target) {
  const StagingArea area(target);
  const StagingFound found = InspectStaging(files, area);
  switch (found.kind) {
    case StagingFound::Nothing:
      return true;
    case StagingFound::Empty:
      return Report(files, RemoveStaging(files, area), area, "removed an empty staging folder");
    case StagingFound::Elsewhere:
      return Refuse(WithoutSeparator(area.folder), found.why,
                    "; it is not a folder of this drive at its place, and nothing it leads to is touched");
    case StagingFound::NotOurs:
      return Refuse(WithoutSeparator(area.folder), found.why,
                    "; it is in the way of the installation: move it away or rename it, then install again");
    case StagingFound::Ours:
      break;
  }
  if (IsCommitMark(files, area.commitMark)) {
    return Report(files, FinishCommit(files, area), area, "finished the clean-up of a completed update");
  }
  if (files.PathExists(area.journal)) return RecoverJournal(files, area);
  // Backups without a journal or a mark come from no step of a run: leave
  // them for a run that can tell what they are.
  if (files.PathExists(WithoutSeparator(area.backups))) return Report(files, false, area, "backups without a journal");
  return Report(files, RemoveStaging(files, area), area, "removed the staging folder of an unfinished install");
}

}  // namespace InstallBackend
