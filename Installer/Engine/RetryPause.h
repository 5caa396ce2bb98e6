#pragma once
#include <chrono>
#include <functional>

#include "Installer/Engine/InstallListener.h"

namespace InstallBackend {

// Waits out the pause before the download's next request. Returns at the
// end of the pause, or within a fraction of a second once cancel is set.
using RetryPause = std::function<void(std::chrono::milliseconds, const CancelFlag&)>;

// The real pause, on the calling thread's clock.
RetryPause SleepingPause();

}  // namespace InstallBackend
