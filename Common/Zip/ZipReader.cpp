#include "Common/Zip/ZipReader.h"

#include <algorithm>
#include <new>

#include "Common/Zip/ZipAttributes.h"
#include "Common/Zip/ZipBufferSize.h"
#include "Common/Zip/ZipEntryName.h"
#include "Common/Zip/ZipNameDecoding.h"
#include "Common/Zip/ZipTimes.h"

namespace {

// Far above what 65,535 entries with names of 259 bytes take; a bigger
// directory is no package of ours and is not read into memory.
constexpr std::uint32_t kMaxCentralDirectoryBytes = 64u * 1024 * 1024;
// Read with the local header in the same call: enough for the extra fields
// archivers write (timestamps, Unix ids, Unicode path of a short name).
constexpr std::size_t kLocalExtraReadAhead = 96;
constexpr std::size_t kLocalWindowBytes = 64 * 1024;

std::wstring WithTrailingSeparator(std::wstring folder) {
  if (folder.empty() || (folder.back() != L'\\' && folder.back() != L'/')) folder.push_back(L'\\');
  return folder;
}

bool IsConsistent(const ZipRecords::EndRecord& end) {
  return end.diskNumber == 0 && end.centralDisk == 0 && end.entriesOnDisk == end.entriesTotal &&
         end.position >= static_cast<std::uint64_t>(end.centralOffset) + end.centralSize;
}

// The extended-information block of Zip64 entries: its 64-bit sizes and
// offsets would override the ones this reader uses.
bool HasZip64Block(const std::string& extra) {
  std::size_t at = 0;
  while (at + 4 <= extra.size()) {
    const auto id = static_cast<std::uint16_t>(static_cast<unsigned char>(extra[at]) |
                                               (static_cast<unsigned char>(extra[at + 1]) << 8));
    const std::size_t size = static_cast<unsigned char>(extra[at + 2]) |
                             (static_cast<std::size_t>(static_cast<unsigned char>(extra[at + 3])) << 8);
    if (id == 0x0001) return true;
    at += 4 + size;
  }
  return false;
}

// A Zip64 end locator right in front of the end record: the classic
// record's counts and offsets are then placeholders.
bool HasZip64Locator(Platform::ReadableFile& file, const ZipRecords::EndRecord& end) {
  constexpr std::uint64_t kLocatorSize = 20;
  if (end.position < kLocatorSize) return false;
  unsigned char signature[4];
  return file.ReadAt(end.position - kLocatorSize, signature, sizeof signature) == 4 && signature[0] == 0x50 &&
         signature[1] == 0x4B && signature[2] == 0x06 && signature[3] == 0x07;
}

bool EndsWithSeparator(const std::wstring& name) {
  return !name.empty() && (name.back() == L'/' || name.back() == L'\\');
}

}  // namespace

std::unique_ptr<ZipReader> ZipReader::Open(Platform::IFileSystem& files, const std::wstring& path,
                                           const std::wstring& baseFolder) {
  std::unique_ptr<Platform::ReadableFile> file = files.OpenForReading(path);
  if (!file) return nullptr;
  ZipRecords::EndRecord end;
  if (!ZipRecords::FindEndRecord(*file, end) || !IsConsistent(end) || HasZip64Locator(*file, end)) return nullptr;
  try {
    std::unique_ptr<ZipReader> reader(new ZipReader(files, std::move(file), end, WithTrailingSeparator(baseFolder)));
    if (!reader->Load(end)) return nullptr;
    return reader;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

ZipReader::ZipReader(Platform::IFileSystem& files, std::unique_ptr<Platform::ReadableFile> file,
                     const ZipRecords::EndRecord& end, std::wstring baseFolder)
    : m_files(files),
      m_file(std::move(file)),
      m_shift(end.position - end.centralOffset - end.centralSize),
      m_entryCount(end.entriesOnDisk),
      m_baseFolder(std::move(baseFolder)),
      m_utcOffsetTicks(files.CurrentUtcOffsetTicks()) {}

bool ZipReader::Load(const ZipRecords::EndRecord& end) {
  if (end.centralSize > kMaxCentralDirectoryBytes) return false;
  // The directory ends where the end record starts: the shift says so.
  std::vector<unsigned char> directory(end.centralSize);
  if (!directory.empty() &&
      m_file->ReadAt(end.position - end.centralSize, directory.data(), directory.size()) !=
          static_cast<std::int64_t>(directory.size())) {
    return false;
  }
  std::size_t at = 0;
  m_entries.reserve(static_cast<std::size_t>(m_entryCount));
  for (int i = 0; i < m_entryCount; ++i) {
    Entry entry;
    if (!ZipRecords::ParseCentralRecord(directory.data() + at, directory.size() - at, entry.central)) break;
    at += static_cast<std::size_t>(entry.central.Span());
    m_declaredSize += entry.central.uncompressedSize;
    m_entries.push_back(std::move(entry));
  }
  ReadLocalHeaders();
  return !ComponentsOverlap(end);
}

// Local headers are read in file order; headers that lie close together
// (the entries of small files) share one read of at most 64 KiB, and a
// header far from the next is read alone, so no entry's data is read twice
// over in bulk.
void ZipReader::ReadLocalHeaders() {
  std::vector<std::size_t> order(m_entries.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
    return m_entries[a].central.localHeaderOffset < m_entries[b].central.localHeaderOffset;
  });
  const auto wanted = [this](std::size_t i) {
    return ZipRecords::kLocalHeaderSize + m_entries[i].central.name.size() + kLocalExtraReadAhead;
  };
  std::vector<unsigned char> window(kLocalWindowBytes);
  std::uint64_t windowStart = 0;
  std::size_t windowLength = 0;
  for (std::size_t k = 0; k < order.size(); ++k) {
    Entry& entry = m_entries[order[k]];
    entry.localPosition = entry.central.localHeaderOffset + m_shift;
    const std::uint64_t position = entry.localPosition;
    const bool inside = position >= windowStart && position + wanted(order[k]) <= windowStart + windowLength;
    if (!inside) {
      // Reach as far as the following headers allow within the window.
      std::uint64_t end = position + wanted(order[k]);
      for (std::size_t next = k + 1; next < order.size(); ++next) {
        const std::uint64_t nextEnd = m_entries[order[next]].central.localHeaderOffset + m_shift + wanted(order[next]);
        if (nextEnd - position > window.size()) break;
        end = std::max(end, nextEnd);
      }
      const std::int64_t got = m_file->ReadAt(position, window.data(), static_cast<std::size_t>(end - position));
      windowStart = position;
      windowLength = got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    const std::size_t offset = static_cast<std::size_t>(position - windowStart);
    ReadLocalHeader(entry, window.data() + offset, offset <= windowLength ? windowLength - offset : 0);
  }
}

void ZipReader::ReadLocalHeader(Entry& entry, const unsigned char* bytes, std::size_t available) {
  const ZipRecords::CentralRecord& central = entry.central;
  if (available < ZipRecords::kLocalHeaderSize + central.name.size()) return;
  if (!ZipRecords::ParseLocalHeader(bytes, entry.local)) return;
  entry.localReadable = true;
  const std::string localName(reinterpret_cast<const char*>(bytes + ZipRecords::kLocalHeaderSize),
                              central.name.size());
  const std::uint64_t extraPosition = entry.localPosition + ZipRecords::kLocalHeaderSize + entry.local.nameLength;
  entry.dataPosition = extraPosition + entry.local.extraLength;
  // The extra field comes first: a Zip64 block in it may carry the sizes the
  // header is compared by.
  const std::size_t extraStart = ZipRecords::kLocalHeaderSize + entry.local.nameLength;
  if (extraStart + entry.local.extraLength <= available) {
    entry.localExtra.assign(reinterpret_cast<const char*>(bytes + extraStart), entry.local.extraLength);
    entry.extraReadable = true;
  } else {
    entry.localExtra.assign(entry.local.extraLength, '\0');
    entry.extraReadable = m_file->ReadAt(extraPosition, &entry.localExtra[0], entry.localExtra.size()) ==
                          static_cast<std::int64_t>(entry.localExtra.size());
  }
  entry.localAgrees = ZipRecords::TakeRepeatedZip64Sizes(entry.localExtra, entry.local) &&
                      ZipRecords::LocalHeaderAgrees(entry.local, localName, central);
}

// Each entry's local header, name, extra field and data, the central
// directory and the end record must each have bytes of their own: shared
// bytes let a small archive write the same data many times over, or show
// one reader other entries than another.
bool ZipReader::ComponentsOverlap(const ZipRecords::EndRecord& end) const {
  struct Extent {
    std::uint64_t begin;
    std::uint64_t end;
  };
  std::vector<Extent> extents;
  extents.reserve(m_entries.size() + 1);
  for (const Entry& entry : m_entries) {
    if (entry.localReadable) extents.push_back({entry.localPosition, entry.dataPosition + entry.central.compressedSize});
  }
  extents.push_back({end.position - end.centralSize, end.position + ZipRecords::kEndRecordSize});
  std::sort(extents.begin(), extents.end(),
            [](const Extent& a, const Extent& b) { return a.begin < b.begin; });
  std::uint64_t reached = 0;
  for (const Extent& extent : extents) {
    if (extent.begin < reached) return true;
    reached = std::max(reached, extent.end);
  }
  return false;
}

ZipResult ZipReader::GetItem(int index, ZipItem& item) {
  if (index < -1 || index >= m_entryCount) return ZipBadArgs;
  if (index == -1) {
    item = ZipItem();
    item.index = m_entryCount;
    return ZipOk;
  }
  m_current = index;
  if (index == m_cachedIndex) {
    item = m_cachedItem;
    return ZipOk;
  }
  const ZipResult result = Describe(index, item);
  if (result == ZipOk) {
    m_cachedItem = item;
    m_cachedIndex = index;
  }
  return result;
}

ZipResult ZipReader::Describe(int index, ZipItem& item) const {
  if (static_cast<std::size_t>(index) >= m_entries.size()) return ZipCorrupt;
  const Entry& entry = m_entries[static_cast<std::size_t>(index)];
  if (!entry.localReadable || !entry.localAgrees) return ZipCorrupt;
  if (!entry.extraReadable) return ZipReadFailed;
  const ZipRecords::CentralRecord& central = entry.central;
  // A local Zip64 block that only repeats the sizes was taken when the
  // header was read; one in the central record makes a real Zip64 entry.
  if (HasZip64Block(central.extra)) return ZipCorrupt;
  // A name too long for a path below the drive is refused, not shortened:
  // a shortened name could land on another entry's file.
  if (central.nameLength > kMaxEntryNameBytes) return ZipCorrupt;
  std::wstring name = DecodeEntryName(central.name, central.flags, central.extra, entry.localExtra);
  if (name.size() > kMaxEntryNameUnits) return ZipCorrupt;

  item = ZipItem();
  item.index = index;
  item.attributes = AttributesFromHost(central.versionMadeBy, central.externalAttributes);
  // The format marks a folder by the separator that ends its name; Java's
  // archivers, for one, set no directory bit.
  if (EndsWithSeparator(name)) item.attributes |= Platform::kAttributeDirectory;
  item.name = GuardEntryName(std::move(name));
  item.compressedSize = central.compressedSize;
  item.uncompressedSize = central.uncompressedSize;
  item.crc = central.crc;
  const std::uint64_t dosTicks = DosTimeToTicks(central.dosDate, central.dosTime, m_utcOffsetTicks);
  item.accessTime = item.creationTime = item.modificationTime = dosTicks;
  ApplyExtendedTimestamp(entry.localExtra, item);
  return ZipOk;
}

bool ZipReader::OpenEntryStream() {
  m_entryStream.reset();
  if (m_current < 0 || static_cast<std::size_t>(m_current) >= m_entries.size()) return false;
  const Entry& entry = m_entries[static_cast<std::size_t>(m_current)];
  if (!entry.localReadable || !entry.localAgrees) return false;
  m_entryStream = ZipEntryStream::Create(*m_file, entry.central, entry.dataPosition);
  return m_entryStream != nullptr;
}

ZipStreamRead ZipReader::ReadEntryStream(unsigned char* buffer, std::size_t capacity) {
  if (!m_entryStream) return ZipStreamRead();
  return m_entryStream->Read(buffer, capacity);
}

void ZipReader::CloseEntryStream() { m_entryStream.reset(); }

const ZipRecords::CentralRecord* ZipReader::CentralRecordOf(int index, std::uint64_t& localPosition) const {
  if (index < 0 || static_cast<std::size_t>(index) >= m_entries.size()) return nullptr;
  const Entry& entry = m_entries[static_cast<std::size_t>(index)];
  localPosition = entry.localPosition;
  return &entry.central;
}

std::vector<unsigned char>& ZipReader::OutputBuffer() {
  if (m_outputBuffer.empty()) m_outputBuffer.resize(kZipBufferSize);
  return m_outputBuffer;
}

std::unique_ptr<ZipReader> OpenZipFile(Platform::IFileSystem& files, const std::wstring& path,
                                       const std::wstring& baseFolder) {
  return ZipReader::Open(files, path, baseFolder);
}

ZipResult GetZipItem(ZipReader* reader, int index, ZipItem& item) {
  return reader ? reader->GetItem(index, item) : ZipBadArgs;
}

bool OpenEntryStream(ZipReader* reader) { return reader && reader->OpenEntryStream(); }

ZipStreamRead ReadEntryStream(ZipReader* reader, unsigned char* buffer, std::size_t capacity) {
  return reader ? reader->ReadEntryStream(buffer, capacity) : ZipStreamRead();
}

void CloseEntryStream(ZipReader* reader) {
  if (reader) reader->CloseEntryStream();
}

ZipResult CloseZipFile(std::unique_ptr<ZipReader> reader) { return reader ? ZipOk : ZipBadArgs; }
