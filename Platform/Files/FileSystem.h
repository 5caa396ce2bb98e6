#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The file operations of the zip reader and the extraction. Windows uses the
// real Win32 calls; the POSIX build exists so that the same logic runs
// natively under the sanitizers, the fuzzer and the benchmark (there both
// separators are accepted and attribute bits map to the permission bits).
namespace Platform {

// File attribute bits as the extraction hands them on.
constexpr std::uint32_t kAttributeReadOnly = 0x01;
constexpr std::uint32_t kAttributeHidden = 0x02;
constexpr std::uint32_t kAttributeSystem = 0x04;
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeArchive = 0x20;

// An existing file opened for reading; other readers may open it too.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // False when the length cannot be learned.
  virtual bool Length(std::uint64_t& length) = 0;
  // Reads up to size bytes at an absolute position; the count actually
  // read, which is short only at the end of the file, or -1 on failure.
  virtual std::int64_t ReadAt(std::uint64_t position, void* buffer, std::size_t size) = 0;
};

// A file created anew for writing, shared with nobody while it is open.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // False unless every byte was written.
  virtual bool Write(const void* data, std::size_t size) = 0;
  // Times in 100-nanosecond ticks since 1601-01-01 00:00 UTC.
  virtual bool SetTimes(std::uint64_t creation, std::uint64_t access, std::uint64_t modification) = 0;
};

// Null when the file does not exist or cannot be opened.
std::unique_ptr<ReadableFile> OpenForReading(const std::wstring& path);

// Replaces an existing file of that name; null when it cannot be created
// (a read-only or locked file is in the way, the folder is missing...).
std::unique_ptr<WritableFile> CreateForWriting(const std::wstring& path, std::uint32_t attributes);

// The same operation Platform/Win32/Shell.h offers; on Windows it is
// defined there, once.
bool PathExists(const std::wstring& path);
bool GetPathAttributes(const std::wstring& path, std::uint32_t& attributes);
bool SetPathAttributes(const std::wstring& path, std::uint32_t attributes);
// The size of an existing file; false when there is none or it cannot be read.
bool GetFileSize(const std::wstring& path, std::uint64_t& size);
// Bytes the calling user may still write to the volume holding path (an
// existing folder); false when the volume cannot be asked.
bool GetFreeBytes(const std::wstring& path, std::uint64_t& freeBytes);
// Creates one folder; its parent must exist.
bool MakeFolder(const std::wstring& path);

// The process's current directory, empty when it cannot be learned.
std::wstring GetCurrentFolder();
bool SetCurrentFolder(const std::wstring& path);

// Local time minus UTC now, in 100-nanosecond ticks: the offset in force at
// this moment, not the one of any other date.
std::int64_t CurrentUtcOffsetTicks();

}  // namespace Platform
