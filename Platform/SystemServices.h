#pragma once
// The operating system as the install engine and the drive discovery reach
// it, handed to them as objects.
#include "Platform/Files/FileSystem.h"
#include "Platform/Http/HttpClient.h"
#include "Platform/Signature/SignatureCheck.h"
#include "Platform/Wmi/WmiQuery.h"

namespace Platform {

// References to services that live as long as whoever holds this. Tests
// fill one with fakes.
struct SystemServices {
  IFileSystem& files;
  IHttpClient& http;
  IDriveInfoSource& drives;
  IMakerSignatureCheck& signatures;
};

// This process's real services, made once, on first use, in the one place
// that chooses them: Platform/Win32/TheSystem.cpp. (The native build's,
// Platform/Posix/TheSystem.cpp, has a real file system and none of the
// Windows-only services.) Only the program's composition root
// (Installer/main.cpp) calls this, and hands the services on as objects to
// the screens, the windowless run and the engine; the tests, benchmarks and
// probes are roots of their own. The HTTP client keeps state per open
// handle: one download at a time.
const SystemServices& TheSystem();

}  // namespace Platform
