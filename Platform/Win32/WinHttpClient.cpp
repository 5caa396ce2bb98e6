#include "Platform/Win32/WinHttpClient.h"

#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "Platform/Win32/UniqueHandle.h"

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

  void Take(LPWSTR text) { m_text = text; }
  std::wstring Text() const { return m_text ? std::wstring(m_text) : std::wstring(); }

 private:
  LPWSTR m_text = nullptr;
};

const wchar_t* OrNull(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

// How often a waiting call looks at its cancel: often enough that a cancel
// ends the call well within the second the user may wait for it, seldom
// enough to cost nothing.
constexpr DWORD kCancelPollMs = 50;

}  // namespace

// What one request's asynchronous calls report back. WinHTTP's own threads
// fill it in and signal `done`. It lives until WinHTTP says the request
// handle is closing, not until the caller closes it: a call that was given
// up on (stalled or cancelled) may still complete afterwards, into this
// state and into its read buffer.
struct WinHttpClient::RequestState {
  UniqueHandle done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::atomic<DWORD> error{0};
  std::atomic<DWORD> count{0};
  std::vector<char> buffer;
};

namespace {

void Finish(WinHttpClient::RequestState& state, DWORD error, DWORD count) {
  state.count = count;
  state.error = error;
  ::SetEvent(state.done.Get());
}

void CALLBACK OnRequestStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information, DWORD length) {
  auto* state = reinterpret_cast<WinHttpClient::RequestState*>(context);
  if (!state) return;  // sessions and connections carry no state
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
      Finish(*state, 0, 0);
      break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
      Finish(*state, 0, *static_cast<DWORD*>(information));
      break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      Finish(*state, 0, length);
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
      Finish(*state, static_cast<WINHTTP_ASYNC_RESULT*>(information)->dwError, 0);
      break;
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
      delete state;
      break;
    default:
      break;
  }
}

}  // namespace

// Asynchronous WinHTTP runs threads of its own that can outlive the last
// handle (a call given up on still completing, an idle connection being
// closed). Unloading the library under them when this object goes at exit
// crashed the process on its way out; pinned, it stays until the process
// ends.
WinHttpClient::WinHttpClient() : m_library(L"winhttp.dll") {
  if (auto open = m_library.Get<decltype(&::WinHttpOpen)>("WinHttpOpen")) {
    HMODULE pinned = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         reinterpret_cast<LPCWSTR>(open), &pinned);
  }
}

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
  auto setCallback = KORVANE_WINHTTP_ENTRY(WinHttpSetStatusCallback);
  auto close = KORVANE_WINHTTP_ENTRY(WinHttpCloseHandle);
  if (!setCallback || !close) return nullptr;
  const bool named = accessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY;
  HINTERNET session = open(userAgent.c_str(), accessType, named ? OrNull(proxy) : WINHTTP_NO_PROXY_NAME,
                           named ? OrNull(proxyBypass) : WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
  if (!session) return nullptr;
  // Connections and requests take the session's callback when they are made.
  const DWORD notifications = WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES;
  if (setCallback(session, OnRequestStatus, notifications, 0) == WINHTTP_INVALID_STATUS_CALLBACK) {
    const DWORD error = ::GetLastError();
    close(session);
    ::SetLastError(error);
    return nullptr;
  }
  return session;
}

HttpHandle WinHttpClient::Connect(HttpHandle session, const std::wstring& host,
                                  std::uint16_t port) {
  auto connect = KORVANE_WINHTTP_ENTRY(WinHttpConnect);
  return connect ? connect(session, host.c_str(), port, 0) : nullptr;
}

HttpHandle WinHttpClient::OpenRequest(HttpHandle connection, const std::wstring& verb,
                                      const std::wstring& path, std::uint32_t flags) {
  auto openRequest = KORVANE_WINHTTP_ENTRY(WinHttpOpenRequest);
  auto setOption = KORVANE_WINHTTP_ENTRY(WinHttpSetOption);
  auto close = KORVANE_WINHTTP_ENTRY(WinHttpCloseHandle);
  if (!openRequest || !setOption || !close) return nullptr;
  HINTERNET request = openRequest(connection, verb.c_str(), path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                  WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
  if (!request) return nullptr;
  auto* state = new RequestState();
  DWORD_PTR context = reinterpret_cast<DWORD_PTR>(state);
  if (!state->done.Valid() || !setOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context))) {
    const DWORD error = state->done.Valid() ? ::GetLastError() : ERROR_OUTOFMEMORY;
    close(request);  // no context yet: the closing notice does not free the state
    delete state;
    ::SetLastError(error);
    return nullptr;
  }
  m_requests[request] = state;
  return request;
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
  if (!send) return false;
  return Complete(request, [&](RequestState& state) {
    return send(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                reinterpret_cast<DWORD_PTR>(&state)) != FALSE;
  });
}

bool WinHttpClient::ReceiveResponse(HttpHandle request) {
  auto receive = KORVANE_WINHTTP_ENTRY(WinHttpReceiveResponse);
  if (!receive) return false;
  return Complete(request, [&](RequestState&) { return receive(request, nullptr) != FALSE; });
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

bool WinHttpClient::QueryHeaderText(HttpHandle request, const std::wstring& name, std::wstring& value) {
  auto query = KORVANE_WINHTTP_ENTRY(WinHttpQueryHeaders);
  if (!query) return false;
  DWORD size = 0;
  if (query(request, WINHTTP_QUERY_CUSTOM, name.c_str(), WINHTTP_NO_OUTPUT_BUFFER, &size,
            WINHTTP_NO_HEADER_INDEX) ||
      ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return false;
  }
  std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
  if (!query(request, WINHTTP_QUERY_CUSTOM, name.c_str(), text.data(), &size, WINHTTP_NO_HEADER_INDEX)) {
    return false;
  }
  value.assign(text.data(), size / sizeof(wchar_t));
  return true;
}

bool WinHttpClient::QueryDataAvailable(HttpHandle request, std::uint32_t& available) {
  auto query = KORVANE_WINHTTP_ENTRY(WinHttpQueryDataAvailable);
  if (!query) return false;
  RequestState* state = nullptr;
  const bool done = Complete(request, [&](RequestState& pending) {
    state = &pending;
    return query(request, nullptr) != FALSE;
  });
  if (done) available = state->count;
  return done;
}

bool WinHttpClient::ReadData(HttpHandle request, void* buffer, std::uint32_t size,
                             std::uint32_t& read) {
  auto readData = KORVANE_WINHTTP_ENTRY(WinHttpReadData);
  if (!readData) return false;
  RequestState* state = nullptr;
  const bool done = Complete(request, [&](RequestState& pending) {
    state = &pending;
    // Grown, never cleared: the read fills what it reports, and a buffer
    // wiped for every read cost as much as the read itself.
    if (pending.buffer.size() < size) pending.buffer.resize(size);
    return readData(request, pending.buffer.data(), size, nullptr) != FALSE;
  });
  if (!done) return false;
  read = std::min<std::uint32_t>(state->count, size);
  if (read > 0) std::memcpy(buffer, state->buffer.data(), read);
  return true;
}

// Closing a request cancels the call it still has running; its state goes
// when WinHTTP says the handle is closing.
void WinHttpClient::CloseHandle(HttpHandle handle) {
  auto close = KORVANE_WINHTTP_ENTRY(WinHttpCloseHandle);
  m_requests.erase(handle);
  if (close && handle) close(handle);
}

template <typename Start>
bool WinHttpClient::Complete(HttpHandle request, Start start) {
  const auto found = m_requests.find(request);
  if (found == m_requests.end()) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  RequestState& state = *found->second;
  ::ResetEvent(state.done.Get());
  state.error = 0;
  state.count = 0;
  if (!start(state)) return false;
  return Await(state);
}

bool WinHttpClient::Await(RequestState& state) {
  const ULONGLONG started = ::GetTickCount64();
  for (;;) {
    if (::WaitForSingleObject(state.done.Get(), kCancelPollMs) == WAIT_OBJECT_0) {
      const DWORD error = state.error;
      if (error == 0) return true;
      // A receive time-out is 12002; some WinHTTP implementations hand on
      // the socket's own code instead, which would turn a resumable
      // time-out into a failed download.
      ::SetLastError(error == WSAETIMEDOUT ? ERROR_WINHTTP_TIMEOUT : error);
      return false;
    }
    if (m_limits.cancelled && m_limits.cancelled()) {
      ::SetLastError(ERROR_WINHTTP_OPERATION_CANCELLED);
      return false;
    }
    if (m_limits.stallMs != 0 && ::GetTickCount64() - started >= m_limits.stallMs) {
      ::SetLastError(ERROR_WINHTTP_TIMEOUT);
      return false;
    }
  }
}

std::uint32_t WinHttpClient::LastError() { return ::GetLastError(); }

#undef KORVANE_WINHTTP_ENTRY

}  // namespace Platform
