#pragma once
// A scripted WMI and volume labels: the drive shapes Wine cannot show, and
// faults on demand.
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Wmi/WmiQuery.h"

namespace KorvaneTest {

inline const std::wstring kDiskQuery =
    L"SELECT * FROM Win32_DiskDrive WHERE InterfaceType = 'USB' OR InterfaceType = 'HDC' OR "
    L"InterfaceType = 'SCSI'";

inline std::wstring PartitionQuery(const std::wstring& disk) {
  return L"ASSOCIATORS OF {Win32_DiskDrive.DeviceID='" + disk + L"'} WHERE AssocClass = Win32_DiskDriveToDiskPartition";
}

inline std::wstring LogicalQuery(const std::wstring& partition) {
  return L"ASSOCIATORS OF {Win32_DiskPartition.DeviceID='" + partition +
         L"'} WHERE AssocClass = Win32_LogicalDiskToPartition";
}

using Object = std::map<std::wstring, std::optional<std::wstring>>;  // nullopt: not a string

struct FakeDriveInfoSource : Platform::IDriveInfoSource {
  std::map<std::wstring, std::vector<Object>> results;  // query text -> result objects
  std::map<std::wstring, std::wstring> labels;
  std::vector<std::wstring> queries;
  bool reachable = true;
  bool connectThrows = false;  // as an allocation failing inside COM would
  int connections = 0;

  struct Connection : Platform::IWmiConnection {
    FakeDriveInfoSource& owner;
    explicit Connection(FakeDriveInfoSource& o) : owner(o) {}
    std::vector<std::wstring> QueryWmiStrings(const std::wstring& query, const std::wstring& property) override {
      owner.queries.push_back(query);
      std::vector<std::wstring> values;
      for (const Object& object : owner.results[query]) {
        auto it = object.find(property);
        if (it != object.end() && it->second) values.push_back(*it->second);
      }
      return values;
    }
  };

  std::unique_ptr<Platform::IWmiConnection> ConnectWmi() override {
    ++connections;
    if (connectThrows) throw std::bad_alloc();
    return reachable ? std::make_unique<Connection>(*this) : nullptr;
  }
  std::wstring GetVolumeLabel(const std::wstring& root) override { return labels[root]; }

  void AddDisk(std::optional<std::wstring> pnp, const std::wstring& id,
               std::map<std::wstring, std::vector<std::wstring>> partitions) {
    results[kDiskQuery].push_back({{L"PNPDeviceID", pnp}, {L"DeviceID", id}});
    for (const auto& [partition, names] : partitions) {
      results[PartitionQuery(id)].push_back({{L"DeviceID", partition}});
      for (const std::wstring& name : names) results[LogicalQuery(partition)].push_back({{L"Name", name}});
    }
  }
};

}  // namespace KorvaneTest
