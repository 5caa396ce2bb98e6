// Runs the real download (system WinHTTP, compiled-in server) once, on its
// own: the end-to-end tests reach faults of the download that the whole
// install would hide behind its retry, and the benchmark times the download
// alone.
//   KorvaneDownloadProbe.exe <download folder ending in \> [--proxy-only]
//                            [--cancel-after-reports N]
// Writes the log as the installer does and prints to stdout:
//   statuses <n>  reports <n>  max-fraction <f>
//   returned <path>   or   raised <message>
// Exit code: 0 when the download returned, 3 when it raised.
#include <cstdio>
#include <cwchar>
#include <string>

#include "Installer/Engine/Download.h"
#include "Installer/Engine/InstallException.h"
#include "Installer/Log/DiagnosticLog.h"
#include "Installer/Log/Log.h"
#include "Platform/SystemServices.h"
#include "Platform/Text/TextConversion.h"

namespace {

class ProbeListener final : public IInstallListener {
 public:
  ProbeListener(CancelFlag& cancel, int cancelAfter) : m_cancel(cancel), m_cancelAfter(cancelAfter) {}
  void OnStatus(int) override { ++statuses; }
  void OnProgress(float fraction) override {
    ++reports;
    if (fraction > maxFraction) maxFraction = fraction;
    if (m_cancelAfter > 0 && reports >= m_cancelAfter) m_cancel.Set();
  }
  int GetErrorCode() override { return 0; }
  void SetErrorCode(int) override {}

  int statuses = 0;
  int reports = 0;
  float maxFraction = 0.0f;

 private:
  CancelFlag& m_cancel;
  int m_cancelAfter;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: KorvaneDownloadProbe <folder\\> [--proxy-only] [--cancel-after-reports N]\n", stderr);
    return 2;
  }
  bool proxyOnly = false;
  int cancelAfter = 0;
  for (int i = 2; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--proxy-only") proxyOnly = true;
    if (arg == L"--cancel-after-reports" && i + 1 < argc) cancelAfter = std::wcstol(argv[++i], nullptr, 10);
  }
  ConfigureLogging();
  LOG_INFO << "Download probe started";
  CancelFlag cancel;
  ProbeListener listener(cancel, cancelAfter);
  int exitCode = 0;
  std::string outcome;
  try {
    const Platform::SystemServices& system = Platform::TheSystem();
    InstallBackend::PackageDownload download(system.http, system.files, InstallBackend::CompiledInServer());
    outcome = "returned " + Platform::Utf16ToUtf8(download.Download(argv[1], &listener, cancel, proxyOnly, nullptr));
  } catch (const InstallBackend::InstallException& e) {
    outcome = "raised " + Platform::Utf16ToUtf8(e.Message());
    exitCode = 3;
  }
  std::printf("statuses %d\nreports %d\nmax-fraction %.4f\n%s\n", listener.statuses, listener.reports,
              listener.maxFraction, outcome.c_str());
  return exitCode;
}
