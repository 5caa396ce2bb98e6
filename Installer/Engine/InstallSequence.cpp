#include "Installer/Engine/InstallSequence.h"

#include <functional>

#include "Common/Drives/UsbDrives.h"
#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/InstalledApplication.h"
#include "Installer/Engine/MakeFolders.h"
#include "Installer/Log/Log.h"
#include "Platform/SystemServices.h"

namespace InstallBackend {
namespace {

const wchar_t kDownloadFolderPrefix[] = L"KV_Install_";

// The log lines of the steps whose errors carry no message text.
const char kLogPrefix[] = "InstallBackend::Install ";

// One run of the sequence: its folders, its reporting and its clean-up.
class InstallRun {
 public:
  InstallRun(const InstallParts& parts, const std::wstring& drive, const std::wstring& workRoot,
             IInstallListener* listener, const CancelFlag& cancel);
  bool Run();

 private:
  bool DriveIsConnected();
  bool DriveHasRoom(bool& readable);
  // Runs one download or extraction step; false after logging what it raised.
  bool Attempt(const std::function<void()>& step, const char* genericName);
  bool InstalledApplicationIsGenuine();
  bool Cancelled() const { return m_cancel.IsSet(); }
  // The system error code the log lines of a failed step end with.
  std::uint32_t LastError() const { return m_parts.files.LastErrorCode(); }
  bool Fail();
  bool Succeed();
  void Status(int status) {
    if (m_listener) m_listener->OnStatus(status);
  }
  void StoreError(InstallError code) {
    if (m_listener) m_listener->SetErrorCode(static_cast<int>(code));
  }
  void Download(bool proxyOnly) {
    m_zipPath = m_parts.download.Download(m_workFolder, m_listener, m_cancel, proxyOnly);
  }
  void Unzip() { m_parts.extraction.Unzip(m_zipPath, m_drive, m_listener, m_cancel); }

  const InstallParts& m_parts;
  const std::wstring& m_drive;
  IInstallListener* m_listener;
  const CancelFlag& m_cancel;
  std::wstring m_root;
  std::wstring m_workFolder;
  std::wstring m_zipPath;
  bool m_retryPointless = false;  // the last step failed in a way a new download cannot mend
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
    : m_parts(parts), m_drive(drive), m_listener(listener), m_cancel(cancel) {
  const size_t colon = drive.find(L':');
  m_root = (colon == std::wstring::npos ? std::wstring() : drive.substr(0, colon + 1)) + L"\\";
  m_workFolder = DownloadFolderFor(workRoot, m_root[0]);
}

bool InstallRun::Run() {
  StoreError(InstallError::None);
  if (!m_parts.files.PathExists(m_workFolder)) m_parts.files.MakeFolder(m_workFolder);
  if (!DriveIsConnected()) {
    StoreError(InstallError::DriveNotConnected);
    return Fail();
  }
  bool readable = true;
  if (!DriveHasRoom(readable)) {
    // A volume whose free space cannot be read is not usable as a target.
    StoreError(readable ? InstallError::NotEnoughSpace : InstallError::DriveNotConnected);
    return Fail();
  }
  FolderMaker(m_parts.files, std::wstring()).Make(m_drive);

  const bool firstFailed = !Attempt([this] { Download(false); }, "Download Generic exception");
  if (Cancelled()) return Fail();
  if (firstFailed) {
    if (!Attempt([this] { Download(true); }, "Generic exception") || Cancelled()) return Fail();
  }
  if (Attempt([this] { Unzip(); }, "Generic exception")) return Succeed();
  if (Cancelled() || m_retryPointless) return Fail();
  const bool retried = Attempt(
      [this] {
        Download(true);
        Unzip();
      },
      "Generic exception");
  return retried ? Succeed() : Fail();
}

bool InstallRun::DriveIsConnected() {
  try {
    return GetUsbDrives(m_parts.drives).count(m_root[0]) != 0;
  } catch (...) {
    LOG_ERROR << kLogPrefix << "CheckDriveConnected Generic exception Last error: " << LastError();
    return true;
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
    LOG_ERROR << kLogPrefix << "exception " << LogText(error.Message()) << " Last error: " << LastError();
  } catch (...) {
    LOG_ERROR << kLogPrefix << genericName << " Last error: " << LastError();
  }
  return false;
}

bool InstallRun::Fail() {
  Status(Failed);
  m_parts.files.RemoveFile(m_workFolder + ArchiveFileName);
  return false;
}

// A package whose Korvane.exe is not the maker's (replaced on the server,
// damaged, unsigned) is no install: the program the user would start from the
// drive is not ours. Fetching it once more would bring the same file.
bool InstallRun::InstalledApplicationIsGenuine() {
  const std::wstring path = InstalledExecutableIn(m_drive);
  try {
    const Platform::SignatureCheck check = m_parts.signatures.CheckMakerSignature(path);
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

// An extraction stopped by a cancel left a partial product: that is never
// reported as installed.
bool InstallRun::Succeed() {
  if (Cancelled()) return Fail();
  if (!InstalledApplicationIsGenuine()) return Fail();
  Status(Completed);
  m_parts.files.RemoveFile(m_workFolder + ArchiveFileName);
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

bool Install(const std::wstring& drive, const std::wstring& workRoot, IInstallListener* listener,
             const CancelFlag& cancel) {
  const Platform::SystemServices& system = Platform::TheSystem();
  PackageDownload download(system.http, CompiledInServer());
  PackageExtraction extraction(system.files);
  return Install({system.files, system.drives, system.signatures, download, extraction}, drive, workRoot, listener,
                 cancel);
}

}  // namespace InstallBackend
