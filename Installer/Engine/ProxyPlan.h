#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Http/HttpClient.h"

namespace InstallBackend {

// A way of sending one request of the download.
enum class Route {
  // The session as the user's settings open it: direct, or through the
  // proxy they name.
  UserSettings,
  // The same session through the proxy that discovery finds; it finds none
  // when the settings allow no discovery.
  DiscoveredProxy,
};

// How the download reaches its server, chosen once per download call from
// the user's proxy settings.
struct ProxyPlan {
  // Every cycle's session is opened with these.
  std::uint32_t accessType = Platform::HttpConstants::AccessTypeDefaultProxy;
  std::wstring proxy;
  std::wstring bypass;
  // Tried in this order in every cycle until one gets an answer.
  std::vector<Route> routes;
  // What discovery is asked; unset when the settings allow none.
  std::optional<Platform::HttpAutoProxyOptions> discovery;
};

// settings is null when they could not be read: a machine whose settings
// are unknown may still have a proxy to find. proxyOnly (the install's
// retries) leaves out the route of the user's settings.
ProxyPlan PlanProxies(const Platform::HttpProxySettings* settings, bool proxyOnly);

// Reads the user's settings through http, logs them and plans.
ProxyPlan ReadProxyPlan(Platform::IHttpClient& http, bool proxyOnly);

}  // namespace InstallBackend
