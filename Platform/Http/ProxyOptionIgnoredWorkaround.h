#pragma once
// Wine's WinHTTP accepts WINHTTP_OPTION_PROXY on a session and then ignores
// it: the session's connections still go out directly. This client stands in
// front of the real one and, where a named proxy applied to a session did not
// take (reading the option back does not show it), sends everything the
// session does afterwards through a session of its own opened with that
// proxy: new connections, and the requests of connections that were made
// before the proxy was applied. Where the option is honoured it only forwards.
#include <map>

#include "Platform/Http/HttpClient.h"

namespace Platform {

class ProxyOptionIgnoredWorkaround final : public IHttpClient {
 public:
  explicit ProxyOptionIgnoredWorkaround(IHttpClient& inner) : m_inner(inner) {}
  // Closes the stand-in sessions and connections a caller left open.
  ~ProxyOptionIgnoredWorkaround();
  ProxyOptionIgnoredWorkaround(const ProxyOptionIgnoredWorkaround&) = delete;
  ProxyOptionIgnoredWorkaround& operator=(const ProxyOptionIgnoredWorkaround&) = delete;

  bool GetIEProxyConfigForCurrentUser(HttpProxySettings& settings) override;
  HttpHandle Open(const std::wstring& userAgent, std::uint32_t accessType, const std::wstring& proxy,
                  const std::wstring& proxyBypass) override;
  HttpHandle Connect(HttpHandle session, const std::wstring& host, std::uint16_t port) override;
  HttpHandle OpenRequest(HttpHandle connection, const std::wstring& verb, const std::wstring& path,
                         std::uint32_t flags) override;
  bool SetTimeouts(HttpHandle request, int resolveMs, int connectMs, int sendMs, int receiveMs) override;
  bool GetProxyForUrl(HttpHandle session, const std::wstring& url, const HttpAutoProxyOptions& options,
                      HttpProxyInfo& result) override;
  bool SetProxy(HttpHandle handle, const HttpProxyInfo& proxy) override;
  bool QueryProxy(HttpHandle handle, HttpProxyInfo& proxy) override;
  bool AddRequestHeaders(HttpHandle request, const std::wstring& headers, std::uint32_t flags) override;
  bool SendRequest(HttpHandle request) override;
  bool ReceiveResponse(HttpHandle request) override;
  bool QueryContentLength(HttpHandle request, std::uint32_t& length) override;
  bool QueryHeaderText(HttpHandle request, const std::wstring& name, std::wstring& value) override {
    return m_inner.QueryHeaderText(request, name, value);
  }
  bool QueryDataAvailable(HttpHandle request, std::uint32_t& available) override;
  bool ReadData(HttpHandle request, void* buffer, std::uint32_t size, std::uint32_t& read) override;
  void CloseHandle(HttpHandle handle) override;
  void SetWaitLimits(const HttpWaitLimits& limits) override { m_inner.SetWaitLimits(limits); }
  std::uint32_t LastError() override;

 private:
  struct Session {
    std::wstring userAgent;
    HttpHandle routed = nullptr;  // the stand-in opened with the proxy; owned
  };
  struct Connection {
    HttpHandle session = nullptr;
    std::wstring host;
    std::uint16_t port = 0;
    bool throughProxy = false;    // made on the stand-in session already
    HttpHandle routed = nullptr;  // its twin on the stand-in session; owned
  };

  bool ProxyTookEffect(HttpHandle session, const HttpProxyInfo& proxy);
  // The connection a request of this connection must be opened on; null
  // (with the inner client's last error) when its twin could not be made.
  HttpHandle ConnectionForRequests(HttpHandle connection);

  IHttpClient& m_inner;
  std::map<HttpHandle, Session> m_sessions;
  std::map<HttpHandle, Connection> m_connections;
};

}  // namespace Platform
