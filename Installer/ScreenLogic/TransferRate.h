#pragma once
// The download's speed as a person reading it wants it: averaged over the
// last few seconds, so that it neither jumps with every read nor lags a
// line that changed speed a minute ago.
#include <chrono>
#include <cstdint>
#include <deque>

class TransferRate {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  // Forgets what was measured: a new download, or the line after a wait.
  void Restart() { m_samples.clear(); }
  // received counts from the download's start; fewer than before means a
  // new download, measured afresh.
  void Add(TimePoint now, std::uint64_t received);
  // Bytes per second over the last few seconds; negative until a second
  // has been measured.
  double BytesPerSecond() const;
  // How long this measurement has run since its restart.
  std::chrono::steady_clock::duration Measured() const;

 private:
  struct Sample {
    TimePoint time;
    std::uint64_t bytes;
  };
  std::deque<Sample> m_samples;
  TimePoint m_started{};
};
