#include "Installer/Engine/FileIdentity.h"

#include <zlib.h>

#include <vector>

namespace InstallBackend {

bool ReadFileIdentity(Platform::IFileSystem& files, const std::wstring& path, FileIdentity& identity) {
  std::unique_ptr<Platform::ReadableFile> file = files.OpenForReading(path);
  std::uint64_t length = 0;
  if (!file || !file->Length(length)) return false;
  std::vector<unsigned char> buffer(256 * 1024);
  uLong crc = crc32(0L, Z_NULL, 0);
  for (std::uint64_t offset = 0; offset < length;) {
    const std::int64_t read = file->ReadAt(offset, buffer.data(), buffer.size());
    if (read <= 0) return false;
    crc = crc32(crc, buffer.data(), static_cast<uInt>(read));
    offset += static_cast<std::uint64_t>(read);
  }
  identity.size = length;
  identity.crc = static_cast<std::uint32_t>(crc);
  return true;
}

}  // namespace InstallBackend
