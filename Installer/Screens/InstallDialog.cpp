#include "Installer/Screens/InstallDialog.h"

#include "Common/Drives/DriveLetter.h"
#include "Common/Drives/UsbDrives.h"
#include "Installer/App/StartInstalledApplication.h"
#include "Installer/Engine/InstallSequence.h"
#include "Installer/Engine/InstalledApplication.h"
#include "Installer/Engine/WaitBounds.h"
#include "Installer/Localization/LocalizedStrings.h"
#include "Installer/Log/Log.h"
#include "Installer/ScreenLogic/MessageFormat.h"
#include "Installer/ScreenLogic/ProgressPosition.h"
#include "Installer/ScreenLogic/ProgressReports.h"
#include "Platform/Win32/ComApartment.h"
#include "Platform/Ui/UnhandledException.h"
#include "Platform/Win32/ProcessSetup.h"
#include "Platform/Win32/RunningPrograms.h"
#include "resources/ScreenIds.h"
#include "resources/strings/MessageIds.h"

const wchar_t kAppWindowTitle[] = L"{637693CC-9D1F-49D5-B4D4-7A5F659E0BC5}";

namespace {

const wchar_t kNotifyUpdateParameter[] = L"/NotifyUpdate";
// A final status the screen's queue refused is offered again this often, a
// few milliseconds apart, before the worker gives up.
constexpr int kFinalStatusTries = 2000;
constexpr DWORD kFinalStatusPauseMs = 5;

constexpr COLORREF kCompleteTextColour = RGB(63, 162, 36);

constexpr double kTargetCaptionOffsetX = 28;
constexpr double kTargetCaptionOffsetY = 2;
constexpr double kRunCaptionOffsetX = 24;
constexpr double kStatusFontHeight = 17;
constexpr double kRunFontHeight = 12;
constexpr double kCompleteFontHeight = 16;
constexpr double kDetailFontHeight = 12;
// The detail line's place is narrow: each part of it gets a line.
const wchar_t kDetailSeparator[] = L"\n";

std::wstring Text(int baseId) { return theLocalizedStrings.GetLocalizedString(baseId); }

}  // namespace

BEGIN_MESSAGE_MAP(InstallDialog, NCommon::SkinnedScreen)
  ON_WM_CTLCOLOR()
  ON_MESSAGE(WM_CLOSE, OnCloseMessage)
  ON_COMMAND(IDC_CLOSE_BUTTON, OnOK)
  ON_COMMAND(IDC_RUN_BUTTON, OnRun)
  ON_COMMAND(IDC_MAKER_LINK, OnMakerLink)
  ON_MESSAGE(kStatusMessage, OnStatusMessage)
  ON_MESSAGE(kProgressMessage, OnProgressMessage)
  ON_MESSAGE(kAppToldMessage, OnAppToldMessage)
  ON_MESSAGE(kDetailMessage, OnDetailMessage)
END_MESSAGE_MAP()

InstallDialog::InstallDialog(const InstallBackend::InstallParts& parts, wchar_t driveLetter,
                             const std::wstring& workRoot)
    : SkinnedScreen(IDB_SMALL_BACKGROUND, IDD_PROGRESS_SCREEN),
      m_parts(parts),
      m_driveLetter(driveLetter),
      m_workRoot(workRoot) {}

InstallDialog::~InstallDialog() {
  m_cancel.Set();
  JoinWorker();
}

void InstallDialog::SetAppUpdateMode(const std::wstring& drivePath, const std::wstring& exePath) {
  m_updateMode = true;
  m_driveLetter = drivePath.empty() ? 0 : drivePath[0];
  LOG_ERROR << "SetAppUpdateMode m_driveLetter: " << LogCodeUnit(m_driveLetter);
  m_exePathToUpdate = exePath;
  LOG_ERROR << "SetAppUpdateMode m_exePathToUpdate: " << LogText(exePath);
}

void InstallDialog::OnStatus(int status) {
  m_reports.StartPhase(status);
  m_meter.Restart();
  m_workerPhase = status;
  const auto post = [this, status] {
    return ::PostMessageW(Handle(), kStatusMessage, static_cast<WPARAM>(status), 1) != FALSE;
  };
  if (status != Completed && status != Failed) {
    post();
    return;
  }
  // Without its final status the screen would wait for ever.
  if (!DeliverFinal(post, [] { ::Sleep(kFinalStatusPauseMs); }, m_cancel, kFinalStatusTries)) {
    LOG_ERROR << "InstallDialog could not post the final status " << status << " Last error: " << ::GetLastError();
  }
}

void InstallDialog::OnProgress(float fraction) {
  const long param = ProgressMessageParam(fraction);
  if (!m_reports.Moves(param)) return;
  ::PostMessageW(Handle(), kProgressMessage, 0, static_cast<LPARAM>(param));
}

void InstallDialog::OnNetworkWait(NetworkWait what, int seconds) {
  OfferDetail(m_meter.Wait(std::chrono::steady_clock::now(), what, seconds));
}

void InstallDialog::OnDownloadBytes(std::uint64_t received, std::int64_t total) {
  OfferDetail(m_meter.Bytes(std::chrono::steady_clock::now(), received, total));
}

void InstallDialog::OnFiles(int done, int total) {
  OfferDetail(m_meter.Files(std::chrono::steady_clock::now(), done, total));
}

void InstallDialog::OfferDetail(const std::optional<ProgressDetail>& detail) {
  if (!detail) return;
  {
    const std::lock_guard<std::mutex> hold(m_detailLock);
    m_latestDetail = *detail;
    m_latestDetailPhase = m_workerPhase;
  }
  ::PostMessageW(Handle(), kDetailMessage, 0, 0);
}

int InstallDialog::GetErrorCode() { return m_errorCode.load(); }

void InstallDialog::SetErrorCode(int code) { m_errorCode.store(code); }

void InstallDialog::DoDataExchange() {
  SkinnedScreen::DoDataExchange();
  BindControl(IDC_RUN_BUTTON, m_runButton);
  BindControl(IDC_PROGRESS, m_progress);
}

BOOL InstallDialog::OnInitDialog() {
  InitializeSkeleton({&m_runButton});
  m_runButton.SetCaption(FormatMessageText(Text(IDS_INSTALL_TO),
                                           {MessageArgument::Text(DescribeDrive(m_parts.drives, m_driveLetter)),
                                            MessageArgument::CodeUnit(m_driveLetter)}));
  m_runButton.m_multiLine = true;
  m_runButton.m_captionOffsetX = Scaled(kTargetCaptionOffsetX);
  m_runButton.m_captionOffsetY = Scaled(kTargetCaptionOffsetY);
  m_runButton.LoadBitmaps(IDB_INSTALL_DISABLED_TILE);
  m_runButton.SizeToContent();
  m_runButton.m_captionClearLeft = Scaled(NCommon::kIconTileWidth);
  m_progress.SetRange(0, 100);
  ::SetDlgItemTextW(Handle(), IDC_STATUS_TEXT, Text(IDS_PICK_DRIVE).c_str());
  ::SetDlgItemTextW(Handle(), IDC_COMPLETION_TEXT, Text(IDS_COMPLETE).c_str());
  ::ShowWindow(GetDlgItem(IDC_COMPLETION_TEXT), SW_HIDE);
  SetTitleAndOutline();
  if (m_updateMode) m_runButton.ShowWindow(SW_HIDE);
  CreateScreenFonts();
  m_detailMessages = DetailMessages::Load(Text);
  m_numberSymbols = Platform::GetUserNumberSymbols();
  m_taskbar = std::make_unique<Platform::TaskbarProgress>(Handle());
  ::SetFocus(m_updateMode ? m_closeButton.Handle() : m_runButton.Handle());
  StartWorker();
  return FALSE;
}

void InstallDialog::StartWorker() {
  try {
    m_worker = std::thread(&InstallDialog::WorkerMain, this);
  } catch (const std::exception& error) {
    LOG_ERROR << "InstallDialog could not start the installation: " << error.what();
    EndAsFailure();
  }
}

void InstallDialog::EndAsFailure() {
  m_failedHere = true;
  m_cancel.Set();
  ShowFailure();
}

// Read on the screen's thread: the detail's texts come from the string
// table, which only this thread reads.
LRESULT InstallDialog::OnDetailMessage(WPARAM, LPARAM) {
  if (m_failedHere) return 0;
  ProgressDetail detail;
  int phase = -1;
  {
    const std::lock_guard<std::mutex> hold(m_detailLock);
    detail = m_latestDetail;
    phase = m_latestDetailPhase;
  }
  // After a failure or the end the line says nothing new.
  if (phase != m_lastStatus || (m_lastStatus != Downloading && m_lastStatus != Extracting)) return 0;
  ShowDetail(DetailText(detail, m_detailMessages, m_numberSymbols, kDetailSeparator));
  return 0;
}

// The label is transparent: what is behind it is painted again first, or
// the old text would show through the new.
void InstallDialog::ShowDetail(const std::wstring& text) {
  if (text == m_detailShown) return;
  m_detailShown = text;
  const HWND label = GetDlgItem(IDC_PROGRESS_DETAIL);
  ::SetWindowTextW(label, text.c_str());
  FitLabelFont(m_detailFont, IDC_PROGRESS_DETAIL, L"Microsoft Sans Serif", Scaled(kDetailFontHeight));
  RECT place = {};
  ::GetWindowRect(label, &place);
  ::MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&place), 2);
  ::RedrawWindow(Handle(), &place, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void InstallDialog::ShowBarPosition(int position) {
  m_progress.SetPos(position);
  if (m_taskbar) m_taskbar->Show(position, 100);
}

void InstallDialog::OnUnhandledException() noexcept {
  Platform::ReportCurrentException("progress screen");
  try {
    EndAsFailure();
  } catch (...) {
    // The screen cannot even show the failure: end it rather than leave a
    // screen in a state nobody knows.
    m_cancel.Set();
    EndDialog(IDOK);
  }
}

void InstallDialog::CreateScreenFonts() {
  FitStatusFont();
  CreateDerivedFont(m_runFont, L"Arial", Scaled(kRunFontHeight), FW_BOLD);
  m_runButton.m_captionFont = m_runFont.Get();
  FitLabelFont(m_completeFont, IDC_COMPLETION_TEXT, L"Arial", Scaled(kCompleteFontHeight), FW_BOLD);
  FitLabelFont(m_detailFont, IDC_PROGRESS_DETAIL, L"Microsoft Sans Serif", Scaled(kDetailFontHeight));
}

void InstallDialog::FitStatusFont() {
  FitLabelFont(m_statusFont, IDC_STATUS_TEXT, L"Microsoft Sans Serif", Scaled(kStatusFontHeight));
}

void InstallDialog::WorkerMain() {
  const std::wstring drive = DriveLetter(m_driveLetter).Name();
  try {
    // The drive check asks WMI, which needs the thread in COM's apartment.
    Platform::ComApartment apartment;
    InstallBackend::Install(m_parts, drive, m_workRoot, this, m_cancel);
  } catch (...) {
    // An exception leaving a thread's function ends the process without a
    // word; here it ends the install as failed, on the screen and in the log.
    Platform::ReportCurrentException("installation worker");
    OnStatus(Failed);
  }
  ::SetEvent(m_workerEnded.Get());
}

void InstallDialog::JoinWorker() {
  if (m_worker.joinable()) m_worker.join();
}

bool InstallDialog::WaitForWorker() {
  if (!m_worker.joinable()) return true;
  const auto bound = static_cast<DWORD>(InstallBackend::kWorkerStopWait.count());
  return ::WaitForSingleObject(m_workerEnded.Get(), bound) == WAIT_OBJECT_0;
}

void InstallDialog::OnOK() {
  m_cancel.Set();
  // The engine stops at its next check, and a download's waits end within
  // a fraction of a second of the cancel. A drive query or proxy discovery
  // cannot be interrupted: the installer then ends without the worker, as
  // the user asked; a partial download or extraction left behind is
  // replaced by the next run.
  if (!WaitForWorker()) {
    LOG_INFO << "InstallDialog the installation did not stop within " << InstallBackend::kWorkerStopWait.count()
             << " ms of the close; the installer ends without it";
    Platform::EndProcessNow(0);
  }
  JoinWorker();
  EndDialog(IDOK);
}

LRESULT InstallDialog::OnCloseMessage(WPARAM, LPARAM) {
  OnOK();
  return 0;
}

void InstallDialog::OnRun() {
  if (!m_done) return;
  LaunchInstalledApp(false);
  OnOK();
}

void InstallDialog::ShowStatus(const std::wstring& text) {
  ::SetDlgItemTextW(Handle(), IDC_STATUS_TEXT, text.c_str());
  FitStatusFont();
  RedrawNow();
  ::RedrawWindow(GetDlgItem(IDC_STATUS_TEXT), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

LRESULT InstallDialog::OnStatusMessage(WPARAM status, LPARAM) {
  // Once the screen ended the install itself, the worker has nothing more to say.
  if (m_failedHere) return 0;
  m_lastStatus = static_cast<int>(status);
  switch (m_lastStatus) {
    case Downloading:
      if (GetErrorCode() != static_cast<int>(InstallError::None)) break;
      if (m_updateMode) m_runButton.ShowWindow(SW_HIDE);
      // Bar first, then the text that names the phase: whoever reads the
      // text finds the rest of the state already there.
      ShowBarPosition(0);
      ShowDetail(std::wstring());
      ShowStatus(Text(IDS_DOWNLOADING));
      NotifyRunningApp();
      break;
    case Extracting:
      if (GetErrorCode() != static_cast<int>(InstallError::None)) break;
      ShowBarPosition(50);
      ShowDetail(std::wstring());
      ShowStatus(Text(m_updateMode ? IDS_UPDATING : IDS_INSTALLING));
      break;
    case Completed:
      m_progress.SetPos(100);
      if (m_taskbar) m_taskbar->Clear();
      ShowDetail(std::wstring());
      m_done = true;
      if (m_updateMode) {
        LaunchInstalledApp(true);
        OnOK();
      } else {
        ShowCompleted();
      }
      break;
    case Failed:
      ShowFailure();
      break;
    default:
      break;
  }
  return 0;
}

// The completion text is what announces the state, so it comes last: the
// run button is ready by the time anyone sees it.
void InstallDialog::ShowCompleted() {
  m_runButton.m_multiLine = false;
  m_runButton.m_captionOffsetX = Scaled(kRunCaptionOffsetX);
  m_runButton.m_captionOffsetY = 0;
  m_runButton.SetCaption(Text(IDS_RUN));
  m_runButton.LoadBitmaps(IDB_ACCEPT_TILE);
  m_runButton.SizeToContent();
  m_runButton.RedrawNow();
  ::ShowWindow(GetDlgItem(IDC_STATUS_TEXT), SW_HIDE);
  ::ShowWindow(GetDlgItem(IDC_COMPLETION_TEXT), SW_SHOW);
}

void InstallDialog::ShowFailure() {
  std::wstring text = Text(m_updateMode ? IDS_UPDATE_FAILED : IDS_INSTALL_FAILED);
  const int code = GetErrorCode();
  // Without a drive letter (an update started without its drive) there is
  // no drive to name: the general text says it better than "Check drive  is
  // connected".
  if (code == static_cast<int>(InstallError::DriveNotConnected) && m_driveLetter != 0) {
    text = FormatMessageText(Text(IDS_DRIVE_MISSING), {MessageArgument::CodeUnit(m_driveLetter)});
  } else if (code == static_cast<int>(InstallError::NotEnoughSpace)) {
    text = FormatMessageText(Text(IDS_SPACE_MISSING),
                             {MessageArgument::CodeUnit(m_driveLetter), MessageArgument::Number(static_cast<double>(InstallBackend::kRequiredFreeMegabytes))});
  }
  // The text first, then the bar goes: a hidden bar means the text is final.
  if (m_taskbar) m_taskbar->ShowFailed();
  ShowDetail(std::wstring());
  ShowStatus(text);
  m_progress.ShowWindow(SW_HIDE);
  RedrawNow();
}

LRESULT InstallDialog::OnProgressMessage(WPARAM, LPARAM progress) {
  const int position = ProgressBarPosition(m_lastStatus, static_cast<long>(progress));
  m_progress.SetPos(position);
  // The button shows the install's progress, not a late report's 0.
  if (m_taskbar && (m_lastStatus == Downloading || m_lastStatus == Extracting)) m_taskbar->Show(position, 100);
  return 0;
}

// The window hears first, then the main threads: the application ends on
// the thread message, and its window must have had its say by then. The
// thread holds nothing of the screen but its window handle; a post to a
// screen that has gone is lost harmlessly.
void InstallDialog::NotifyRunningApp() {
  const HWND screen = Handle();
  std::thread([screen] {
    const auto timeout = std::chrono::duration_cast<std::chrono::milliseconds>(InstallBackend::kAppAnswerTimeout);
    const Platform::WindowAnswer answer =
        Platform::SendToWindowTitled(kAppWindowTitle, kAppUpdateWindowMessage, static_cast<unsigned>(timeout.count()));
    Platform::PostToMainThreadsOf(InstallBackend::kInstalledExecutableName, kAppUpdateThreadMessage);
    ::PostMessageW(screen, kAppToldMessage, static_cast<WPARAM>(answer), 0);
  }).detach();
}

// The log is written here, on the screen's thread, as the log has no lock.
LRESULT InstallDialog::OnAppToldMessage(WPARAM answer, LPARAM) {
  if (static_cast<Platform::WindowAnswer>(answer) == Platform::WindowAnswer::NoAnswer) {
    LOG_INFO << "InstallDialog the running application did not answer within " << InstallBackend::kAppAnswerTimeout.count()
             << " s; the update goes on";
  }
  return 0;
}

void InstallDialog::LaunchInstalledApp(bool notify) {
  const std::wstring root = DriveLetter(m_driveLetter).Root();
  const std::wstring file = notify ? m_exePathToUpdate : InstallBackend::InstalledExecutableIn(root);
  // Checked right before it starts: the file on the drive may have changed
  // since the installation checked it.
  StartInstalledApplication(m_parts.signatures, file, notify ? kNotifyUpdateParameter : L"", root);
}

HBRUSH InstallDialog::OnCtlColor(HDC dc, HWND control, UINT kind) {
  const HBRUSH brush = SkinnedScreen::OnCtlColor(dc, control, kind);
  if (kind == CTLCOLOR_STATIC && ::GetDlgCtrlID(control) == IDC_COMPLETION_TEXT) {
    ::SetTextColor(dc, kCompleteTextColour);
  }
  return brush;
}
