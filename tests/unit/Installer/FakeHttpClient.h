#pragma once
// A scripted stand-in for the HTTP seam, for the faults a real server cannot
// be made to produce on demand. It behaves as a server holding a package of
// a given size: the probe answers its Content-Length, a Range request the
// bytes of that range, delivered in pieces.
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Platform/Http/HttpClient.h"

namespace KorvaneTest {

inline char PackageByte(std::uint64_t offset) { return static_cast<char>((offset * 131 + 7) % 251); }

class FakeHttpClient final : public Platform::IHttpClient {
 public:
  explicit FakeHttpClient(std::uint32_t packageSize) : m_packageSize(packageSize) {}

  // --- the script ---------------------------------------------------------
  bool proxyConfigReadable = true;
  Platform::HttpProxySettings proxySettings;
  bool openFails = false;
  // Connect fails for the calls whose 0-based index this returns true for.
  std::function<bool(int)> connectFails = [](int) { return false; };
  // OpenRequest fails for the calls whose 0-based index this returns true for.
  std::function<bool(int)> openRequestFails = [](int) { return false; };
  bool discoveryFails = false;
  // As Wine's WinHTTP: a proxy set on a session is accepted, not used, and
  // reading the option back shows the session's own.
  bool proxyOptionIgnored = false;
  Platform::HttpProxyInfo discovered{3, L"proxy.example:8080", L"<local>"};
  bool rangeIgnored = false;
  std::uint32_t pieceSize = 65536;
  // A receive time-out after this many body bytes of the request with this
  // 0-based index (the probe is request 0).
  int timeoutRequest = -1;
  std::uint32_t timeoutAfterBytes = 0;
  // The time-out hits every later request too, and this runs at each one.
  bool timeoutRepeats = false;
  std::function<void()> onTimeout = [] {};
  // The code the time-out fails with: another code makes it a broken
  // connection (12030, a reset).
  std::uint32_t timeoutCode = Platform::HttpConstants::ErrorTimeout;
  // Instead of the time-out, the body simply ends there (a dropped connection).
  bool cutEndsBody = false;
  // The server declared the shorter body: the cut is its answer, not the network's.
  bool cutIsDeclared = false;
  // The error SendRequest fails with for the send of this 0-based index; 0
  // lets it through.
  std::function<std::uint32_t(int)> sendFails = [](int) { return 0u; };
  bool noContentLength = false;
  // The validators the answers carry; none when empty.
  std::wstring etag;
  std::wstring lastModified;
  std::uint32_t contentLengthOverride = 0;
  // Called after every successful read, with the number of reads so far.
  std::function<void(int)> afterRead = [](int) {};

  // --- what happened ------------------------------------------------------
  struct OpenCall {
    std::uint32_t accessType;
    std::wstring proxy, bypass;
  };
  std::vector<OpenCall> opens;
  std::vector<std::wstring> rangeHeaders;  // one per request, empty for none
  std::vector<std::wstring> ifRanges;      // one per request, empty for none
  std::vector<std::wstring> paths;
  std::vector<std::uint32_t> requestFlags;
  std::vector<std::vector<int>> timeouts;
  std::vector<std::uint16_t> ports;
  std::vector<Platform::HttpAutoProxyOptions> discoveries;
  std::vector<std::wstring> discoveryUrls;
  std::vector<Platform::HttpProxyInfo> appliedProxies;
  // Per request opened: the index in opens of the session it goes out through.
  std::vector<std::size_t> requestSessions;
  int sends = 0;
  int reads = 0;
  Platform::HttpWaitLimits waitLimits;

  std::size_t OpenHandles() const { return m_open.size(); }

  // --- the seam -----------------------------------------------------------
  bool GetIEProxyConfigForCurrentUser(Platform::HttpProxySettings& settings) override {
    if (!proxyConfigReadable) return Fail(12180);
    settings = proxySettings;
    return true;
  }
  Platform::HttpHandle Open(const std::wstring& agent, std::uint32_t accessType,
                            const std::wstring& proxy, const std::wstring& bypass) override {
    m_agent = agent;
    opens.push_back({accessType, proxy, bypass});
    if (openFails) return FailHandle(12019);
    Platform::HttpHandle session = NewHandle();
    m_sessionOpen[session] = opens.size() - 1;
    return session;
  }
  Platform::HttpHandle Connect(Platform::HttpHandle session, const std::wstring& host,
                               std::uint16_t port) override {
    Check(session);
    m_host = host;
    ports.push_back(port);
    if (connectFails(m_connects++)) return FailHandle(12029);
    Platform::HttpHandle connection = NewHandle();
    m_sessionOf[connection] = session;
    return connection;
  }
  Platform::HttpHandle OpenRequest(Platform::HttpHandle connection, const std::wstring& verb,
                                   const std::wstring& path, std::uint32_t flags) override {
    Check(connection);
    m_verb = verb;
    if (openRequestFails(m_openRequests++)) return FailHandle(12029);
    paths.push_back(path);
    requestFlags.push_back(flags);
    requestSessions.push_back(m_sessionOpen.at(m_sessionOf.at(connection)));
    m_request = Request();
    return NewHandle();
  }
  bool SetTimeouts(Platform::HttpHandle request, int a, int b, int c, int d) override {
    Check(request);
    timeouts.push_back({a, b, c, d});
    return true;
  }
  bool GetProxyForUrl(Platform::HttpHandle session, const std::wstring& url,
                      const Platform::HttpAutoProxyOptions& options,
                      Platform::HttpProxyInfo& result) override {
    Check(session);
    discoveryUrls.push_back(url);
    discoveries.push_back(options);
    if (discoveryFails) return Fail(12180);
    result = discovered;
    return true;
  }
  bool SetProxy(Platform::HttpHandle session, const Platform::HttpProxyInfo& proxy) override {
    Check(session);
    appliedProxies.push_back(proxy);
    if (!proxyOptionIgnored) m_appliedTo[session] = proxy;
    return true;
  }
  bool QueryProxy(Platform::HttpHandle handle, Platform::HttpProxyInfo& proxy) override {
    Check(handle);
    const auto applied = m_appliedTo.find(handle);
    if (applied != m_appliedTo.end()) {
      proxy = applied->second;
    } else {
      const auto open = m_sessionOpen.find(handle);
      if (open == m_sessionOpen.end()) return Fail(12018);
      proxy = Platform::HttpProxyInfo{opens[open->second].accessType, opens[open->second].proxy,
                                      opens[open->second].bypass};
    }
    return true;
  }
  bool AddRequestHeaders(Platform::HttpHandle request, const std::wstring& headers,
                         std::uint32_t flags) override {
    Check(request);
    if (flags != Platform::HttpConstants::AddRequestFlagAdd) return Fail(87);
    (headers.compare(0, 9, L"If-Range:") == 0 ? m_request.ifRange : m_request.header) = headers;
    return true;
  }
  bool SendRequest(Platform::HttpHandle request) override;
  bool ReceiveResponse(Platform::HttpHandle request) override {
    Check(request);
    return true;
  }
  bool QueryContentLength(Platform::HttpHandle request, std::uint32_t& length) override {
    Check(request);
    if (noContentLength) return Fail(12150);
    length = contentLengthOverride ? contentLengthOverride : m_packageSize;
    if (cutIsDeclared && TimesOut()) length = timeoutAfterBytes;
    return true;
  }
  bool QueryHeaderText(Platform::HttpHandle request, const std::wstring& name, std::wstring& value) override {
    Check(request);
    value = name == L"ETag" ? etag : name == L"Last-Modified" ? lastModified : std::wstring();
    return !value.empty();
  }
  bool QueryDataAvailable(Platform::HttpHandle request, std::uint32_t& available) override;
  bool ReadData(Platform::HttpHandle request, void* buffer, std::uint32_t size,
                std::uint32_t& read) override;
  void CloseHandle(Platform::HttpHandle handle) override {
    Check(handle);
    m_open.erase(handle);
  }
  void SetWaitLimits(const Platform::HttpWaitLimits& limits) override { waitLimits = limits; }
  std::uint32_t LastError() override { return m_lastError; }

  const std::wstring& Agent() const { return m_agent; }
  const std::wstring& Host() const { return m_host; }
  const std::wstring& Verb() const { return m_verb; }

 private:
  struct Request {
    std::wstring header;
    std::wstring ifRange;
    std::uint64_t next = 0;  // next package byte to deliver
    std::uint64_t end = 0;   // one past the last byte of the body
    std::uint32_t delivered = 0;
    int index = 0;
  };

  bool Fail(std::uint32_t code) {
    m_lastError = code;
    return false;
  }
  Platform::HttpHandle FailHandle(std::uint32_t code) {
    m_lastError = code;
    return nullptr;
  }
  Platform::HttpHandle NewHandle() {
    Platform::HttpHandle handle = reinterpret_cast<Platform::HttpHandle>(++m_nextHandle);
    m_open.insert(handle);
    return handle;
  }
  void Check(Platform::HttpHandle handle) const;
  bool TimesOut() const {
    return m_request.index == timeoutRequest || (timeoutRepeats && timeoutRequest >= 0 && m_request.index > timeoutRequest);
  }

  std::uint32_t m_packageSize;
  std::uintptr_t m_nextHandle = 0x100;
  std::set<Platform::HttpHandle> m_open;
  std::uint32_t m_lastError = 0;
  int m_connects = 0;
  int m_openRequests = 0;
  std::map<Platform::HttpHandle, std::size_t> m_sessionOpen;  // session -> index in opens
  std::map<Platform::HttpHandle, Platform::HttpHandle> m_sessionOf;  // connection -> session
  std::map<Platform::HttpHandle, Platform::HttpProxyInfo> m_appliedTo;
  Request m_request;
  std::wstring m_agent, m_host, m_verb;
};

}  // namespace KorvaneTest
