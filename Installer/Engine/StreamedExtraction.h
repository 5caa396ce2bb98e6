#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Installer/Engine/ArchiveGrowth.h"
#include "Installer/Engine/InstallListener.h"
#include "Installer/Engine/MakeFolders.h"
#include "Installer/Engine/Unzip.h"
#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

// The extraction that follows the download. While the archive file grows,
// a thread of its own walks the local headers in file order and writes
// every entry whose bytes are all in the file into a folder (the install's
// staging folder), checking its CRC-32 as the ordinary extraction does.
// An entry with a data descriptor, encrypted, of another method, or with a
// refused name ends the walk: it and all after it wait for the end.
// Nothing written is trusted before Unzip has checked it against the
// central directory. Memory stays that of one entry's buffers. The walk
// never takes the drive's last free bytes: an entry that would leave less
// free space than the rest of the package may need (the rest of the
// archive, grown as the entries so far grew) and a reserve waits for the
// extraction after the download, which checks the whole package's size
// against the free space before it writes.
class StreamedExtraction final : public IPackageExtraction, public IArchiveGrowth {
 public:
  explicit StreamedExtraction(Platform::IFileSystem& files);
  ~StreamedExtraction();
  StreamedExtraction(const StreamedExtraction&) = delete;
  StreamedExtraction& operator=(const StreamedExtraction&) = delete;

  // Follows the archive at zipPath, written anew from its first byte, into
  // drive (a folder that exists). An earlier run is stopped and forgotten;
  // what it wrote is the caller's to remove. The thread stops between two
  // blocks of an entry once cancel is set.
  IArchiveGrowth* Follow(const std::wstring& zipPath, const std::wstring& drive, const CancelFlag& cancel) override;
  void ArchiveWritten(std::uint64_t length) override;
  void ArchiveSizeKnown(std::uint64_t total) override { m_archiveSize = total; }
  void StopFollowing() override;

  // For the archive and folder followed, once the whole archive is in the
  // file: lets the thread write what it still can, then checks every entry
  // it wrote against the central directory (name, kind, method, sizes,
  // CRC-32, time, place) and extracts the others, with the listener calls,
  // cancel and raised errors of the ordinary extraction. When one
  // disagrees or is not listed, the folder is emptied and the archive
  // extracted whole the ordinary way. Any other archive is extracted the
  // ordinary way.
  void Unzip(const std::wstring& zipPath, const std::wstring& drive, IInstallListener* listener,
             const CancelFlag& cancel) override;
  const PackageList& Verified() const override { return m_verified; }
  // How many entries written during the download the last Unzip kept.
  int EntriesKept() const { return m_kept; }

 private:
  struct Staged;

  void Finish(IInstallListener* listener, const CancelFlag& cancel);
  void EndWalk(bool& flag);
  void Walk();
  bool WalkOneEntry(FolderMaker& folders, std::vector<unsigned char>& buffer);
  // False when the walk is to end: stopped, cancelled, or the bytes up to
  // `length` will not come.
  bool WaitFor(std::uint64_t length);
  bool RoomFor(std::uint64_t size, std::uint64_t compressed, std::uint64_t walked);
  bool StagedAgree(ZipReader& reader, std::vector<bool>& inPlace) const;
  void FinishStagedFile(const std::wstring& name, std::uint32_t attributes);

  Platform::IFileSystem& m_files;
  std::wstring m_archivePath;
  std::wstring m_folder;  // with a trailing separator
  const CancelFlag* m_cancel = nullptr;
  std::int64_t m_utcOffsetTicks = 0;
  bool m_following = false;
  int m_kept = 0;
  PackageList m_verified;

  std::mutex m_mutex;
  std::condition_variable m_grown;
  std::uint64_t m_available = 0;  // guarded by m_mutex
  bool m_complete = false;        // guarded by m_mutex
  bool m_stop = false;            // guarded by m_mutex
  std::thread m_thread;
  std::atomic<std::uint64_t> m_archiveSize{0};  // 0 while unknown

  // The walk's own, read by Finish after the thread has ended.
  std::vector<Staged> m_staged;
  std::map<std::uint64_t, std::size_t> m_stagedAt;  // local header position -> m_staged index
  std::uint64_t m_walkEnd = 0;  // every local header before it was written
  std::unique_ptr<Platform::ReadableFile> m_file;
  std::uint64_t m_next = 0;     // the next local header's position
  bool m_brokeOff = false;      // an entry's writing failed part-way
  std::uint64_t m_walkedSize = 0, m_walkedCompressed = 0;  // of the entries the walk looked at
};

}  // namespace InstallBackend
