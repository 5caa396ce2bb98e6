#include "Installer/Engine/StreamedExtraction.h"

#include <algorithm>

#include "Common/Zip/LittleEndian.h"
#include "Common/Zip/ZipBufferSize.h"
#include "Common/Zip/ZipEntryName.h"
#include "Common/Zip/ZipEntryStream.h"
#include "Common/Zip/ZipNameDecoding.h"
#include "Common/Zip/ZipReader.h"
#include "Common/Zip/ZipTimes.h"
#include "Installer/Engine/FileTree.h"
#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/Unzip.h"
#include "Installer/Engine/UnzipItem.h"
#include "Installer/Log/Log.h"

namespace InstallBackend {

// What the walk learnt of an entry from its local header, and wrote.
struct StreamedExtraction::Staged {
  std::wstring name;
  bool folder = false;
  ZipRecords::CentralRecord local;  // the local header's fields in the central record's shape
};

namespace {

// Free space the walk leaves to everybody else, whatever the package.
constexpr std::uint64_t kWalkReserveBytes = 4ull * 1024 * 1024;

const unsigned char kLocalSignature[] = {0x50, 0x4B, 0x03, 0x04};

bool EndsWithSeparator(const std::wstring& name) {
  return !name.empty() && (name.back() == L'/' || name.back() == L'\\');
}

// The local header's fields as the entry stream wants them; the sizes are
// those of a repeated Zip64 block where the header has one.
ZipRecords::CentralRecord AsCentralRecord(const unsigned char* bytes, const ZipRecords::LocalHeader& header) {
  ZipRecords::CentralRecord record;
  record.flags = header.flags;
  record.method = header.method;
  record.dosTime = LittleEndian::Read16(bytes + 10);
  record.dosDate = LittleEndian::Read16(bytes + 12);
  record.crc = header.crc;
  record.compressedSize = header.compressedSize;
  record.uncompressedSize = header.uncompressedSize;
  record.nameLength = header.nameLength;
  return record;
}

// Entries whose data's end the local header does not tell, or that the
// ordinary extraction would not write as they are, end the walk.
bool CanBeStreamed(const ZipRecords::LocalHeader& header) {
  const std::uint16_t refused = ZipRecords::kFlagEncrypted | ZipRecords::kFlagDataDescriptor;
  return (header.flags & refused) == 0 && header.nameLength <= kMaxEntryNameBytes &&
         (header.method == ZipRecords::kMethodStored || header.method == ZipRecords::kMethodDeflated);
}

bool Agrees(const ZipRecords::CentralRecord& local, const ZipRecords::CentralRecord& central) {
  const std::uint16_t refused = ZipRecords::kFlagEncrypted | ZipRecords::kFlagDataDescriptor;
  return (central.flags & refused) == 0 && local.method == central.method && local.crc == central.crc &&
         local.compressedSize == central.compressedSize && local.uncompressedSize == central.uncompressedSize &&
         local.dosTime == central.dosTime && local.dosDate == central.dosDate;
}

}  // namespace

StreamedExtraction::StreamedExtraction(Platform::IFileSystem& files) : m_files(files) {}

StreamedExtraction::~StreamedExtraction() { StopFollowing(); }

IArchiveGrowth* StreamedExtraction::Follow(const std::wstring& zipPath, const std::wstring& drive,
                                           const CancelFlag& cancel) {
  StopFollowing();
  m_following = true;
  m_archivePath = zipPath;
  m_folder = WithSeparator(drive);
  m_cancel = &cancel;
  m_utcOffsetTicks = m_files.CurrentUtcOffsetTicks();
  m_available = 0;
  m_archiveSize = 0;
  m_complete = false;
  m_stop = false;
  m_staged.clear();
  m_stagedAt.clear();
  m_walkEnd = 0;
  m_walkedSize = m_walkedCompressed = 0;
  m_next = 0;
  m_brokeOff = false;
  m_file.reset();
  m_thread = std::thread([this] { Walk(); });
  return this;
}

void StreamedExtraction::ArchiveWritten(std::uint64_t length) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_available = length;
  }
  m_grown.notify_one();
}

void StreamedExtraction::StopFollowing() {
  m_following = false;
  EndWalk(m_stop);
}

// Wakes the walk with one of its flags set and waits for its thread.
void StreamedExtraction::EndWalk(bool& flag) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    flag = true;
  }
  m_grown.notify_one();
  if (m_thread.joinable()) m_thread.join();
  m_file.reset();
}

bool StreamedExtraction::WaitFor(std::uint64_t length) {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_grown.wait(lock, [&] { return m_stop || m_complete || m_available >= length; });
  return !m_stop && m_available >= length && !m_cancel->IsSet();
}

// The thread's body: nothing may leave it. What ends it early is only
// logged: the extraction after the download writes whatever the walk did
// not, and fails the install itself where it must.
void StreamedExtraction::Walk() {
  try {
    std::vector<unsigned char> buffer(kZipBufferSize);
    FolderMaker folders(m_files, m_folder);
    while (WalkOneEntry(folders, buffer)) {
    }
  } catch (const InstallException& error) {
    LOG_INFO << "InstallBackend::Unzip The walk during the download stopped: " << LogText(error.Message());
  } catch (const std::exception& error) {
    LOG_INFO << "InstallBackend::Unzip The walk during the download stopped: " << error.what();
  } catch (...) {
    LOG_INFO << "InstallBackend::Unzip The walk during the download stopped on an unknown error";
  }
  m_walkEnd = m_next;
}

bool StreamedExtraction::WalkOneEntry(FolderMaker& folders, std::vector<unsigned char>& buffer) {
  unsigned char fixed[ZipRecords::kLocalHeaderSize];
  if (!WaitFor(m_next + sizeof fixed)) return false;
  if (!m_file) m_file = m_files.OpenForReading(m_archivePath);
  if (!m_file || m_file->ReadAt(m_next, fixed, sizeof fixed) != static_cast<std::int64_t>(sizeof fixed)) return false;
  ZipRecords::LocalHeader header;
  // Anything but a local header (the central directory, a stub in front)
  // ends the walk.
  if (!std::equal(kLocalSignature, kLocalSignature + 4, fixed) || !ZipRecords::ParseLocalHeader(fixed, header)) {
    return false;
  }
  const std::uint64_t namePosition = m_next + sizeof fixed;
  std::string nameAndExtra(static_cast<std::size_t>(header.nameLength) + header.extraLength, '\0');
  if (!WaitFor(namePosition + nameAndExtra.size())) return false;
  if (!nameAndExtra.empty() && m_file->ReadAt(namePosition, &nameAndExtra[0], nameAndExtra.size()) !=
                                   static_cast<std::int64_t>(nameAndExtra.size())) {
    return false;
  }
  const std::string rawName = nameAndExtra.substr(0, header.nameLength);
  const std::string extra = nameAndExtra.substr(header.nameLength);
  if (!ZipRecords::TakeRepeatedZip64Sizes(extra, header) || !CanBeStreamed(header)) return false;

  Staged staged;
  staged.local = AsCentralRecord(fixed, header);
  // Decoded as the reader does, without the central record's extra field:
  // a Unicode name kept there only shows as a disagreement at the end.
  std::wstring name = DecodeEntryName(rawName, header.flags, std::string(), extra);
  if (name.size() > kMaxEntryNameUnits) return false;
  staged.folder = EndsWithSeparator(name);
  staged.name = GuardEntryName(std::move(name));
  if (ResolveEntryPath(m_folder, staged.name).empty()) return false;

  const std::uint64_t dataPosition = namePosition + nameAndExtra.size();
  const std::uint64_t dataEnd = dataPosition + header.compressedSize;
  if (!WaitFor(dataEnd)) return false;
  if (!staged.folder && !RoomFor(header.uncompressedSize, header.compressedSize, dataEnd)) return false;
  ZipItem item;
  item.name = staged.name;
  item.attributes = staged.folder ? Platform::kAttributeDirectory : 0;
  item.accessTime = item.creationTime = item.modificationTime =
      DosTimeToTicks(staged.local.dosDate, staged.local.dosTime, m_utcOffsetTicks);
  ApplyExtendedTimestamp(extra, item);
  std::unique_ptr<ZipEntryStream> stream = ZipEntryStream::Create(*m_file, staged.local, dataPosition);
  if (!stream) return false;
  const ZipResult written = WriteEntry(
      m_files, folders, m_folder, item,
      [&stream](unsigned char* out, std::size_t capacity) { return stream->Read(out, capacity); }, buffer,
      m_cancel);
  // A file left part-written may lie under a name the end will not
  // vouch for: the end then trusts nothing of the walk.
  if (written != ZipOk) {
    m_brokeOff = true;
    return false;
  }
  m_stagedAt[m_next] = m_staged.size();
  m_staged.push_back(std::move(staged));
  m_next = dataEnd;
  return true;
}

// What the rest of the archive will need once extracted is guessed from
// how much the entries so far grew (and never taken for less than its own
// bytes); the reserve keeps the drive usable meanwhile.
bool StreamedExtraction::RoomFor(std::uint64_t size, std::uint64_t compressed, std::uint64_t walked) {
  m_walkedSize += size;
  m_walkedCompressed += compressed;
  const std::uint64_t total = m_archiveSize;
  const double rest = total > walked ? static_cast<double>(total - walked) : 0.0;
  const double growth = std::max(1.0, static_cast<double>(m_walkedSize) / std::max<double>(1.0, m_walkedCompressed));
  std::uint64_t freeBytes = 0;
  if (!m_files.GetFreeBytes(m_folder, freeBytes)) return false;
  return static_cast<double>(freeBytes) >= static_cast<double>(size + kWalkReserveBytes) + rest * growth;
}

void StreamedExtraction::Unzip(const std::wstring& zipPath, const std::wstring& drive, IInstallListener* listener,
                               const CancelFlag& cancel) {
  m_kept = 0;
  m_verified = PackageList();
  if (m_following && zipPath == m_archivePath && WithSeparator(drive) == m_folder) {
    Finish(listener, cancel);
  } else {
    StopFollowing();
    PackageExtraction ordinary(m_files);
    ordinary.Unzip(zipPath, drive, listener, cancel);
    m_verified = ordinary.Verified();
  }
}

void StreamedExtraction::Finish(IInstallListener* listener, const CancelFlag& cancel) {
  m_following = false;
  EndWalk(m_complete);
  if (cancel.IsSet()) return;

  std::unique_ptr<ZipReader> reader;
  try {
    reader = OpenPackage(m_files, m_archivePath, m_folder);
  } catch (const InstallException&) {
    // Refused below, as the ordinary extraction refuses it, once the
    // walk's files are gone.
  }
  std::vector<bool> inPlace;
  if (reader && StagedAgree(*reader, inPlace)) {
    LOG_INFO << "InstallBackend::Unzip " << m_staged.size() << " entries were extracted during the download";
    m_kept = static_cast<int>(m_staged.size());
    ExtractEntries(*reader, listener, cancel, m_verified, [this, &inPlace](int index, const ZipItem& item) {
      if (!inPlace[static_cast<std::size_t>(index)]) return false;
      FinishStagedFile(item.name, item.attributes);
      return true;
    });
    return;
  }
  LOG_INFO << "InstallBackend::Unzip The entries extracted during the download disagree with the central "
              "directory; the archive is extracted anew";
  reader.reset();
  RemoveTree(m_files, m_folder);
  m_files.MakeFolder(WithoutSeparator(m_folder));
  reader = OpenPackage(m_files, m_archivePath, m_folder);
  ExtractEntries(*reader, listener, cancel, m_verified);
}

// Every written entry must be one the central directory lists, at the place
// it was found, saying what its local header said; every listed entry
// before the walk's end must have been written. Anything else is an
// archive that shows one reader other entries than another.
bool StreamedExtraction::StagedAgree(ZipReader& reader, std::vector<bool>& inPlace) const {
  if (m_brokeOff) return false;
  const int count = reader.EntryCount();
  inPlace.assign(static_cast<std::size_t>(count > 0 ? count : 0), false);
  std::vector<bool> listed(m_staged.size(), false);
  for (int i = 0; i < count; ++i) {
    ZipItem item;
    if (GetZipItem(&reader, i, item) != ZipOk) return false;
    std::uint64_t position = 0;
    const ZipRecords::CentralRecord* central = reader.CentralRecordOf(i, position);
    if (!central) return false;
    const auto found = m_stagedAt.find(position);
    if (found == m_stagedAt.end()) {
      if (position < m_walkEnd) return false;
      continue;
    }
    const Staged& staged = m_staged[found->second];
    const bool folder = (item.attributes & Platform::kAttributeDirectory) != 0;
    if (listed[found->second] || staged.name != item.name || staged.folder != folder ||
        !Agrees(staged.local, *central)) {
      return false;
    }
    listed[found->second] = true;
    inPlace[static_cast<std::size_t>(i)] = true;
  }
  for (const bool seen : listed) {
    if (!seen) return false;
  }
  return true;
}

// The attribute bits the central record gives a file, which the walk could
// not know; hidden is applied by the extraction as for every entry.
void StreamedExtraction::FinishStagedFile(const std::wstring& name, std::uint32_t attributes) {
  const std::uint32_t wanted = attributes & (Platform::kAttributeReadOnly | Platform::kAttributeSystem);
  if (wanted == 0 || (attributes & Platform::kAttributeDirectory)) return;
  const std::wstring path = m_folder + name;
  std::uint32_t present = 0;
  if (m_files.GetPathAttributes(path, present)) m_files.SetPathAttributes(path, present | wanted);
}

}  // namespace InstallBackend
