#pragma once
#include <string>

#include "Installer/Engine/FileTree.h"
#include "Installer/Engine/StagingArea.h"
#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

// What is found at a target's staging folder name. Only a folder the
// installer made (it carries the owner mark) and that lies in place may be
// recovered, used or removed; anything else at that name is somebody
// else's and is never touched.
struct StagingFound {
  enum Kind {
    Nothing,     // the name is free
    Ours,        // a folder in place with the owner mark
    Empty,       // an empty folder in place: a run stopped before its mark, or harmless
    Elsewhere,   // a link, or a folder that resolves to another place or volume
    NotOurs,     // a file, or a folder with content but no owner mark
  };
  Kind kind = Nothing;
  std::wstring why;  // for Elsewhere and NotOurs: what is there, for the log
};

StagingFound InspectStaging(Platform::IFileSystem& files, const StagingArea& area);

// Makes the staging folder, the owner mark first, then new\. False when the
// name is taken or the folder cannot be made; whatever this made is gone
// again then.
bool MakeStaging(Platform::IFileSystem& files, const StagingArea& area);

// Removes the staging folder when it is the installer's and in place
// (RemoveTree's rules for what lies inside). True once the name is free.
bool RemoveStaging(Platform::IFileSystem& files, const StagingArea& area, Deadline until = kNoDeadline);

}  // namespace InstallBackend
