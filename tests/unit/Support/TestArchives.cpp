#include "Support/TestArchives.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>

#include "Installer/Engine/Unzip.h"
#include "Platform/SystemServices.h"
#include "Platform/Text/TextConversion.h"

namespace KorvaneTest {

std::wstring ArchivePath(const std::string& name) {
  std::string path = std::string(KORVANE_TEST_ARCHIVE_DIR) + "/" + name;
#ifdef _WIN32
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  path = "Z:" + path;
#endif
  return Platform::Utf8ToUtf16(path);
}

std::unique_ptr<ZipReader> OpenArchive(const std::string& name, const std::wstring& baseFolder) {
  return OpenZipFile(Platform::TheSystem().files, ArchivePath(name), baseFolder);
}

void Unzip(const std::wstring& zipPath, const std::wstring& drive, IInstallListener* listener,
           const CancelFlag& cancel) {
  InstallBackend::PackageExtraction(Platform::TheSystem().files).Unzip(zipPath, drive, listener, cancel);
}

std::vector<ZipResult> ItemResults(const std::string& name, int count) {
  std::vector<ZipResult> results;
  std::unique_ptr<ZipReader> reader = OpenArchive(name);
  if (!reader) return results;
  for (int i = 0; i < count; ++i) {
    ZipItem item;
    results.push_back(GetZipItem(reader.get(), i, item));
  }
  return results;
}

ScratchFolder::ScratchFolder() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  std::ostringstream name;
  name << "korvane-zip-test-" << stamp << "-" << counter++;
  m_path = std::filesystem::temp_directory_path() / name.str();
  std::filesystem::create_directories(m_path);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  // Read-only files would stop the removal on Windows.
  for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(m_path, ignored);
}

std::wstring ScratchFolder::Text() const {
  std::wstring text = Platform::Utf8ToUtf16(m_path.u8string());
#ifdef _WIN32
  text.push_back(L'\\');
#else
  text.push_back(L'/');
#endif
  return text;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::filesystem::path ToPath(const std::wstring& text) {
  return std::filesystem::u8path(Platform::Utf16ToUtf8(text));
}

}  // namespace KorvaneTest
