#pragma once
#include <cstdint>
#include <string>

namespace Platform {

// The folder, volume and file operations of the install sequence. Results
// the sequence does not look at are not returned.
class IInstallStorage {
 public:
  virtual ~IInstallStorage() = default;
  virtual bool FolderExists(const std::wstring& path) = 0;
  // One level; the parent must exist.
  virtual void CreateFolder(const std::wstring& path) = 0;
  // With every missing parent.
  virtual void CreateFolderPath(const std::wstring& path) = 0;
  // Free bytes of the volume of a root path such as "E:\"; false when the
  // volume cannot be read.
  virtual bool GetFreeBytes(const std::wstring& rootPath, std::uint64_t& freeBytes) = 0;
  virtual void RemoveFile(const std::wstring& path) = 0;
  // The calling thread's last system error code.
  virtual std::uint32_t LastErrorCode() = 0;
};

}  // namespace Platform
