#include "Installer/Engine/ProxyPlan.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

using InstallBackend::Route;
namespace Http = Platform::HttpConstants;

TEST(ProxyPlan, SettingsChooseTheSessionTheRoutesAndDiscovery) {
  struct Case {
    const char* name;
    std::optional<Platform::HttpProxySettings> settings;  // unset: they could not be read
    bool proxyOnly;
    std::uint32_t accessType;
    std::wstring proxy, bypass;
    std::vector<Route> routes;
    bool discovers;
    std::uint32_t flags, detectFlags;
  };
  const std::wstring script = L"http://127.0.0.1:8443/proxy.pac";
  const std::vector<Route> both = {Route::UserSettings, Route::DiscoveredProxy};
  const std::vector<Route> proxyOnly = {Route::DiscoveredProxy};
  const Case cases[] = {
      {"unreadable", std::nullopt, false, Http::AccessTypeDefaultProxy, L"", L"", both, true, 1, 3},
      {"unreadable, retry", std::nullopt, true, Http::AccessTypeDefaultProxy, L"", L"", proxyOnly, true, 1, 3},
      {"auto-detect", Platform::HttpProxySettings{true, L"", L"", L""}, false, Http::AccessTypeDefaultProxy, L"",
       L"", both, true, 1, 3},
      {"auto-detect and script", Platform::HttpProxySettings{true, script, L"", L""}, false,
       Http::AccessTypeDefaultProxy, L"", L"", both, true, 2, 0},
      {"script", Platform::HttpProxySettings{false, script, L"", L""}, false, Http::AccessTypeNoProxy, L"", L"",
       both, true, 2, 0},
      {"named", Platform::HttpProxySettings{false, L"", L"127.0.0.1:3128", L"*.local;<local>"}, false,
       Http::AccessTypeNamedProxy, L"127.0.0.1:3128", L"*.local;<local>", both, false, 0, 0},
      {"named and script, retry", Platform::HttpProxySettings{false, script, L"127.0.0.1:3128", L"<local>"}, true,
       Http::AccessTypeNamedProxy, L"127.0.0.1:3128", L"<local>", proxyOnly, true, 2, 0},
      {"auto-detect beats a named proxy", Platform::HttpProxySettings{true, L"", L"127.0.0.1:3128", L"<local>"},
       false, Http::AccessTypeDefaultProxy, L"", L"", both, true, 1, 3},
      {"nothing", Platform::HttpProxySettings{}, false, Http::AccessTypeNoProxy, L"", L"", both, false, 0, 0},
      {"nothing, retry", Platform::HttpProxySettings{}, true, Http::AccessTypeNoProxy, L"", L"", proxyOnly, false, 0,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const InstallBackend::ProxyPlan plan =
        InstallBackend::PlanProxies(c.settings ? &*c.settings : nullptr, c.proxyOnly);
    EXPECT_EQ(plan.accessType, c.accessType);
    EXPECT_EQ(plan.proxy, c.proxy);
    EXPECT_EQ(plan.bypass, c.bypass);
    EXPECT_EQ(plan.routes, c.routes);
    ASSERT_EQ(plan.discovery.has_value(), c.discovers);
    if (!c.discovers) continue;
    EXPECT_EQ(plan.discovery->flags, c.flags);
    EXPECT_EQ(plan.discovery->autoDetectFlags, c.detectFlags);
    EXPECT_EQ(plan.discovery->autoConfigUrl, c.settings ? c.settings->autoConfigUrl : L"");
    EXPECT_TRUE(plan.discovery->autoLogonIfChallenged);
  }
}

}  // namespace
