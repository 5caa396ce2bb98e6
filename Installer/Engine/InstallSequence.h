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

// Free space the target needs, whatever the package's size.
constexpr unsigned long long kRequiredFreeBytes = 150ull * 1024 * 1024;

// Checks the drive, downloads the package into workRoot's download folder
// for the drive and extracts it into `drive` ("E:" or a longer path such as
// "E:\Apps"). True only when an extraction ran to its end without a cancel
// and left a Korvane.exe signed by the maker in the target.
// Never throws; every false result is preceded by Failed on the listener,
// which may be null. The downloaded archive is deleted at every end.
bool Install(const InstallParts& parts, const std::wstring& drive, const std::wstring& workRoot,
             IInstallListener* listener, const CancelFlag& cancel);

// The same on the system's services (Platform::TheSystem()), downloading
// from the compiled-in server.
bool Install(const std::wstring& drive, const std::wstring& workRoot, IInstallListener* listener,
             const CancelFlag& cancel);

// The per-drive download folder below the working root, with doubled
// separators collapsed: "<root>KV_Install_E\". The leading pair of a
// network path stays.
std::wstring DownloadFolderFor(const std::wstring& workRoot, wchar_t driveLetter);

}  // namespace InstallBackend
