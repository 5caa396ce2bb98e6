#include "Common/Zip/ZipRecords.h"

#include <algorithm>
#include <vector>

namespace ZipRecords {
namespace {

constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kCentralRecordSize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kNameBufferSize = 260;
constexpr std::uint64_t kSearchLimit = 65535;
constexpr std::uint64_t kWindowSize = 1028;
constexpr std::uint64_t kWindowStep = 1024;

std::uint16_t Read16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Read32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool ReadExactly(Platform::ReadableFile& file, std::uint64_t position, void* buffer, std::size_t size) {
  return file.ReadAt(position, buffer, size) == static_cast<std::int64_t>(size);
}

bool IsEndSignature(const unsigned char* p) {
  return p[0] == 0x50 && p[1] == 0x4B && p[2] == 0x05 && p[3] == 0x06;
}

// Looks for the signature in one window, from its last possible start
// towards its first byte; the offset of the hit within the window.
bool SearchWindow(const std::vector<unsigned char>& window, std::size_t length, std::size_t& hit) {
  if (length < 4) return false;
  for (std::size_t i = length - 4 + 1; i-- > 0;) {
    if (IsEndSignature(&window[i])) {
      hit = i;
      return true;
    }
  }
  return false;
}

bool LocateEndRecord(Platform::ReadableFile& file, std::uint64_t& position) {
  std::uint64_t size = 0;
  if (!file.Length(size) || size <= 4) return false;
  const std::uint64_t limit = size - std::min(kSearchLimit, size);
  std::vector<unsigned char> window(kWindowSize);
  // The first window is the last 1,028 bytes; each further one ends 1,024
  // bytes earlier so that a signature across two windows is still seen.
  std::uint64_t windowEnd = size;
  while (windowEnd > limit) {
    const std::uint64_t start = windowEnd - std::min(kWindowSize, windowEnd - limit);
    const auto length = static_cast<std::size_t>(windowEnd - start);
    if (!ReadExactly(file, start, window.data(), length)) return false;
    std::size_t hit = 0;
    if (SearchWindow(window, length, hit)) {
      position = start + hit;
      return true;
    }
    if (start == limit || windowEnd < kWindowStep) return false;
    windowEnd -= kWindowStep;
  }
  return false;
}

bool IsStoredOrDeflated(std::uint16_t method) {
  return method == kMethodStored || method == kMethodDeflated;
}

}  // namespace

bool FindEndRecord(Platform::ReadableFile& file, EndRecord& record) {
  std::uint64_t position = 0;
  if (!LocateEndRecord(file, position)) return false;
  unsigned char bytes[kEndRecordSize];
  if (!ReadExactly(file, position, bytes, sizeof bytes)) return false;
  record.position = position;
  record.diskNumber = Read16(bytes + 4);
  record.centralDisk = Read16(bytes + 6);
  record.entriesOnDisk = Read16(bytes + 8);
  record.entriesTotal = Read16(bytes + 10);
  record.centralSize = Read32(bytes + 12);
  record.centralOffset = Read32(bytes + 16);
  record.commentLength = Read16(bytes + 20);
  return true;
}

bool ReadCentralRecord(Platform::ReadableFile& file, std::uint64_t position, CentralRecord& record) {
  unsigned char bytes[kCentralRecordSize];
  if (!ReadExactly(file, position, bytes, sizeof bytes)) return false;
  if (Read32(bytes) != 0x02014B50u) return false;
  record.versionMadeBy = Read16(bytes + 4);
  record.flags = Read16(bytes + 8);
  record.method = Read16(bytes + 10);
  record.dosTime = Read16(bytes + 12);
  record.dosDate = Read16(bytes + 14);
  record.crc = Read32(bytes + 16);
  record.compressedSize = Read32(bytes + 20);
  record.uncompressedSize = Read32(bytes + 24);
  record.nameLength = Read16(bytes + 28);
  record.extraLength = Read16(bytes + 30);
  record.commentLength = Read16(bytes + 32);
  record.externalAttributes = Read32(bytes + 38);
  record.localHeaderOffset = Read32(bytes + 42);
  record.name.assign(std::min<std::size_t>(record.nameLength, kNameBufferSize), '\0');
  return record.name.empty() ||
         ReadExactly(file, position + kCentralRecordSize, &record.name[0], record.name.size());
}

bool CheckLocalHeader(Platform::ReadableFile& file, std::uint64_t shift, const CentralRecord& central,
                      LocalLayout& layout) {
  const std::uint64_t position = central.localHeaderOffset + shift;
  unsigned char bytes[kLocalHeaderSize];
  if (!ReadExactly(file, position, bytes, sizeof bytes)) return false;
  if (Read32(bytes) != 0x04034B50u) return false;
  const std::uint16_t flags = Read16(bytes + 6);
  const std::uint16_t method = Read16(bytes + 8);
  if (method != central.method || !IsStoredOrDeflated(method)) return false;
  // With a data descriptor the local header may hold zeros; the central
  // record's values are the ones used.
  if ((flags & kFlagDataDescriptor) == 0) {
    if (Read32(bytes + 14) != central.crc || Read32(bytes + 18) != central.compressedSize ||
        Read32(bytes + 22) != central.uncompressedSize) {
      return false;
    }
  }
  const std::uint16_t nameLength = Read16(bytes + 26);
  if (nameLength != central.nameLength) return false;
  layout.extraLength = Read16(bytes + 28);
  layout.extraPosition = position + kLocalHeaderSize + nameLength;
  layout.dataPosition = layout.extraPosition + layout.extraLength;
  return true;
}

}  // namespace ZipRecords
