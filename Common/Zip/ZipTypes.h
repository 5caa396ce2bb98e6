#pragma once
#include <cstdint>
#include <string>

// Result codes of the zip reader and of the extraction of one entry.
// Callers test them against ZipOk only; the other values tell a reader of
// the code which step refused.
enum ZipResult : std::uint32_t {
  ZipOk = 0,
  ZipNoFile = 0x200,          // archive unusable, or an output file cannot be created
  ZipWriteFailed = 0x400,     // writing an output file failed
  ZipCorrupt = 0x700,         // an entry's records are unreadable or disagree
  ZipReadFailed = 0x800,      // an entry's local extra field cannot be read whole
  ZipBadPassword = 0x1000,    // the check byte of an encrypted entry does not match
  ZipBadArgs = 0x10000,       // index out of range, or no reader
  ZipInflateFailed = 0x5000000,  // an entry's data cannot be read, decoded or verified
};

// One entry as the extraction sees it.
struct ZipItem {
  // The entry's number; for the summary (index -1 asked) the entry count.
  std::int32_t index = 0;
  // Relative path below the base folder, at most 259 UTF-16 code units,
  // separators either slash or backslash; empty in the summary.
  std::wstring name;
  // 0x01 read-only, 0x02 hidden, 0x04 system, 0x10 directory, 0x20 archive.
  std::uint32_t attributes = 0;
  // 100-nanosecond ticks since 1601-01-01 00:00 UTC.
  std::uint64_t accessTime = 0;
  std::uint64_t creationTime = 0;
  std::uint64_t modificationTime = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
  std::uint32_t crc = 0;  // CRC-32 of the uncompressed data
};

// Longest name a ZipItem carries, in UTF-16 code units and in raw bytes.
constexpr std::size_t kMaxEntryNameUnits = 259;
constexpr std::size_t kMaxEntryNameBytes = 259;
