#pragma once
// The real file system with one operation made to fail: the faults a disk
// cannot produce on demand, at exactly the step a test names.
#include <memory>

#include "Platform/Files/FileSystem.h"

namespace KorvaneTest {

// What a rename does when a pulled drive cuts it: FAT and exFAT write the
// new name and remove the old one separately, and another program may
// write a file at an installed path before the next run.
enum class TornMove {
  None,
  BothNames,   // the file stays at its old name and is at the new one too
  NeitherName, // the file is gone from both
  ThirdCopy,   // the rename never happened, and another file appeared at the new name
};

class FaultyFileSystem final : public Platform::IFileSystem {
 public:
  // Operation number failAt (counted from 1; 0 for none) fails. With
  // crash, so does every later one: nothing after it reaches the disk, as
  // when the process dies there.
  FaultyFileSystem(Platform::IFileSystem& real, int failAt, bool crash)
      : m_real(real), m_failAt(failAt), m_crash(crash) {}
  // A crash at operation failAt that, when it is a rename of a file, tears
  // it as `tear` says.
  FaultyFileSystem(Platform::IFileSystem& real, int failAt, TornMove tear)
      : m_real(real), m_failAt(failAt), m_crash(true), m_tear(tear) {}

  // Whether the crash came in a rename that was torn.
  bool Tore() const { return m_tore; }

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
    return !FailsTearing(from, to) && m_real.MovePath(from, to);
  }
  bool FlushFolder(const std::wstring& folder) override { return !Fails() && m_real.FlushFolder(folder); }
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
  TornMove m_tear = TornMove::None;
  bool m_tore = false;

  bool FailsTearing(const std::wstring& from, const std::wstring& to);
  bool CopyFile(const std::wstring& from, const std::wstring& to);
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

inline bool FaultyFileSystem::CopyFile(const std::wstring& from, const std::wstring& to) {
  std::unique_ptr<Platform::ReadableFile> source = m_real.OpenForReading(from);
  std::uint64_t length = 0;
  if (!source || !source->Length(length)) return false;
  std::string data(static_cast<std::size_t>(length), '\0');
  if (source->ReadAt(0, &data[0], data.size()) != static_cast<std::int64_t>(length)) return false;
  std::unique_ptr<Platform::WritableFile> copy = m_real.CreateForWriting(to, Platform::kAttributeArchive);
  return copy && copy->Write(data.data(), data.size());
}

inline bool FaultyFileSystem::FailsTearing(const std::wstring& from, const std::wstring& to) {
  const bool atFault = m_count + 1 == m_failAt;
  if (!Fails()) return false;
  std::uint32_t attributes = 0;
  if (!atFault || m_tear == TornMove::None || !m_real.GetPathAttributes(from, attributes) ||
      (attributes & Platform::kAttributeDirectory)) {
    return true;
  }
  static const char kThirdCopy[] = "a third copy";
  switch (m_tear) {
    case TornMove::BothNames:
      m_tore = CopyFile(from, to);
      break;
    case TornMove::NeitherName:
      m_tore = m_real.RemoveFile(from);
      break;
    case TornMove::ThirdCopy:
      // Only a path outside the installer's work is anybody else's to write.
      if (to.find(L".korvane-staging") == std::wstring::npos && !m_real.PathExists(to)) {
        std::unique_ptr<Platform::WritableFile> third = m_real.CreateForWriting(to, Platform::kAttributeArchive);
        m_tore = third && third->Write(kThirdCopy, sizeof kThirdCopy - 1);
      }
      break;
    case TornMove::None:
      break;
  }
  return true;
}

}  // namespace KorvaneTest
