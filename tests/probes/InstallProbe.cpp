// Runs the whole install engine on the system's services, with the
// extraction that follows the download or with the one that waits for the
// last byte: the benchmark compares the two on the same rig.
//   KorvaneInstallProbe.exe <target such as E:\> <working folder ending in \> [--sequential]
// Writes the log as the installer does. Exit code: 0 when the install went
// through, 1 when it failed.
#include <cstdio>
#include <string>

#include "Installer/Engine/InstallSequence.h"
#include "Installer/Engine/StreamedExtraction.h"
#include "Installer/Log/DiagnosticLog.h"
#include "Installer/Log/Log.h"
#include "Platform/SystemServices.h"
#include "Platform/Win32/ProcessSetup.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fputs("usage: KorvaneInstallProbe <target> <working folder\\> [--sequential]\n", stderr);
    return 2;
  }
  const bool sequential = argc > 3 && std::wstring(argv[3]) == L"--sequential";
  // The drive check asks WMI, with COM set up as the installer's start-up does.
  if (Platform::InitializeComMultithreaded() < 0 || Platform::InitializeComSecurity() < 0) return 2;
  ConfigureLogging();
  LOG_INFO << "Install probe started" << (sequential ? " (sequential)" : "");
  const Platform::SystemServices& system = Platform::TheSystem();
  InstallBackend::PackageDownload download(system.http, system.files, InstallBackend::CompiledInServer());
  InstallBackend::PackageExtraction ordinary(system.files);
  InstallBackend::StreamedExtraction streamed(system.files);
  InstallBackend::IPackageExtraction& extraction = sequential ? static_cast<InstallBackend::IPackageExtraction&>(ordinary)
                                                              : streamed;
  CancelFlag cancel;
  const bool installed = InstallBackend::Install({system.files, system.drives, system.signatures, download, extraction},
                                                 argv[1], argv[2], nullptr, cancel);
  return installed ? 0 : 1;
}
