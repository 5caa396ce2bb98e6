#include "Installer/App/StartInstalledApplication.h"

#include "Installer/Engine/InstalledApplication.h"
#include "Installer/Log/Log.h"

bool StartInstalledApplication(Platform::IMakerSignatureCheck& signatures, const std::wstring& exePath,
                               const std::wstring& parameters, const std::wstring& directory) {
  const Platform::SignatureCheck check = signatures.StartIfGenuine(exePath, parameters, directory);
  if (check.IsGenuine()) return true;
  LOG_ERROR << LogText(exePath) << " is not genuine and is not started: " << InstallBackend::DescribeRefusal(check);
  return false;
}
