#include "Platform/Files/NativeFileSystem.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <vector>

#include "Platform/Win32/UniqueHandle.h"

namespace Platform {
namespace {

// Win32 wants at most a DWORD per read or write call.
constexpr std::size_t kMaxChunk = 1u << 30;

FILETIME ToFileTime(std::uint64_t ticks) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return time;
}

std::uint64_t ToTicks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

class Win32ReadableFile : public ReadableFile {
 public:
  explicit Win32ReadableFile(UniqueHandle handle) : m_handle(std::move(handle)) {}

  bool Length(std::uint64_t& length) override {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(m_handle.Get(), &size)) return false;
    length = static_cast<std::uint64_t>(size.QuadPart);
    return true;
  }

  // The position travels with each read: one call instead of a seek and
  // a read, which under Wine are each a round trip to the server.
  std::int64_t ReadAt(std::uint64_t position, void* buffer, std::size_t size) override {
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
      const DWORD wanted = static_cast<DWORD>(size - done < kMaxChunk ? size - done : kMaxChunk);
      const std::uint64_t at = position + done;
      OVERLAPPED where = {};
      where.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
      where.OffsetHigh = static_cast<DWORD>(at >> 32);
      DWORD got = 0;
      if (!::ReadFile(m_handle.Get(), out + done, wanted, &got, &where)) {
        if (::GetLastError() == ERROR_HANDLE_EOF) break;
        return -1;
      }
      if (got == 0) break;
      done += got;
    }
    return static_cast<std::int64_t>(done);
  }

 private:
  UniqueHandle m_handle;
};

class Win32WritableFile : public WritableFile {
 public:
  explicit Win32WritableFile(UniqueHandle handle) : m_handle(std::move(handle)) {}

  bool Write(const void* data, std::size_t size) override {
    const auto* in = static_cast<const unsigned char*>(data);
    while (size > 0) {
      const DWORD wanted = static_cast<DWORD>(size < kMaxChunk ? size : kMaxChunk);
      DWORD written = 0;
      if (!::WriteFile(m_handle.Get(), in, wanted, &written, nullptr) || written == 0) return false;
      in += written;
      size -= written;
    }
    return true;
  }

  bool SetTimes(std::uint64_t creation, std::uint64_t access, std::uint64_t modification) override {
    const FILETIME created = ToFileTime(creation);
    const FILETIME accessed = ToFileTime(access);
    const FILETIME modified = ToFileTime(modification);
    return ::SetFileTime(m_handle.Get(), &created, &accessed, &modified) != FALSE;
  }

  bool Flush() override { return ::FlushFileBuffers(m_handle.Get()) != FALSE; }

 private:
  UniqueHandle m_handle;
};

// A folder search, closed by FindClose rather than CloseHandle.
class FolderSearch {
 public:
  FolderSearch(const std::wstring& folder, WIN32_FIND_DATAW& found)
      : m_handle(::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                    nullptr, 0)) {}
  ~FolderSearch() {
    if (Valid()) ::FindClose(m_handle);
  }
  FolderSearch(const FolderSearch&) = delete;
  FolderSearch& operator=(const FolderSearch&) = delete;
  bool Valid() const { return m_handle != INVALID_HANDLE_VALUE; }
  bool Next(WIN32_FIND_DATAW& found) { return ::FindNextFileW(m_handle, &found) != FALSE; }

 private:
  HANDLE m_handle;
};

// "\\?\E:\a" -> "E:\a"; "\\?\UNC\server\share" -> "\\server\share".
std::wstring WithoutLongPathPrefix(const std::wstring& path) {
  if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + path.substr(8);
  if (path.compare(0, 4, L"\\\\?\\") == 0) return path.substr(4);
  return path;
}

bool FinalPathOf(HANDLE handle, std::wstring& path) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return false;
    if (length < buffer.size()) {
      path = WithoutLongPathPrefix(std::wstring(buffer.data(), length));
      return true;
    }
    buffer.resize(length + 1);
  }
  return false;
}

// Named mutexes: the system releases them when their owner dies, so a
// killed run never blocks the next one.
class MutexVolumeLock final : public VolumeLock {
 public:
  ~MutexVolumeLock() override {
    for (UniqueHandle& mutex : m_owned) ::ReleaseMutex(mutex.Get());
  }
  // False when another holder has it.
  bool Take(const std::wstring& name) {
    UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!mutex.Valid()) return false;
    const DWORD waited = ::WaitForSingleObject(mutex.Get(), 0);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return false;
    m_owned.push_back(std::move(mutex));
    return true;
  }

 private:
  std::vector<UniqueHandle> m_owned;
};

}  // namespace

// The archive is read while the download still appends to it: a reader
// that denied writing could not open it then, nor the download go on.
std::unique_ptr<ReadableFile> NativeFileSystem::OpenForReading(const std::wstring& path) {
  UniqueHandle handle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.Valid()) return nullptr;
  return std::make_unique<Win32ReadableFile>(std::move(handle));
}

std::unique_ptr<WritableFile> NativeFileSystem::CreateForWriting(const std::wstring& path, std::uint32_t attributes) {
  // A fresh install finds nothing in the way: one call. Anything else,
  // whatever the reason, takes the careful way below.
  UniqueHandle fresh(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr));
  if (fresh.Valid()) return std::make_unique<Win32WritableFile>(std::move(fresh));
  // Windows never replaces a read-only file; an administrator under Wine
  // could, as the Unix permission bits do not stop root. Keep the rule.
  const DWORD existing = ::GetFileAttributesW(path.c_str());
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY)) return nullptr;
  // Windows refuses to replace a hidden or system file with one that lacks
  // those bits, so an update would fail on every such file: clear them
  // first, and put them back if the file still cannot be replaced.
  const DWORD concealing = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const bool cleared = existing != INVALID_FILE_ATTRIBUTES && (existing & concealing) &&
                       ::SetFileAttributesW(path.c_str(), (existing & ~concealing) | FILE_ATTRIBUTE_NORMAL);
  // No sharing: nobody sees a half-written file while the entry is extracted.
  UniqueHandle handle(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    attributes, nullptr));
  if (!handle.Valid()) {
    if (cleared) ::SetFileAttributesW(path.c_str(), existing);
    return nullptr;
  }
  return std::make_unique<Win32WritableFile>(std::move(handle));
}

// Sharing the reading is all that differs: the archive in the download
// folder has nothing in its way to clear.
std::unique_ptr<WritableFile> NativeFileSystem::CreateReadableWhileWritten(const std::wstring& path,
                                                                         std::uint32_t attributes) {
  UniqueHandle handle(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    attributes, nullptr));
  if (!handle.Valid()) return nullptr;
  return std::make_unique<Win32WritableFile>(std::move(handle));
}

std::unique_ptr<WritableFile> NativeFileSystem::OpenForAppending(const std::wstring& path) {
  UniqueHandle handle(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.Valid()) return nullptr;
  LARGE_INTEGER none = {};
  if (!::SetFilePointerEx(handle.Get(), none, nullptr, FILE_END)) return nullptr;
  return std::make_unique<Win32WritableFile>(std::move(handle));
}

bool NativeFileSystem::GetPathAttributes(const std::wstring& path, std::uint32_t& attributes) {
  const DWORD found = ::GetFileAttributesW(path.c_str());
  if (found == INVALID_FILE_ATTRIBUTES) return false;
  attributes = found;
  return true;
}

// The path is opened without access rights, following links as every
// other call does: the identity is that of whatever the other calls would
// touch. Wine shows a Unix symbolic link to a file as a plain file; only
// where it leads gives it away.
bool NativeFileSystem::IdentifyPath(const std::wstring& path, PathIdentity& identity) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  UniqueHandle handle(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION information;
  if (!handle.Valid() || !FinalPathOf(handle.Get(), identity.finalPath) ||
      !::GetFileInformationByHandle(handle.Get(), &information)) {
    return false;
  }
  identity.volume = information.dwVolumeSerialNumber;
  identity.isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return true;
}

bool NativeFileSystem::SetPathAttributes(const std::wstring& path, std::uint32_t attributes) {
  return ::SetFileAttributesW(path.c_str(), attributes) != FALSE;
}

bool NativeFileSystem::GetFileSize(const std::wstring& path, std::uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool NativeFileSystem::GetFreeBytes(const std::wstring& path, std::uint64_t& freeBytes) {
  ULARGE_INTEGER available;
  if (!::GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr)) return false;
  freeBytes = available.QuadPart;
  return true;
}

bool NativeFileSystem::MakeFolder(const std::wstring& path) {
  return ::CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

// By the drive letter, which every run for a drive knows, and by the
// volume's serial number where it can be read, which also covers the same
// stick under another letter.
std::unique_ptr<VolumeLock> NativeFileSystem::TryLockVolume(const std::wstring& root) {
  auto lock = std::make_unique<MutexVolumeLock>();
  const wchar_t letter = root.empty() ? L'?' : static_cast<wchar_t>(::towupper(root[0]));
  if (!lock->Take(std::wstring(L"Local\\Korvane installer drive ") + letter)) return nullptr;
  DWORD serial = 0;
  if (::GetVolumeInformationW(root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) {
    wchar_t name[64];
    ::swprintf(name, sizeof name / sizeof name[0], L"Local\\Korvane installer volume %08lX",
               static_cast<unsigned long>(serial));
    if (!lock->Take(name)) return nullptr;
  }
  return lock;
}

bool NativeFileSystem::SetCurrentFolder(const std::wstring& path) {
  return ::SetCurrentDirectoryW(path.c_str()) != FALSE;
}

std::int64_t NativeFileSystem::CurrentUtcOffsetTicks() {
  FILETIME utc;
  ::GetSystemTimeAsFileTime(&utc);
  FILETIME local;
  if (!::FileTimeToLocalFileTime(&utc, &local)) return 0;
  return static_cast<std::int64_t>(ToTicks(local) - ToTicks(utc));
}

bool NativeFileSystem::PathExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool NativeFileSystem::RemoveFile(const std::wstring& path) { return ::DeleteFileW(path.c_str()) != FALSE; }

bool NativeFileSystem::RemoveFolder(const std::wstring& path) { return ::RemoveDirectoryW(path.c_str()) != FALSE; }

// Without MOVEFILE_COPY_ALLOWED a move to another volume fails instead of
// turning into a copy that a pulled drive could leave half done.
bool NativeFileSystem::MovePath(const std::wstring& from, const std::wstring& to) {
  return ::MoveFileExW(from.c_str(), to.c_str(), 0) != FALSE;
}

// A folder opened for writing (which needs no administrator's rights,
// unlike the volume's handle) takes FlushFileBuffers: its entries and the
// file allocation table they use are written out.
bool NativeFileSystem::FlushFolder(const std::wstring& folder) {
  UniqueHandle handle(::CreateFileW(folder.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return handle.Valid() && ::FlushFileBuffers(handle.Get()) != FALSE;
}

bool NativeFileSystem::ListFolder(const std::wstring& folder, std::vector<FolderEntry>& entries) {
  entries.clear();
  std::wstring parent = folder;
  while (!parent.empty() && (parent.back() == L'\\' || parent.back() == L'/')) parent.pop_back();
  WIN32_FIND_DATAW found;
  FolderSearch search(parent, found);
  if (!search.Valid()) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    entries.push_back({name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                       (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
  } while (search.Next(found));
  return ::GetLastError() == ERROR_NO_MORE_FILES;
}

std::uint32_t NativeFileSystem::LastErrorCode() { return ::GetLastError(); }

}  // namespace Platform
