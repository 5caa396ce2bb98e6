#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "Platform/Http/HttpClient.h"

namespace InstallBackend {

// Finds the proxy for the package's URL and applies it to sessions. The
// search runs once per download call; its result is applied in every cycle
// that goes by the proxy, to the session the cycle sends on.
class ProxyDiscovery {
 public:
  // options unset: the settings allow no discovery, and it finds nothing.
  ProxyDiscovery(Platform::IHttpClient& http, std::wstring url, std::optional<Platform::HttpAutoProxyOptions> options)
      : m_http(http), m_url(std::move(url)), m_options(std::move(options)) {}

  // False when no proxy was found or it cannot be set on session.
  bool ApplyTo(Platform::HttpHandle session);
  // True when the search gave an answer that is to be let go of.
  bool Holds() const { return !m_found.proxy.empty() || !m_found.proxyBypass.empty(); }

 private:
  void Search(Platform::HttpHandle session);
  void LogFound() const;

  Platform::IHttpClient& m_http;
  const std::wstring m_url;
  const std::optional<Platform::HttpAutoProxyOptions> m_options;
  bool m_searched = false;
  bool m_succeeded = false;
  std::uint32_t m_error = 0;
  Platform::HttpProxyInfo m_found;
};

}  // namespace InstallBackend
