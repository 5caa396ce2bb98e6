#pragma once
#include <string>

namespace InstallBackend {

// Where an install to one target keeps its work on the target's own volume,
// so that putting a file in place is a rename, never a copy:
//   <target>\.korvane-staging\          hidden; exists only while a run is under way
//                             new\      the package, extracted and checked
//                             old\      installed files moved aside by the commit
//                             journal   the commit's plan, flushed before the first rename
//                             committed written and flushed once every file is in place (and on the disk)
//                             owner     written first: the folder is the installer's own
struct StagingArea {
  // target: "E:", "E:\" or a folder such as "E:\Apps".
  explicit StagingArea(const std::wstring& target);

  std::wstring target;  // with a trailing separator
  std::wstring folder;
  std::wstring newTree;
  std::wstring backups;
  std::wstring journal;
  std::wstring commitMark;
  std::wstring ownerMark;
};

constexpr wchar_t kStagingFolderName[] = L".korvane-staging";
constexpr wchar_t kOwnerMarkName[] = L"owner";

// True for a name a package may install and a journal may name: plainly
// relative (IsPlainRelativeName) and not in the staging folder or the
// set-aside folder, under its own name in any case or its short 8.3 form
// (KORVAN~1...), which would put files into the installer's work, even
// its commit mark.
bool IsInstallableName(const std::wstring& relative);

}  // namespace InstallBackend
