#include "Common/Zip/ZipRecords.h"

#include <algorithm>
#include <vector>

#include "Common/Zip/LittleEndian.h"

namespace ZipRecords {
namespace {

using LittleEndian::Read16;
using LittleEndian::Read32;

constexpr std::size_t kNameBufferSize = 260;
constexpr std::uint64_t kSearchLimit = 65535;
constexpr std::uint64_t kWindowSize = 1028;
constexpr std::uint64_t kWindowStep = 1024;

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

bool ParseCentralRecord(const unsigned char* bytes, std::size_t available, CentralRecord& record) {
  if (available < kCentralRecordSize || Read32(bytes) != 0x02014B50u) return false;
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
  if (record.Span() > available) return false;
  const auto* name = reinterpret_cast<const char*>(bytes + kCentralRecordSize);
  record.name.assign(name, std::min<std::size_t>(record.nameLength, kNameBufferSize));
  record.extra.assign(name + record.nameLength, record.extraLength);
  return true;
}

bool ParseLocalHeader(const unsigned char* bytes, LocalHeader& header) {
  if (Read32(bytes) != 0x04034B50u) return false;
  header.flags = Read16(bytes + 6);
  header.method = Read16(bytes + 8);
  header.crc = Read32(bytes + 14);
  header.compressedSize = Read32(bytes + 18);
  header.uncompressedSize = Read32(bytes + 22);
  header.nameLength = Read16(bytes + 26);
  header.extraLength = Read16(bytes + 28);
  return true;
}

bool TakeRepeatedZip64Sizes(const std::string& localExtra, LocalHeader& header) {
  constexpr std::uint16_t kZip64BlockId = 0x0001;
  // A local block holds both sizes, the uncompressed one first.
  constexpr std::size_t kLocalZip64DataSize = 16;
  constexpr std::uint32_t kPlaceholder = 0xFFFFFFFF;
  std::size_t at = 0;
  while (at + 4 <= localExtra.size()) {
    const std::size_t size = Read16(localExtra, at + 2);
    if (Read16(localExtra, at) != kZip64BlockId) {
      at += 4 + size;
      continue;
    }
    if (size != kLocalZip64DataSize || at + 4 + size > localExtra.size()) return false;
    const std::size_t data = at + 4;
    std::uint32_t* fields[] = {&header.uncompressedSize, &header.compressedSize};
    for (int i = 0; i < 2; ++i) {
      const std::uint32_t high = Read32(localExtra, data + 8 * i + 4);
      const std::uint32_t low = Read32(localExtra, data + 8 * i);
      // A size that needs 64 bits (or the placeholder itself) is a real
      // Zip64 entry.
      if (high != 0 || low == kPlaceholder) return false;
      if (*fields[i] == kPlaceholder) *fields[i] = low;
      // A classic field that says otherwise than the block: two readers
      // would see two entries.
      if (*fields[i] != low) return false;
    }
    return true;
  }
  return true;
}

bool LocalHeaderAgrees(const LocalHeader& local, const std::string& localName, const CentralRecord& central) {
  if (local.method != central.method || !IsStoredOrDeflated(local.method)) return false;
  // With a data descriptor the local header may hold zeros; the central
  // record's values are the ones used.
  if ((local.flags & kFlagDataDescriptor) == 0 &&
      (local.crc != central.crc || local.compressedSize != central.compressedSize ||
       local.uncompressedSize != central.uncompressedSize)) {
    return false;
  }
  // A name that differs between the two records shows an archive made to
  // look different to different readers.
  return local.nameLength == central.nameLength &&
         localName.compare(0, central.name.size(), central.name) == 0;
}

}  // namespace ZipRecords
