#pragma once
#include <map>

#include "Platform/Http/HttpClient.h"
#include "Platform/Win32/SystemLibrary.h"

namespace Platform {

// The HTTP seam on the system's WinHTTP, call for call. Sessions run in
// asynchronous mode and every call that waits on the network (send, receive,
// data available, read) waits here for its completion, for the wait limits'
// stall window or for their cancel, whichever comes first: a synchronous
// WinHTTP call can be neither interrupted nor timed by anything but its own
// time-outs. winhttp.dll is loaded from the system folder when the object is
// made; without it every operation fails with ERROR_MOD_NOT_FOUND. One
// object per thread of use. (Under Wine, wrap it in
// ProxyOptionIgnoredWorkaround.)
class WinHttpClient final : public IHttpClient {
 public:
  WinHttpClient();

  bool GetIEProxyConfigForCurrentUser(HttpProxySettings& settings) override;
  HttpHandle Open(const std::wstring& userAgent, std::uint32_t accessType,
                  const std::wstring& proxy, const std::wstring& proxyBypass) override;
  HttpHandle Connect(HttpHandle session, const std::wstring& host, std::uint16_t port) override;
  HttpHandle OpenRequest(HttpHandle connection, const std::wstring& verb, const std::wstring& path,
                         std::uint32_t flags) override;
  bool SetTimeouts(HttpHandle request, int resolveMs, int connectMs, int sendMs,
                   int receiveMs) override;
  bool GetProxyForUrl(HttpHandle session, const std::wstring& url,
                      const HttpAutoProxyOptions& options, HttpProxyInfo& result) override;
  bool SetProxy(HttpHandle handle, const HttpProxyInfo& proxy) override;
  bool QueryProxy(HttpHandle handle, HttpProxyInfo& proxy) override;
  bool AddRequestHeaders(HttpHandle request, const std::wstring& headers,
                         std::uint32_t flags) override;
  bool SendRequest(HttpHandle request) override;
  bool ReceiveResponse(HttpHandle request) override;
  bool QueryContentLength(HttpHandle request, std::uint32_t& length) override;
  bool QueryHeaderText(HttpHandle request, const std::wstring& name, std::wstring& value) override;
  bool QueryDataAvailable(HttpHandle request, std::uint32_t& available) override;
  bool ReadData(HttpHandle request, void* buffer, std::uint32_t size,
                std::uint32_t& read) override;
  void CloseHandle(HttpHandle handle) override;
  void SetWaitLimits(const HttpWaitLimits& limits) override { m_limits = limits; }
  std::uint32_t LastError() override;

  struct RequestState;

 private:
  template <typename Function>
  Function Entry(const char* name) const;
  // Starts one asynchronous call on request's state and waits for it.
  template <typename Start>
  bool Complete(HttpHandle request, Start start);
  bool Await(RequestState& state);

  SystemLibrary m_library;
  HttpWaitLimits m_limits;
  std::map<HttpHandle, RequestState*> m_requests;  // freed when WinHTTP closes the handle
};

}  // namespace Platform
