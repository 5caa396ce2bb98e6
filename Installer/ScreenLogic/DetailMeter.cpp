#include "Installer/ScreenLogic/DetailMeter.h"

#include <cmath>

namespace {

using namespace std::chrono_literals;

// Time left needs this much data since the download or the line started
// again: before it, the first seconds' slow start would promise minutes
// that are seconds.
constexpr auto kSettled = 3s;
constexpr double kLongestShown = 24 * 3600.0;

int RoundUp(double value, int step) { return static_cast<int>(std::ceil(value / step)) * step; }

}  // namespace

int RoundedSecondsLeft(double seconds) {
  if (!(seconds >= 0) || seconds > kLongestShown) return -1;
  if (seconds <= 10) return RoundUp(seconds, 1);
  if (seconds < 60) return RoundUp(seconds, 5);
  if (seconds < 3600) return static_cast<int>(std::lround(seconds / 60)) * 60;
  return static_cast<int>(std::lround(seconds / 600)) * 600;
}

void DetailMeter::Restart() {
  m_rate.Restart();
  m_shown = false;
  m_waiting = false;
  m_received = 0;
}

bool DetailMeter::Due(TimePoint now) {
  if (m_shown && now - m_lastShown < m_interval) return false;
  m_shown = true;
  m_lastShown = now;
  return true;
}

std::optional<ProgressDetail> DetailMeter::Bytes(TimePoint now, std::uint64_t received, std::int64_t total) {
  // The read that ends in a stall reports what had come before it: the
  // wait's text stays until the line brings something new.
  const bool moved = received != m_received;
  m_received = received;
  if (m_waiting && !moved) return std::nullopt;
  m_waiting = false;
  m_rate.Add(now, received);
  // Until the first byte there is nothing to tell but the phase's name.
  if (received == 0 || !Due(now)) return std::nullopt;
  ProgressDetail detail;
  detail.kind = ProgressDetail::Kind::Bytes;
  detail.done = received;
  detail.total = total;
  detail.bytesPerSecond = m_rate.BytesPerSecond();
  const bool sizeKnown = total >= 0 && static_cast<std::uint64_t>(total) >= received;
  if (sizeKnown && detail.bytesPerSecond > 0 && m_rate.Measured() >= kSettled) {
    detail.secondsLeft =
        RoundedSecondsLeft(static_cast<double>(static_cast<std::uint64_t>(total) - received) / detail.bytesPerSecond);
  }
  return detail;
}

std::optional<ProgressDetail> DetailMeter::Files(TimePoint now, int done, int total) {
  if (!Due(now)) return std::nullopt;
  ProgressDetail detail;
  detail.kind = ProgressDetail::Kind::Files;
  detail.done = done < 0 ? 0 : static_cast<std::uint64_t>(done);
  detail.total = total;
  return detail;
}

ProgressDetail DetailMeter::Wait(TimePoint now, NetworkWait what, int seconds) {
  m_rate.Restart();
  // The first new bytes after the wait replace its text at once.
  m_waiting = true;
  m_shown = false;
  m_lastShown = now;
  ProgressDetail detail;
  detail.kind = what == NetworkWait::Stalled ? ProgressDetail::Kind::Stalled : ProgressDetail::Kind::Retrying;
  detail.waitSeconds = seconds;
  return detail;
}
