#pragma once
#include <map>
#include <string>

#include "Platform/Wmi/WmiQuery.h"

// Drive letter (one UTF-16 code unit, ordered by value) -> the disk's
// instance id. Callers use the keys; letters compare exactly, no case folding.
using UsbDriveMap = std::map<wchar_t, std::wstring>;

// The drive letters of USB mass-storage disks present now. Empty when WMI
// cannot be reached or nothing matches; never fails otherwise.
UsbDriveMap GetUsbDrives(Platform::IDriveInfoSource& system);

// The text shown for a drive: its volume label, else WMI's description of
// the logical disk, else empty.
std::wstring DescribeDrive(Platform::IDriveInfoSource& system, wchar_t driveLetter);
