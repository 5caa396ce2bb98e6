#include "Installer/Engine/RequestTransfer.h"

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "Installer/Engine/InstallException.h"
#include "Installer/Log/Log.h"

namespace InstallBackend {
namespace {

bool IsCancelled(const CancelFlag* cancel) { return cancel && cancel->load(); }

[[noreturn]] void Raise(const wchar_t* message) { throw InstallException(message); }

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

// One response body into the archive. Returns false for a cancel. Bytes
// beyond the requested range (a server that ignores Range and sends the whole
// package each time) are not written, so the archive never outgrows the
// package.
bool CopyBody(IInstallListener* listener, int& progressReports, const CancelFlag* cancel,
              std::ostream& file, Platform::IHttpClient& http, Platform::HttpHandle request,
              std::int32_t totalSize, std::uint32_t& bytesReceived, std::uint32_t& rangeOffset,
              std::uint32_t rangeLength) {
  std::uint32_t thisRequest = 0;
  bool cutShort = false;
  std::vector<char> buffer;
  for (;;) {
    if (IsCancelled(cancel)) {
      LOG_INFO << "InstallBackend::PerformRequest Cancelled.";
      return false;
    }
    std::uint32_t available = 0;
    if (!http.QueryDataAvailable(request, available)) {
      const std::uint32_t code = http.LastError();
      // A time-out after some bytes keeps them; the next range starts right
      // after them. One before any byte would repeat the same range forever.
      if (code != Platform::HttpConstants::ErrorTimeout || thisRequest == 0) {
        LOG_ERROR << "InstallBackend::PerformRequest WinHttpQueryDataAvailable error: " << code;
        Raise(L"InstallBackend::PerformRequest WinHttpQueryDataAvailable failed");
      }
      rangeOffset += thisRequest;
      cutShort = true;
      available = 0;
    }
    const std::uint32_t wanted = std::min(available, rangeLength - thisRequest);
    if (available > 0 && wanted == 0) break;
    std::uint32_t read = 0;
    if (wanted > 0) {
      buffer.assign(static_cast<std::size_t>(wanted) + 1, 0);
      if (!http.ReadData(request, buffer.data(), wanted, read)) {
        LOG_ERROR << "InstallBackend::PerformRequest WinHttpReadData error: " << http.LastError();
        Raise(L"InstallBackend::PerformRequest WinHttpReadData failed");
      }
      read = std::min(read, wanted);
      if (!file.write(buffer.data(), read)) {
        LOG_ERROR << "InstallBackend::PerformRequest Failed to write the archive";
        Raise(L"InstallBackend::PerformRequest Failed to write the archive");
      }
    }
    thisRequest += read;
    bytesReceived += read;
    ReportProgress(listener, progressReports, totalSize, bytesReceived);
    if (available == 0) break;
  }
  // A body that ends before its range without a time-out is a dropped
  // connection; taking it as complete would leave a hole in the archive.
  if (!cutShort && totalSize > 0 && thisRequest < rangeLength) {
    LOG_ERROR << "InstallBackend::PerformRequest Response ended after " << thisRequest << " of "
              << rangeLength << " bytes";
    Raise(L"InstallBackend::PerformRequest Response ended before the range was complete");
  }
  if (!cutShort) rangeOffset += ChunkSize;
  // Buffered bytes that cannot reach the disk (a full drive) must fail here,
  // not later as a damaged archive.
  if (!file.flush()) {
    LOG_ERROR << "InstallBackend::PerformRequest Failed to write the archive";
    Raise(L"InstallBackend::PerformRequest Failed to write the archive");
  }
  return true;
}

}  // namespace

int PerformRequest(IInstallListener* listener, int& progressReports, const CancelFlag* cancel,
                   std::ostream& file, Platform::IHttpClient& http, Platform::HttpHandle request,
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
    LOG_ERROR << "WinHttpSendRequest error: " << http.LastError();
    Raise(L"WinHttpSendRequest failed");
  }
  if (!http.ReceiveResponse(request)) {
    LOG_ERROR << "InstallBackend::PerformRequest WinHttpReceiveResponse error: "
              << http.LastError();
    Raise(L"InstallBackend::PerformRequest WinHttpReceiveResponse failed");
  }
  if (totalSize == -1) {
    totalSize = ReadPackageSize(http, request);
    return 1;
  }
  return CopyBody(listener, progressReports, cancel, file, http, request, totalSize,
                  bytesReceived, rangeOffset, rangeLength)
             ? 1
             : 0;
}

}  // namespace InstallBackend
