#pragma once
#include "Platform/Storage/InstallStorage.h"

namespace Platform {

class Win32InstallStorage : public IInstallStorage {
 public:
  bool FolderExists(const std::wstring& path) override;
  void CreateFolder(const std::wstring& path) override;
  void CreateFolderPath(const std::wstring& path) override;
  bool GetFreeBytes(const std::wstring& rootPath, std::uint64_t& freeBytes) override;
  void RemoveFile(const std::wstring& path) override;
  std::uint32_t LastErrorCode() override;
};

}  // namespace Platform
