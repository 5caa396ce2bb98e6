// libFuzzer target for the zip reader: open an arbitrary file as an
// archive, describe every entry and read every entry's data, as the
// extraction would. Besides the sanitizers' findings, a name that could
// still leave the base folder after the guard is reported as a crash.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Common/Zip/ZipEntryName.h"
#include "Common/Zip/ZipReader.h"
#include "Platform/Files/NativeFileSystem.h"
#include "Platform/Text/TextConversion.h"

namespace {

// The reader reads files only; each input is written to one scratch file.
const std::string& ScratchPath() {
  static const std::string path = [] {
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/korvane-zip-fuzz-" + std::to_string(getpid()) + ".zip";
  }();
  return path;
}

bool WriteScratch(const std::uint8_t* data, std::size_t size) {
  const int fd = open(ScratchPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) return false;
  bool ok = true;
  while (size > 0 && ok) {
    const ssize_t written = write(fd, data, size);
    ok = written > 0;
    if (ok) {
      data += written;
      size -= static_cast<std::size_t>(written);
    }
  }
  close(fd);
  return ok;
}

void CheckGuardedName(const std::wstring& name) {
  const bool driveOrRoot = (name.size() >= 2 && name[1] == L':') ||
                           (!name.empty() && (name[0] == L'/' || name[0] == L'\\'));
  const bool inner = name.find(L"/../") != std::wstring::npos || name.find(L"\\..\\") != std::wstring::npos ||
                     name.find(L"/..\\") != std::wstring::npos || name.find(L"\\../") != std::wstring::npos;
  if (driveOrRoot || inner) std::abort();
  if (name.size() > kMaxEntryNameUnits) std::abort();
}

void ReadData(ZipReader* reader, const ZipItem& item, std::vector<unsigned char>& buffer) {
  if (!OpenEntryStream(reader)) return;
  std::uint64_t total = 0;
  for (;;) {
    const ZipStreamRead read = ReadEntryStream(reader, buffer.data(), buffer.size());
    if (read.status != ZipStreamStatus::Ok) break;
    total += read.produced;
    if (total > item.uncompressedSize) std::abort();  // more than the entry holds
    if (read.ended || read.produced == 0) break;
  }
  CloseEntryStream(reader);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!WriteScratch(data, size)) return 0;
  static Platform::NativeFileSystem files;
  std::unique_ptr<ZipReader> reader = OpenZipFile(files, Platform::Utf8ToUtf16(ScratchPath()), L"unused\\");
  if (!reader) return 0;
  ZipItem summary;
  if (GetZipItem(reader.get(), -1, summary) != ZipOk) std::abort();
  std::vector<unsigned char> buffer(16384);
  for (int i = 0; i < summary.index; ++i) {
    ZipItem item;
    if (GetZipItem(reader.get(), i, item) != ZipOk) continue;
    CheckGuardedName(item.name);
    IsContainedEntryName(item.name);
    ReadData(reader.get(), item, buffer);
  }
  // Walking back to the first entry restarts the walk.
  ZipItem first;
  GetZipItem(reader.get(), 0, first);
  CloseZipFile(std::move(reader));
  return 0;
}
