#include "Installer/Engine/Download.h"

#include "BuildConfig.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "Installer/Engine/ArchiveTransfer.h"
#include "Installer/Engine/FailureStreak.h"
#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/ProxyDiscovery.h"
#include "Installer/Engine/ProxyPlan.h"
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

std::wstring DiscoveryUrl(const DownloadEndpoint& endpoint) {
  std::wstring authority = endpoint.host;
  if (endpoint.port != 443) authority += L":" + std::to_wstring(endpoint.port);
  return L"https://" + authority + PackagePath;
}

// The line that opens each route in the log; the proxy route says whether
// a route of the user's settings failed before it.
void LogRoute(Route route, bool first) {
  if (route == Route::UserSettings) {
    LOG_INFO << "InstallBackend::Download direct request...";
  } else {
    LOG_INFO << (first ? "InstallBackend::Download checking for proxy..."
                       : "InstallBackend::Download direct http request failed, checking for proxy...");
  }
}

// How the log names a route.
const char* RouteName(Route route, const ProxyPlan& plan) {
  if (route == Route::DiscoveredProxy) return "proxy";
  return plan.accessType == Http::AccessTypeNamedProxy ? "configured proxy" : "direct";
}

// The cycles of one download call: each sends its request by the plan's
// routes in turn. A cycle that finished its range by the plan's first route
// leaves its session to the next one, and with it the server's connection,
// which WinHTTP keeps with the session that opened it: a far server costs
// one TCP and TLS set-up per download, not one per range. Any other end (a
// stall, a failed connection, another route) closes the session, and the
// next cycle starts on a fresh one.
class DownloadCall {
 public:
  DownloadCall(Platform::IHttpClient& http, const DownloadEndpoint& endpoint, IInstallListener* listener,
               const CancelFlag& cancel, bool proxyOnly, ProgressWatch& watch, const RetryPause& pause)
      : m_http(http), m_endpoint(endpoint), m_listener(listener), m_cancel(cancel), m_watch(watch),
        m_pause(pause), m_proxyOnly(proxyOnly), m_transfer(http, listener, cancel, watch) {}

  void Run(Platform::IFileSystem& files, const std::wstring& workFolder, IArchiveGrowth* growth);

 private:
  RequestEnd RunCycle(ProxyDiscovery& discovery);
  // None when the route could not send the request.
  std::optional<RequestEnd> Send(Route route, ProxyDiscovery& discovery, HttpHandleOwner& request);
  void OpenSession();
  bool PrepareRequest(HttpHandleOwner& request);
  // After a request that did not finish its range; false when a cancel cut
  // the pause short.
  bool Recover(const RequestEnd& end);
  void LeaveDeadRoute();
  void GiveUpWithoutProgress();
  void Notify(NetworkWait what, std::chrono::seconds length) {
    if (m_listener) m_listener->OnNetworkWait(what, static_cast<int>(length.count()));
  }

  Platform::IHttpClient& m_http;
  const DownloadEndpoint& m_endpoint;
  IInstallListener* m_listener;
  const CancelFlag& m_cancel;
  ProgressWatch& m_watch;
  const RetryPause& m_pause;
  bool m_proxyOnly;
  ArchiveTransfer m_transfer;
  ProxyPlan m_plan;
  Route m_lastRoute = Route::UserSettings;  // the route that sent the last request
  FailureStreak m_streak;
  // Declared in this order so that the connection closes before its session.
  HttpHandleOwner m_session{m_http};
  HttpHandleOwner m_connection{m_http};
};

void DownloadCall::Run(Platform::IFileSystem& files, const std::wstring& workFolder, IArchiveGrowth* growth) {
  if (m_listener) m_listener->OnStatus(Downloading);
  m_transfer.Create(files, workFolder, growth);
  m_plan = ReadProxyPlan(m_http, m_proxyOnly);
  ProxyDiscovery discovery(m_http, DiscoveryUrl(m_endpoint), m_plan.discovery);
  while (!m_transfer.Complete()) {
    const RequestEnd end = RunCycle(discovery);
    if (end.kind == RequestEnd::Cancelled) break;
    if (end.kind == RequestEnd::Done) {
      m_streak.Finished();
    } else if (!Recover(end)) {
      break;
    }
  }
  m_connection.Reset();
  m_session.Reset();
  m_transfer.Close();
  if (discovery.Holds()) {
    LOG_INFO << "InstallBackend::Download Freeing resources after getting auto proxy call...";
  }
}

// The package's size and every body byte count as progress: a retry that
// fetches bytes again is as much alive as a first try. The cycle's handles
// are closed when it returns.
RequestEnd DownloadCall::RunCycle(ProxyDiscovery& discovery) {
  GiveUpWithoutProgress();
  const std::int32_t sizeBefore = m_transfer.TotalSize();
  if (!m_session) OpenSession();
  HttpHandleOwner request(m_http);
  std::optional<RequestEnd> end;
  std::size_t route = 0;
  for (; route < m_plan.routes.size() && !end; ++route) {
    LogRoute(m_plan.routes[route], route == 0);
    m_lastRoute = m_plan.routes[route];
    end = Send(m_lastRoute, discovery, request);
  }
  const bool keepSession = end && end->kind == RequestEnd::Done && route == 1 && !m_cancel.IsSet();
  if (!keepSession) {
    request.Reset();
    m_connection.Reset();
    m_session.Reset();
  }
  if (m_transfer.TotalSize() != sizeBefore) m_watch.Progressed();
  if (!end && !m_cancel.IsSet()) throw InstallException(L"InstallBackend::Download Sending WinHttpRequest failed");
  if (!end || m_cancel.IsSet()) {
    LOG_INFO << "InstallBackend::Download Canceled";
    return {RequestEnd::Cancelled};
  }
  return *end;
}

bool DownloadCall::Recover(const RequestEnd& end) {
  const std::chrono::seconds pause = m_streak.Failed(end.kind);
  const bool routeChanged = m_streak.RouteIsDead();
  if (routeChanged) LeaveDeadRoute();
  if (end.kind == RequestEnd::Stalled) {
    Notify(NetworkWait::Stalled, kStallWindow);
    return true;
  }
  // Another route owes nothing to the failures of the last one.
  if (routeChanged) return true;
  LOG_INFO << "InstallBackend::Download " << end.what << " at byte " << m_transfer.RangeOffset()
           << ", resuming in " << pause.count() << " s";
  Notify(NetworkWait::Retrying, pause);
  m_pause(pause, m_cancel);
  if (!m_cancel.IsSet()) return true;
  LOG_INFO << "InstallBackend::Download Canceled";
  return false;
}

// The rest of the call goes by the plan's other route; with none left it
// fails as a request that cannot be sent, and the install's retry tries
// what discovery finds.
void DownloadCall::LeaveDeadRoute() {
  const char* dead = RouteName(m_lastRoute, m_plan);
  auto& routes = m_plan.routes;
  routes.erase(std::remove(routes.begin(), routes.end(), m_lastRoute), routes.end());
  m_streak.RouteChanged();
  if (routes.empty()) {
    LOG_INFO << "InstallBackend::Download the " << dead << " route stalls on every connection; giving up at byte "
             << m_transfer.RangeOffset();
    throw InstallException(L"InstallBackend::Download Sending WinHttpRequest failed");
  }
  LOG_INFO << "InstallBackend::Download the " << dead << " route stalls on every connection; trying the "
           << RouteName(routes.front(), m_plan) << " route";
}

void DownloadCall::GiveUpWithoutProgress() {
  if (!m_watch.Exceeded(kNoProgressLimit)) return;
  LOG_INFO << "InstallBackend::Download no new data for " << kNoProgressLimit.count() << " s, giving up at byte "
           << m_transfer.RangeOffset();
  throw InstallException(L"InstallBackend::Download Sending WinHttpRequest failed");
}

void DownloadCall::OpenSession() {
  m_session.Reset(m_http.Open(UserAgent, m_plan.accessType, m_plan.proxy, m_plan.bypass));
  if (!m_session) {
    LOG_ERROR << "InstallBackend::Download WinHttpOpen error: " << m_http.LastError();
    throw InstallException(L"InstallBackend::Download WinHttpOpen failed");
  }
}

// The routes share the cycle's session and whatever an earlier route made of
// its connection and request.
std::optional<RequestEnd> DownloadCall::Send(Route route, ProxyDiscovery& discovery, HttpHandleOwner& request) {
  if (route == Route::DiscoveredProxy) {
    if (!discovery.ApplyTo(m_session.Get())) return std::nullopt;
    LOG_INFO << "HttpContentReader::Download Auto detecting proxy: ok. https request with applied proxy...";
  }
  if (!PrepareRequest(request)) return std::nullopt;
  return m_transfer.Perform(request);
}

// Creates whichever of connection and request is missing and sets the
// request's time-outs; a failure is logged and leaves what was made.
bool DownloadCall::PrepareRequest(HttpHandleOwner& request) {
  if (!m_connection) {
    m_connection.Reset(m_http.Connect(m_session.Get(), m_endpoint.host, m_endpoint.port));
    if (!m_connection) {
      LOG_ERROR << "InstallBackend::Download WinHttpConnect error: " << m_http.LastError();
      return false;
    }
  }
  if (!request) {
    request.Reset(m_http.OpenRequest(m_connection.Get(), Verb, PackagePath,
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
                                       const CancelFlag& cancel, bool proxyOnly, IArchiveGrowth* growth) {
  const std::wstring archivePath = workFolder + ArchiveFileName;
  const WaitLimitsOfCall limits(m_http, cancel);
  m_watch.Start();
  DownloadCall(m_http, m_server, listener, cancel, proxyOnly, m_watch, m_pause).Run(m_files, workFolder, growth);
  return archivePath;
}

}  // namespace InstallBackend
