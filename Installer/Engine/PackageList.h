#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "Common/Zip/ZipTypes.h"

namespace InstallBackend {

// What a package puts in place, as its central directory lists it: the
// list the commit places, whatever else the staging folder holds. Names
// are relative, with backslashes and no separator at either end.
struct PackageList {
  struct File {
    std::wstring name;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
  };
  std::vector<std::wstring> folders;  // outermost first, each once (as the drive compares names)
  std::vector<File> files;
};

// Builds a list from an archive's entries, in their order.
class PackageListBuilder {
 public:
  explicit PackageListBuilder(PackageList& list) : m_list(list) { m_list = PackageList(); }
  void Add(const ZipItem& item);

 private:
  void AddFolder(const std::wstring& folder);

  PackageList& m_list;
  std::vector<std::wstring> m_folderKeys;  // as the drive compares names, sorted
};

}  // namespace InstallBackend
