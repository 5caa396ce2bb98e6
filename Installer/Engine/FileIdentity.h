#pragma once
#include <cstdint>
#include <string>

#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

// What a file holds, as far as telling two versions of it apart needs: its
// size and the CRC-32 of its data (a package's central directory gives
// both for the files it brings).
struct FileIdentity {
  std::uint64_t size = 0;
  std::uint32_t crc = 0;
  bool operator==(const FileIdentity& other) const { return size == other.size && crc == other.crc; }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// Reads the whole file; false when it cannot be opened or read through.
bool ReadFileIdentity(Platform::IFileSystem& files, const std::wstring& path, FileIdentity& identity);

}  // namespace InstallBackend
