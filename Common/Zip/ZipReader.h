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
//
// Opening reads the central directory in one piece and every entry's local
// header once; describing an entry and reading its data then need no more
// reads of its records.
class ZipReader {
 public:
  // Null when the file is missing, holds no consistent end record, has
  // Zip64 end records, or when
  // entries' local records and data overlap one another or the central
  // directory (an archive made to expand far beyond its size).
  // Entries are written below baseFolder (a trailing separator is added
  // when it has none), on the same file system.
  static std::unique_ptr<ZipReader> Open(Platform::IFileSystem& files, const std::wstring& path,
                                         const std::wstring& baseFolder);

  ZipResult GetItem(int index, ZipItem& item);
  bool OpenEntryStream();
  ZipStreamRead ReadEntryStream(unsigned char* buffer, std::size_t capacity);
  void CloseEntryStream();

  int EntryCount() const { return m_entryCount; }
  // The sum of the uncompressed sizes the central records declare: what
  // the extraction will write at the least, as no entry may grow past it.
  std::uint64_t DeclaredSize() const { return m_declaredSize; }
  // The folder the extraction writes below, ending with a separator.
  const std::wstring& BaseFolder() const { return m_baseFolder; }
  // Where the archive is read from and its entries are written.
  Platform::IFileSystem& Files() const { return m_files; }
  // Entry index's central record, and where its local header starts in the
  // file; null for an index past the readable records.
  const ZipRecords::CentralRecord* CentralRecordOf(int index, std::uint64_t& localPosition) const;
  // kZipBufferSize bytes, made on first use and kept until the reader is closed.
  std::vector<unsigned char>& OutputBuffer();

 private:
  struct Entry {
    ZipRecords::CentralRecord central;
    ZipRecords::LocalHeader local;
    bool localReadable = false;  // the fixed part and the name could be read
    bool localAgrees = false;    // and agree with the central record
    bool extraReadable = false;
    std::uint64_t localPosition = 0;
    std::uint64_t dataPosition = 0;
    std::string localExtra;
  };

  ZipReader(Platform::IFileSystem& files, std::unique_ptr<Platform::ReadableFile> file,
            const ZipRecords::EndRecord& end, std::wstring baseFolder);
  bool Load(const ZipRecords::EndRecord& end);
  void ReadLocalHeaders();
  void ReadLocalHeader(Entry& entry, const unsigned char* bytes, std::size_t available);
  bool ComponentsOverlap(const ZipRecords::EndRecord& end) const;
  ZipResult Describe(int index, ZipItem& item) const;

  Platform::IFileSystem& m_files;
  std::unique_ptr<Platform::ReadableFile> m_file;
  std::uint64_t m_shift;
  int m_entryCount;
  std::wstring m_baseFolder;
  std::int64_t m_utcOffsetTicks;
  // The entries up to the first unreadable central record; the walk cannot
  // pass that one, as its length is unknown.
  std::vector<Entry> m_entries;
  std::uint64_t m_declaredSize = 0;
  int m_current = 0;  // the entry GetItem reached last
  ZipItem m_cachedItem;
  int m_cachedIndex = -1;
  std::vector<unsigned char> m_outputBuffer;
  std::unique_ptr<ZipEntryStream> m_entryStream;
};

// The operations in the shape the extraction uses them.

// Null (the failure is ZipNoFile) when the archive cannot be used.
std::unique_ptr<ZipReader> OpenZipFile(Platform::IFileSystem& files, const std::wstring& path,
                                       const std::wstring& baseFolder);
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
