// Starts an installed application the way the installer's screens do
// (Run Korvane, and the restart with "/NotifyUpdate" after an update), with
// the installer's own StartInstalledApplication, for the end-to-end tests:
//   StartApplicationProbe.exe <path of Korvane.exe> [parameters]
// Writes the log as the installer does. Exit code: 0 when the file was
// genuine and handed to the shell, 1 when it was refused.
#include <string>

#include "Installer/App/StartInstalledApplication.h"
#include "Installer/Log/DiagnosticLog.h"
#include "Platform/SystemServices.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2 || argc > 3) return 2;
  ConfigureLogging();
  const bool started =
      StartInstalledApplication(Platform::TheSystem().signatures, argv[1], argc == 3 ? argv[2] : std::wstring());
  return started ? 0 : 1;
}
