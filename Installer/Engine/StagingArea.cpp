#include "Installer/Engine/StagingArea.h"

#include "Installer/Engine/FileTree.h"

namespace InstallBackend {

StagingArea::StagingArea(const std::wstring& given)
    : target(WithSeparator(given)),
      folder(target + kStagingFolderName + L"\\"),
      newTree(folder + L"new\\"),
      backups(folder + L"old\\"),
      journal(folder + L"journal"),
      commitMark(folder + L"committed") {}

}  // namespace InstallBackend
