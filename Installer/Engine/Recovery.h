#pragma once
#include <string>

#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

// Brings a target back to one whole version after a run that was
// interrupted (a crash, a power cut, a pulled drive): a commit that reached
// its mark is cleaned up, one that did not is rolled back, and a staging
// folder without a journal (nothing was moved yet) is removed. Each
// recovery is logged at INFO. Every step can be repeated, so a recovery that
// is itself interrupted is finished by the next.
// True when nothing of an earlier run is left at the target.
bool RecoverInterruptedInstall(Platform::IFileSystem& files, const std::wstring& target);

}  // namespace InstallBackend
