// The installer's application object: sets up the log, COM and the common
// controls, reads the command line and carries out one of four run modes.
#include <cstdint>

#include "Common/Drives/DriveLetter.h"
#include "Installer/App/ArgumentValue.h"
#include "Installer/App/StartInstalledApplication.h"
#include "Installer/Engine/Download.h"
#include "Installer/Engine/InstallSequence.h"
#include "Installer/Engine/Recovery.h"
#include "Installer/Engine/StreamedExtraction.h"
#include "Installer/Engine/VolumeLockWait.h"
#include "Installer/Localization/LocalizedStrings.h"
#include "Installer/Log/DiagnosticLog.h"
#include "Installer/Log/Log.h"
#include "Installer/Log/ProgressLog.h"
#include "Installer/Screens/DestinationDialog.h"
#include "Installer/Screens/EULADialog.h"
#include "Installer/Screens/InstallDialog.h"
#include "Installer/Startup/StartupArguments.h"
#include "Platform/SystemServices.h"
#include "Platform/Ui/UnhandledException.h"
#include "Platform/Win32/Application.h"
#include "Platform/Win32/CommandLine.h"
#include "Platform/Win32/ProcessSetup.h"

namespace {

void LogUnhandledException(const char* where, const char* what) {
  LOG_ERROR << "Unhandled exception in the " << where << ": " << what;
}

class CInstallerApp : public Platform::Application {
 public:
  int InitInstance() override;
  int ExitInstance() override { return m_exitCode; }

 private:
  // Makes the services, then runs the mode the command line asks for.
  void Run(const std::wstring& commandLine);
  // True when the run ends here: the drive's genuine Korvane.exe was opened,
  // or another installation works on the drive.
  bool OpenInstalled(const Platform::SystemServices& system, wchar_t driveLetter);
  // Each mode sets m_exitCode as its outcome demands.
  void RunWindowlessInstall(const InstallBackend::InstallParts& parts, const std::wstring& installPath);
  void RunUpdateMode(const InstallBackend::InstallParts& parts);
  void RunWizard(const InstallBackend::InstallParts& parts, wchar_t driveLetter);

  std::int32_t m_exitCode = 1;
};

int CInstallerApp::InitInstance() {
  ConfigureLogging();
  LOG_INFO << "Log created";
  Platform::SetExceptionReporter(&LogUnhandledException);

  long hr = Platform::InitializeComMultithreaded();
  if (hr < 0) return hr;
  hr = Platform::InitializeComSecurity();
  if (hr < 0) return hr;
  Platform::RegisterCommonControls();
  Platform::Application::InitInstance();

  Platform::EnableControlContainer();
  Platform::InitRichEdit();
  Run(Platform::GetRawCommandLine());
  return false;
}

// The program's composition root: the system's services are fetched here
// and nowhere below; every mode, screen and the engine are handed them.
void CInstallerApp::Run(const std::wstring& commandLine) {
  const StartupValues values = ParseStartupArguments(Platform::SplitCommandLine(commandLine));
  const Platform::SystemServices& system = Platform::TheSystem();
  InstallBackend::PackageDownload download(system.http, system.files, InstallBackend::CompiledInServer());
  // The extraction follows each download into the staging folder.
  InstallBackend::StreamedExtraction extraction(system.files);
  const InstallBackend::InstallParts parts{system.files, system.drives, system.signatures, download, extraction};

  if (values.driveGiven && OpenInstalled(system, values.driveLetter)) return;

  theLocalizedStrings.BuildStringIdTables();
  if (!values.installPath.empty()) {
    RunWindowlessInstall(parts, values.installPath);
  } else if (RequestsAppUpdate(commandLine)) {
    RunUpdateMode(parts);
  } else {
    RunWizard(parts, values.driveLetter);
  }
}

// A Korvane.exe on the drive that is not the maker's is never run: the run
// goes on as if the drive had none, and the wizard replaces it. An update
// interrupted there is finished or undone first, so that what is opened is
// one whole version; while another installation works on the drive, nothing
// is recovered or opened.
bool CInstallerApp::OpenInstalled(const Platform::SystemServices& system, wchar_t driveLetter) {
  const std::wstring root = DriveLetter(driveLetter).Root();
  const CancelFlag neverCancelled;
  const std::unique_ptr<Platform::VolumeLock> lock = InstallBackend::WaitForVolume(system.files, root, neverCancelled);
  if (!lock) {
    LOG_ERROR << LogText(root) << " another installation is under way on this drive; nothing is opened";
    return true;
  }
  InstallBackend::RecoverInterruptedInstall(system.files, root);
  const std::wstring installed = InstalledExecutablePath(driveLetter);
  return system.files.PathExists(installed) && StartInstalledApplication(system.signatures, installed, std::wstring());
}

void CInstallerApp::RunWindowlessInstall(const InstallBackend::InstallParts& parts, const std::wstring& installPath) {
  if (!IsAbsoluteTarget(installPath)) {
    LOG_ERROR << "InstallBackend::Install " << LogText(installPath)
              << " is not a full path (a drive letter, a colon and a backslash): nothing is installed";
    return;
  }
  const CancelFlag neverCancelled;
  ProgressLog progress;
  const bool installed = InstallBackend::Install(parts, installPath, GetWorkingFolder(), &progress, neverCancelled);
  m_exitCode = installed ? 0 : 1;
}

void CInstallerApp::RunUpdateMode(const InstallBackend::InstallParts& parts) {
  const std::wstring drivePath = GetArgumentValue(L"--drivePath");
  const std::wstring exePath = GetArgumentValue(L"--exePath");
  const wchar_t driveLetter = drivePath.empty() ? 0 : drivePath[0];
  InstallDialog progress(parts, driveLetter, GetWorkingFolder());
  progress.SetAppUpdateMode(drivePath, exePath);
  if (progress.DoModal() == IDOK) m_exitCode = 0;
}

void CInstallerApp::RunWizard(const InstallBackend::InstallParts& parts, wchar_t driveLetter) {
  {
    EULADialog licence;
    if (licence.DoModal() != IDOK) return;
  }
  if (driveLetter == 0) {
    DestinationDialog destination(parts.drives, &driveLetter);
    // Whatever ended the drive screen, the progress screen needs a drive.
    if (destination.DoModal() != IDOK || driveLetter == 0) return;
  }
  InstallDialog progress(parts, driveLetter, GetWorkingFolder());
  if (progress.DoModal() == IDOK) m_exitCode = 0;
}

CInstallerApp theApp;

}  // namespace
