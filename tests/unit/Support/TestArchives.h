#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Common/Zip/ZipReader.h"
#include "Installer/Engine/InstallListener.h"

// The archives tests/unit/data/make_archives.py makes at test set-up, and
// scratch folders for the files an extraction writes.
namespace KorvaneTest {

// Times make_archives.py gives its files (seconds since 1970, UTC).
constexpr long long kUnixMtime = 1600000000;
constexpr long long kUnixAtime = 1600001000;
constexpr long long kUtMtime = 1500000000;

constexpr unsigned long long UnixToTicks(long long seconds) {
  return static_cast<unsigned long long>(seconds * 10000000LL + 116444736000000000LL);
}

// Path of a generated archive as the program under test sees it (under
// Wine, the host's build folder through drive Z:).
std::wstring ArchivePath(const std::string& name);

// A generated archive opened on the real file system; the base folder only
// matters to tests that extract.
std::unique_ptr<ZipReader> OpenArchive(const std::string& name, const std::wstring& baseFolder = L"unused\\");

// What GetZipItem gives for each of an archive's first `count` entries, in
// order; empty when the archive cannot be opened.
std::vector<ZipResult> ItemResults(const std::string& name, int count);

// The installer's extraction (InstallBackend::PackageExtraction) onto the
// real file system.
void Unzip(const std::wstring& zipPath, const std::wstring& drive, IInstallListener* listener,
           const CancelFlag& cancel);

// A fresh, empty folder removed again with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return m_path; }
  // The folder as a program path with a trailing separator.
  std::wstring Text() const;

 private:
  std::filesystem::path m_path;
};

// Restores the process's current directory, which extraction changes.
class CurrentDirectoryRestorer {
 public:
  CurrentDirectoryRestorer() : m_saved(std::filesystem::current_path()) {}
  ~CurrentDirectoryRestorer() { std::filesystem::current_path(m_saved); }

 private:
  std::filesystem::path m_saved;
};

std::string ReadWholeFile(const std::filesystem::path& path);

// Text of a UTF-16 std::wstring as a path (wchar_t is 32 bits on Linux).
std::filesystem::path ToPath(const std::wstring& text);

}  // namespace KorvaneTest
