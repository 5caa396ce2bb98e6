// Updates an installed copy with one package, either as the installer does
// (staged beside the target, then committed by renames) or by extracting
// over the installed files (the way that cannot be undone), and prints the
// time (for the staged way also the time until the installer reports the
// update complete: the backups are deleted after that) and the most the
// files on the drive grew by on the way:
//   korvane_update_bench staged|staged-unflushed|in-place PACKAGE TARGET_FOLDER
// staged-unflushed is the staged way with every flush to the disk left
// out (what they cost). bench/update_bench.py runs it natively and under
// Wine.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "Installer/Engine/Commit.h"
#include "Installer/Engine/FileTree.h"
#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/StagingArea.h"
#include "Installer/Engine/StagingFolder.h"
#include "Installer/Engine/Unzip.h"
#include "Platform/SystemServices.h"
#include "Platform/Text/TextConversion.h"

namespace {

// The real file system with its flushes made no-ops.
class UnflushedFile final : public Platform::WritableFile {
 public:
  explicit UnflushedFile(std::unique_ptr<Platform::WritableFile> real) : m_real(std::move(real)) {}
  bool Write(const void* data, std::size_t size) override { return m_real->Write(data, size); }
  bool SetTimes(std::uint64_t creation, std::uint64_t access, std::uint64_t modification) override {
    return m_real->SetTimes(creation, access, modification);
  }
  bool Flush() override { return true; }

 private:
  std::unique_ptr<Platform::WritableFile> m_real;
};

class UnflushedFileSystem final : public Platform::IFileSystem {
 public:
  explicit UnflushedFileSystem(Platform::IFileSystem& real) : m_real(real) {}
  std::unique_ptr<Platform::ReadableFile> OpenForReading(const std::wstring& path) override {
    return m_real.OpenForReading(path);
  }
  std::unique_ptr<Platform::WritableFile> CreateForWriting(const std::wstring& path,
                                                           std::uint32_t attributes) override {
    std::unique_ptr<Platform::WritableFile> file = m_real.CreateForWriting(path, attributes);
    return file ? std::make_unique<UnflushedFile>(std::move(file)) : nullptr;
  }
  bool PathExists(const std::wstring& path) override { return m_real.PathExists(path); }
  bool GetPathAttributes(const std::wstring& path, std::uint32_t& attributes) override {
    return m_real.GetPathAttributes(path, attributes);
  }
  bool IdentifyPath(const std::wstring& path, Platform::PathIdentity& identity) override {
    return m_real.IdentifyPath(path, identity);
  }
  bool SetPathAttributes(const std::wstring& path, std::uint32_t attributes) override {
    return m_real.SetPathAttributes(path, attributes);
  }
  bool GetFileSize(const std::wstring& path, std::uint64_t& size) override { return m_real.GetFileSize(path, size); }
  bool GetFreeBytes(const std::wstring& path, std::uint64_t& freeBytes) override {
    return m_real.GetFreeBytes(path, freeBytes);
  }
  bool MakeFolder(const std::wstring& path) override { return m_real.MakeFolder(path); }
  bool RemoveFile(const std::wstring& path) override { return m_real.RemoveFile(path); }
  bool RemoveFolder(const std::wstring& path) override { return m_real.RemoveFolder(path); }
  bool MovePath(const std::wstring& from, const std::wstring& to) override { return m_real.MovePath(from, to); }
  bool FlushFolder(const std::wstring&) override { return true; }
  bool ListFolder(const std::wstring& folder, std::vector<Platform::FolderEntry>& entries) override {
    return m_real.ListFolder(folder, entries);
  }
  bool SetCurrentFolder(const std::wstring& path) override { return m_real.SetCurrentFolder(path); }
  std::int64_t CurrentUtcOffsetTicks() override { return m_real.CurrentUtcOffsetTicks(); }
  std::uint32_t LastErrorCode() override { return m_real.LastErrorCode(); }

 private:
  Platform::IFileSystem& m_real;
};

// The bytes of the files below root. Counted rather than read off the
// volume's free space, which whatever else runs on the machine changes too.
std::uint64_t TreeBytes(const std::wstring& root) {
  Platform::IFileSystem& files = Platform::TheSystem().files;
  InstallBackend::TreeListing listing;
  InstallBackend::ListTree(files, root, listing);
  std::uint64_t total = 0;
  for (const std::wstring& file : listing.files) {
    std::uint64_t size = 0;
    if (files.GetFileSize(InstallBackend::WithSeparator(root) + file, size)) total += size;
  }
  return total;
}

// The steps of the install run that matter to the drive: stage, commit.
// Returns the drive's peak: everything staged, nothing installed freed yet.
std::uint64_t Staged(Platform::IFileSystem& files, const std::wstring& package, const std::wstring& target,
                     std::chrono::steady_clock::time_point start) {
  const InstallBackend::StagingArea area(target);
  const CancelFlag cancel;
  if (!InstallBackend::MakeStaging(files, area)) throw InstallBackend::InstallException(L"no staging folder");
  InstallBackend::PackageExtraction extraction(files);
  extraction.Unzip(package, InstallBackend::WithoutSeparator(area.newTree), nullptr, cancel);
  files.SetCurrentFolder(area.target);
  const std::uint64_t peak = TreeBytes(target);
  if (!InstallBackend::CommitStaged(files, area, extraction.Verified(), nullptr, cancel)) {
    throw InstallBackend::InstallException(L"cancelled");
  }
  // Where the installer reports the update complete; the backups go after.
  const std::chrono::duration<double> inPlace = std::chrono::steady_clock::now() - start;
  InstallBackend::FinishCommit(files, area);
  std::printf("completed_seconds=%.3f ", inPlace.count());
  return peak;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 4 ? argv[1] : "";
  if (mode != "staged" && mode != "staged-unflushed" && mode != "in-place") {
    std::fprintf(stderr, "usage: korvane_update_bench staged|staged-unflushed|in-place PACKAGE TARGET_FOLDER\n");
    return 2;
  }
  const std::wstring package = Platform::Utf8ToUtf16(argv[2]);
  const std::wstring target = Platform::Utf8ToUtf16(argv[3]);
  const std::uint64_t before = TreeBytes(target);
  std::uint64_t peak = 0;
  const auto start = std::chrono::steady_clock::now();
  try {
    if (mode == "staged") {
      peak = Staged(Platform::TheSystem().files, package, target, start);
    } else if (mode == "staged-unflushed") {
      UnflushedFileSystem unflushed(Platform::TheSystem().files);
      peak = Staged(unflushed, package, target, start);
    } else {
      const CancelFlag cancel;
      InstallBackend::PackageExtraction(Platform::TheSystem().files).Unzip(package, target, nullptr, cancel);
    }
  } catch (const InstallBackend::InstallException& error) {
    std::fprintf(stderr, "%s\n", Platform::Utf16ToUtf8(error.Message()).c_str());
    return 1;
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  // In place, files only grow or shrink where they are: the peak is the end.
  peak = std::max(peak, TreeBytes(target));
  std::printf("seconds=%.3f peak_extra_bytes=%llu\n", elapsed.count(),
              static_cast<unsigned long long>(peak > before ? peak - before : 0));
  return 0;
}
