#pragma once
// The third screen: runs the installation on a worker thread and shows how
// far it has got. The worker reaches the screen only through the listener
// operations, which post messages to the screen's window; every control is
// touched on the UI thread. In install mode the screen ends with a button
// that starts the installed application; in update mode (started by the
// application itself) it starts the updated application and closes by
// itself. However it is closed, the installation is cancelled and the
// worker given a short time to stop (kWorkerStopWait); DoModal then gives
// IDOK, or, when the worker is stuck in a call nothing can interrupt, the
// process ends at once with exit code 0.
#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "Common/Dialogs/SkinnedScreen.h"
#include "Installer/Engine/InstallListener.h"
#include "Installer/Engine/InstallSequence.h"
#include "Installer/ScreenLogic/DetailMeter.h"
#include "Installer/ScreenLogic/ProgressDetail.h"
#include "Installer/ScreenLogic/ProgressReports.h"
#include "Platform/Ui/GdiObjects.h"
#include "Platform/Ui/ProgressBar.h"
#include "Platform/Ui/TaskbarProgress.h"
#include "Platform/UserLanguage.h"
#include "Platform/Win32/UniqueHandle.h"

// The installed application's main window, which is told of an update.
extern const wchar_t kAppWindowTitle[];
constexpr UINT kAppUpdateWindowMessage = WM_APP + 2;
constexpr UINT kAppUpdateThreadMessage = WM_APP + 7;
// What the screen posts to itself from the worker.
constexpr UINT kStatusMessage = WM_USER + 1;
constexpr UINT kProgressMessage = WM_USER + 2;
// What the thread that tells the running application posts back: wParam
// is how its window answered (Platform::WindowAnswer).
constexpr UINT kAppToldMessage = WM_USER + 3;
// The worker has a new detail for the line under the bar.
constexpr UINT kDetailMessage = WM_USER + 4;

class InstallDialog : public NCommon::SkinnedScreen, public IInstallListener {
 public:
  // parts: the install's services, which outlive the screen; the screen
  // also describes the drive and starts the installed application with them.
  InstallDialog(const InstallBackend::InstallParts& parts, wchar_t driveLetter, const std::wstring& workRoot);
  // The worker has been joined by the close path by now; joining here too
  // keeps a screen that never ran its close path from ending the process.
  ~InstallDialog() override;

  // Switches to update mode before the screen runs: the drive is the first
  // character of drivePath, exePath is started with "/NotifyUpdate" after
  // a successful update.
  void SetAppUpdateMode(const std::wstring& drivePath, const std::wstring& exePath);

  // IInstallListener, called on the worker thread; each returns at once.
  void OnStatus(int status) override;
  void OnProgress(float fraction) override;
  int GetErrorCode() override;
  void SetErrorCode(int code) override;
  void OnNetworkWait(NetworkWait what, int seconds) override;
  void OnDownloadBytes(std::uint64_t received, std::int64_t total) override;
  void OnFiles(int done, int total) override;

 protected:
  void DoDataExchange() override;
  BOOL OnInitDialog() override;
  // The close path: cancel, wait a bounded time for the worker, end with IDOK.
  void OnOK() override;
  void OnCancel() override { OnOK(); }
  LRESULT OnCloseMessage(WPARAM, LPARAM);
  void OnRun();
  LRESULT OnStatusMessage(WPARAM status, LPARAM);
  LRESULT OnProgressMessage(WPARAM, LPARAM progress);
  LRESULT OnAppToldMessage(WPARAM answer, LPARAM);
  LRESULT OnDetailMessage(WPARAM, LPARAM);
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind);
  // A handler threw: logged, and the install ends as failed on the screen.
  void OnUnhandledException() noexcept override;

  DECLARE_MESSAGE_MAP()

 private:
  void CreateScreenFonts();
  // The status font, smaller when a long text would not fit the label.
  void FitStatusFont();
  // A worker that cannot be made fails the install on the screen.
  void StartWorker();
  void WorkerMain();
  // Stops the install and shows it failed; later news from the worker is
  // not shown.
  void EndAsFailure();
  void ShowStatus(const std::wstring& text);
  // Worker side: hands a detail of the current phase to the screen.
  void OfferDetail(const std::optional<ProgressDetail>& detail);
  // The line under the bar; an empty text clears it.
  void ShowDetail(const std::wstring& text);
  void ShowBarPosition(int position);
  void ShowFailure();
  void ShowCompleted();
  // Tells a running copy of the application, from a thread of its own so
  // that a hung application holds neither this screen nor the worker.
  void NotifyRunningApp();
  void LaunchInstalledApp(bool notify);
  void JoinWorker();
  // False when the worker did not end within kWorkerStopWait.
  bool WaitForWorker();

  const InstallBackend::InstallParts& m_parts;
  std::atomic<int> m_errorCode{0};
  int m_lastStatus = Downloading;
  bool m_updateMode = false;
  std::wstring m_exePathToUpdate;
  wchar_t m_driveLetter;
  std::wstring m_workRoot;
  Platform::Font m_statusFont;
  Platform::Font m_runFont;
  Platform::Font m_completeFont;
  NCommon::AnimatedBitmapButton m_runButton;
  Platform::ProgressBar m_progress;
  std::thread m_worker;
  Platform::UniqueHandle m_workerEnded{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  CancelFlag m_cancel;
  ProgressReports m_reports;  // the worker's own
  DetailMeter m_meter;        // the worker's own
  int m_workerPhase = Downloading;  // the worker's own
  // The newest detail and the phase it belongs to, from the worker to the
  // screen: a detail read after the next phase began is not shown.
  std::mutex m_detailLock;
  ProgressDetail m_latestDetail;
  int m_latestDetailPhase = -1;
  DetailMessages m_detailMessages;
  Platform::NumberSymbols m_numberSymbols;
  std::wstring m_detailShown;
  Platform::Font m_detailFont;
  std::unique_ptr<Platform::TaskbarProgress> m_taskbar;
  bool m_done = false;
  bool m_failedHere = false;
};
