// The download as the install sequence calls it: the system's WinHTTP and the
// download server compiled into the program.
#include "BuildConfig.h"
#include "Installer/Engine/Download.h"
#include "Platform/Http/ProxyOptionIgnoredWorkaround.h"
#include "Platform/Win32/WinHttpClient.h"

namespace InstallBackend {

std::wstring Download(const std::wstring& workFolder, IInstallListener* listener,
                      const CancelFlag* cancel, bool proxyOnly) {
  Platform::WinHttpClient winHttp;
  Platform::ProxyOptionIgnoredWorkaround http(winHttp);
  const DownloadEndpoint endpoint{KORVANE_DOWNLOAD_HOST_W,
                                  static_cast<std::uint16_t>(KORVANE_DOWNLOAD_PORT_NUMBER)};
  return Download(http, endpoint, workFolder, listener, cancel, proxyOnly);
}

}  // namespace InstallBackend
