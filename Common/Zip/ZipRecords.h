#pragma once
#include <cstdint>
#include <string>

#include "Platform/Files/FileSystem.h"

// The fixed records of a classic single-disk zip archive, read from a file.
namespace ZipRecords {

struct EndRecord {
  std::uint64_t position = 0;  // where the record starts in the file
  std::uint16_t diskNumber = 0;
  std::uint16_t centralDisk = 0;
  std::uint16_t entriesOnDisk = 0;
  std::uint16_t entriesTotal = 0;
  std::uint32_t centralSize = 0;
  std::uint32_t centralOffset = 0;
  std::uint16_t commentLength = 0;
};

struct CentralRecord {
  std::uint16_t versionMadeBy = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint16_t dosTime = 0;
  std::uint16_t dosDate = 0;
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
  std::uint16_t nameLength = 0;
  std::uint16_t extraLength = 0;
  std::uint16_t commentLength = 0;
  std::uint32_t externalAttributes = 0;
  std::uint32_t localHeaderOffset = 0;
  // The name bytes as stored, cut at the buffer's limit of 260 bytes.
  std::string name;

  // Bytes from this record's start to the next one's.
  std::uint64_t Span() const { return 46u + nameLength + extraLength + commentLength; }
};

// Where the local header says the extra field and the entry data lie.
struct LocalLayout {
  std::uint64_t extraPosition = 0;
  std::uint16_t extraLength = 0;
  std::uint64_t dataPosition = 0;
};

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;

// Searches backwards from the end of the file for the end record and reads
// its fields. False when there is none within reach or a read fails.
bool FindEndRecord(Platform::ReadableFile& file, EndRecord& record);

// False when the record cannot be read or its signature is wrong.
bool ReadCentralRecord(Platform::ReadableFile& file, std::uint64_t position, CentralRecord& record);

// Reads the local header at its position (shift applied) and checks it
// against the central record; false when unreadable or they disagree.
bool CheckLocalHeader(Platform::ReadableFile& file, std::uint64_t shift, const CentralRecord& central,
                      LocalLayout& layout);

}  // namespace ZipRecords
