#include "Installer/Engine/InstallSequence.h"

#include <chrono>
#include <functional>

#include "Common/Drives/UsbDrives.h"
#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/InstalledApplication.h"
#include "Installer/Engine/KeptArchive.h"
#include "Installer/Engine/Commit.h"
#include "Installer/Engine/FileTree.h"
#include "Installer/Engine/MakeFolders.h"
#include "Installer/Engine/ProgressShare.h"
#include "Installer/Engine/Recovery.h"
#include "Installer/Engine/StagingArea.h"
#include "Installer/Engine/StagingFolder.h"
#include "Installer/Engine/VolumeLockWait.h"
#include "Installer/Engine/WaitBounds.h"
#include "Installer/Log/Log.h"

namespace InstallBackend {
namespace {

const wchar_t kDownloadFolderPrefix[] = L"KV_Install_";

// The log lines of the steps whose errors carry no message text.
const char kLogPrefix[] = "InstallBackend::Install ";

// The second half of the bar: extracting into the staging folder, then the
// renames of the commit. An extraction that followed the download has
// little left to do after the last byte: the renames are most of the wait.
constexpr float kStagingShare = 0.9f;
constexpr float kFollowedStagingShare = 0.2f;

// A cancelled run gives up removing its staging folder after this long, so
// that its clean-up ends while the closing screen still waits for it; the
// next run's recovery removes the rest.
constexpr auto kCancelledCleanUpTime = kWorkerStopWait / 2;

// One run of the sequence: its folders, its reporting and its clean-up.
class InstallRun {
 public:
  InstallRun(const InstallParts& parts, const std::wstring& drive, const std::wstring& workRoot,
             IInstallListener* listener, const CancelFlag& cancel);
  bool Run();

 private:
  bool DriveIsConnected();
  bool DriveIsStillThere();
  bool DriveHasRoom(bool& readable);
  void MakeTarget();
  void Stage();
  void ClearStaging();
  bool VerifyAndCommit();
  // Runs one download or extraction step; false after logging what it raised.
  bool Attempt(const std::function<void()>& step, const char* genericName);
  bool StagedApplicationIsGenuine();
  bool Cancelled() const { return m_cancel.IsSet(); }
  // The system error code the log lines of a failed step end with.
  std::uint32_t LastError() const { return m_parts.files.LastErrorCode(); }
  bool Fail();
  bool Succeed();
  void Status(int status) {
    if (m_listener) m_listener->OnStatus(status);
  }
  void StoreError(InstallError code) {
    if (code != InstallError::None) m_errorStored = true;
    if (m_listener) m_listener->SetErrorCode(static_cast<int>(code));
  }
  void Download(bool proxyOnly);
  void PrepareStaging();

  const InstallParts& m_parts;
  const std::wstring& m_drive;
  const StagingArea m_area;
  IInstallListener* m_listener;
  const CancelFlag& m_cancel;
  std::wstring m_root;
  std::wstring m_workFolder;
  std::wstring m_zipPath;
  float m_stagingShare = kStagingShare;
  bool m_retryPointless = false;  // the last step failed in a way a new download cannot mend
  bool m_errorStored = false;
  bool m_madeTarget = false;      // the target folder did not exist before this run
  bool m_stagingIsOurs = false;   // a staging folder this run made and no commit has taken over
  bool m_downloaded = false;      // a download has started in this run
  bool m_downloadFailed = false;  // the last download raised: its archive may serve the next one
  std::unique_ptr<Platform::VolumeLock> m_volumeLock;  // held from the start of the run to its end
};

// A working root on a network share (\\server\share\..., where the
// user's temporary folder may live) keeps its leading pair: collapsed, it
// would name a folder on the current drive instead.
std::wstring CollapseDoubleSeparators(const std::wstring& path) {
  const bool networkPath = path.compare(0, 2, L"\\\\") == 0;
  std::wstring out = networkPath ? path.substr(0, 2) : std::wstring();
  for (size_t i = out.size(); i < path.size(); ++i) {
    out.push_back(path[i]);
    if (path[i] == L'\\' && i + 1 < path.size() && path[i + 1] == L'\\') ++i;
  }
  return out;
}

InstallRun::InstallRun(const InstallParts& parts, const std::wstring& drive, const std::wstring& workRoot,
                       IInstallListener* listener, const CancelFlag& cancel)
    : m_parts(parts), m_drive(drive), m_area(drive), m_listener(listener), m_cancel(cancel) {
  const size_t colon = drive.find(L':');
  m_root = (colon == std::wstring::npos ? std::wstring() : drive.substr(0, colon + 1)) + L"\\";
  m_workFolder = DownloadFolderFor(workRoot, m_root[0]);
}

bool InstallRun::Run() {
  StoreError(InstallError::None);
  // Before anything of the volume's or the download folder's is touched;
  // and nothing is cleaned up without it: it is the other run's.
  m_volumeLock = WaitForVolume(m_parts.files, m_root, m_cancel);
  if (!m_volumeLock) {
    if (!Cancelled()) {
      LOG_ERROR << kLogPrefix << LogText(m_root) << " another installation is under way on this drive; nothing is done";
    }
    Status(Failed);
    return false;
  }
  if (!m_parts.files.PathExists(m_workFolder)) m_parts.files.MakeFolder(m_workFolder);
  if (!DriveIsConnected()) {
    StoreError(InstallError::DriveNotConnected);
    return Fail();
  }
  // What an interrupted run left is put right before anything else, also
  // before the free space is measured: a rolled-back update gives it back.
  if (!RecoverInterruptedInstall(m_parts.files, m_area.target)) return Fail();
  bool readable = true;
  if (!DriveHasRoom(readable)) {
    // A volume whose free space cannot be read is not usable as a target.
    StoreError(readable ? InstallError::NotEnoughSpace : InstallError::DriveNotConnected);
    return Fail();
  }
  MakeTarget();

  const bool firstFailed = !Attempt([this] { Download(false); }, "Download Generic exception");
  if (Cancelled()) return Fail();
  if (firstFailed) {
    if (!Attempt([this] { Download(true); }, "Generic exception") || Cancelled()) return Fail();
  }
  if (Attempt([this] { Stage(); }, "Generic exception")) return VerifyAndCommit();
  if (Cancelled() || m_retryPointless) return Fail();
  ClearStaging();
  // The archive came whole and is no package: nothing of it is gone on with.
  DiscardArchive(m_parts.files, m_workFolder);
  const bool retried = Attempt(
      [this] {
        Download(true);
        Stage();
      },
      "Generic exception");
  return retried ? VerifyAndCommit() : Fail();
}

void InstallRun::MakeTarget() {
  const bool root = m_area.target.size() <= 3;
  m_madeTarget = !root && !m_parts.files.PathExists(WithoutSeparator(m_area.target));
  FolderMaker(m_parts.files, std::wstring()).Make(m_drive);
}

// Every download starts the staging afresh: the extraction follows the
// archive into it as the ranges arrive.
void InstallRun::Download(bool proxyOnly) {
  PrepareStaging();
  IArchiveGrowth* growth =
      m_parts.extraction.Follow(m_workFolder + ArchiveFileName, WithoutSeparator(m_area.newTree), m_cancel);
  m_stagingShare = growth ? kFollowedStagingShare : kStagingShare;
  m_downloaded = m_downloadFailed = true;
  m_zipPath = m_parts.download.Download(m_workFolder, m_listener, m_cancel, proxyOnly, growth);
  m_downloadFailed = false;
}

// The package goes into the staging folder, never over the installed files.
// The folder is made afresh by this run; one that is there and is not this
// run's own was left alone by the recovery for a reason it has logged.
void InstallRun::PrepareStaging() {
  ClearStaging();
  if (m_stagingIsOurs || !MakeStaging(m_parts.files, m_area)) {
    throw InstallException(L"InstallBackend::Install Staging folder cannot be made: " +
                               WithoutSeparator(m_area.folder),
                           InstallException::Retry::Pointless);
  }
  m_stagingIsOurs = true;
}

void InstallRun::Stage() {
  // The target, not the staging folder that is about to go, stays the
  // current directory: Windows removes no folder that is some process's.
  // ("E:" alone would name the drive's current folder: the staging one.)
  try {
    if (m_listener) {
      ProgressShare share(*m_listener, 0.0f, m_stagingShare);
      m_parts.extraction.Unzip(m_zipPath, WithoutSeparator(m_area.newTree), &share, m_cancel);
    } else {
      m_parts.extraction.Unzip(m_zipPath, WithoutSeparator(m_area.newTree), nullptr, m_cancel);
    }
  } catch (...) {
    m_parts.files.SetCurrentFolder(m_area.target);
    throw;
  }
  m_parts.files.SetCurrentFolder(m_area.target);
}

void InstallRun::ClearStaging() {
  if (!m_stagingIsOurs) return;
  m_parts.extraction.StopFollowing();
  const Deadline until =
      Cancelled() ? std::chrono::steady_clock::now() + kCancelledCleanUpTime : kNoDeadline;
  if (RemoveStaging(m_parts.files, m_area, until)) m_stagingIsOurs = false;
}

// Nothing installed is touched before the staged package has proved whole
// (the extraction checked every entry's CRC-32) and its Korvane.exe the
// maker's.
bool InstallRun::VerifyAndCommit() {
  if (Cancelled() || !StagedApplicationIsGenuine()) return Fail();
  const PackageList& package = m_parts.extraction.Verified();
  m_stagingIsOurs = false;
  bool committed = false;
  const bool ended = Attempt(
      [this, &committed, &package] {
        if (m_listener) {
          ProgressShare share(*m_listener, m_stagingShare, 1.0f - m_stagingShare);
          committed = CommitStaged(m_parts.files, m_area, package, &share, m_cancel);
        } else {
          committed = CommitStaged(m_parts.files, m_area, package, nullptr, m_cancel);
        }
      },
      "Commit Generic exception");
  if (!ended || !committed) return Fail();
  return Succeed();
}

bool InstallRun::DriveIsConnected() {
  try {
    return GetUsbDrives(m_parts.drives).count(m_root[0]) != 0;
  } catch (...) {
    LOG_ERROR << kLogPrefix << "CheckDriveConnected Generic exception Last error: " << LastError();
    return true;
  }
}

// A drive pulled during the run explains its failure better than any
// step's error: the user is told to check it is connected.
bool InstallRun::DriveIsStillThere() {
  std::uint64_t freeBytes = 0;
  try {
    return DriveIsConnected() && m_parts.files.GetFreeBytes(m_root, freeBytes);
  } catch (...) {
    return true;  // the earlier check has logged why the volume cannot be asked
  }
}

bool InstallRun::DriveHasRoom(bool& readable) {
  try {
    std::uint64_t freeBytes = 0;
    readable = m_parts.files.GetFreeBytes(m_root, freeBytes);
    return readable && freeBytes >= kRequiredFreeBytes;
  } catch (...) {
    LOG_ERROR << kLogPrefix << "CheckDriveFreeSpace Generic exception Last error: " << LastError();
    readable = true;
    return true;
  }
}

bool InstallRun::Attempt(const std::function<void()>& step, const char* genericName) {
  try {
    step();
    return true;
  } catch (const InstallException& error) {
    m_retryPointless = error.RetryIsPointless();
    if (error.Cause() != InstallError::None) StoreError(error.Cause());
    LOG_ERROR << kLogPrefix << "exception " << LogText(error.Message()) << " Last error: " << LastError();
  } catch (...) {
    LOG_ERROR << kLogPrefix << genericName << " Last error: " << LastError();
  }
  return false;
}

// The archive goes first: it is one call, while the staging folder's
// removal may be cut short by a closing screen that stops waiting. The
// extraction that follows the download reads it until stopped, and Windows
// deletes no file that is open. A download that failed (not one the user
// cancelled) leaves its archive for the next run to go on with, when the
// server named its package; so does a run that failed before it
// downloaded anything (a drive not plugged in yet).
bool InstallRun::Fail() {
  m_parts.extraction.StopFollowing();
  if (!Cancelled() && (m_downloadFailed || !m_downloaded)) {
    KeepArchiveIfResumable(m_parts.files, m_workFolder);
  } else {
    DiscardArchive(m_parts.files, m_workFolder);
  }
  ClearStaging();
  if (m_madeTarget) m_parts.files.RemoveFolder(WithoutSeparator(m_area.target));
  if (!m_errorStored && !Cancelled() && !DriveIsStillThere()) StoreError(InstallError::DriveNotConnected);
  Status(Failed);
  return false;
}

// A package whose Korvane.exe is not the maker's (replaced on the server,
// damaged, unsigned) is no install: the program the user would start from the
// drive would not be ours, so it never replaces the installed one. Fetching
// it once more would bring the same file. The log names the file by the
// place it is checked for.
bool InstallRun::StagedApplicationIsGenuine() {
  const std::wstring path = InstalledExecutableIn(m_drive);
  try {
    const Platform::SignatureCheck check =
        m_parts.signatures.CheckMakerSignature(m_area.newTree + kInstalledExecutableName);
    if (check.IsGenuine()) {
      LOG_INFO << kLogPrefix << LogText(path) << " is signed by " << LogText(check.signer);
      return true;
    }
    LOG_ERROR << kLogPrefix << LogText(path) << " is not genuine: " << DescribeRefusal(check);
  } catch (...) {
    LOG_ERROR << kLogPrefix << "CheckSignature Generic exception Last error: " << LastError();
  }
  return false;
}

// The new version is in place once committed: the user hears so before the
// backups of the old one are deleted (an update's restart does not wait for
// that), and a clean-up cut short is the next run's to finish.
bool InstallRun::Succeed() {
  Status(Completed);
  DiscardArchive(m_parts.files, m_workFolder);
  FinishCommit(m_parts.files, m_area);
  return true;
}

}  // namespace

std::wstring DownloadFolderFor(const std::wstring& workRoot, wchar_t driveLetter) {
  return CollapseDoubleSeparators(workRoot + L"\\" + kDownloadFolderPrefix + driveLetter + L"\\");
}

bool Install(const InstallParts& parts, const std::wstring& drive, const std::wstring& workRoot,
             IInstallListener* listener, const CancelFlag& cancel) {
  try {
    return InstallRun(parts, drive, workRoot, listener, cancel).Run();
  } catch (...) {
    // Only the listener or the clean-up can still throw here; nothing escapes.
    return false;
  }
}

}  // namespace InstallBackend
