#include "Common/Drives/UsbDrives.h"

#include <vector>

#include "Common/Drives/DriveLetter.h"

namespace {

const wchar_t kDiskDriveQuery[] = L"SELECT * FROM Win32_DiskDrive";
const wchar_t kRemovableInterfaces[] =
    L" WHERE InterfaceType = 'USB' OR InterfaceType = 'HDC' OR InterfaceType = 'SCSI'";
// Plug-and-play ids of USB mass storage begin with one of these, exact case.
const wchar_t* const kUsbStoragePrefixes[] = {L"USBSTOR", L"UASPStor", L"SCSI"};

// WMI object paths take the ids as WMI gave them, without escaping.
std::wstring PartitionsOfDiskQuery(const std::wstring& diskId) {
  return L"ASSOCIATORS OF {Win32_DiskDrive.DeviceID='" + diskId +
         L"'} WHERE AssocClass = Win32_DiskDriveToDiskPartition";
}

std::wstring LogicalDisksOfPartitionQuery(const std::wstring& partitionId) {
  return L"ASSOCIATORS OF {Win32_DiskPartition.DeviceID='" + partitionId +
         L"'} WHERE AssocClass = Win32_LogicalDiskToPartition";
}

bool IsUsbStorage(const std::wstring& pnpDeviceId) {
  for (const wchar_t* prefix : kUsbStoragePrefixes) {
    if (pnpDeviceId.compare(0, std::char_traits<wchar_t>::length(prefix), prefix) == 0) return true;
  }
  return false;
}

std::wstring InstanceIdOf(const std::wstring& pnpDeviceId) {
  const size_t slash = pnpDeviceId.rfind(L'\\');
  return slash == std::wstring::npos ? pnpDeviceId : pnpDeviceId.substr(slash + 1);
}

}  // namespace

UsbDriveMap GetUsbDrives(Platform::IDriveInfoSource& system) {
  UsbDriveMap drives;
  const std::unique_ptr<Platform::IWmiConnection> wmi = system.ConnectWmi();
  if (!wmi) return drives;
  const std::wstring diskQuery = std::wstring(kDiskDriveQuery) + kRemovableInterfaces;
  // Both lists come from the same query and are paired by position.
  const std::vector<std::wstring> pnpIds = wmi->QueryWmiStrings(diskQuery, L"PNPDeviceID");
  const std::vector<std::wstring> diskIds = wmi->QueryWmiStrings(diskQuery, L"DeviceID");
  for (size_t n = 0; n < diskIds.size(); ++n) {
    const bool usb = n < pnpIds.size() && IsUsbStorage(pnpIds[n]);
    for (const std::wstring& partition : wmi->QueryWmiStrings(PartitionsOfDiskQuery(diskIds[n]), L"DeviceID")) {
      for (const std::wstring& name : wmi->QueryWmiStrings(LogicalDisksOfPartitionQuery(partition), L"Name")) {
        if (usb && !name.empty()) drives[name[0]] = InstanceIdOf(pnpIds[n]);
      }
    }
  }
  return drives;
}

std::wstring DescribeDrive(Platform::IDriveInfoSource& system, wchar_t driveLetter) {
  const std::wstring label = system.GetVolumeLabel(DriveLetter(driveLetter).Root());
  if (!label.empty()) return label;
  const std::unique_ptr<Platform::IWmiConnection> wmi = system.ConnectWmi();
  if (!wmi) return std::wstring();
  const std::wstring query = L"SELECT * FROM Win32_LogicalDisk WHERE Name = '" + DriveLetter(driveLetter).Name() + L"'";
  const std::vector<std::wstring> descriptions = wmi->QueryWmiStrings(query, L"Description");
  return descriptions.empty() ? std::wstring() : descriptions.front();
}
