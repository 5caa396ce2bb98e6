// Extracts one package with InstallBackend::Unzip, as the installer does,
// and prints the time the extraction took and the process's peak memory:
//   korvane_unzip_bench PACKAGE TARGET_FOLDER
// bench/zip_extract_bench.py runs it natively and under Wine beside
// Info-ZIP unzip and bsdtar.
#include <chrono>
#include <cstdio>

#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/Unzip.h"
#include "Platform/SystemServices.h"
#include "Platform/Text/TextConversion.h"

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

namespace {

long PeakMemoryKiB() {
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return -1;
  return static_cast<long>(counters.PeakWorkingSetSize / 1024);
#else
  rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: korvane_unzip_bench PACKAGE TARGET_FOLDER\n");
    return 2;
  }
  CancelFlag cancel;
  const auto start = std::chrono::steady_clock::now();
  try {
    InstallBackend::PackageExtraction(Platform::TheSystem().files)
        .Unzip(Platform::Utf8ToUtf16(argv[1]), Platform::Utf8ToUtf16(argv[2]), nullptr, cancel);
  } catch (const InstallBackend::InstallException& error) {
    std::fprintf(stderr, "%s\n", Platform::Utf16ToUtf8(error.Message()).c_str());
    return 1;
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::printf("seconds=%.3f peak_kib=%ld\n", elapsed.count(), PeakMemoryKiB());
  return 0;
}
