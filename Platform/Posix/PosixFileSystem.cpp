#include "Platform/Files/NativeFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "Platform/Files/FileTimes.h"
#include "Platform/Text/TextConversion.h"

namespace Platform {
namespace {

// Entry names may use either separator; POSIX only knows the slash.
std::string NativePath(const std::wstring& path) {
  std::string native = Utf16ToUtf8(path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

timespec ToTimespec(std::uint64_t ticks) {
  const std::int64_t since1970 = static_cast<std::int64_t>(ticks) - kUnixEpochTicks;
  std::int64_t seconds = since1970 / 10000000;
  std::int64_t rest = since1970 % 10000000;
  if (rest < 0) {
    rest += 10000000;
    seconds -= 1;
  }
  timespec result;
  result.tv_sec = static_cast<time_t>(seconds);
  result.tv_nsec = static_cast<long>(rest * 100);
  return result;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : m_fd(fd) {}
  ~FileDescriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return m_fd; }

 private:
  int m_fd;
};

class PosixReadableFile : public ReadableFile {
 public:
  explicit PosixReadableFile(int fd) : m_fd(fd) {}

  bool Length(std::uint64_t& length) override {
    struct stat info;
    if (::fstat(m_fd.Get(), &info) != 0) return false;
    length = static_cast<std::uint64_t>(info.st_size);
    return true;
  }

  std::int64_t ReadAt(std::uint64_t position, void* buffer, std::size_t size) override {
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
      const ssize_t got = ::pread(m_fd.Get(), out + done, size - done,
                                  static_cast<off_t>(position + done));
      if (got < 0) {
        if (errno == EINTR) continue;
        return -1;
      }
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(done);
  }

 private:
  FileDescriptor m_fd;
};

class PosixWritableFile : public WritableFile {
 public:
  explicit PosixWritableFile(int fd) : m_fd(fd) {}

  bool Write(const void* data, std::size_t size) override {
    const auto* in = static_cast<const unsigned char*>(data);
    while (size > 0) {
      const ssize_t written = ::write(m_fd.Get(), in, size);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return false;
      in += written;
      size -= static_cast<std::size_t>(written);
    }
    return true;
  }

  // POSIX keeps no creation time; access and modification are set.
  bool SetTimes(std::uint64_t, std::uint64_t access, std::uint64_t modification) override {
    const timespec times[2] = {ToTimespec(access), ToTimespec(modification)};
    return ::futimens(m_fd.Get(), times) == 0;
  }

  bool Flush() override { return ::fsync(m_fd.Get()) == 0; }

 private:
  FileDescriptor m_fd;
};

class FolderStream {
 public:
  explicit FolderStream(const std::string& path) : m_dir(::opendir(path.c_str())) {}
  ~FolderStream() {
    if (m_dir) ::closedir(m_dir);
  }
  FolderStream(const FolderStream&) = delete;
  FolderStream& operator=(const FolderStream&) = delete;
  DIR* Get() const { return m_dir; }

 private:
  DIR* m_dir;
};

// flock locks belong to an open file: a second open, even in this process,
// is excluded, and the lock ends with the descriptor.
class FileVolumeLock final : public VolumeLock {
 public:
  explicit FileVolumeLock(int fd) : m_fd(fd) {}

 private:
  FileDescriptor m_fd;
};

}  // namespace

std::unique_ptr<ReadableFile> NativeFileSystem::OpenForReading(const std::wstring& path) {
  const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixReadableFile>(fd);
}

std::unique_ptr<WritableFile> NativeFileSystem::CreateForWriting(const std::wstring& path, std::uint32_t attributes) {
  const std::string native = NativePath(path);
  const mode_t mode = (attributes & kAttributeReadOnly) ? 0444 : 0644;
  // A fresh install finds nothing in the way: one call.
  const int fresh = ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fresh >= 0) return std::make_unique<PosixWritableFile>(fresh);
  // Like Windows, a read-only file in the way is not replaced, even for root.
  struct stat info;
  if (::stat(native.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0) return nullptr;
  const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixWritableFile>(fd);
}

std::unique_ptr<WritableFile> NativeFileSystem::OpenForAppending(const std::wstring& path) {
  const int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixWritableFile>(fd);
}

bool NativeFileSystem::PathExists(const std::wstring& path) {
  struct stat info;
  return ::stat(NativePath(path).c_str(), &info) == 0;
}

bool NativeFileSystem::IdentifyPath(const std::wstring& path, PathIdentity& identity) {
  const std::string native = NativePath(path);
  struct stat own;
  struct stat followed;
  if (::lstat(native.c_str(), &own) != 0 || ::stat(native.c_str(), &followed) != 0) return false;
  char* resolved = ::realpath(native.c_str(), nullptr);
  if (!resolved) return false;
  identity.finalPath = Utf8ToUtf16(resolved);
  ::free(resolved);
  identity.volume = static_cast<std::uint64_t>(followed.st_dev);
  identity.isLink = S_ISLNK(own.st_mode);
  return true;
}

bool NativeFileSystem::GetPathAttributes(const std::wstring& path, std::uint32_t& attributes) {
  struct stat info;
  if (::stat(NativePath(path).c_str(), &info) != 0) return false;
  attributes = S_ISDIR(info.st_mode) ? kAttributeDirectory : kAttributeArchive;
  if ((info.st_mode & S_IWUSR) == 0) attributes |= kAttributeReadOnly;
  return true;
}

// Only the read-only bit has a POSIX counterpart; hidden and system are kept
// by nothing, as on a FAT drive mounted without them.
bool NativeFileSystem::SetPathAttributes(const std::wstring& path, std::uint32_t attributes) {
  const std::string native = NativePath(path);
  struct stat info;
  if (::stat(native.c_str(), &info) != 0) return false;
  mode_t mode = info.st_mode & 07777;
  if (attributes & kAttributeReadOnly) {
    mode &= ~static_cast<mode_t>(0222);
  } else {
    mode |= S_IWUSR;
  }
  return ::chmod(native.c_str(), mode) == 0;
}

bool NativeFileSystem::GetFileSize(const std::wstring& path, std::uint64_t& size) {
  struct stat info;
  if (::stat(NativePath(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

bool NativeFileSystem::GetFreeBytes(const std::wstring& path, std::uint64_t& freeBytes) {
  struct statvfs volume;
  if (::statvfs(NativePath(path).c_str(), &volume) != 0) return false;
  freeBytes = static_cast<std::uint64_t>(volume.f_bavail) * volume.f_frsize;
  return true;
}

bool NativeFileSystem::MakeFolder(const std::wstring& path) {
  return ::mkdir(NativePath(path).c_str(), 0755) == 0;
}

std::unique_ptr<VolumeLock> NativeFileSystem::TryLockVolume(const std::wstring& root) {
  struct stat volume;
  if (::stat(NativePath(root).c_str(), &volume) != 0) return std::make_unique<VolumeLock>();
  const std::string name = "/tmp/korvane-installer-volume-" + std::to_string(volume.st_dev) + ".lock";
  const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<FileVolumeLock>(fd);
}

bool NativeFileSystem::SetCurrentFolder(const std::wstring& path) {
  return ::chdir(NativePath(path).c_str()) == 0;
}

std::int64_t NativeFileSystem::CurrentUtcOffsetTicks() {
  const time_t now = ::time(nullptr);
  struct tm local;
  if (::localtime_r(&now, &local) == nullptr) return 0;
  return static_cast<std::int64_t>(local.tm_gmtoff) * 10000000;
}

bool NativeFileSystem::RemoveFile(const std::wstring& path) { return ::unlink(NativePath(path).c_str()) == 0; }

bool NativeFileSystem::RemoveFolder(const std::wstring& path) { return ::rmdir(NativePath(path).c_str()) == 0; }

// renameat2's RENAME_NOREPLACE does the Windows move in one step: it never
// replaces what is already there. File systems that do not take the flag
// (exFAT through FUSE) get a look first and a plain rename.
bool NativeFileSystem::MovePath(const std::wstring& from, const std::wstring& to) {
  const std::string source = NativePath(from), destination = NativePath(to);
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL) return false;
  struct stat found;
  if (::lstat(destination.c_str(), &found) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::rename(source.c_str(), destination.c_str()) == 0;
}

bool NativeFileSystem::FlushFolder(const std::wstring& folder) {
  const FileDescriptor handle(::open(NativePath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return handle.Get() >= 0 && ::fsync(handle.Get()) == 0;
}

bool NativeFileSystem::ListFolder(const std::wstring& folder, std::vector<FolderEntry>& entries) {
  entries.clear();
  const std::string native = NativePath(folder);
  FolderStream stream(native);
  if (!stream.Get()) return false;
  errno = 0;
  while (const dirent* entry = ::readdir(stream.Get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info;
    const bool known = ::lstat((native + "/" + name).c_str(), &info) == 0;
    entries.push_back({Utf8ToUtf16(name), known && S_ISDIR(info.st_mode), known && S_ISLNK(info.st_mode)});
  }
  return errno == 0;
}

std::uint32_t NativeFileSystem::LastErrorCode() { return static_cast<std::uint32_t>(errno); }

}  // namespace Platform
