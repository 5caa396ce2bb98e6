#pragma once
#include <cstdint>
#include <functional>
#include <string>

// The HTTP operations the package download relies on, shaped after WinHTTP in
// synchronous mode. Production uses the system's WinHTTP; unit tests use a
// scripted fake to inject the faults a real server cannot produce on demand.
namespace Platform {

// An open session, connection or request; null means none.
using HttpHandle = void*;

// The user's own proxy settings (Internet Explorer's, per user).
struct HttpProxySettings {
  bool autoDetect = false;
  std::wstring autoConfigUrl;
  std::wstring proxy;
  std::wstring proxyBypass;
};

// What automatic proxy discovery is asked to do.
struct HttpAutoProxyOptions {
  std::uint32_t flags = 0;            // WINHTTP_AUTOPROXY_AUTO_DETECT or _CONFIG_URL
  std::uint32_t autoDetectFlags = 0;  // WINHTTP_AUTO_DETECT_TYPE_DHCP | _DNS_A
  std::wstring autoConfigUrl;
  bool autoLogonIfChallenged = false;
};

// What automatic proxy discovery found.
struct HttpProxyInfo {
  std::uint32_t accessType = 0;
  std::wstring proxy;
  std::wstring proxyBypass;
};

namespace HttpConstants {
constexpr std::uint32_t AccessTypeDefaultProxy = 0;
constexpr std::uint32_t AccessTypeNoProxy = 1;
constexpr std::uint32_t AccessTypeNamedProxy = 3;
constexpr std::uint32_t FlagSecure = 0x00800000;
constexpr std::uint32_t FlagRefresh = 0x00000100;
constexpr std::uint32_t AddRequestFlagAdd = 0x20000000;
constexpr std::uint32_t AutoProxyAutoDetect = 1;
constexpr std::uint32_t AutoProxyConfigUrl = 2;
constexpr std::uint32_t AutoDetectTypeDhcpAndDnsA = 3;
constexpr std::uint32_t ErrorTimeout = 12002;
constexpr std::uint32_t ErrorCancelled = 12017;  // ERROR_WINHTTP_OPERATION_CANCELLED
constexpr std::uint32_t ErrorNameNotResolved = 12007;
constexpr std::uint32_t ErrorCannotConnect = 12029;
constexpr std::uint32_t ErrorConnectionError = 12030;
constexpr std::uint32_t ErrorInvalidServerResponse = 12152;
// The server's certificate or the secure channel was refused.
constexpr std::uint32_t ErrorSecureCertDateInvalid = 12037;
constexpr std::uint32_t ErrorSecureCertCnInvalid = 12038;
constexpr std::uint32_t ErrorClientAuthCertNeeded = 12044;
constexpr std::uint32_t ErrorSecureInvalidCa = 12045;
constexpr std::uint32_t ErrorSecureChannelError = 12157;
constexpr std::uint32_t ErrorSecureInvalidCert = 12169;
constexpr std::uint32_t ErrorSecureCertRevoked = 12170;
constexpr std::uint32_t ErrorSecureFailure = 12175;
constexpr std::uint32_t ErrorSecureCertWrongUsage = 12179;
}  // namespace HttpConstants

// What ends a call that waits on the network before the request's own
// time-outs do. A wait that sees nothing arrive for stallMs fails with
// ErrorTimeout; a wait during which cancelled() turns true fails with
// ErrorCancelled within a fraction of a second. Either way the request is
// left unusable and its owner only closes it. stallMs 0: no stall limit.
struct HttpWaitLimits {
  std::uint32_t stallMs = 0;
  std::function<bool()> cancelled;
};

// Every operation returns false (or a null handle) on failure and leaves the
// reason for LastError, as the system calls do. Handles are closed by their
// owner with CloseHandle.
class IHttpClient {
 public:
  virtual bool GetIEProxyConfigForCurrentUser(HttpProxySettings& settings) = 0;
  // accessType: one of the AccessType constants; the lists are used only
  // with a named proxy.
  virtual HttpHandle Open(const std::wstring& userAgent, std::uint32_t accessType,
                          const std::wstring& proxy, const std::wstring& proxyBypass) = 0;
  virtual HttpHandle Connect(HttpHandle session, const std::wstring& host, std::uint16_t port) = 0;
  virtual HttpHandle OpenRequest(HttpHandle connection, const std::wstring& verb,
                                 const std::wstring& path, std::uint32_t flags) = 0;
  virtual bool SetTimeouts(HttpHandle request, int resolveMs, int connectMs, int sendMs,
                           int receiveMs) = 0;
  virtual bool GetProxyForUrl(HttpHandle session, const std::wstring& url,
                              const HttpAutoProxyOptions& options, HttpProxyInfo& result) = 0;
  // Applies a discovered proxy to a session or a request (WINHTTP_OPTION_PROXY).
  virtual bool SetProxy(HttpHandle handle, const HttpProxyInfo& proxy) = 0;
  // The proxy a session or request is set to use (WINHTTP_OPTION_PROXY).
  virtual bool QueryProxy(HttpHandle handle, HttpProxyInfo& proxy) = 0;
  virtual bool AddRequestHeaders(HttpHandle request, const std::wstring& headers,
                                 std::uint32_t flags) = 0;
  // Sends without extra headers or body.
  virtual bool SendRequest(HttpHandle request) = 0;
  virtual bool ReceiveResponse(HttpHandle request) = 0;
  // The Content-Length read as a 32-bit number.
  virtual bool QueryContentLength(HttpHandle request, std::uint32_t& length) = 0;
  // A response header's value by name ("ETag"); false when the response
  // has none.
  virtual bool QueryHeaderText(HttpHandle request, const std::wstring& name, std::wstring& value) = 0;
  // The body bytes that can be read now; 0 at the end of the body.
  virtual bool QueryDataAvailable(HttpHandle request, std::uint32_t& available) = 0;
  virtual bool ReadData(HttpHandle request, void* buffer, std::uint32_t size,
                        std::uint32_t& read) = 0;
  virtual void CloseHandle(HttpHandle handle) = 0;
  // Applies to every later wait of this client until set again.
  virtual void SetWaitLimits(const HttpWaitLimits& limits) = 0;
  // The calling thread's last system error code.
  virtual std::uint32_t LastError() = 0;

 protected:
  ~IHttpClient() = default;
};

// Owns one handle of a client and closes it when it goes.
class HttpHandleOwner {
 public:
  explicit HttpHandleOwner(IHttpClient& client, HttpHandle handle = nullptr)
      : m_client(client), m_handle(handle) {}
  ~HttpHandleOwner() { Reset(); }
  HttpHandleOwner(const HttpHandleOwner&) = delete;
  HttpHandleOwner& operator=(const HttpHandleOwner&) = delete;

  HttpHandle Get() const { return m_handle; }
  explicit operator bool() const { return m_handle != nullptr; }
  void Reset(HttpHandle handle = nullptr) {
    if (m_handle) m_client.CloseHandle(m_handle);
    m_handle = handle;
  }

 private:
  IHttpClient& m_client;
  HttpHandle m_handle;
};

}  // namespace Platform
