#include "Installer/Engine/RequestTransfer.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <string>

#include "Installer/Engine/ConnectionFailure.h"
#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/WaitBounds.h"
#include "Installer/Log/Log.h"

namespace InstallBackend {
namespace {

[[noreturn]] void Raise(const wchar_t* message) { throw InstallException(message); }

std::wstring Widened(const char* ascii) { return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii)); }

// A call that failed once the user cancelled was cut short by the cancel:
// the request stops, it does not fail.
bool StoppedByCancel(const CancelFlag& cancel) {
  if (!cancel.IsSet()) return false;
  LOG_INFO << "InstallBackend::PerformRequest Cancelled.";
  return true;
}

void LogStall(std::uint32_t resumeAt) {
  LOG_INFO << "InstallBackend::PerformRequest no data for " << kStallWindow.count() << " s, resuming at byte "
           << resumeAt;
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

// A call that failed after the request went out. A stall or a passing
// fault of the connection ends the request; anything else fails it.
RequestEnd Interrupted(Platform::IHttpClient& http, const CancelFlag& cancel, const char* call,
                       std::uint32_t resumeAt) {
  const std::uint32_t code = http.LastError();
  if (StoppedByCancel(cancel)) return {RequestEnd::Cancelled};
  if (code == Platform::HttpConstants::ErrorTimeout) {
    LogStall(resumeAt);
    return {RequestEnd::Stalled};
  }
  LOG_ERROR << "InstallBackend::PerformRequest " << call << " error: " << code;
  const char* what = ConnectionFailureName(code);
  if (!what) throw InstallException(L"InstallBackend::PerformRequest " + Widened(call) + L" failed");
  return {RequestEnd::Broken, what};
}

// A request that could not be sent never reached the server. A secure
// connection that is not set up within the stall window (a handshake held
// by something on the way) is one of those.
RequestEnd NotSent(Platform::IHttpClient& http, const CancelFlag& cancel) {
  const std::uint32_t code = http.LastError();
  if (StoppedByCancel(cancel)) return {RequestEnd::Cancelled};
  LOG_ERROR << "WinHttpSendRequest error: " << code;
  const char* what = code == Platform::HttpConstants::ErrorTimeout ? "no secure connection within the stall window"
                                                                    : ConnectionFailureName(code);
  if (!what) Raise(L"WinHttpSendRequest failed");
  return {RequestEnd::Unreached, what};
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
           std::int32_t totalSize, std::uint32_t& bytesReceived, std::uint32_t& rangeOffset,
           const ProgressWatch::Clock& now)
      : m_listener(listener), m_progressReports(progressReports), m_cancel(cancel), m_file(file),
        m_http(http), m_request(request), m_totalSize(totalSize),
        m_bytesReceived(bytesReceived), m_rangeOffset(rangeOffset), m_now(now) {}

  RequestEnd Run(std::uint32_t rangeLength);

 private:
  std::uint32_t Wanted(std::uint32_t available);
  // False when the read failed.
  bool Append(std::uint32_t count);
  // Writes what the buffer holds; raises when the file cannot take it.
  void Flush();
  // What came stays: the next request starts right after it.
  RequestEnd Interrupt(const char* call) {
    Flush();
    return Interrupted(m_http, m_cancel, call, m_rangeOffset += m_thisRequest);
  }
  RequestEnd Finish();

  IInstallListener* m_listener;
  int& m_progressReports;
  const CancelFlag& m_cancel;
  Platform::WritableFile& m_file;
  Platform::IHttpClient& m_http;
  Platform::HttpHandle m_request;
  std::int32_t m_totalSize;
  std::uint32_t& m_bytesReceived;
  std::uint32_t& m_rangeOffset;
  const ProgressWatch::Clock& m_now;

  std::uint32_t m_thisRequest = 0;
  std::uint32_t m_limit = 0;  // bytes this request is to copy
  bool m_wholePackage = false;
  // Reads gather here and go to the file in one write when it is full, so
  // that a range of 4 MiB costs the disk 16 writes and not one per network
  // read (a TLS record, 16 KiB at most). Left uninitialised: every byte
  // written was read into it first.
  std::unique_ptr<char[]> m_buffer{new char[kWriteBufferSize]};
  std::uint32_t m_buffered = 0;
  ProgressWatch::TimePoint m_oldestBuffered{};  // when the first byte still in the buffer came
};

RequestEnd BodyCopy::Run(std::uint32_t rangeLength) {
  m_limit = rangeLength;
  for (;;) {
    if (m_cancel.IsSet()) {
      Flush();
      LOG_INFO << "InstallBackend::PerformRequest Cancelled.";
      return {RequestEnd::Cancelled};
    }
    std::uint32_t available = 0;
    if (!m_http.QueryDataAvailable(m_request, available)) return Interrupt("WinHttpQueryDataAvailable");
    const std::uint32_t wanted = Wanted(available);
    if (available > 0 && wanted == 0) break;
    if (!Append(wanted)) return Interrupt("WinHttpReadData");
    ReportProgress(m_listener, m_progressReports, m_totalSize, m_bytesReceived);
    if (available == 0) break;
  }
  Flush();
  return Finish();
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

// A full buffer is written at once, not when the next bytes come; so is
// one whose first bytes have waited long enough.
bool BodyCopy::Append(std::uint32_t count) {
  if (count == 0) return true;
  count = std::min(count, kWriteBufferSize - m_buffered);
  std::uint32_t read = 0;
  if (!m_http.ReadData(m_request, m_buffer.get() + m_buffered, count, read)) return false;
  read = std::min(read, count);
  if (m_now && m_buffered == 0) m_oldestBuffered = m_now();
  m_buffered += read;
  m_thisRequest += read;
  m_bytesReceived += read;
  if (m_buffered == kWriteBufferSize || (m_now && m_now() - m_oldestBuffered >= kWriteDelayLongest)) Flush();
  return true;
}

// The file keeps no buffer of its own: a full drive fails this write, not
// a later one that would leave a damaged archive.
void BodyCopy::Flush() {
  if (m_buffered == 0) return;
  const std::uint32_t count = m_buffered;
  m_buffered = 0;
  if (!m_file.Write(m_buffer.get(), count)) RaiseWriteFailure();
}

// A body that ends before its range cannot be taken as complete: that would
// leave a hole in the archive. When it ends before its own Content-Length,
// the connection was closed on the way; when it is all the server meant to
// send (a 416, a package that shrank), the server's answer does not fit the
// range, and a new connection would bring the same.
RequestEnd BodyCopy::Finish() {
  if (m_totalSize > 0 && m_thisRequest < m_limit) {
    LOG_ERROR << "InstallBackend::PerformRequest Response ended after " << m_thisRequest << " of " << m_limit
              << " bytes";
    std::uint32_t declared = 0;
    if (m_http.QueryContentLength(m_request, declared) && declared == m_thisRequest) {
      Raise(L"InstallBackend::PerformRequest Response ended before the range was complete");
    }
    m_rangeOffset += m_thisRequest;
    return {RequestEnd::Broken, "connection closed"};
  }
  m_rangeOffset += m_wholePackage ? m_thisRequest : ChunkSize;
  return {RequestEnd::Done};
}

}  // namespace

RequestEnd PerformRequest(IInstallListener* listener, int& progressReports, const CancelFlag& cancel,
                          Platform::WritableFile& file, Platform::IHttpClient& http, Platform::HttpHandle request,
                          std::int32_t& totalSize, std::uint32_t& bytesReceived, std::uint32_t& rangeOffset,
                          const ProgressWatch::Clock& now) {
  std::uint32_t rangeLength = std::numeric_limits<std::uint32_t>::max();
  if (totalSize > 0) {
    AddRangeHeader(http, request, totalSize, rangeOffset);
    const std::uint32_t last = static_cast<std::uint32_t>(totalSize) - 1;
    rangeLength = std::min(rangeOffset + (ChunkSize - 1), last) - rangeOffset + 1;
  } else if (listener) {
    listener->OnProgress(0.1f);
  }

  LOG_INFO << "InstallBackend::PerformRequest Sending HTTP Request...";
  if (!http.SendRequest(request)) return NotSent(http, cancel);
  // Headers that do not come are a stall like a body that stops: the
  // request ends without a byte and the next one asks for the same bytes.
  if (!http.ReceiveResponse(request)) return Interrupted(http, cancel, "WinHttpReceiveResponse", rangeOffset);
  if (totalSize == -1) {
    totalSize = ReadPackageSize(http, request);
    return {RequestEnd::Done};
  }
  BodyCopy body(listener, progressReports, cancel, file, http, request, totalSize, bytesReceived,
                rangeOffset, now);
  return body.Run(rangeLength);
}

}  // namespace InstallBackend
