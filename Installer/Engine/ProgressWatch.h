#pragma once
#include <chrono>
#include <functional>
#include <utility>

namespace InstallBackend {

// Measures the time since the package last made progress, over every
// download call of one install (its retries and both attempt paths), so
// that a dead or stalled server ends the install within a bound while a
// slow line, which keeps making progress, is never cut off.
class ProgressWatch {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Clock = std::function<TimePoint()>;

  explicit ProgressWatch(Clock now = [] { return std::chrono::steady_clock::now(); }) : m_now(std::move(now)) {}

  // The first call starts the watch; later ones change nothing.
  void Start() {
    if (!m_started) Progressed();
  }
  void Progressed() {
    m_started = true;
    m_last = m_now();
  }
  // The watch's own clock, for whatever else of the download measures time.
  const Clock& Now() const { return m_now; }
  // True once limit has passed since the start or the last progress.
  bool Exceeded(std::chrono::steady_clock::duration limit) const { return m_started && m_now() - m_last >= limit; }

 private:
  Clock m_now;
  bool m_started = false;
  TimePoint m_last{};
};

}  // namespace InstallBackend
