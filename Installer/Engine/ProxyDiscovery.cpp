#include "Installer/Engine/ProxyDiscovery.h"

#include "Installer/Log/Log.h"

namespace InstallBackend {

bool ProxyDiscovery::ApplyTo(Platform::HttpHandle session) {
  if (!m_options) return false;
  if (!m_searched) Search(session);
  if (!m_succeeded) {
    LOG_ERROR << "InstallBackend::Download WinHttpGetProxyForUrl LastError " << m_error;
    return false;
  }
  LogFound();
  return m_http.SetProxy(session, m_found);
}

void ProxyDiscovery::Search(Platform::HttpHandle session) {
  LOG_INFO << "InstallBackend::Download auto detecting proxy for " << LogText(m_url) << "...";
  m_succeeded = m_http.GetProxyForUrl(session, m_url, *m_options, m_found);
  m_error = m_succeeded ? 0 : m_http.LastError();
  LOG_INFO << "InstallBackend::Download auto detecting proxy result: " << (m_succeeded ? 1 : 0);
  m_searched = true;
}

void ProxyDiscovery::LogFound() const {
  const char* label = "InstallBackend::Download WinHttpGetProxyForUrl autoProxyInfo.";
  LOG_INFO << label << "dwAccessType " << m_found.accessType;
  LOG_INFO << label << "lpszProxy " << LogText(m_found.proxy);
  LOG_INFO << label << "lpszProxyBypass " << LogText(m_found.proxyBypass);
}

}  // namespace InstallBackend
