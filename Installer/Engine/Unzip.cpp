#include "Installer/Engine/Unzip.h"

#include "Common/Zip/ZipReader.h"
#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/UnzipItem.h"
#include "Platform/Files/FileSystem.h"

namespace InstallBackend {
namespace {

const wchar_t kOpenFailed[] = L"InstallBackend::Unzip Failed to open zip file";
const wchar_t kGetItemFailed[] = L"InstallBackend::Unzip GetZipItem failed";
const wchar_t kUnzipItemFailed[] = L"InstallBackend::Unzip UnzipItem failed";

// Hides the extracted entry where UnzipItem put it: below the reader's base
// folder. A path that was refused or is missing is left alone.
void HideExtractedEntry(const ZipReader& reader, const std::wstring& name) {
  const std::wstring path = ResolveEntryPath(reader.BaseFolder(), name);
  std::uint32_t attributes = 0;
  if (path.empty() || !Platform::GetPathAttributes(path, attributes)) return;
  Platform::SetPathAttributes(path, attributes | Platform::kAttributeHidden);
}

}  // namespace

void Unzip(const std::wstring& zipPath, const std::wstring& drive, IInstallListener* listener,
           const CancelFlag& cancel) {
  // The reader writes below the current directory: with the wrong one the
  // package would land somewhere else on the machine.
  if (!Platform::SetCurrentFolder(drive)) throw InstallException(kOpenFailed);
  std::unique_ptr<ZipReader> reader = OpenZipFile(zipPath);
  if (!reader) throw InstallException(kOpenFailed);

  ZipItem summary;
  if (GetZipItem(reader.get(), -1, summary) != ZipOk) throw InstallException(kGetItemFailed);
  const int count = summary.index;
  if (listener) listener->OnStatus(Extracting);

  for (int i = 0; i < count; ++i) {
    if (cancel) break;
    ZipItem item;
    if (GetZipItem(reader.get(), i, item) != ZipOk) throw InstallException(kGetItemFailed);
    const ZipResult code = UnzipItem(reader.get(), i, item.name);
    if (item.attributes & Platform::kAttributeHidden) HideExtractedEntry(*reader, item.name);
    if (code != ZipOk) throw InstallException(kUnzipItemFailed);
    if (listener) listener->OnProgress(static_cast<float>(i + 1) / static_cast<float>(count));
  }
  CloseZipFile(std::move(reader));
}

}  // namespace InstallBackend
