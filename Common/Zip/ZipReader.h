#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Common/Zip/ZipEntryStream.h"
#include "Common/Zip/ZipRecords.h"
#include "Common/Zip/ZipTypes.h"
#include "Platform/Files/FileSystem.h"

// An open zip archive: classic single-disk records, entries stored or
// deflated. It reports codes and never raises; one thread at a time.
class ZipReader {
 public:
  // Null when the file is missing or holds no consistent end record.
  static std::unique_ptr<ZipReader> Open(const std::wstring& path);

  ZipResult GetItem(int index, ZipItem& item);
  bool OpenEntryStream();
  ZipStreamRead ReadEntryStream(unsigned char* buffer, std::size_t capacity);
  void CloseEntryStream();

  int EntryCount() const { return m_entryCount; }
  // The current directory when the archive was opened, with a trailing
  // separator; extraction writes below it even if the directory changes.
  const std::wstring& BaseFolder() const { return m_baseFolder; }
  // 16 KiB, made on first use and kept until the reader is closed.
  std::vector<unsigned char>& OutputBuffer();

 private:
  ZipReader(std::unique_ptr<Platform::ReadableFile> file, const ZipRecords::EndRecord& end);
  void GoToFirstEntry();
  bool GoToNextEntry();
  bool GoToEntry(int index);
  ZipResult DescribeCurrentEntry(ZipItem& item);

  std::unique_ptr<Platform::ReadableFile> m_file;
  std::uint64_t m_shift;
  int m_entryCount;
  std::uint32_t m_centralOffset;
  std::wstring m_baseFolder;
  int m_currentNumber = 0;
  std::uint64_t m_currentPosition = 0;
  ZipRecords::CentralRecord m_current;
  bool m_currentReadable = false;
  ZipItem m_cachedItem;
  int m_cachedIndex = -1;
  std::vector<unsigned char> m_outputBuffer;
  std::unique_ptr<ZipEntryStream> m_entryStream;
};

// The operations in the shape the extraction uses them.

// Null (the failure is ZipNoFile) when the archive cannot be used.
std::unique_ptr<ZipReader> OpenZipFile(const std::wstring& path);
// index -1 gives the summary: index = entry count, everything else empty.
// ZipBadArgs for no reader or an index out of range; ZipCorrupt for an
// entry whose records are unreadable, disagree, use another method than
// stored or deflated, or whose name is 260 bytes or longer.
ZipResult GetZipItem(ZipReader* reader, int index, ZipItem& item);
// Prepares the entry the last GetZipItem reached; false when it cannot.
bool OpenEntryStream(ZipReader* reader);
ZipStreamRead ReadEntryStream(ZipReader* reader, unsigned char* buffer, std::size_t capacity);
void CloseEntryStream(ZipReader* reader);
// ZipBadArgs for no reader, else ZipOk; the reader is gone either way.
ZipResult CloseZipFile(std::unique_ptr<ZipReader> reader);
