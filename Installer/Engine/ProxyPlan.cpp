#include "Installer/Engine/ProxyPlan.h"

#include "Installer/Log/Log.h"

namespace InstallBackend {
namespace {

namespace Http = Platform::HttpConstants;

// A script named in the settings is asked; otherwise DHCP and DNS are.
Platform::HttpAutoProxyOptions DiscoveryOptions(const std::wstring& script) {
  Platform::HttpAutoProxyOptions options;
  options.autoConfigUrl = script;
  options.flags = script.empty() ? Http::AutoProxyAutoDetect : Http::AutoProxyConfigUrl;
  options.autoDetectFlags = script.empty() ? Http::AutoDetectTypeDhcpAndDnsA : 0;
  options.autoLogonIfChallenged = true;
  return options;
}

// Settings that ask for auto-detection leave the proxy to the system's
// default; otherwise the session goes direct or through the named proxy.
void ChooseSession(const Platform::HttpProxySettings& settings, ProxyPlan& plan) {
  if (settings.autoDetect) return;
  if (settings.proxy.empty()) {
    plan.accessType = Http::AccessTypeNoProxy;
    return;
  }
  plan.accessType = Http::AccessTypeNamedProxy;
  plan.proxy = settings.proxy;
  plan.bypass = settings.proxyBypass;
}

void LogSettings(const Platform::HttpProxySettings& settings) {
  const char* label = "InstallBackend::Download WinHttpGetIEProxyConfigForCurrentUser ieProxyConfig.";
  LOG_INFO << label << "fAutoDetect " << (settings.autoDetect ? 1 : 0);
  LOG_INFO << label << "lpszAutoConfigUrl " << LogText(settings.autoConfigUrl);
  LOG_INFO << label << "lpszProxy " << LogText(settings.proxy);
  LOG_INFO << label << "lpszProxyBypass " << LogText(settings.proxyBypass);
}

void LogDiscovery(const ProxyPlan& plan) {
  const bool scriptGiven = plan.discovery && !plan.discovery->autoConfigUrl.empty();
  LOG_INFO << "InstallBackend::Download " << (plan.discovery ? "AutoDetect " : "not AutoDetect ")
           << (scriptGiven ? "Proxy Url Specified" : "Proxy Url not Specified");
}

}  // namespace

ProxyPlan PlanProxies(const Platform::HttpProxySettings* settings, bool proxyOnly) {
  ProxyPlan plan;
  if (!proxyOnly) plan.routes.push_back(Route::UserSettings);
  plan.routes.push_back(Route::DiscoveredProxy);
  if (!settings) {
    plan.discovery = DiscoveryOptions(std::wstring());
    return plan;
  }
  if (settings->autoDetect || !settings->autoConfigUrl.empty()) {
    plan.discovery = DiscoveryOptions(settings->autoConfigUrl);
  }
  ChooseSession(*settings, plan);
  return plan;
}

ProxyPlan ReadProxyPlan(Platform::IHttpClient& http, bool proxyOnly) {
  Platform::HttpProxySettings settings;
  const bool read = http.GetIEProxyConfigForCurrentUser(settings);
  if (read) {
    LogSettings(settings);
  } else {
    LOG_ERROR << "InstallBackend::Download WinHttpGetIEProxyConfigForCurrentUser error: " << http.LastError();
  }
  ProxyPlan plan = PlanProxies(read ? &settings : nullptr, proxyOnly);
  LogDiscovery(plan);
  return plan;
}

}  // namespace InstallBackend
