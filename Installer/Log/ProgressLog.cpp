#include "Installer/Log/ProgressLog.h"

#include <string>

#include "Installer/Log/Log.h"

namespace {

// Often enough to see a deployment move, rarely enough to keep the log short.
constexpr std::chrono::seconds kLogInterval{5};

// The log is in English whatever the user's language, in plain ASCII, its
// numbers ungrouped so that a script reads them as they stand.
const Platform::NumberSymbols kLogNumbers{L".", L""};

DetailMessages LogMessages() {
  DetailMessages m;
  m.of = L"%s of %s";
  m.speed = L"%s/s";
  m.timeLeft = L"about %s left";
  m.files = L"%s of %s files";
  m.bytes = L"%s bytes";
  m.kilobytes = L"%s KB";
  m.megabytes = L"%s MB";
  m.gigabytes = L"%s GB";
  m.seconds = L"%s s";
  m.minutes = L"%s min";
  m.hours = L"%s h %s min";
  return m;
}

}  // namespace

ProgressLog::ProgressLog(Clock now) : m_now(std::move(now)), m_meter(kLogInterval) {}

void ProgressLog::OnStatus(int) { m_meter.Restart(); }

void ProgressLog::OnNetworkWait(NetworkWait what, int seconds) { m_meter.Wait(m_now(), what, seconds); }

void ProgressLog::OnDownloadBytes(std::uint64_t received, std::int64_t total) {
  Write(m_meter.Bytes(m_now(), received, total), " bytes");
}

void ProgressLog::OnFiles(int done, int total) { Write(m_meter.Files(m_now(), done, total), nullptr); }

// Downloads carry the exact byte counts as well, for a script to compare.
void ProgressLog::Write(const std::optional<ProgressDetail>& detail, const char* exact) {
  if (!detail) return;
  static const DetailMessages messages = LogMessages();
  std::string line = "InstallBackend::Install progress: " +
                     LogText(DetailText(*detail, messages, kLogNumbers, L", "));
  if (exact) {
    line += " (" + std::to_string(detail->done);
    if (detail->total >= 0) line += " of " + std::to_string(detail->total);
    line += std::string(exact) + ")";
  }
  LOG_INFO << line;
}
