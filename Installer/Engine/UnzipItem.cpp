#include "Installer/Engine/UnzipItem.h"

#include "Common/Zip/ZipEntryName.h"
#include "Installer/Engine/MakeFolders.h"
#include "Installer/Engine/StagingArea.h"
#include "Platform/Files/FileSystem.h"

namespace InstallBackend {
namespace {

constexpr std::size_t kMaxPathUnits = 259;

ZipResult CopyEntryData(const EntryRead& read, std::vector<unsigned char>& buffer, Platform::WritableFile& file,
                        const ZipItem& item, const CancelFlag* cancel) {
  // Every round either writes bytes, ends the entry or fails; the stream
  // refuses to go on once its data is used up.
  for (;;) {
    const ZipStreamRead block = read(buffer.data(), buffer.size());
    if (block.status == ZipStreamStatus::BadPassword) return ZipBadPassword;
    if (block.status != ZipStreamStatus::Ok) return ZipInflateFailed;
    if (block.produced > 0 && !file.Write(buffer.data(), block.produced)) return ZipWriteFailed;
    if (cancel && cancel->IsSet()) return ZipWriteFailed;
    if (block.ended) {
      file.SetTimes(item.creationTime, item.accessTime, item.modificationTime);
      // On the disk before the commit's journal names it: a stick pulled
      // after the commit must not keep a name whose data never arrived.
      return file.Flush() ? ZipOk : ZipWriteFailed;
    }
    if (block.produced == 0) return ZipInflateFailed;
  }
}

}  // namespace

std::wstring ResolveEntryPath(const std::wstring& baseFolder, const std::wstring& name) {
  if (!name.empty() && !IsInstallableName(name)) return std::wstring();
  if (baseFolder.size() + name.size() > kMaxPathUnits) return std::wstring();
  return baseFolder + name;
}

ZipResult WriteEntry(Platform::IFileSystem& files, FolderMaker& folders, const std::wstring& base,
                     const ZipItem& item, const EntryRead& read, std::vector<unsigned char>& buffer,
                     const CancelFlag* cancel) {
  const std::wstring& name = item.name;
  const std::wstring path = ResolveEntryPath(base, name);
  if (path.empty()) return ZipNoFile;
  if (item.attributes & Platform::kAttributeDirectory) {
    folders.Make(name);
    // An empty folder that could not be made would be missing unnoticed:
    // no file inside it fails to show it.
    return files.PathExists(path) ? ZipOk : ZipNoFile;
  }
  const std::size_t separator = name.find_last_of(L"/\\");
  folders.Make(separator == std::wstring::npos ? std::wstring() : name.substr(0, separator + 1));
  std::unique_ptr<Platform::WritableFile> file = files.CreateForWriting(path, item.attributes);
  if (!file) return ZipNoFile;
  return CopyEntryData(read, buffer, *file, item, cancel);
}

ZipResult UnzipItem(ZipReader* reader, int index, const std::wstring& name, FolderMaker& folders,
                    const CancelFlag* cancel) {
  if (!reader || index < 0 || index >= reader->EntryCount()) return ZipBadArgs;
  ZipItem item;
  // Served from the reader's cache: the caller has just fetched this item.
  const ZipResult described = GetZipItem(reader, index, item);
  if (described != ZipOk) return described;
  item.name = name;
  OpenEntryStream(reader);
  const ZipResult result = WriteEntry(
      reader->Files(), folders, reader->BaseFolder(), item,
      [reader](unsigned char* buffer, std::size_t capacity) { return ReadEntryStream(reader, buffer, capacity); },
      reader->OutputBuffer(), cancel);
  CloseEntryStream(reader);
  return result;
}

}  // namespace InstallBackend
