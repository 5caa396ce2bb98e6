#pragma once
#include "Platform/Files/FileSystem.h"

namespace Platform {

// The operating system's own file system: the Win32 calls on Windows
// (Win32/Win32FileSystem.cpp), POSIX calls in the native build
// (Posix/PosixFileSystem.cpp). Holds nothing: one object serves every thread.
class NativeFileSystem final : public IFileSystem {
 public:
  std::unique_ptr<ReadableFile> OpenForReading(const std::wstring& path) override;
  std::unique_ptr<WritableFile> CreateForWriting(const std::wstring& path, std::uint32_t attributes) override;
#ifdef _WIN32
  std::unique_ptr<WritableFile> CreateReadableWhileWritten(const std::wstring& path,
                                                           std::uint32_t attributes) override;
#endif
  std::unique_ptr<WritableFile> OpenForAppending(const std::wstring& path) override;
  bool PathExists(const std::wstring& path) override;
  bool GetPathAttributes(const std::wstring& path, std::uint32_t& attributes) override;
  bool SetPathAttributes(const std::wstring& path, std::uint32_t attributes) override;
  bool IdentifyPath(const std::wstring& path, PathIdentity& identity) override;
  bool GetFileSize(const std::wstring& path, std::uint64_t& size) override;
  bool GetFreeBytes(const std::wstring& path, std::uint64_t& freeBytes) override;
  bool MakeFolder(const std::wstring& path) override;
  bool RemoveFile(const std::wstring& path) override;
  bool RemoveFolder(const std::wstring& path) override;
  bool MovePath(const std::wstring& from, const std::wstring& to) override;
  bool FlushFolder(const std::wstring& folder) override;
  bool ListFolder(const std::wstring& folder, std::vector<FolderEntry>& entries) override;
  std::unique_ptr<VolumeLock> TryLockVolume(const std::wstring& root) override;
  bool SetCurrentFolder(const std::wstring& path) override;
  std::int64_t CurrentUtcOffsetTicks() override;
  std::uint32_t LastErrorCode() override;
};

}  // namespace Platform
