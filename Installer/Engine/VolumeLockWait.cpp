#include "Installer/Engine/VolumeLockWait.h"

#include <chrono>
#include <thread>

namespace InstallBackend {
namespace {

// Long enough for a run that is just ending (its clean-up, an update's
// restart of the application), short enough that a second run says why it
// cannot go on while the user still watches.
constexpr auto kVolumeLockWait = std::chrono::seconds(5);
constexpr auto kVolumeLockRetryPause = std::chrono::milliseconds(100);

}  // namespace

std::unique_ptr<Platform::VolumeLock> WaitForVolume(Platform::IFileSystem& files, const std::wstring& root,
                                                    const CancelFlag& cancel) {
  const auto until = std::chrono::steady_clock::now() + kVolumeLockWait;
  for (;;) {
    if (std::unique_ptr<Platform::VolumeLock> lock = files.TryLockVolume(root)) return lock;
    if (cancel.IsSet() || std::chrono::steady_clock::now() >= until) return nullptr;
    std::this_thread::sleep_for(kVolumeLockRetryPause);
  }
}

}  // namespace InstallBackend
