#include "Installer/Engine/StagingFolder.h"

#include <vector>

#include "Installer/Engine/TargetPlace.h"

namespace InstallBackend {
namespace {

// For whoever finds the folder on the drive.
const char kOwnerText[] =
    "This folder is the Korvane installer's work area. The installer removes it when it is done.\r\n";

bool HasOwnerMark(Platform::IFileSystem& files, const StagingArea& area) {
  std::uint32_t attributes = 0;
  return files.GetPathAttributes(area.ownerMark, attributes) && !(attributes & Platform::kAttributeDirectory);
}

}  // namespace

StagingFound InspectStaging(Platform::IFileSystem& files, const StagingArea& area) {
  const std::wstring folder = WithoutSeparator(area.folder);
  std::uint32_t attributes = 0;
  if (!files.GetPathAttributes(folder, attributes)) {
    if (!files.PathExists(folder)) return {StagingFound::Nothing, std::wstring()};
    return {StagingFound::Elsewhere, L"it cannot be read"};
  }
  std::wstring why;
  TargetPlace place(files, area.target);
  if (place.Find(kStagingFolderName, &why) != TargetPlace::Found::InPlace) return {StagingFound::Elsewhere, why};
  if (!(attributes & Platform::kAttributeDirectory)) return {StagingFound::NotOurs, L"it is a file"};
  if (HasOwnerMark(files, area)) return {StagingFound::Ours, std::wstring()};
  std::vector<Platform::FolderEntry> entries;
  if (files.ListFolder(area.folder, entries) && entries.empty()) return {StagingFound::Empty, std::wstring()};
  return {StagingFound::NotOurs, L"it is a folder the installer did not make"};
}

bool MakeStaging(Platform::IFileSystem& files, const StagingArea& area) {
  const std::wstring folder = WithoutSeparator(area.folder);
  // Made now or not at all: a folder that was there already is not ours.
  if (!files.MakeFolder(folder)) return false;
  // Flushed: a stick pulled now must not leave a folder that later runs
  // take for somebody else's.
  std::unique_ptr<Platform::WritableFile> mark = files.CreateForWriting(area.ownerMark, Platform::kAttributeArchive);
  const bool marked = mark && mark->Write(kOwnerText, sizeof kOwnerText - 1) && mark->Flush();
  mark.reset();
  if (!marked) {
    files.RemoveFile(area.ownerMark);
    files.RemoveFolder(folder);
    return false;
  }
  std::uint32_t attributes = 0;
  if (files.GetPathAttributes(folder, attributes)) {
    files.SetPathAttributes(folder, attributes | Platform::kAttributeHidden);
  }
  return files.MakeFolder(WithoutSeparator(area.newTree)) || files.PathExists(WithoutSeparator(area.newTree));
}

bool RemoveStaging(Platform::IFileSystem& files, const StagingArea& area, Deadline until) {
  const StagingFound found = InspectStaging(files, area);
  switch (found.kind) {
    case StagingFound::Nothing:
      return true;
    case StagingFound::Empty:
      return files.RemoveFolder(WithoutSeparator(area.folder)) || !files.PathExists(WithoutSeparator(area.folder));
    case StagingFound::Ours:
      // The mark goes last: a removal cut short leaves a folder that is
      // still recognisably the installer's.
      return RemoveTree(files, area.folder, until, kOwnerMarkName);
    default:
      return false;
  }
}

}  // namespace InstallBackend
