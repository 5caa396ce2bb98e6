#pragma once
#include "Platform/Wmi/WmiQuery.h"

namespace Platform {

// The real system: COM's WMI locator and GetVolumeInformationW. Needs COM
// initialised for the multithreaded apartment with process-wide security.
class WmiDriveInfoSource : public IDriveInfoSource {
 public:
  std::unique_ptr<IWmiConnection> ConnectWmi() override;
  std::wstring GetVolumeLabel(const std::wstring& rootPath) override;
};

}  // namespace Platform
