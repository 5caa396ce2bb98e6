#pragma once
#include <string>

#include "Installer/Engine/Download.h"
#include "Installer/Engine/InstallListener.h"
#include "Installer/Engine/Unzip.h"
#include "Platform/Files/FileSystem.h"
#include "Platform/Signature/SignatureCheck.h"
#include "Platform/Wmi/WmiQuery.h"

namespace InstallBackend {

// What one install is made of; every part outlives the install.
struct InstallParts {
  Platform::IFileSystem& files;
  Platform::IDriveInfoSource& drives;
  Platform::IMakerSignatureCheck& signatures;
  IPackageDownload& download;
  IPackageExtraction& extraction;
};

// Free space the target needs, whatever the package's size; the screens
// name it in MiB.
constexpr unsigned long long kRequiredFreeMegabytes = 150;
constexpr unsigned long long kRequiredFreeBytes = kRequiredFreeMegabytes * 1024 * 1024;

// Checks the drive, recovers what an interrupted run left at the target,
// downloads the package into workRoot's download folder for the drive,
// stages it beside `drive` ("E:" or a longer path such as "E:\Apps"),
// checks the staged Korvane.exe and commits the package over the target
// (Installer/Engine/Commit.h). True only when the commit went through: the
// target then holds the whole package with a Korvane.exe signed by the
// maker. Any other end leaves the target as it was.
// Never throws; every false result is preceded by Failed on the listener,
// which may be null. The downloaded archive is deleted at every end but a
// failed download, which keeps it for the next run when the server named
// its package (Installer/Engine/KeptArchive.h).
bool Install(const InstallParts& parts, const std::wstring& drive, const std::wstring& workRoot,
             IInstallListener* listener, const CancelFlag& cancel);

// The per-drive download folder below the working root, with doubled
// separators collapsed: "<root>KV_Install_E\". The leading pair of a
// network path stays.
std::wstring DownloadFolderFor(const std::wstring& workRoot, wchar_t driveLetter);

}  // namespace InstallBackend
