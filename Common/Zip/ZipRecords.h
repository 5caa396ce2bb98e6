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
  // The central extra field, where a Unicode name may be kept.
  std::string extra;

  // Bytes from this record's start to the next one's.
  std::uint64_t Span() const { return 46u + nameLength + extraLength + commentLength; }
};

// The fixed part of a local file header.
struct LocalHeader {
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
  std::uint16_t nameLength = 0;
  std::uint16_t extraLength = 0;
};

constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kCentralRecordSize = 46;
constexpr std::size_t kLocalHeaderSize = 30;

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;

// Searches backwards from the end of the file for the end record and reads
// its fields. False when there is none within reach or a read fails.
bool FindEndRecord(Platform::ReadableFile& file, EndRecord& record);

// Parses the central record at the start of bytes, which hold `available`
// bytes of the central directory. False when its signature is wrong or the
// record with its name, extra field and comment does not fit.
bool ParseCentralRecord(const unsigned char* bytes, std::size_t available, CentralRecord& record);

// Parses the fixed part of a local header (kLocalHeaderSize bytes); false
// when its signature is wrong.
bool ParseLocalHeader(const unsigned char* bytes, LocalHeader& header);

// Some archivers (Java tools, Python's force_zip64) give a local header a
// Zip64 block although the entry is small: its 32-bit size fields then hold
// 0xFFFFFFFF and the block the real sizes. Where the block only repeats sizes
// that fit the classic fields, they are taken into the header, which then
// reads as a classic one. True when there is no such block or it was taken;
// false for a block of a real Zip64 entry or one of the wrong length.
bool TakeRepeatedZip64Sizes(const std::string& localExtra, LocalHeader& header);

// Whether a local header and its name agree with the central record: the
// same method, stored or deflated, the same name and, unless a data
// descriptor follows the data, the same CRC-32 and sizes.
bool LocalHeaderAgrees(const LocalHeader& local, const std::string& localName, const CentralRecord& central);

}  // namespace ZipRecords
