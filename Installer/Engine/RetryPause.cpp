#include "Installer/Engine/RetryPause.h"

#include <algorithm>
#include <thread>

namespace InstallBackend {
namespace {

// As often as a waiting network call looks at the cancel: the close of the
// progress screen ends a pause as fast as it ends a wait for data.
constexpr std::chrono::milliseconds kCancelPoll{50};

void Sleep(std::chrono::milliseconds length, const CancelFlag& cancel) {
  const auto end = std::chrono::steady_clock::now() + length;
  for (auto now = std::chrono::steady_clock::now(); now < end && !cancel.IsSet();
       now = std::chrono::steady_clock::now()) {
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kCancelPoll, end - now));
  }
}

}  // namespace

RetryPause SleepingPause() { return Sleep; }

}  // namespace InstallBackend
