#include "Platform/Win32/Win32InstallStorage.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace Platform {

bool Win32InstallStorage::FolderExists(const std::wstring& path) {
  return ::PathFileExistsW(path.c_str()) != FALSE;
}

void Win32InstallStorage::CreateFolder(const std::wstring& path) {
  ::CreateDirectoryW(path.c_str(), nullptr);
}

void Win32InstallStorage::CreateFolderPath(const std::wstring& path) {
  ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
}

bool Win32InstallStorage::GetFreeBytes(const std::wstring& rootPath, std::uint64_t& freeBytes) {
  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD totalClusters = 0;
  if (!::GetDiskFreeSpaceW(rootPath.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) {
    return false;
  }
  freeBytes = static_cast<std::uint64_t>(sectorsPerCluster) * bytesPerSector * freeClusters;
  return true;
}

void Win32InstallStorage::RemoveFile(const std::wstring& path) {
  ::DeleteFileW(path.c_str());
}

std::uint32_t Win32InstallStorage::LastErrorCode() { return ::GetLastError(); }

}  // namespace Platform
