#include "Platform/Http/ProxyOptionIgnoredWorkaround.h"

namespace Platform {

ProxyOptionIgnoredWorkaround::~ProxyOptionIgnoredWorkaround() {
  for (const auto& connection : m_connections) {
    if (connection.second.routed) m_inner.CloseHandle(connection.second.routed);
  }
  for (const auto& session : m_sessions) {
    if (session.second.routed) m_inner.CloseHandle(session.second.routed);
  }
}

bool ProxyOptionIgnoredWorkaround::GetIEProxyConfigForCurrentUser(HttpProxySettings& settings) {
  return m_inner.GetIEProxyConfigForCurrentUser(settings);
}

HttpHandle ProxyOptionIgnoredWorkaround::Open(const std::wstring& userAgent, std::uint32_t accessType,
                                              const std::wstring& proxy, const std::wstring& proxyBypass) {
  HttpHandle session = m_inner.Open(userAgent, accessType, proxy, proxyBypass);
  if (session) m_sessions[session] = Session{userAgent, nullptr};
  return session;
}

HttpHandle ProxyOptionIgnoredWorkaround::Connect(HttpHandle session, const std::wstring& host,
                                                 std::uint16_t port) {
  const auto found = m_sessions.find(session);
  const HttpHandle routed = found == m_sessions.end() ? nullptr : found->second.routed;
  HttpHandle connection = m_inner.Connect(routed ? routed : session, host, port);
  if (connection) m_connections[connection] = Connection{session, host, port, routed != nullptr, nullptr};
  return connection;
}

HttpHandle ProxyOptionIgnoredWorkaround::ConnectionForRequests(HttpHandle connection) {
  const auto found = m_connections.find(connection);
  if (found == m_connections.end() || found->second.throughProxy) return connection;
  Connection& made = found->second;
  const auto session = m_sessions.find(made.session);
  if (session == m_sessions.end() || !session->second.routed) return connection;
  if (!made.routed) made.routed = m_inner.Connect(session->second.routed, made.host, made.port);
  return made.routed;
}

HttpHandle ProxyOptionIgnoredWorkaround::OpenRequest(HttpHandle connection, const std::wstring& verb,
                                                     const std::wstring& path, std::uint32_t flags) {
  const HttpHandle through = ConnectionForRequests(connection);
  return through ? m_inner.OpenRequest(through, verb, path, flags) : nullptr;
}

bool ProxyOptionIgnoredWorkaround::SetProxy(HttpHandle handle, const HttpProxyInfo& proxy) {
  if (!m_inner.SetProxy(handle, proxy)) return false;
  const auto found = m_sessions.find(handle);
  if (found == m_sessions.end() || proxy.accessType != HttpConstants::AccessTypeNamedProxy ||
      ProxyTookEffect(handle, proxy)) {
    return true;
  }
  HttpHandle routed = m_inner.Open(found->second.userAgent, proxy.accessType, proxy.proxy, proxy.proxyBypass);
  if (!routed) return false;
  if (found->second.routed) m_inner.CloseHandle(found->second.routed);
  found->second.routed = routed;
  return true;
}

bool ProxyOptionIgnoredWorkaround::ProxyTookEffect(HttpHandle session, const HttpProxyInfo& proxy) {
  HttpProxyInfo current;
  return m_inner.QueryProxy(session, current) && current.accessType == proxy.accessType &&
         current.proxy == proxy.proxy;
}

void ProxyOptionIgnoredWorkaround::CloseHandle(HttpHandle handle) {
  const auto connection = m_connections.find(handle);
  if (connection != m_connections.end()) {
    if (connection->second.routed) m_inner.CloseHandle(connection->second.routed);
    m_connections.erase(connection);
  }
  const auto session = m_sessions.find(handle);
  if (session != m_sessions.end()) {
    if (session->second.routed) m_inner.CloseHandle(session->second.routed);
    m_sessions.erase(session);
  }
  m_inner.CloseHandle(handle);
}

// --- forwarded as they are -------------------------------------------------

bool ProxyOptionIgnoredWorkaround::SetTimeouts(HttpHandle request, int resolveMs, int connectMs, int sendMs,
                                               int receiveMs) {
  return m_inner.SetTimeouts(request, resolveMs, connectMs, sendMs, receiveMs);
}

bool ProxyOptionIgnoredWorkaround::GetProxyForUrl(HttpHandle session, const std::wstring& url,
                                                  const HttpAutoProxyOptions& options, HttpProxyInfo& result) {
  return m_inner.GetProxyForUrl(session, url, options, result);
}

bool ProxyOptionIgnoredWorkaround::QueryProxy(HttpHandle handle, HttpProxyInfo& proxy) {
  return m_inner.QueryProxy(handle, proxy);
}

bool ProxyOptionIgnoredWorkaround::AddRequestHeaders(HttpHandle request, const std::wstring& headers,
                                                     std::uint32_t flags) {
  return m_inner.AddRequestHeaders(request, headers, flags);
}

bool ProxyOptionIgnoredWorkaround::SendRequest(HttpHandle request) { return m_inner.SendRequest(request); }

bool ProxyOptionIgnoredWorkaround::ReceiveResponse(HttpHandle request) { return m_inner.ReceiveResponse(request); }

bool ProxyOptionIgnoredWorkaround::QueryContentLength(HttpHandle request, std::uint32_t& length) {
  return m_inner.QueryContentLength(request, length);
}

bool ProxyOptionIgnoredWorkaround::QueryDataAvailable(HttpHandle request, std::uint32_t& available) {
  return m_inner.QueryDataAvailable(request, available);
}

bool ProxyOptionIgnoredWorkaround::ReadData(HttpHandle request, void* buffer, std::uint32_t size,
                                            std::uint32_t& read) {
  return m_inner.ReadData(request, buffer, size, read);
}

std::uint32_t ProxyOptionIgnoredWorkaround::LastError() { return m_inner.LastError(); }

}  // namespace Platform
