#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Windows uses the real Win32 calls; the POSIX file system exists so that
// the same logic runs natively under the sanitizers, the fuzzer and the
// benchmark (there both separators are accepted and attribute bits map to
// the permission bits).
namespace Platform {

// File attribute bits as the extraction hands them on.
constexpr std::uint32_t kAttributeReadOnly = 0x01;
constexpr std::uint32_t kAttributeHidden = 0x02;
constexpr std::uint32_t kAttributeSystem = 0x04;
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeArchive = 0x20;

// An existing file opened for reading; others may read it and write it
// meanwhile (the archive is read as the download appends to it).
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
  // Puts what was written onto the disk itself, past every cache.
  virtual bool Flush() = 0;
};

// Held while a run works on a volume; released when destroyed, on the
// thread that took it.
class VolumeLock {
 public:
  virtual ~VolumeLock() = default;
};

// One name in a folder ("." and ".." are never listed).
struct FolderEntry {
  std::wstring name;
  bool isFolder = false;
  // A link (symbolic link, junction, mount point): whatever it names lies
  // elsewhere, so it is never walked into, moved or removed.
  bool isLink = false;
};

// Where a path leads once the system has followed every link on the way.
struct PathIdentity {
  std::wstring finalPath;         // as "E:\a\b", or "/mnt/a/b" natively
  std::uint64_t volume = 0;       // the volume's serial number (the device natively)
  bool isLink = false;            // the path's last component is itself a link
};

// The file, folder and volume operations of the install: the install
// sequence, the zip reader and the extraction reach the disk only through
// this. The program's one real file system is made with the other system
// services (Platform/SystemServices.h); tests hand in fakes to inject faults
// the disk cannot produce on demand.
class IFileSystem {
 public:
  virtual ~IFileSystem() = default;

  // Null when the file does not exist or cannot be opened.
  virtual std::unique_ptr<ReadableFile> OpenForReading(const std::wstring& path) = 0;
  // Replaces an existing file of that name; null when it cannot be created
  // (a read-only or locked file is in the way, the folder is missing...).
  virtual std::unique_ptr<WritableFile> CreateForWriting(const std::wstring& path, std::uint32_t attributes) = 0;
  // The same, but others may read the file while it is written (the
  // archive, which the extraction reads behind the download). Files that
  // need no such reader are made by CreateForWriting.
  virtual std::unique_ptr<WritableFile> CreateReadableWhileWritten(const std::wstring& path,
                                                                   std::uint32_t attributes) {
    return CreateForWriting(path, attributes);
  }

  // An existing file opened to write on at its end, others reading it
  // meanwhile (the archive an earlier run kept, which the download goes on
  // with); null when it cannot be opened, or where nothing needs it.
  virtual std::unique_ptr<WritableFile> OpenForAppending(const std::wstring& /*path*/) { return nullptr; }
  // True when the path's attributes can be read: a file or a folder is there.
  virtual bool PathExists(const std::wstring& path) = 0;
  virtual bool GetPathAttributes(const std::wstring& path, std::uint32_t& attributes) = 0;
  // False when the path cannot be opened (it does not exist, or it is
  // locked against every access).
  virtual bool IdentifyPath(const std::wstring& path, PathIdentity& identity) = 0;
  virtual bool SetPathAttributes(const std::wstring& path, std::uint32_t attributes) = 0;
  // The size of an existing file; false when there is none or it cannot be read.
  virtual bool GetFileSize(const std::wstring& path, std::uint64_t& size) = 0;
  // Bytes the calling user may still write to the volume holding path (a
  // root such as "E:\" or an existing folder); false when the volume cannot
  // be asked.
  virtual bool GetFreeBytes(const std::wstring& path, std::uint64_t& freeBytes) = 0;
  // Creates one folder; its parent must exist. Folder paths with their
  // parents are made by the install engine's FolderMaker, on top of this.
  virtual bool MakeFolder(const std::wstring& path) = 0;
  virtual bool RemoveFile(const std::wstring& path) = 0;
  // Removes an empty folder.
  virtual bool RemoveFolder(const std::wstring& path) = 0;
  // Renames a file or folder within its volume, in one step; never
  // replaces anything already at `to`.
  virtual bool MovePath(const std::wstring& from, const std::wstring& to) = 0;
  // Puts the folder's entries (the names renamed into and out of it) on
  // the disk, past every cache, before it returns.
  virtual bool FlushFolder(const std::wstring& folder) { return !folder.empty(); }
  // Replaces entries with the names in folder; false when it cannot be read.
  virtual bool ListFolder(const std::wstring& folder, std::vector<FolderEntry>& entries) = 0;

  // The lock of the drive and volume of root ("E:\\"), shared by every
  // process of the user, taken without waiting: null while another holder
  // has it. The default, which excludes nobody, suits test doubles.
  virtual std::unique_ptr<VolumeLock> TryLockVolume(const std::wstring& /*root*/) {
    return std::make_unique<VolumeLock>();
  }

  // The process's current directory is process-wide state: only the
  // extraction sets it, and nothing reads it back.
  virtual bool SetCurrentFolder(const std::wstring& path) = 0;

  // Local time minus UTC now, in 100-nanosecond ticks: the offset in force
  // at this moment, not the one of any other date.
  virtual std::int64_t CurrentUtcOffsetTicks() = 0;
  // The calling thread's last system error code, for the log.
  virtual std::uint32_t LastErrorCode() = 0;
};

}  // namespace Platform
