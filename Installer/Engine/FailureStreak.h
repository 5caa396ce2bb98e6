#pragma once
#include <algorithm>
#include <chrono>

#include "Installer/Engine/RequestTransfer.h"
#include "Installer/Engine/WaitBounds.h"

namespace InstallBackend {

// The requests in a row that ended without finishing their range: they pace
// the next request and tell a dead route from a passing fault.
class FailureStreak {
 public:
  // A request finished its range or learnt the size: the streak is over.
  void Finished() {
    m_inRow = 0;
    m_reachedInRow = 0;
  }
  // Counts a request that ended unfinished and returns the pause before the
  // next one: none after a stall, which has waited its window already.
  std::chrono::seconds Failed(RequestEnd::Kind kind) {
    ++m_inRow;
    if (kind != RequestEnd::Unreached) ++m_reachedInRow;
    if (kind == RequestEnd::Stalled) return std::chrono::seconds(0);
    const int doublings = std::min(m_inRow - 1, 8);
    return std::min(kRetryPauseFirst * (1 << doublings), kRetryPauseLongest);
  }
  bool RouteIsDead() const { return m_reachedInRow >= kDeadRouteRequests; }
  // Another route starts with a clean count.
  void RouteChanged() { m_reachedInRow = 0; }

 private:
  int m_inRow = 0;
  int m_reachedInRow = 0;
};

}  // namespace InstallBackend
