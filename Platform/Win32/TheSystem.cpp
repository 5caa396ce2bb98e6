// The one place where the real Windows services are made and put together.
// The program's composition root (Installer/main.cpp) fetches them once and
// hands them on; nothing below it calls TheSystem().
#include "Platform/Http/ProxyOptionIgnoredWorkaround.h"
#include "Platform/SystemServices.h"
#include "Platform/Win32/AuthenticodeCheck.h"
#include "Platform/Files/NativeFileSystem.h"
#include "Platform/Win32/WinHttpClient.h"
#include "Platform/Win32/WmiDriveInfoSource.h"

namespace Platform {

const SystemServices& TheSystem() {
  static NativeFileSystem files;
  static WinHttpClient winHttp;
  // Harmless where WinHTTP honours a session's proxy option; needed under
  // Wine, which ignores it.
  static ProxyOptionIgnoredWorkaround http(winHttp);
  static WmiDriveInfoSource drives;
  static AuthenticodeMakerCheck signatures;
  static const SystemServices services{files, http, drives, signatures};
  return services;
}

}  // namespace Platform
