#include "Installer/Engine/Download.h"

#include "BuildConfig.h"

#include <memory>

#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/RequestTransfer.h"
#include "Installer/Engine/WaitBounds.h"
#include "Installer/Log/Log.h"

namespace InstallBackend {

const wchar_t* const PackagePath = L"/SW_UPDATE/KV_MERIDEL/Korvane.zip";
const wchar_t* const ArchiveFileName = L"Korvane.zip";

namespace {

using Platform::HttpHandleOwner;
namespace Http = Platform::HttpConstants;

const wchar_t* const UserAgent = L"Korvane";
const wchar_t* const Verb = L"GET";
constexpr int ResolveTimeoutMs = 0;
constexpr int TransferTimeoutMs = 60000;

// What a direct or proxy attempt of one cycle came to.
enum class Attempt { NoResult, Stopped, Done };

std::wstring DiscoveryUrl(const DownloadEndpoint& endpoint) {
  std::wstring authority = endpoint.host;
  if (endpoint.port != 443) authority += L":" + std::to_wstring(endpoint.port);
  return L"https://" + authority + PackagePath;
}

// Stands between the transfers and the install's listener (which may be
// null) to see every body byte as it arrives, so that the watch on progress
// learns of it then and not when its request ends: a long request that
// delivered and then failed still counts as the progress it was.
class ProgressWitness final : public IInstallListener {
 public:
  ProgressWitness(IInstallListener* inner, ProgressWatch& watch, const std::uint32_t& bytesReceived)
      : m_inner(inner), m_watch(watch), m_bytesReceived(bytesReceived), m_seen(bytesReceived) {}

  void OnStatus(int status) override {
    if (m_inner) m_inner->OnStatus(status);
  }
  void OnProgress(float fraction) override {
    if (m_bytesReceived != m_seen) m_watch.Progressed();
    m_seen = m_bytesReceived;
    if (m_inner) m_inner->OnProgress(fraction);
  }
  int GetErrorCode() override { return m_inner ? m_inner->GetErrorCode() : 0; }
  void SetErrorCode(int code) override {
    if (m_inner) m_inner->SetErrorCode(code);
  }

 private:
  IInstallListener* m_inner;
  ProgressWatch& m_watch;
  const std::uint32_t& m_bytesReceived;
  std::uint32_t m_seen;
};

class DownloadCall {
 public:
  DownloadCall(Platform::IHttpClient& http, Platform::IFileSystem& files, const DownloadEndpoint& endpoint,
               IInstallListener* listener, const CancelFlag& cancel, bool proxyOnly, ProgressWatch& watch)
      : m_http(http), m_files(files), m_endpoint(endpoint), m_listener(listener), m_cancel(cancel),
        m_proxyOnly(proxyOnly), m_watch(watch), m_witness(listener, watch, m_bytesReceived) {}

  void Run(const std::wstring& archivePath);

 private:
  void ReadProxySettings();
  // False when the call ends for a cancel.
  bool RunCycle();
  Attempt DirectAttempt(HttpHandleOwner& session, HttpHandleOwner& connection,
                        HttpHandleOwner& request);
  Attempt ProxyAttempt(HttpHandleOwner& session, HttpHandleOwner& connection,
                       HttpHandleOwner& request);
  bool DiscoveredProxy(HttpHandleOwner& session);
  bool PrepareRequest(HttpHandleOwner& session, HttpHandleOwner& connection,
                      HttpHandleOwner& request);
  Attempt Perform(HttpHandleOwner& request);
  bool KeepsCycling() const {
    return m_totalSize == -1 || m_rangeOffset < static_cast<std::uint32_t>(m_totalSize);
  }
  void GiveUpWithoutProgress();

  Platform::IHttpClient& m_http;
  Platform::IFileSystem& m_files;
  const DownloadEndpoint& m_endpoint;
  IInstallListener* m_listener;
  const CancelFlag& m_cancel;
  bool m_proxyOnly;
  ProgressWatch& m_watch;

  std::unique_ptr<Platform::WritableFile> m_archive;
  std::int32_t m_totalSize = -1;
  std::uint32_t m_rangeOffset = 0;
  std::uint32_t m_bytesReceived = 0;
  int m_progressReports = 0;

  ProgressWitness m_witness;

  std::uint32_t m_accessType = Http::AccessTypeDefaultProxy;
  Platform::HttpProxySettings m_settings;
  bool m_tryAutoProxy = false;
  Platform::HttpAutoProxyOptions m_autoProxyOptions;
  bool m_proxyResolved = false;
  bool m_proxyFound = false;
  std::uint32_t m_discoveryError = 0;
  Platform::HttpProxyInfo m_proxyInfo;
};

void DownloadCall::Run(const std::wstring& archivePath) {
  if (m_listener) m_listener->OnStatus(Downloading);
  m_archive = m_files.CreateForWriting(archivePath, Platform::kAttributeArchive);
  if (!m_archive) throw InstallException(L"InstallBackend::Download Failed to create a temp file");
  ReadProxySettings();
  while (KeepsCycling()) {
    if (!RunCycle()) break;
  }
  m_archive.reset();
  if (!m_proxyInfo.proxy.empty() || !m_proxyInfo.proxyBypass.empty()) {
    LOG_INFO << "InstallBackend::Download Freeing resources after getting auto proxy call...";
  }
}

void DownloadCall::ReadProxySettings() {
  const bool read = m_http.GetIEProxyConfigForCurrentUser(m_settings);
  if (read) {
    const char* label = "InstallBackend::Download WinHttpGetIEProxyConfigForCurrentUser ieProxyConfig.";
    LOG_INFO << label << "fAutoDetect " << (m_settings.autoDetect ? 1 : 0);
    LOG_INFO << label << "lpszAutoConfigUrl " << LogText(m_settings.autoConfigUrl);
    LOG_INFO << label << "lpszProxy " << LogText(m_settings.proxy);
    LOG_INFO << label << "lpszProxyBypass " << LogText(m_settings.proxyBypass);
    m_tryAutoProxy = m_settings.autoDetect;
    if (!m_settings.autoConfigUrl.empty()) {
      m_autoProxyOptions.autoConfigUrl = m_settings.autoConfigUrl;
      m_tryAutoProxy = true;
    }
  } else {
    LOG_ERROR << "InstallBackend::Download WinHttpGetIEProxyConfigForCurrentUser error: "
              << m_http.LastError();
    m_settings = Platform::HttpProxySettings();
    m_tryAutoProxy = true;
  }
  const bool scriptGiven = !m_autoProxyOptions.autoConfigUrl.empty();
  if (m_tryAutoProxy) {
    m_autoProxyOptions.flags = scriptGiven ? Http::AutoProxyConfigUrl : Http::AutoProxyAutoDetect;
    m_autoProxyOptions.autoDetectFlags = scriptGiven ? 0 : Http::AutoDetectTypeDhcpAndDnsA;
    m_autoProxyOptions.autoLogonIfChallenged = true;
  }
  LOG_INFO << "InstallBackend::Download " << (m_tryAutoProxy ? "AutoDetect " : "not AutoDetect ")
           << (scriptGiven ? "Proxy Url Specified" : "Proxy Url not Specified");
  if (read && !m_settings.autoDetect) {
    m_accessType = m_settings.proxy.empty() ? Http::AccessTypeNoProxy : Http::AccessTypeNamedProxy;
  }
}

// The package's size and every body byte count as progress: a retry that
// fetches bytes again is as much alive as a first try.
bool DownloadCall::RunCycle() {
  GiveUpWithoutProgress();
  const std::int32_t sizeBefore = m_totalSize;
  const bool named = m_accessType == Http::AccessTypeNamedProxy;
  HttpHandleOwner session(m_http, m_http.Open(UserAgent, m_accessType,
                                              named ? m_settings.proxy : std::wstring(),
                                              named ? m_settings.proxyBypass : std::wstring()));
  if (!session) {
    LOG_ERROR << "InstallBackend::Download WinHttpOpen error: " << m_http.LastError();
    throw InstallException(L"InstallBackend::Download WinHttpOpen failed");
  }
  HttpHandleOwner connection(m_http);
  HttpHandleOwner request(m_http);
  Attempt last = Attempt::NoResult;
  if (!m_proxyOnly) {
    LOG_INFO << "InstallBackend::Download direct request...";
    last = DirectAttempt(session, connection, request);
  }
  if (last == Attempt::NoResult) {
    LOG_INFO << (m_proxyOnly ? "InstallBackend::Download checking for proxy..."
                             : "InstallBackend::Download direct http request failed, checking for proxy...");
    last = ProxyAttempt(session, connection, request);
  }
  if (m_totalSize != sizeBefore) m_watch.Progressed();
  if (last != Attempt::NoResult && m_cancel.IsSet()) {
    LOG_INFO << "InstallBackend::Download Canceled";
    return false;
  }
  if (last == Attempt::Done) return true;
  if (!m_cancel.IsSet()) throw InstallException(L"InstallBackend::Download Sending WinHttpRequest failed");
  LOG_INFO << "InstallBackend::Download Canceled";
  return false;
}

void DownloadCall::GiveUpWithoutProgress() {
  if (!m_watch.Exceeded(kNoProgressLimit)) return;
  LOG_INFO << "InstallBackend::Download no new data for " << kNoProgressLimit.count() << " s, giving up at byte "
           << m_rangeOffset;
  throw InstallException(L"InstallBackend::Download Sending WinHttpRequest failed");
}

Attempt DownloadCall::DirectAttempt(HttpHandleOwner& session, HttpHandleOwner& connection,
                                    HttpHandleOwner& request) {
  if (!PrepareRequest(session, connection, request)) return Attempt::NoResult;
  return Perform(request);
}

Attempt DownloadCall::ProxyAttempt(HttpHandleOwner& session, HttpHandleOwner& connection,
                                   HttpHandleOwner& request) {
  if (!m_tryAutoProxy || !DiscoveredProxy(session)) return Attempt::NoResult;
  LOG_INFO << "HttpContentReader::Download Auto detecting proxy: ok. https request with applied proxy...";
  if (!PrepareRequest(session, connection, request)) return Attempt::NoResult;
  return Perform(request);
}

// Discovery runs once per call; its result is applied to every later
// session, since each cycle opens a new one.
bool DownloadCall::DiscoveredProxy(HttpHandleOwner& session) {
  const std::wstring url = DiscoveryUrl(m_endpoint);
  if (!m_proxyResolved) {
    LOG_INFO << "InstallBackend::Download auto detecting proxy for " << LogText(url) << "...";
    m_proxyFound = m_http.GetProxyForUrl(session.Get(), url, m_autoProxyOptions, m_proxyInfo);
    m_discoveryError = m_proxyFound ? 0 : m_http.LastError();
    LOG_INFO << "InstallBackend::Download auto detecting proxy result: " << (m_proxyFound ? 1 : 0);
    m_proxyResolved = true;
  }
  if (!m_proxyFound) {
    LOG_ERROR << "InstallBackend::Download WinHttpGetProxyForUrl LastError " << m_discoveryError;
    return false;
  }
  const char* label = "InstallBackend::Download WinHttpGetProxyForUrl autoProxyInfo.";
  LOG_INFO << label << "dwAccessType " << m_proxyInfo.accessType;
  LOG_INFO << label << "lpszProxy " << LogText(m_proxyInfo.proxy);
  LOG_INFO << label << "lpszProxyBypass " << LogText(m_proxyInfo.proxyBypass);
  return m_http.SetProxy(session.Get(), m_proxyInfo);
}

// Creates whichever of connection and request is missing and sets the
// request's time-outs; a failure is logged and leaves what was made.
bool DownloadCall::PrepareRequest(HttpHandleOwner& session, HttpHandleOwner& connection,
                                  HttpHandleOwner& request) {
  if (!connection) {
    connection.Reset(m_http.Connect(session.Get(), m_endpoint.host, m_endpoint.port));
    if (!connection) {
      LOG_ERROR << "InstallBackend::Download WinHttpConnect error: " << m_http.LastError();
      return false;
    }
  }
  if (!request) {
    request.Reset(m_http.OpenRequest(connection.Get(), Verb, PackagePath,
                                     Http::FlagSecure | Http::FlagRefresh));
    if (!request) {
      LOG_ERROR << "InstallBackend::Download WinHttpOpenRequest error: " << m_http.LastError();
      return false;
    }
  }
  if (!m_http.SetTimeouts(request.Get(), ResolveTimeoutMs, TransferTimeoutMs, TransferTimeoutMs,
                          TransferTimeoutMs)) {
    LOG_ERROR << "InstallBackend::Download WinHttpSetTimeouts error: " << m_http.LastError();
    return false;
  }
  return true;
}

Attempt DownloadCall::Perform(HttpHandleOwner& request) {
  const int result = PerformRequest(&m_witness, m_progressReports, m_cancel, *m_archive, m_http,
                                    request.Get(), m_totalSize, m_bytesReceived, m_rangeOffset);
  if (result == 0) {
    LOG_ERROR << "InstallBackend::Download PerformRequest error: " << m_http.LastError();
  }
  request.Reset();
  return result == 1 ? Attempt::Done : Attempt::Stopped;
}

}  // namespace

DownloadEndpoint CompiledInServer() {
  return {KORVANE_DOWNLOAD_HOST_W, static_cast<std::uint16_t>(KORVANE_DOWNLOAD_PORT_NUMBER)};
}

namespace {

// The client's waits follow this call's cancel and the stall window while
// the call runs, and nothing of the call once it has ended.
class WaitLimitsOfCall {
 public:
  WaitLimitsOfCall(Platform::IHttpClient& http, const CancelFlag& cancel) : m_http(http) {
    const auto stallMs = std::chrono::duration_cast<std::chrono::milliseconds>(kStallWindow).count();
    m_http.SetWaitLimits({static_cast<std::uint32_t>(stallMs), [&cancel] { return cancel.IsSet(); }});
  }
  ~WaitLimitsOfCall() { m_http.SetWaitLimits({}); }
  WaitLimitsOfCall(const WaitLimitsOfCall&) = delete;
  WaitLimitsOfCall& operator=(const WaitLimitsOfCall&) = delete;

 private:
  Platform::IHttpClient& m_http;
};

}  // namespace

std::wstring PackageDownload::Download(const std::wstring& workFolder, IInstallListener* listener,
                                       const CancelFlag& cancel, bool proxyOnly) {
  const std::wstring archivePath = workFolder + ArchiveFileName;
  const WaitLimitsOfCall limits(m_http, cancel);
  m_watch.Start();
  DownloadCall(m_http, m_files, m_server, listener, cancel, proxyOnly, m_watch).Run(archivePath);
  return archivePath;
}

}  // namespace InstallBackend
