#pragma once
// Turns the engine's reports into the details worth showing, at most one
// per interval: a screen reader reading the line, or a log, must not be
// flooded by a report per read. What the download waits for is shown at
// once, so that a stall is never silent.
#include <chrono>
#include <cstdint>
#include <optional>

#include "Installer/Engine/InstallListener.h"
#include "Installer/ScreenLogic/ProgressDetail.h"
#include "Installer/ScreenLogic/TransferRate.h"

class DetailMeter {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  explicit DetailMeter(std::chrono::milliseconds interval = std::chrono::seconds(1)) : m_interval(interval) {}

  // A phase begins: what was measured belongs to the last one.
  void Restart();
  // The detail to show now, or nothing before the interval has passed.
  // Speed comes after a second of data, time left after a few seconds and
  // only while the package's size is known.
  std::optional<ProgressDetail> Bytes(TimePoint now, std::uint64_t received, std::int64_t total);
  std::optional<ProgressDetail> Files(TimePoint now, int done, int total);
  // Always shown; the speed is measured afresh once data flows again.
  ProgressDetail Wait(TimePoint now, NetworkWait what, int seconds);

 private:
  bool Due(TimePoint now);

  std::chrono::milliseconds m_interval;
  TransferRate m_rate;
  bool m_shown = false;
  TimePoint m_lastShown{};
  std::uint64_t m_received = 0;
  bool m_waiting = false;  // a wait is shown and no new byte has come since
};

// Time left rounded as a person would say it ("about 25 s", "about 3 min"),
// so that it does not change with every refresh; negative when too far off
// to mean anything.
int RoundedSecondsLeft(double seconds);
