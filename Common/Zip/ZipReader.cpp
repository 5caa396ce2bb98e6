#include "Common/Zip/ZipReader.h"

#include <new>

#include "Common/Zip/ZipAttributes.h"
#include "Common/Zip/ZipEntryName.h"
#include "Common/Zip/ZipTimes.h"
#include "Platform/Text/TextConversion.h"

namespace {

constexpr std::size_t kOutputBufferSize = 16384;

std::wstring BaseFolderFromCurrentDirectory() {
  std::wstring folder = Platform::GetCurrentFolder();
  if (folder.empty() || (folder.back() != L'\\' && folder.back() != L'/')) folder.push_back(L'\\');
  return folder;
}

bool IsConsistent(const ZipRecords::EndRecord& end) {
  return end.diskNumber == 0 && end.centralDisk == 0 && end.entriesOnDisk == end.entriesTotal &&
         end.position >= static_cast<std::uint64_t>(end.centralOffset) + end.centralSize;
}

// Names are cut at a zero byte as the system would cut them, so the name
// that is checked is the name that is used.
std::wstring DecodeName(const std::string& raw) {
  return Platform::Utf8ToUtf16(std::string(raw.c_str()));
}

}  // namespace

std::unique_ptr<ZipReader> ZipReader::Open(const std::wstring& path) {
  std::unique_ptr<Platform::ReadableFile> file = Platform::OpenForReading(path);
  if (!file) return nullptr;
  ZipRecords::EndRecord end;
  if (!ZipRecords::FindEndRecord(*file, end) || !IsConsistent(end)) return nullptr;
  try {
    return std::unique_ptr<ZipReader>(new ZipReader(std::move(file), end));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

ZipReader::ZipReader(std::unique_ptr<Platform::ReadableFile> file, const ZipRecords::EndRecord& end)
    : m_file(std::move(file)),
      m_shift(end.position - end.centralOffset - end.centralSize),
      m_entryCount(end.entriesOnDisk),
      m_centralOffset(end.centralOffset),
      m_baseFolder(BaseFolderFromCurrentDirectory()) {
  GoToFirstEntry();
}

void ZipReader::GoToFirstEntry() {
  m_cachedIndex = -1;
  m_currentNumber = 0;
  m_currentPosition = m_centralOffset;
  m_currentReadable = ZipRecords::ReadCentralRecord(*m_file, m_currentPosition + m_shift, m_current);
}

// Refuses to pass an unreadable record: its length is unknown.
bool ZipReader::GoToNextEntry() {
  if (!m_currentReadable || m_currentNumber + 1 >= m_entryCount) return false;
  m_cachedIndex = -1;
  m_currentPosition += m_current.Span();
  ++m_currentNumber;
  m_currentReadable = ZipRecords::ReadCentralRecord(*m_file, m_currentPosition + m_shift, m_current);
  return m_currentReadable;
}

bool ZipReader::GoToEntry(int index) {
  if (index < m_currentNumber) GoToFirstEntry();
  while (m_currentNumber < index) {
    if (!GoToNextEntry()) return false;
  }
  return m_currentReadable;
}

ZipResult ZipReader::GetItem(int index, ZipItem& item) {
  if (index < -1 || index >= m_entryCount) return ZipBadArgs;
  if (index == -1) {
    item = ZipItem();
    item.index = m_entryCount;
    return ZipOk;
  }
  if (index == m_cachedIndex && index == m_currentNumber) {
    item = m_cachedItem;
    return ZipOk;
  }
  if (!GoToEntry(index)) return ZipCorrupt;
  const ZipResult result = DescribeCurrentEntry(item);
  if (result == ZipOk) {
    m_cachedItem = item;
    m_cachedIndex = index;
  }
  return result;
}

ZipResult ZipReader::DescribeCurrentEntry(ZipItem& item) {
  ZipRecords::LocalLayout layout;
  if (!ZipRecords::CheckLocalHeader(*m_file, m_shift, m_current, layout)) return ZipCorrupt;
  std::string extra(layout.extraLength, '\0');
  if (!extra.empty() &&
      m_file->ReadAt(layout.extraPosition, &extra[0], extra.size()) != static_cast<std::int64_t>(extra.size())) {
    return ZipReadFailed;
  }
  // A name too long for a path below the drive is refused, not shortened:
  // a shortened name could land on another entry's file.
  if (m_current.nameLength > kMaxEntryNameBytes) return ZipCorrupt;
  std::wstring name = DecodeName(m_current.name);
  if (name.size() > kMaxEntryNameUnits) return ZipCorrupt;

  item = ZipItem();
  item.index = m_currentNumber;
  item.name = GuardEntryName(std::move(name));
  item.attributes = AttributesFromHost(m_current.versionMadeBy, m_current.externalAttributes);
  item.compressedSize = m_current.compressedSize;
  item.uncompressedSize = m_current.uncompressedSize;
  const std::uint64_t dosTicks =
      DosTimeToTicks(m_current.dosDate, m_current.dosTime, Platform::CurrentUtcOffsetTicks());
  item.accessTime = item.creationTime = item.modificationTime = dosTicks;
  ApplyExtendedTimestamp(extra, item);
  return ZipOk;
}

bool ZipReader::OpenEntryStream() {
  m_entryStream.reset();
  if (!m_currentReadable) return false;
  ZipRecords::LocalLayout layout;
  if (!ZipRecords::CheckLocalHeader(*m_file, m_shift, m_current, layout)) return false;
  m_entryStream = ZipEntryStream::Create(*m_file, m_current, layout.dataPosition);
  return m_entryStream != nullptr;
}

ZipStreamRead ZipReader::ReadEntryStream(unsigned char* buffer, std::size_t capacity) {
  if (!m_entryStream) return ZipStreamRead();
  return m_entryStream->Read(buffer, capacity);
}

void ZipReader::CloseEntryStream() { m_entryStream.reset(); }

std::vector<unsigned char>& ZipReader::OutputBuffer() {
  if (m_outputBuffer.empty()) m_outputBuffer.resize(kOutputBufferSize);
  return m_outputBuffer;
}

std::unique_ptr<ZipReader> OpenZipFile(const std::wstring& path) { return ZipReader::Open(path); }

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
