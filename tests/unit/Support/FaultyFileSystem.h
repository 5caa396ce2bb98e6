#pragma once
// The real file system with one operation made to fail: the faults a disk
// cannot produce on demand, at exactly the step a test names.
#include <memory>

#include "Platform/Files/FileSystem.h"

namespace KorvaneTest {

class FaultyFileSystem final : public Platform::IFileSystem {
 public:
  // Operation number failAt (counted from 1; 0 for none) fails. With
  // crash, so does every later one: nothing after it reaches the disk, as
  // when the process dies there.
  FaultyFileSystem(Platform::IFileSystem& real, int failAt, bool crash)
      : m_real(real), m_failAt(failAt), m_crash(crash) {}

  // Operations that change or read the disk so far (reads of files already
  // open are not counted: they change nothing).
  int Count() const { return m_count; }

  bool Fails() {
    ++m_count;
    if (m_count == m_failAt) m_crashed = m_crash;
    return m_count == m_failAt || m_crashed;
  }

  std::unique_ptr<Platform::ReadableFile> OpenForReading(const std::wstring& path) override {
    return Fails() ? nullptr : m_real.OpenForReading(path);
  }
  std::unique_ptr<Platform::WritableFile> CreateForWriting(const std::wstring& path,
                                                           std::uint32_t attributes) override;
  bool PathExists(const std::wstring& path) override { return !Fails() && m_real.PathExists(path); }
  bool GetPathAttributes(const std::wstring& path, std::uint32_t& attributes) override {
    return !Fails() && m_real.GetPathAttributes(path, attributes);
  }
  bool IdentifyPath(const std::wstring& path, Platform::PathIdentity& identity) override {
    return !Fails() && m_real.IdentifyPath(path, identity);
  }
  bool SetPathAttributes(const std::wstring& path, std::uint32_t attributes) override {
    return !Fails() && m_real.SetPathAttributes(path, attributes);
  }
  bool GetFileSize(const std::wstring& path, std::uint64_t& size) override {
    return !Fails() && m_real.GetFileSize(path, size);
  }
  bool GetFreeBytes(const std::wstring& path, std::uint64_t& freeBytes) override {
    return !Fails() && m_real.GetFreeBytes(path, freeBytes);
  }
  bool MakeFolder(const std::wstring& path) override { return !Fails() && m_real.MakeFolder(path); }
  bool RemoveFile(const std::wstring& path) override { return !Fails() && m_real.RemoveFile(path); }
  bool RemoveFolder(const std::wstring& path) override { return !Fails() && m_real.RemoveFolder(path); }
  bool MovePath(const std::wstring& from, const std::wstring& to) override {
    return !Fails() && m_real.MovePath(from, to);
  }
  bool MovePathThrough(const std::wstring& from, const std::wstring& to) override {
    return !Fails() && m_real.MovePathThrough(from, to);
  }
  bool ListFolder(const std::wstring& folder, std::vector<Platform::FolderEntry>& entries) override {
    return !Fails() && m_real.ListFolder(folder, entries);
  }
  bool SetCurrentFolder(const std::wstring& path) override { return !Fails() && m_real.SetCurrentFolder(path); }
  std::int64_t CurrentUtcOffsetTicks() override { return m_real.CurrentUtcOffsetTicks(); }
  std::uint32_t LastErrorCode() override { return m_real.LastErrorCode(); }

 private:
  Platform::IFileSystem& m_real;
  const int m_failAt;
  const bool m_crash;
  int m_count = 0;
  bool m_crashed = false;
};

// Every write, time and flush of a file counts as an operation of its own.
class FaultyFile final : public Platform::WritableFile {
 public:
  FaultyFile(std::unique_ptr<Platform::WritableFile> real, FaultyFileSystem& owner)
      : m_real(std::move(real)), m_owner(owner) {}
  bool Write(const void* data, std::size_t size) override { return !m_owner.Fails() && m_real->Write(data, size); }
  bool SetTimes(std::uint64_t creation, std::uint64_t access, std::uint64_t modification) override {
    return !m_owner.Fails() && m_real->SetTimes(creation, access, modification);
  }
  bool Flush() override { return !m_owner.Fails() && m_real->Flush(); }

 private:
  std::unique_ptr<Platform::WritableFile> m_real;
  FaultyFileSystem& m_owner;
};

inline std::unique_ptr<Platform::WritableFile> FaultyFileSystem::CreateForWriting(const std::wstring& path,
                                                                                 std::uint32_t attributes) {
  if (Fails()) return nullptr;
  std::unique_ptr<Platform::WritableFile> file = m_real.CreateForWriting(path, attributes);
  if (!file) return nullptr;
  return std::make_unique<FaultyFile>(std::move(file), *this);
}

}  // namespace KorvaneTest
