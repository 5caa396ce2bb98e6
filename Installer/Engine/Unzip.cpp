#include "Installer/Engine/Unzip.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "Common/Zip/ZipEntryName.h"
#include "Common/Zip/ZipReader.h"
#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/UnzipItem.h"

namespace InstallBackend {
namespace {

const wchar_t kOpenFailed[] = L"InstallBackend::Unzip Failed to open zip file";
const wchar_t kGetItemFailed[] = L"InstallBackend::Unzip GetZipItem failed";
const wchar_t kUnzipItemFailed[] = L"InstallBackend::Unzip UnzipItem failed";
const wchar_t kSameFile[] = L"InstallBackend::Unzip Two entries name the same file: ";
const wchar_t kRefusedName[] = L"InstallBackend::Unzip Refused entry name: ";
const wchar_t kNoRoom[] = L"InstallBackend::Unzip Not enough free space on the target: ";

// Two entries whose names the file system takes for one file would leave
// one of them lost while the install reports success. Folder entries may
// repeat; a file may share its name with nothing.
void CheckDistinctNames(const std::vector<ZipItem>& items) {
  std::unordered_map<std::wstring, bool> seen;  // key -> is a folder
  for (const ZipItem& item : items) {
    const bool folder = (item.attributes & Platform::kAttributeDirectory) != 0;
    const auto inserted = seen.emplace(FoldEntryPath(item.name), folder);
    if (!inserted.second && !(folder && inserted.first->second)) {
      throw InstallException(kSameFile + item.name, InstallException::Retry::Pointless);
    }
  }
}

// The bytes the entries will add to the drive: their declared sizes, less
// those of the files they replace (an update over an installed copy). The
// drive is asked about existing files only when the sizes alone do not fit.
std::uint64_t BytesNeeded(const ZipReader& reader, const std::vector<ZipItem>& items, std::uint64_t freeBytes) {
  std::uint64_t needed = reader.DeclaredSize();
  if (needed <= freeBytes) return needed;
  for (const ZipItem& item : items) {
    if (item.attributes & Platform::kAttributeDirectory) continue;
    const std::wstring path = ResolveEntryPath(reader.BaseFolder(), item.name);
    std::uint64_t existing = 0;
    if (path.empty() || !reader.Files().GetFileSize(path, existing)) continue;
    needed -= std::min<std::uint64_t>(needed, std::min<std::uint64_t>(existing, item.uncompressedSize));
  }
  return needed;
}

// Everything that can be known before the first entry is written: a drive
// that cannot hold the package fails now, not half-way with a drive full
// of partial files. Entries that cannot be described are left to the
// extraction, which reports them in their turn after the ones before.
void CheckBeforeWriting(ZipReader& reader, int count) {
  std::vector<ZipItem> items;
  items.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
  for (int i = 0; i < count; ++i) {
    ZipItem item;
    if (GetZipItem(&reader, i, item) != ZipOk) break;
    items.push_back(std::move(item));
  }
  CheckDistinctNames(items);
  // A name that would leave the target, name a device or reach into the
  // installer's own folder refuses the package before anything is written.
  for (const ZipItem& item : items) {
    if (ResolveEntryPath(reader.BaseFolder(), item.name).empty()) {
      throw InstallException(kRefusedName + item.name, InstallException::Retry::Pointless);
    }
  }
  std::uint64_t freeBytes = 0;
  if (!reader.Files().GetFreeBytes(reader.BaseFolder(), freeBytes)) return;
  const std::uint64_t needed = BytesNeeded(reader, items, freeBytes);
  if (needed > freeBytes) {
    throw InstallException(kNoRoom + std::to_wstring(needed) + L" bytes needed, " + std::to_wstring(freeBytes) +
                               L" bytes free",
                           InstallException::Retry::Pointless, InstallError::NotEnoughSpace);
  }
}

// Hides the extracted entry where UnzipItem put it: below the reader's base
// folder. A path that was refused or is missing is left alone.
void HideExtractedEntry(const ZipReader& reader, const std::wstring& name) {
  const std::wstring path = ResolveEntryPath(reader.BaseFolder(), name);
  std::uint32_t attributes = 0;
  if (path.empty() || !reader.Files().GetPathAttributes(path, attributes)) return;
  reader.Files().SetPathAttributes(path, attributes | Platform::kAttributeHidden);
}

}  // namespace

std::unique_ptr<ZipReader> OpenPackage(Platform::IFileSystem& files, const std::wstring& zipPath,
                                       const std::wstring& folder) {
  // Whatever is extracted may rely on the target being the current
  // directory, as it always has been; the entries' places come from the
  // base folder the reader is given, never from the directory.
  // A target that cannot be entered stays so whatever is downloaded.
  if (!files.SetCurrentFolder(folder)) throw InstallException(kOpenFailed, InstallException::Retry::Pointless);
  std::unique_ptr<ZipReader> reader = OpenZipFile(files, zipPath, folder);
  if (!reader) throw InstallException(kOpenFailed);
  return reader;
}

void ExtractEntries(ZipReader& reader, IInstallListener* listener, const CancelFlag& cancel, PackageList& verified,
                    const WrittenEntries& written) {
  PackageListBuilder list(verified);
  ZipItem summary;
  if (GetZipItem(&reader, -1, summary) != ZipOk) throw InstallException(kGetItemFailed);
  const int count = summary.index;
  CheckBeforeWriting(reader, count);
  if (listener) listener->OnStatus(Extracting);

  FolderMaker folders(reader.Files(), reader.BaseFolder());
  for (int i = 0; i < count; ++i) {
    if (cancel.IsSet()) break;
    ZipItem item;
    if (GetZipItem(&reader, i, item) != ZipOk) throw InstallException(kGetItemFailed);
    const bool inPlace = written && written(i, item);
    const ZipResult code = inPlace ? ZipOk : UnzipItem(&reader, i, item.name, folders, &cancel);
    if (cancel.IsSet()) break;
    if (item.attributes & Platform::kAttributeHidden) HideExtractedEntry(reader, item.name);
    // Damaged data may come whole with the next download; a file that
    // cannot be written, or a name that is refused, comes back the same.
    if (code != ZipOk) {
      throw InstallException(kUnzipItemFailed, code == ZipInflateFailed ? InstallException::Retry::Worthwhile
                                                                        : InstallException::Retry::Pointless);
    }
    list.Add(item);
    if (!listener) continue;
    listener->OnProgress(static_cast<float>(i + 1) / static_cast<float>(count));
    listener->OnFiles(i + 1, count);
  }
}

void PackageExtraction::Unzip(const std::wstring& zipPath, const std::wstring& drive, IInstallListener* listener,
                              const CancelFlag& cancel) {
  m_verified = PackageList();
  std::unique_ptr<ZipReader> reader = OpenPackage(m_files, zipPath, drive);
  ExtractEntries(*reader, listener, cancel, m_verified);
  CloseZipFile(std::move(reader));
}

}  // namespace InstallBackend
