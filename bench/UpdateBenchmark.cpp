// Updates an installed copy with one package, either as the installer does
// (staged beside the target, then committed by renames) or by extracting
// over the installed files (the way that cannot be undone), and prints the
// time (for the staged way also the time until the installer reports the
// update complete: the backups are deleted after that) and the most the
// files on the drive grew by on the way:
//   korvane_update_bench staged|in-place PACKAGE TARGET_FOLDER
// bench/update_bench.py runs it natively and under Wine.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "Installer/Engine/Commit.h"
#include "Installer/Engine/FileTree.h"
#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/StagingArea.h"
#include "Installer/Engine/StagingFolder.h"
#include "Installer/Engine/Unzip.h"
#include "Platform/SystemServices.h"
#include "Platform/Text/TextConversion.h"

namespace {

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
std::uint64_t Staged(const std::wstring& package, const std::wstring& target,
                     std::chrono::steady_clock::time_point start) {
  Platform::IFileSystem& files = Platform::TheSystem().files;
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
  if (argc != 4 || (std::strcmp(argv[1], "staged") != 0 && std::strcmp(argv[1], "in-place") != 0)) {
    std::fprintf(stderr, "usage: korvane_update_bench staged|in-place PACKAGE TARGET_FOLDER\n");
    return 2;
  }
  const std::wstring package = Platform::Utf8ToUtf16(argv[2]);
  const std::wstring target = Platform::Utf8ToUtf16(argv[3]);
  const std::uint64_t before = TreeBytes(target);
  std::uint64_t peak = 0;
  const auto start = std::chrono::steady_clock::now();
  try {
    if (std::strcmp(argv[1], "staged") == 0) {
      peak = Staged(package, target, start);
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
