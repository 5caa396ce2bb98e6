#include "Installer/Engine/Download.h"
#include "Installer/Engine/InstallSequence.h"
#include "Installer/Engine/Unzip.h"
#include "Platform/Win32/Win32InstallStorage.h"

namespace InstallBackend {

bool Install(const std::wstring& drive, const std::wstring& workRoot, IInstallListener* listener,
             const CancelFlag* cancel) {
  InstallSteps steps;
  steps.getUsbDrives = [] { return GetUsbDrives(); };
  steps.download = [](const std::wstring& workFolder, IInstallListener* to, const CancelFlag* flag, bool proxyOnly) {
    return Download(workFolder, to, flag, proxyOnly);
  };
  steps.unzip = [](const std::wstring& zipPath, const std::wstring& target, IInstallListener* to,
                   const CancelFlag* flag) { Unzip(zipPath, target, to, *flag); };
  steps.checkSignature = [](const std::wstring& path) { return Platform::CheckMakerSignature(path); };
  Platform::Win32InstallStorage storage;
  return Install(drive, workRoot, listener, cancel, steps, storage);
}

}  // namespace InstallBackend
