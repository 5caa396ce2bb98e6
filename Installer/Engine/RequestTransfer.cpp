#include "Installer/Engine/RequestTransfer.h"

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/WaitBounds.h"
#include "Installer/Log/Log.h"

namespace InstallBackend {
namespace {

[[noreturn]] void Raise(const wchar_t* message) { throw InstallException(message); }

// A call that failed once the user cancelled was cut short by the cancel:
// the request stops, it does not fail.
bool StoppedByCancel(const CancelFlag& cancel) {
  if (!cancel.IsSet()) return false;
  LOG_INFO << "InstallBackend::PerformRequest Cancelled.";
  return true;
}

bool Stalled(Platform::IHttpClient& http) { return http.LastError() == Platform::HttpConstants::ErrorTimeout; }

// The user hears of it too: a stall must never look like a slow line.
void LogStall(IInstallListener* listener, std::uint32_t resumeAt) {
  LOG_INFO << "InstallBackend::PerformRequest no data for " << kStallWindow.count() << " s, resuming at byte "
           << resumeAt;
  if (listener) listener->OnNetworkWait(NetworkWait::Stalled, static_cast<int>(kStallWindow.count()));
}

void AddRangeHeader(Platform::IHttpClient& http, Platform::HttpHandle request,
                    std::int32_t totalSize, std::uint32_t rangeOffset) {
  const std::uint32_t last = static_cast<std::uint32_t>(totalSize) - 1;
  const std::uint32_t end = std::min(rangeOffset + (ChunkSize - 1), last);
  const std::wstring header =
      L"Range: bytes=" + std::to_wstring(rangeOffset) + L"-" + std::to_wstring(end);
  LOG_INFO << "InstallBackend::PerformRequest Headers: " << LogText(header);
  if (!http.AddRequestHeaders(request, header, Platform::HttpConstants::AddRequestFlagAdd)) {
    LOG_ERROR << "InstallBackend::PerformRequest WinHttpAddRequestHeaders error: "
              << http.LastError();
    Raise(L"InstallBackend::PerformRequest WinHttpAddRequestHeaders failed");
  }
}

// A size of 2 GiB or more would turn negative in the signed counter and make
// the download cycle without end, so it is refused.
std::int32_t ReadPackageSize(Platform::IHttpClient& http, Platform::HttpHandle request) {
  std::uint32_t length = 0;
  if (!http.QueryContentLength(request, length)) {
    const std::uint32_t code = http.LastError();
    LOG_ERROR << "InstallBackend::PerformRequest WinHttpQueryHeaders error: " << code;
    throw InstallException(L"InstallBackend::PerformRequest WinHttpQueryHeaders failed: " +
                           std::to_wstring(code));
  }
  if (length > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
    LOG_ERROR << "InstallBackend::PerformRequest Content-Length out of range: " << length;
    Raise(L"InstallBackend::PerformRequest Content-Length out of range");
  }
  return static_cast<std::int32_t>(length);
}

void ReportProgress(IInstallListener* listener, int& progressReports, std::int32_t totalSize,
                    std::uint32_t bytesReceived) {
  if (!listener) return;
  float fraction = 0.1f;
  if (progressReports > 1 && totalSize > 0) {
    fraction = 0.1f + 0.9f * static_cast<float>(bytesReceived) / static_cast<float>(totalSize);
  }
  listener->OnProgress(std::min(fraction, 1.0f));
  ++progressReports;
}

void RaiseWriteFailure() {
  LOG_ERROR << "InstallBackend::PerformRequest Failed to write the archive";
  Raise(L"InstallBackend::PerformRequest Failed to write the archive");
}

// One response body into the archive. A body longer than its range comes
// from a server that ignores Range and sends the package from its first
// byte every time. For the first range that body is the whole package and
// is taken whole, which ends the download; for a later range its bytes
// belong at the start of the archive, so the request fails rather than
// write them at the range's place. Nothing past the package is written.
class BodyCopy {
 public:
  BodyCopy(IInstallListener* listener, int& progressReports, const CancelFlag& cancel,
           Platform::WritableFile& file, Platform::IHttpClient& http, Platform::HttpHandle request,
           std::int32_t totalSize, std::uint32_t& bytesReceived, std::uint32_t& rangeOffset)
      : m_listener(listener), m_progressReports(progressReports), m_cancel(cancel), m_file(file),
        m_http(http), m_request(request), m_totalSize(totalSize),
        m_bytesReceived(bytesReceived), m_rangeOffset(rangeOffset) {}

  // False when it stopped for a cancel.
  bool Run(std::uint32_t rangeLength);

 private:
  // False when the wait was cut short by a cancel.
  bool Available(std::uint32_t& available);
  std::uint32_t Wanted(std::uint32_t available);
  // False when the read was cut short by a cancel.
  bool Append(std::uint32_t count);
  void Finish();

  IInstallListener* m_listener;
  int& m_progressReports;
  const CancelFlag& m_cancel;
  Platform::WritableFile& m_file;
  Platform::IHttpClient& m_http;
  Platform::HttpHandle m_request;
  std::int32_t m_totalSize;
  std::uint32_t& m_bytesReceived;
  std::uint32_t& m_rangeOffset;

  std::uint32_t m_thisRequest = 0;
  std::uint32_t m_limit = 0;  // bytes this request is to copy
  bool m_wholePackage = false;
  bool m_cutShort = false;
  std::vector<char> m_buffer;
};

bool BodyCopy::Run(std::uint32_t rangeLength) {
  m_limit = rangeLength;
  for (;;) {
    if (m_cancel.IsSet()) {
      LOG_INFO << "InstallBackend::PerformRequest Cancelled.";
      return false;
    }
    std::uint32_t available = 0;
    if (!Available(available)) return false;
    const std::uint32_t wanted = Wanted(available);
    if (available > 0 && wanted == 0) break;
    if (!Append(wanted)) return false;
    ReportProgress(m_listener, m_progressReports, m_totalSize, m_bytesReceived);
    if (available == 0) break;
  }
  Finish();
  return true;
}

// The bytes that can be read now; 0 at the end of the body and after a
// stall, which keeps what arrived: the next range starts right after it.
// A range that stalls before its first byte is asked for again; the
// download's bound on time without progress ends that repetition.
bool BodyCopy::Available(std::uint32_t& available) {
  available = 0;
  if (m_http.QueryDataAvailable(m_request, available)) return true;
  if (StoppedByCancel(m_cancel)) return false;
  if (!Stalled(m_http)) {
    LOG_ERROR << "InstallBackend::PerformRequest WinHttpQueryDataAvailable error: " << m_http.LastError();
    Raise(L"InstallBackend::PerformRequest WinHttpQueryDataAvailable failed");
  }
  m_rangeOffset += m_thisRequest;
  m_cutShort = true;
  LogStall(m_listener, m_rangeOffset);
  return true;
}

std::uint32_t BodyCopy::Wanted(std::uint32_t available) {
  if (m_totalSize > 0 && !m_wholePackage && available > m_limit - m_thisRequest) {
    if (m_rangeOffset != 0) {
      LOG_ERROR << "InstallBackend::PerformRequest Response goes past the range starting at "
                << m_rangeOffset;
      Raise(L"InstallBackend::PerformRequest Response does not match the requested range");
    }
    m_wholePackage = true;
    m_limit = static_cast<std::uint32_t>(m_totalSize);
  }
  return std::min(available, m_limit - m_thisRequest);
}

bool BodyCopy::Append(std::uint32_t count) {
  if (count == 0) return true;
  m_buffer.assign(static_cast<std::size_t>(count) + 1, 0);
  std::uint32_t read = 0;
  if (!m_http.ReadData(m_request, m_buffer.data(), count, read)) {
    if (StoppedByCancel(m_cancel)) return false;
    LOG_ERROR << "InstallBackend::PerformRequest WinHttpReadData error: " << m_http.LastError();
    Raise(L"InstallBackend::PerformRequest WinHttpReadData failed");
  }
  read = std::min(read, count);
  // The file keeps no buffer of its own: a full drive fails this write, not
  // a later one that would leave a damaged archive.
  if (!m_file.Write(m_buffer.data(), read)) RaiseWriteFailure();
  m_thisRequest += read;
  m_bytesReceived += read;
  return true;
}

void BodyCopy::Finish() {
  // A body that ends before its range without a time-out is a dropped
  // connection; taking it as complete would leave a hole in the archive.
  if (!m_cutShort && m_totalSize > 0 && m_thisRequest < m_limit) {
    LOG_ERROR << "InstallBackend::PerformRequest Response ended after " << m_thisRequest
              << " of " << m_limit << " bytes";
    Raise(L"InstallBackend::PerformRequest Response ended before the range was complete");
  }
  if (!m_cutShort) m_rangeOffset += m_wholePackage ? m_thisRequest : ChunkSize;
}

}  // namespace

int PerformRequest(IInstallListener* listener, int& progressReports, const CancelFlag& cancel,
                   Platform::WritableFile& file, Platform::IHttpClient& http, Platform::HttpHandle request,
                   std::int32_t& totalSize, std::uint32_t& bytesReceived,
                   std::uint32_t& rangeOffset) {
  std::uint32_t rangeLength = std::numeric_limits<std::uint32_t>::max();
  if (totalSize > 0) {
    AddRangeHeader(http, request, totalSize, rangeOffset);
    const std::uint32_t last = static_cast<std::uint32_t>(totalSize) - 1;
    rangeLength = std::min(rangeOffset + (ChunkSize - 1), last) - rangeOffset + 1;
  } else if (listener) {
    listener->OnProgress(0.1f);
  }

  LOG_INFO << "InstallBackend::PerformRequest Sending HTTP Request...";
  if (!http.SendRequest(request)) {
    if (StoppedByCancel(cancel)) return 0;
    LOG_ERROR << "WinHttpSendRequest error: " << http.LastError();
    Raise(L"WinHttpSendRequest failed");
  }
  // Headers that do not come are a stall like a body that stops: the
  // request ends without a byte and the next one asks for the same bytes.
  if (!http.ReceiveResponse(request)) {
    if (StoppedByCancel(cancel)) return 0;
    if (Stalled(http)) {
      LogStall(listener, rangeOffset);
      return 1;
    }
    LOG_ERROR << "InstallBackend::PerformRequest WinHttpReceiveResponse error: "
              << http.LastError();
    Raise(L"InstallBackend::PerformRequest WinHttpReceiveResponse failed");
  }
  if (totalSize == -1) {
    totalSize = ReadPackageSize(http, request);
    return 1;
  }
  BodyCopy body(listener, progressReports, cancel, file, http, request, totalSize, bytesReceived,
                rangeOffset);
  return body.Run(rangeLength) ? 1 : 0;
}

}  // namespace InstallBackend
