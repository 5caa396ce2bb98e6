#include "Installer/Engine/UnzipItem.h"

#include "Common/Zip/ZipEntryName.h"
#include "Installer/Engine/MakeFolders.h"
#include "Platform/Files/FileSystem.h"

namespace InstallBackend {
namespace {

constexpr std::size_t kMaxPathUnits = 259;

ZipResult CopyEntryData(ZipReader* reader, Platform::WritableFile& file, const ZipItem& item,
                        const CancelFlag* cancel) {
  std::vector<unsigned char>& buffer = reader->OutputBuffer();
  // Every round either writes bytes, ends the entry or fails; the stream
  // refuses to go on once its data is used up.
  for (;;) {
    const ZipStreamRead read = ReadEntryStream(reader, buffer.data(), buffer.size());
    if (read.status == ZipStreamStatus::BadPassword) return ZipBadPassword;
    if (read.status != ZipStreamStatus::Ok) return ZipInflateFailed;
    if (read.produced > 0 && !file.Write(buffer.data(), read.produced)) return ZipWriteFailed;
    if (cancel && cancel->IsSet()) return ZipWriteFailed;
    if (read.ended) {
      file.SetTimes(item.creationTime, item.accessTime, item.modificationTime);
      return ZipOk;
    }
    if (read.produced == 0) return ZipInflateFailed;
  }
}

}  // namespace

std::wstring ResolveEntryPath(const std::wstring& baseFolder, const std::wstring& name) {
  if (!IsContainedEntryName(name)) return std::wstring();
  if (baseFolder.size() + name.size() > kMaxPathUnits) return std::wstring();
  return baseFolder + name;
}

ZipResult UnzipItem(ZipReader* reader, int index, const std::wstring& name, FolderMaker& folders,
                    const CancelFlag* cancel) {
  if (!reader || index < 0 || index >= reader->EntryCount()) return ZipBadArgs;
  ZipItem item;
  // Served from the reader's cache: the caller has just fetched this item.
  const ZipResult described = GetZipItem(reader, index, item);
  if (described != ZipOk) return described;
  const std::wstring& base = reader->BaseFolder();
  const std::wstring path = ResolveEntryPath(base, name);
  if (path.empty()) return ZipNoFile;
  if (item.attributes & Platform::kAttributeDirectory) {
    folders.Make(name);
    // An empty folder that could not be made would be missing unnoticed:
    // no file inside it fails to show it.
    return reader->Files().PathExists(path) ? ZipOk : ZipNoFile;
  }
  const std::size_t separator = name.find_last_of(L"/\\");
  folders.Make(separator == std::wstring::npos ? std::wstring() : name.substr(0, separator + 1));
  std::unique_ptr<Platform::WritableFile> file = reader->Files().CreateForWriting(path, item.attributes);
  if (!file) return ZipNoFile;
  OpenEntryStream(reader);
  const ZipResult result = CopyEntryData(reader, *file, item, cancel);
  file.reset();
  CloseEntryStream(reader);
  return result;
}

}  // namespace InstallBackend
