#include "Platform/Win32/WinHttpClient.h"

#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>

namespace Platform {
namespace {

// A string that WinHTTP allocated for the caller, released with GlobalFree.
class GlobalText {
 public:
  GlobalText() = default;
  ~GlobalText() {
    if (m_text) ::GlobalFree(m_text);
  }
  GlobalText(const GlobalText&) = delete;
  GlobalText& operator=(const GlobalText&) = delete;

  LPWSTR* Receive() { return &m_text; }
  void Take(LPWSTR text) { m_text = text; }
  std::wstring Text() const { return m_text ? std::wstring(m_text) : std::wstring(); }

 private:
  LPWSTR m_text = nullptr;
};

const wchar_t* OrNull(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

}  // namespace

WinHttpClient::WinHttpClient() : m_library(L"winhttp.dll") {}

template <typename Function>
Function WinHttpClient::Entry(const char* name) const {
  Function function = m_library.Get<Function>(name);
  if (!function) ::SetLastError(m_library.IsLoaded() ? ERROR_PROC_NOT_FOUND : ERROR_MOD_NOT_FOUND);
  return function;
}

#define KORVANE_WINHTTP_ENTRY(name) Entry<decltype(&::name)>(#name)

bool WinHttpClient::GetIEProxyConfigForCurrentUser(HttpProxySettings& settings) {
  auto get = KORVANE_WINHTTP_ENTRY(WinHttpGetIEProxyConfigForCurrentUser);
  if (!get) return false;
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
  if (!get(&config)) return false;
  GlobalText url, proxy, bypass;
  url.Take(config.lpszAutoConfigUrl);
  proxy.Take(config.lpszProxy);
  bypass.Take(config.lpszProxyBypass);
  settings.autoDetect = config.fAutoDetect != FALSE;
  settings.autoConfigUrl = url.Text();
  settings.proxy = proxy.Text();
  settings.proxyBypass = bypass.Text();
  return true;
}

HttpHandle WinHttpClient::Open(const std::wstring& userAgent, std::uint32_t accessType,
                               const std::wstring& proxy, const std::wstring& proxyBypass) {
  auto open = KORVANE_WINHTTP_ENTRY(WinHttpOpen);
  if (!open) return nullptr;
  const bool named = accessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY;
  return open(userAgent.c_str(), accessType, named ? OrNull(proxy) : WINHTTP_NO_PROXY_NAME,
              named ? OrNull(proxyBypass) : WINHTTP_NO_PROXY_BYPASS, 0);
}

HttpHandle WinHttpClient::Connect(HttpHandle session, const std::wstring& host,
                                  std::uint16_t port) {
  auto connect = KORVANE_WINHTTP_ENTRY(WinHttpConnect);
  return connect ? connect(session, host.c_str(), port, 0) : nullptr;
}

HttpHandle WinHttpClient::OpenRequest(HttpHandle connection, const std::wstring& verb,
                                      const std::wstring& path, std::uint32_t flags) {
  auto openRequest = KORVANE_WINHTTP_ENTRY(WinHttpOpenRequest);
  if (!openRequest) return nullptr;
  return openRequest(connection, verb.c_str(), path.c_str(), nullptr, WINHTTP_NO_REFERER,
                     WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
}

bool WinHttpClient::SetTimeouts(HttpHandle request, int resolveMs, int connectMs, int sendMs,
                                int receiveMs) {
  auto setTimeouts = KORVANE_WINHTTP_ENTRY(WinHttpSetTimeouts);
  return setTimeouts && setTimeouts(request, resolveMs, connectMs, sendMs, receiveMs);
}

bool WinHttpClient::GetProxyForUrl(HttpHandle session, const std::wstring& url,
                                   const HttpAutoProxyOptions& options, HttpProxyInfo& result) {
  auto getProxy = KORVANE_WINHTTP_ENTRY(WinHttpGetProxyForUrl);
  if (!getProxy) return false;
  WINHTTP_AUTOPROXY_OPTIONS native = {};
  native.dwFlags = options.flags;
  native.dwAutoDetectFlags = options.autoDetectFlags;
  native.lpszAutoConfigUrl = OrNull(options.autoConfigUrl);
  native.fAutoLogonIfChallenged = options.autoLogonIfChallenged ? TRUE : FALSE;
  WINHTTP_PROXY_INFO info = {};
  if (!getProxy(session, url.c_str(), &native, &info)) return false;
  GlobalText proxy, bypass;
  proxy.Take(info.lpszProxy);
  bypass.Take(info.lpszProxyBypass);
  result.accessType = info.dwAccessType;
  result.proxy = proxy.Text();
  result.proxyBypass = bypass.Text();
  return true;
}

bool WinHttpClient::SetProxy(HttpHandle handle, const HttpProxyInfo& proxy) {
  auto setOption = KORVANE_WINHTTP_ENTRY(WinHttpSetOption);
  if (!setOption) return false;
  std::wstring proxyList = proxy.proxy;
  std::wstring bypassList = proxy.proxyBypass;
  WINHTTP_PROXY_INFO info = {};
  info.dwAccessType = proxy.accessType;
  info.lpszProxy = proxyList.empty() ? nullptr : &proxyList[0];
  info.lpszProxyBypass = bypassList.empty() ? nullptr : &bypassList[0];
  return setOption(handle, WINHTTP_OPTION_PROXY, &info, sizeof(info)) != FALSE;
}

bool WinHttpClient::QueryProxy(HttpHandle handle, HttpProxyInfo& proxy) {
  auto queryOption = KORVANE_WINHTTP_ENTRY(WinHttpQueryOption);
  if (!queryOption) return false;
  WINHTTP_PROXY_INFO info = {};
  DWORD size = sizeof(info);
  if (!queryOption(handle, WINHTTP_OPTION_PROXY, &info, &size)) return false;
  GlobalText list, bypass;
  list.Take(info.lpszProxy);
  bypass.Take(info.lpszProxyBypass);
  proxy.accessType = info.dwAccessType;
  proxy.proxy = list.Text();
  proxy.proxyBypass = bypass.Text();
  return true;
}

bool WinHttpClient::AddRequestHeaders(HttpHandle request, const std::wstring& headers,
                                      std::uint32_t flags) {
  auto addHeaders = KORVANE_WINHTTP_ENTRY(WinHttpAddRequestHeaders);
  return addHeaders && addHeaders(request, headers.c_str(), static_cast<DWORD>(headers.size()), flags);
}

bool WinHttpClient::SendRequest(HttpHandle request) {
  auto send = KORVANE_WINHTTP_ENTRY(WinHttpSendRequest);
  return send && send(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0);
}

bool WinHttpClient::ReceiveResponse(HttpHandle request) {
  auto receive = KORVANE_WINHTTP_ENTRY(WinHttpReceiveResponse);
  return receive && receive(request, nullptr);
}

bool WinHttpClient::QueryContentLength(HttpHandle request, std::uint32_t& length) {
  auto query = KORVANE_WINHTTP_ENTRY(WinHttpQueryHeaders);
  if (!query) return false;
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (!query(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
             WINHTTP_HEADER_NAME_BY_INDEX, &value, &size, WINHTTP_NO_HEADER_INDEX)) {
    return false;
  }
  length = value;
  return true;
}

bool WinHttpClient::QueryDataAvailable(HttpHandle request, std::uint32_t& available) {
  auto query = KORVANE_WINHTTP_ENTRY(WinHttpQueryDataAvailable);
  if (!query) return false;
  DWORD count = 0;
  if (!query(request, &count)) {
    // A receive time-out is 12002; some WinHTTP implementations hand on the
    // socket's own code instead, which would turn a resumable time-out into
    // a failed download.
    if (::GetLastError() == WSAETIMEDOUT) ::SetLastError(ERROR_WINHTTP_TIMEOUT);
    return false;
  }
  available = count;
  return true;
}

bool WinHttpClient::ReadData(HttpHandle request, void* buffer, std::uint32_t size,
                             std::uint32_t& read) {
  auto readData = KORVANE_WINHTTP_ENTRY(WinHttpReadData);
  if (!readData) return false;
  DWORD count = 0;
  if (!readData(request, buffer, size, &count)) return false;
  read = count;
  return true;
}

void WinHttpClient::CloseHandle(HttpHandle handle) {
  auto close = KORVANE_WINHTTP_ENTRY(WinHttpCloseHandle);
  if (close && handle) close(handle);
}

std::uint32_t WinHttpClient::LastError() { return ::GetLastError(); }

#undef KORVANE_WINHTTP_ENTRY

}  // namespace Platform
