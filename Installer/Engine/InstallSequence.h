#pragma once
#include <functional>
#include <string>

#include "Common/Drives/UsbDrives.h"
#include "Installer/Engine/InstallListener.h"
#include "Platform/Signature/SignatureCheck.h"
#include "Platform/Storage/InstallStorage.h"

namespace InstallBackend {

// The packages' steps the sequence drives; the real ones are bound in
// Install's overload without this parameter.
struct InstallSteps {
  std::function<UsbDriveMap()> getUsbDrives;
  // Returns the archive's path; raises InstallException on failure and
  // returns normally when it stops for a cancel.
  std::function<std::wstring(const std::wstring& workFolder, IInstallListener* listener, const CancelFlag* cancel,
                             bool proxyOnly)>
      download;
  // Raises InstallException when the archive or an entry cannot be read or
  // written; stops after the current entry when cancel is set.
  std::function<void(const std::wstring& zipPath, const std::wstring& drive, IInstallListener* listener,
                     const CancelFlag* cancel)>
      unzip;
  // Checks that the file at the path is signed by the maker.
  std::function<Platform::SignatureCheck(const std::wstring& path)> checkSignature;
};

// Free space the target needs, whatever the package's size.
constexpr unsigned long long kRequiredFreeBytes = 150ull * 1024 * 1024;

// Checks the drive, downloads the package into workRoot's download folder
// for the drive and extracts it into `drive` ("E:" or a longer path such as
// "E:\Apps"). True only when an extraction ran to its end without a cancel
// and left a Korvane.exe signed by the maker in the target.
// Never throws; every false result is preceded by Failed on the listener,
// which may be null. The downloaded archive is deleted at every end.
bool Install(const std::wstring& drive, const std::wstring& workRoot, IInstallListener* listener,
             const CancelFlag* cancel, const InstallSteps& steps, Platform::IInstallStorage& storage);

// The same with the real drive discovery, download, extraction and disk.
bool Install(const std::wstring& drive, const std::wstring& workRoot, IInstallListener* listener,
             const CancelFlag* cancel);

// The per-drive download folder below the working root, with doubled
// separators collapsed: "<root>KV_Install_E\". The leading pair of a
// network path stays.
std::wstring DownloadFolderFor(const std::wstring& workRoot, wchar_t driveLetter);

}  // namespace InstallBackend
