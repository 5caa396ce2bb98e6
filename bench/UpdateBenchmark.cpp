// Updates an installed copy with one package, either as the installer does
// (staged beside the target, then committed by renames) or by extracting
// over the installed files (the way that cannot be undone), and prints the
// time and the most free space the drive lost on the way:
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
#include "Installer/Engine/Unzip.h"
#include "Platform/SystemServices.h"
#include "Platform/Text/TextConversion.h"

namespace {

std::uint64_t FreeBytes(const std::wstring& target) {
  std::uint64_t free = 0;
  Platform::TheSystem().files.GetFreeBytes(target, free);
  return free;
}

// The steps of the install run that matter to the drive: stage, commit.
void Staged(const std::wstring& package, const std::wstring& target, std::uint64_t& lowestFree) {
  Platform::IFileSystem& files = Platform::TheSystem().files;
  const InstallBackend::StagingArea area(target);
  const CancelFlag cancel;
  files.MakeFolder(InstallBackend::WithoutSeparator(area.folder));
  files.MakeFolder(InstallBackend::WithoutSeparator(area.newTree));
  InstallBackend::PackageExtraction(files).Unzip(package, InstallBackend::WithoutSeparator(area.newTree), nullptr,
                                                 cancel);
  files.SetCurrentFolder(area.target);
  // The peak: the whole package staged, nothing installed freed yet.
  lowestFree = std::min(lowestFree, FreeBytes(target));
  if (!InstallBackend::CommitStaged(files, area, nullptr, cancel)) throw InstallBackend::InstallException(L"cancelled");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[1], "staged") != 0 && std::strcmp(argv[1], "in-place") != 0)) {
    std::fprintf(stderr, "usage: korvane_update_bench staged|in-place PACKAGE TARGET_FOLDER\n");
    return 2;
  }
  const std::wstring package = Platform::Utf8ToUtf16(argv[2]);
  const std::wstring target = Platform::Utf8ToUtf16(argv[3]);
  const std::uint64_t freeBefore = FreeBytes(target);
  std::uint64_t lowestFree = freeBefore;
  const auto start = std::chrono::steady_clock::now();
  try {
    if (std::strcmp(argv[1], "staged") == 0) {
      Staged(package, target, lowestFree);
    } else {
      const CancelFlag cancel;
      InstallBackend::Unzip(package, target, nullptr, cancel);
    }
  } catch (const InstallBackend::InstallException& error) {
    std::fprintf(stderr, "%s\n", Platform::Utf16ToUtf8(error.Message()).c_str());
    return 1;
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  lowestFree = std::min(lowestFree, FreeBytes(target));
  std::printf("seconds=%.3f peak_extra_bytes=%llu\n", elapsed.count(),
              static_cast<unsigned long long>(freeBefore - lowestFree));
  return 0;
}
