#include "Installer/Engine/StagingArea.h"

#include "Common/Zip/ZipEntryName.h"
#include "Installer/Engine/FileTree.h"
#include "Installer/Engine/SetAside.h"

namespace InstallBackend {
namespace {

const wchar_t kShortFormStem[] = L"KORVAN~";

bool NamesStagingFolder(const std::wstring& relative) {
  const std::wstring first = FoldEntryPath(relative.substr(0, relative.find_first_of(L"\\/")));
  if (first == FoldEntryPath(kStagingFolderName) || first == FoldEntryPath(kSetAsideFolderName)) return true;
  const std::wstring stem = first.substr(0, first.find(L'.'));
  const std::size_t digits = std::char_traits<wchar_t>::length(kShortFormStem);
  return stem.size() > digits && stem.compare(0, digits, kShortFormStem) == 0 &&
         stem.find_first_not_of(L"0123456789", digits) == std::wstring::npos;
}

}  // namespace

bool IsInstallableName(const std::wstring& relative) {
  return IsPlainRelativeName(relative) && !NamesStagingFolder(relative);
}

StagingArea::StagingArea(const std::wstring& given)
    : target(WithSeparator(given)),
      folder(target + kStagingFolderName + L"\\"),
      newTree(folder + L"new\\"),
      backups(folder + L"old\\"),
      journal(folder + L"journal"),
      commitMark(folder + L"committed"),
      ownerMark(folder + kOwnerMarkName) {}

}  // namespace InstallBackend
