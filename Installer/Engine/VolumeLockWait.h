#pragma once
#include <memory>
#include <string>

#include "Installer/Engine/InstallListener.h"
#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

// One run at a time works on a volume: the installed application started
// from the stick or a second update would otherwise take this run's
// staging folder for an abandoned one, or share its download folder.
// Waits a few seconds for the volume of root ("E:\"), less when cancelled;
// null when another run still holds it.
std::unique_ptr<Platform::VolumeLock> WaitForVolume(Platform::IFileSystem& files, const std::wstring& root,
                                                    const CancelFlag& cancel);

}  // namespace InstallBackend
