#include "Common/Drives/UsbDrives.h"
#include "Platform/Win32/WmiDriveInfoSource.h"

UsbDriveMap GetUsbDrives() {
  Platform::WmiDriveInfoSource system;
  return GetUsbDrives(system);
}

std::wstring DescribeDrive(wchar_t driveLetter) {
  Platform::WmiDriveInfoSource system;
  return DescribeDrive(system, driveLetter);
}
