#include "Installer/Engine/Commit.h"

#include <chrono>
#include <map>
#include <set>
#include <thread>
#include <unordered_set>

#include "Common/Zip/ZipEntryName.h"
#include "Installer/Engine/CommitEnds.h"
#include "Installer/Engine/FileIdentity.h"
#include "Installer/Engine/FileTree.h"
#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/StagingFolder.h"
#include "Installer/Engine/TargetPlace.h"
#include "Installer/Log/Log.h"
#include "Platform/Files/FileSystem.h"

namespace InstallBackend {
namespace {

const wchar_t kLogPrefix[] = L"InstallBackend::Commit ";

// The application was asked to quit when the download began; it may still
// be closing its files.
constexpr auto kLockedFileWait = std::chrono::seconds(5);
constexpr auto kLockedFileRetryPause = std::chrono::milliseconds(100);

[[noreturn]] void Refuse(const std::wstring& why, const std::wstring& path) {
  throw InstallException(kLogPrefix + why + path, InstallException::Retry::Pointless);
}

class Commit {
 public:
  Commit(Platform::IFileSystem& files, const StagingArea& area, const PackageList& package,
         IInstallListener* listener, const CancelFlag& cancel)
      : m_files(files), m_area(area), m_package(package), m_listener(listener), m_cancel(cancel) {}

  bool Run();

 private:
  void Plan();
  void CheckStaged();
  void Place(const std::wstring& relative);
  void MakeBackupFolders(const std::wstring& relative);
  FileIdentity ReadInstalled(const std::wstring& installed);
  bool MoveAside(const std::wstring& installed, const std::wstring& backup);
  bool CancelledBeforeTheMark();
  void FlushPlacedFolders();
  void Placed(std::size_t done, std::size_t count);
  void LogUnflushed(const std::wstring& folder);
  [[noreturn]] void Undo(const std::wstring& why, const std::wstring& path);

  Platform::IFileSystem& m_files;
  const StagingArea& m_area;
  const PackageList& m_package;
  IInstallListener* m_listener;
  const CancelFlag& m_cancel;
  CommitPlan m_plan;
  std::unordered_set<std::wstring> m_installed;  // files of the plan that the target has now
  std::unordered_set<std::wstring> m_backupFolders;
  bool m_unflushedLogged = false;
  std::map<std::wstring, std::size_t> m_filesMoved;  // moved folder -> the files that come with it
};

// The outermost of the new folders that name is in.
std::wstring OutermostOf(const std::wstring& name, const std::unordered_set<std::wstring>& newFolders) {
  std::wstring outermost = ParentOf(name);
  for (std::wstring folder = outermost; newFolders.count(folder); folder = ParentOf(folder)) outermost = folder;
  return outermost;
}

// Everything that would make a rename fail for a reason the target itself
// holds is found before the first one: the journal is only written for a
// commit that can go through. A refusal here still removes the staging
// folder, as every end of the commit does.
// The staging folder holds what was verified, no less and no more: a file
// that went missing (another program's antivirus quarantines files it
// does not know) must not leave the old one in place under a "complete".
void Commit::CheckStaged() {
  TreeListing staged;
  if (!ListTree(m_files, m_area.newTree, staged)) Undo(L"Staged files cannot be listed: ", m_area.newTree);
  std::unordered_set<std::wstring> listed;
  for (const std::wstring& folder : m_package.folders) listed.insert(FoldEntryPath(folder));
  for (const PackageList::File& file : m_package.files) {
    std::uint64_t size = 0;
    if (!m_files.GetFileSize(m_area.newTree + file.name, size) || size != file.size) {
      Undo(L"Staged file is missing or incomplete: ", m_area.newTree + file.name);
    }
    listed.insert(FoldEntryPath(file.name));
  }
  for (const auto* names : {&staged.folders, &staged.files}) {
    for (const std::wstring& name : *names) {
      if (!listed.count(FoldEntryPath(name))) Undo(L"Staged file is not in the package: ", m_area.newTree + name);
    }
  }
}

void Commit::Plan() {
  CheckStaged();
  // A file is never placed through a link, nor an installed one moved
  // aside through one: the target may hold links someone laid there.
  TargetPlace place(m_files, m_area.target);
  std::unordered_set<std::wstring> newFolders;
  for (const std::wstring& folder : m_package.folders) {
    std::uint32_t attributes = 0;
    if (newFolders.count(ParentOf(folder))) {
      newFolders.insert(folder);  // inside a folder that comes whole
    } else if (!m_files.GetPathAttributes(m_area.target + folder, attributes)) {
      // The roll-back moves out what is listed here: a folder that is only
      // unreadable for a moment must not be taken for a new one.
      if (m_files.PathExists(m_area.target + folder)) Undo(L"Folder cannot be read: ", m_area.target + folder);
      newFolders.insert(folder);
      m_plan.movedFolders.push_back(folder);
    } else if (!(attributes & Platform::kAttributeDirectory)) {
      Undo(L"A file is in the way of folder ", m_area.target + folder);
    } else if (!place.IsInPlace(folder)) {
      Undo(L"A link is in the way of folder ", m_area.target + folder);
    }
  }
  // A folder the target lacks comes with its files in one rename: they
  // need no look (a fresh install asks the drive nothing per file).
  for (const PackageList::File& planned : m_package.files) {
    const std::wstring& file = planned.name;
    std::uint32_t attributes = 0;
    if (newFolders.count(ParentOf(file)) == 0 && m_files.GetPathAttributes(m_area.target + file, attributes)) {
      m_installed.insert(file);
      if (attributes & Platform::kAttributeDirectory) Undo(L"A folder is in the way of file ", m_area.target + file);
      if (!place.IsInPlace(file)) Undo(L"A link is in the way of file ", m_area.target + file);
      // A read-only file the package names is the application's own: it is
      // renamed aside like any other (a rename is allowed), and the new
      // file brings the attribute the package gives it.
    }
  }
  for (const PackageList::File& file : m_package.files) {
    if (newFolders.count(ParentOf(file.name))) {
      ++m_filesMoved[OutermostOf(file.name, newFolders)];
      continue;
    }
    PlannedFile planned{file.name, FileIdentity{file.size, file.crc}, std::nullopt};
    // What the installed file holds is the journal's way to tell its
    // copies from the package's after a rename that a pulled drive tore.
    if (m_installed.count(file.name)) {
      planned.old = ReadInstalled(m_area.target + file.name);
    }
    m_plan.files.push_back(std::move(planned));
  }
}

bool Commit::Run() {
  Plan();
  if (m_cancel.IsSet()) return CancelledBeforeTheMark();
  if (!WriteJournal(m_files, m_area.journal, m_plan)) Undo(L"Journal cannot be written: ", m_area.journal);
  if (!m_files.MakeFolder(WithoutSeparator(m_area.backups)) && !m_files.PathExists(m_area.backups)) {
    Undo(L"Backup folder cannot be made: ", m_area.backups);
  }
  const std::size_t count = m_package.files.size();
  std::size_t done = 0;
  for (const std::wstring& folder : m_plan.movedFolders) {
    if (m_cancel.IsSet()) return CancelledBeforeTheMark();
    if (!m_files.MovePath(m_area.newTree + folder, m_area.target + folder)) {
      Undo(L"Staged folder cannot be put in place: ", m_area.target + folder);
    }
    Placed(done += m_filesMoved[folder], count);
  }
  for (const PlannedFile& file : m_plan.files) {
    if (m_cancel.IsSet()) return CancelledBeforeTheMark();
    Place(file.name);
    Placed(++done, count);
  }
  // Only a mark on the disk makes the commit final: the screen's "complete",
  // an update's restart and the removal of the backups all come after it.
  FlushPlacedFolders();
  if (!WriteCommitMark(m_files, m_area.commitMark)) Undo(L"Commit cannot be marked: ", m_area.commitMark);
  if (!m_files.FlushFolder(m_area.folder)) LogUnflushed(m_area.folder);
  return true;
}

// Every rename is on the disk before the mark is: a mark found without
// them would let the clean-up delete the backups, or the staged names that
// a lost rename left, of files the drive holds under no other name.
void Commit::FlushPlacedFolders() {
  std::set<std::wstring> folders;
  const auto add = [&](const std::wstring& name, bool backedUp) {
    const std::wstring parent = ParentOf(name);
    const std::wstring below = parent.empty() ? parent : parent + L"\\";
    folders.insert(m_area.target + below);
    folders.insert(m_area.newTree + below);
    if (backedUp) folders.insert(m_area.backups + below);
  };
  for (const std::wstring& folder : m_plan.movedFolders) add(folder, false);
  for (const PlannedFile& file : m_plan.files) add(file.name, file.old.has_value());
  for (const std::wstring& folder : folders) {
    if (!m_files.FlushFolder(folder)) LogUnflushed(folder);
  }
}

// A system that refuses a folder's flush still has its write cache: the
// commit goes on, as it did before flushes were asked for.
void Commit::LogUnflushed(const std::wstring& folder) {
  if (m_unflushedLogged) return;
  m_unflushedLogged = true;
  LOG_INFO << "InstallBackend::Commit " << LogText(folder) << " cannot be flushed to the disk; Last error: "
           << m_files.LastErrorCode();
}

void Commit::Placed(std::size_t done, std::size_t count) {
  if (!m_listener) return;
  m_listener->OnProgress(static_cast<float>(done) / static_cast<float>(count));
  m_listener->OnFiles(static_cast<int>(done), static_cast<int>(count));
}

// The backups mirror the target's folders. Each one is made once and
// checked: a backup with nowhere to go must fail now, not after the
// seconds a locked file is waited for.
void Commit::MakeBackupFolders(const std::wstring& relative) {
  const std::wstring parent = ParentOf(relative);
  if (parent.empty() || m_backupFolders.count(parent)) return;
  MakeBackupFolders(parent);
  const std::wstring path = m_area.backups + parent;
  if (!m_files.MakeFolder(path) && !m_files.PathExists(path)) Undo(L"Backup folder cannot be made: ", path);
  m_backupFolders.insert(parent);
}

void Commit::Place(const std::wstring& relative) {
  const std::wstring installed = m_area.target + relative;
  // A file the plan did not find that is there after all stays: the staged
  // file's move below refuses to replace it.
  if (m_installed.count(relative)) {
    MakeBackupFolders(relative);
    if (!MoveAside(installed, m_area.backups + relative)) Undo(L"Installed file stays locked: ", installed);
  }
  if (!m_files.MovePath(m_area.newTree + relative, installed)) Undo(L"Staged file cannot be put in place: ", installed);
}

FileIdentity Commit::ReadInstalled(const std::wstring& installed) {
  const auto until = std::chrono::steady_clock::now() + kLockedFileWait;
  FileIdentity identity;
  while (!ReadFileIdentity(m_files, installed, identity)) {
    if (!m_files.PathExists(installed)) Undo(L"Installed file cannot be read: ", installed);
    if (m_cancel.IsSet() || std::chrono::steady_clock::now() >= until) Undo(L"Installed file stays locked: ", installed);
    std::this_thread::sleep_for(kLockedFileRetryPause);
  }
  return identity;
}

bool Commit::MoveAside(const std::wstring& installed, const std::wstring& backup) {
  const auto until = std::chrono::steady_clock::now() + kLockedFileWait;
  for (;;) {
    if (m_files.MovePath(installed, backup)) return true;
    // Gone meanwhile: nothing to keep (and if it is there after all, the
    // staged file's move refuses to replace it).
    if (!m_files.PathExists(installed)) return true;
    if (m_cancel.IsSet() || std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(kLockedFileRetryPause);
  }
}

// A roll-back that cannot finish leaves the journal: the next run's
// recovery completes it, or finishes the commit when the old version
// cannot be put back whole.
bool Commit::CancelledBeforeTheMark() {
  RollBack(m_files, m_area, m_plan);
  return false;
}

void Commit::Undo(const std::wstring& why, const std::wstring& path) {
  const bool undone = RollBack(m_files, m_area, m_plan) == CommitEnd::Done;
  Refuse(why + path + (undone ? L"" : L" (the next run completes the roll-back)"), std::wstring());
}

}  // namespace

bool CommitStaged(Platform::IFileSystem& files, const StagingArea& area, const PackageList& package,
                  IInstallListener* listener, const CancelFlag& cancel) {
  return Commit(files, area, package, listener, cancel).Run();
}

}  // namespace InstallBackend
