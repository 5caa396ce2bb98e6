#pragma once
#include <memory>
#include <string>
#include <vector>

namespace Platform {

// An open connection to the WMI namespace ROOT\CIMV2, released with the object.
class IWmiConnection {
 public:
  virtual ~IWmiConnection() = default;
  // Runs a WQL query and reads one named property of every result, in the
  // order the objects came. Results whose property is missing or not a
  // string contribute nothing; a failing query gives an empty list.
  virtual std::vector<std::wstring> QueryWmiStrings(const std::wstring& query, const std::wstring& property) = 0;
};

// What drive discovery needs of the system: WMI and volume labels.
class IDriveInfoSource {
 public:
  virtual ~IDriveInfoSource() = default;
  // Null when WMI cannot be reached.
  virtual std::unique_ptr<IWmiConnection> ConnectWmi() = 0;
  // The volume label of a root path such as "E:\", empty when it has none
  // or the root cannot be read.
  virtual std::wstring GetVolumeLabel(const std::wstring& rootPath) = 0;
};

}  // namespace Platform
