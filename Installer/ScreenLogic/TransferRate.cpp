#include "Installer/ScreenLogic/TransferRate.h"

namespace {

using namespace std::chrono_literals;

// The speed's window, and how far apart the samples in it lie: a read
// every few milliseconds would otherwise fill it with thousands.
constexpr auto kWindow = 5s;
constexpr auto kSpacing = 200ms;
constexpr auto kShortest = 1s;

}  // namespace

void TransferRate::Add(TimePoint now, std::uint64_t received) {
  if (!m_samples.empty() && received < m_samples.back().bytes) m_samples.clear();
  if (m_samples.empty()) m_started = now;
  const std::size_t size = m_samples.size();
  if (size >= 2 && now - m_samples[size - 2].time < kSpacing) {
    m_samples.back() = {now, received};
  } else {
    m_samples.push_back({now, received});
  }
  while (m_samples.size() > 2 && now - m_samples[1].time >= kWindow) m_samples.pop_front();
}

double TransferRate::BytesPerSecond() const {
  if (m_samples.size() < 2) return -1;
  const std::chrono::duration<double> span = m_samples.back().time - m_samples.front().time;
  if (span < kShortest) return -1;
  return static_cast<double>(m_samples.back().bytes - m_samples.front().bytes) / span.count();
}

std::chrono::steady_clock::duration TransferRate::Measured() const {
  return m_samples.empty() ? std::chrono::steady_clock::duration::zero() : m_samples.back().time - m_started;
}
