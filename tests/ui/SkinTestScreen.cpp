// A screen built only from the shared skeleton and a real template, for the
// end-to-end tests of the skin. It reports what it measured to a file
// ("key=value" lines) that the tests compare with what they expect and with
// screenshots. Clicking the product logo swaps the background.
//
//   SkinTestScreen.exe --report Z:\path\report.txt [--measure-first 102]
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Common/Dialogs/SkinnedScreen.h"
#include "Platform/Ui/ComboBox.h"
#include "Platform/Ui/GdiObjects.h"
#include "Platform/Win32/Application.h"
#include "Platform/Win32/CommandLine.h"
#include "Platform/Win32/ProcessSetup.h"
#include "resources/ScreenIds.h"

namespace {

constexpr UINT kReportAndClose = WM_APP + 1;
constexpr UINT kShown = WM_APP + 2;

class Report {
 public:
  explicit Report(std::wstring path) : m_path(std::move(path)) {}
  void Line(const std::string& prefix, const std::string& key, const std::string& value) const {
    FILE* file = _wfopen(m_path.c_str(), L"a");
    if (!file) return;
    std::fprintf(file, "%s%s=%s\n", prefix.c_str(), key.c_str(), value.c_str());
    std::fclose(file);
  }

 private:
  std::wstring m_path;
};

std::string Numbers(std::initializer_list<long> values) {
  std::string text;
  for (long value : values) text += (text.empty() ? "" : ",") + std::to_string(value);
  return text;
}

class SkinTestScreen : public NCommon::SkinnedScreen {
 public:
  SkinTestScreen(int templateId, const Report& report, bool closeAtOnce)
      : SkinnedScreen(templateId == IDD_LICENCE_SCREEN ? IDB_LICENCE_BACKGROUND : IDB_SMALL_BACKGROUND,
                      templateId),
        m_report(report),
        m_closeAtOnce(closeAtOnce),
        m_prefix(std::to_string(templateId) + ".") {}

 protected:
  void DoDataExchange() override {
    SkinnedScreen::DoDataExchange();
    if (TemplateId() != IDD_DRIVE_SCREEN) return;
    BindControl(IDC_INSTALL, m_installButton);
    BindControl(IDC_REFRESH, m_refreshButton);
    BindControl(IDC_DRIVE_LIST, m_driveList);
  }

  BOOL OnInitDialog() override {
    const bool drive = TemplateId() == IDD_DRIVE_SCREEN;
    if (drive) {
      InitializeSkeleton({&m_installButton, &m_refreshButton});
    } else {
      InitializeSkeleton({});
    }
    if (drive) SetUpDriveControls();
    SetTitleAndOutline();
    if (drive) CreateFonts();
    // Posted messages come after the dialog is shown, when the modal loop runs.
    ::PostMessageW(Handle(), m_closeAtOnce ? kReportAndClose : kShown, 0, 0);
    return TRUE;
  }

  bool GetFrameRect(RECT* frame) override {
    ++m_frameAsked;
    m_report.Line(m_prefix, "frame_asked", std::to_string(m_frameAsked));
    *frame = RECT{Scaled(12), Scaled(126), Scaled(110), Scaled(156)};
    return true;
  }

  LRESULT OnReportAndClose(WPARAM, LPARAM) {
    WriteMeasurements();
    EndDialog(IDOK);
    return 0;
  }

  // Ready once the whole screen has been painted: the pending paints of the
  // dialog and its controls run now, and GDI's batch goes out.
  LRESULT OnShown(WPARAM, LPARAM) {
    ::RedrawWindow(Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    ::GdiFlush();
    WriteMeasurements();
    m_report.Line(m_prefix, "ready", "1");
    return 0;
  }

  void OnLogoClicked() {
    SetBackground(IDB_PLAIN_BACKGROUND);
    m_report.Line(m_prefix, "background", std::to_string(IDB_PLAIN_BACKGROUND));
  }

  void OnLButtonUp(UINT flags, POINT point) {
    ImageDialog::OnLButtonUp(flags, point);
    const RECT window = GetWindowRect();
    m_report.Line(m_prefix, "window_after_release", Numbers({window.left, window.top}));
    m_report.Line(m_prefix, "releases", std::to_string(++m_releases));
  }

  DECLARE_MESSAGE_MAP()

 private:
  void SetUpDriveControls() {
    m_refreshButton.LoadBitmaps(IDB_REFRESH, IDB_REFRESH, IDB_REFRESH);
    m_refreshButton.SizeToContent();
    m_installButton.LoadBitmaps(IDB_ACCEPT_TILE);
    m_installButton.SizeToContent();
    m_installButton.SetCaption(L"Install");
    m_installButton.m_multiLine = false;
    m_installButton.m_captionOffsetX = Scaled(18);
    m_installButton.m_captionOffsetY = 0;
    ::SetDlgItemTextW(Handle(), IDC_DRIVE_HEADING, L"Pick Your Drive for Installation");
    m_driveList.InsertString(0, L"KORVANE (E:)");
    m_driveList.SetItemData(0, L'E');
    m_driveList.SetCurSel(0);
  }

  void CreateFonts() {
    LOGFONTW description = {};
    ::GetObjectW(GetFont(), sizeof(description), &description);
    description.lfHeight = Scaled(15);
    description.lfWeight = FW_BOLD;
    wcscpy_s(description.lfFaceName, L"Arial");
    m_buttonFont.CreateIndirect(description);
    m_installButton.m_captionFont = m_buttonFont.Get();
  }

  RECT ClientRectOf(int id) const {
    RECT rect = {};
    HWND control = GetDlgItem(id);
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  }

  void Control(const char* name, int id) const {
    const RECT rect = ClientRectOf(id);
    m_report.Line(m_prefix, name, Numbers({rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top}));
  }

  int OutlineEllipse() const {
    Platform::Region actual;
    actual.Reset(::CreateRectRgn(0, 0, 0, 0));
    if (::GetWindowRgn(Handle(), actual.Get()) == ERROR) return 0;
    const RECT window = GetWindowRect();
    for (int ellipse = 1; ellipse <= 60; ++ellipse) {
      Platform::Region candidate;
      candidate.CreateRoundRect(0, 0, window.right - window.left, window.bottom - window.top + 1,
                                ellipse, ellipse);
      // Equal when nothing is left of their symmetric difference; the
      // band structure of the two regions may differ.
      Platform::Region difference;
      difference.Reset(::CreateRectRgn(0, 0, 0, 0));
      if (::CombineRgn(difference.Get(), actual.Get(), candidate.Get(), RGN_XOR) == NULLREGION) {
        return ellipse;
      }
    }
    return -1;
  }

  void WriteFontMetrics() const {
    HFONT font = GetFont();
    LOGFONTW description = {};
    ::GetObjectW(font, sizeof(description), &description);
    Platform::WindowDc dc(Handle());
    Platform::SelectedObject selected(dc.Get(), font);
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(dc.Get(), &metrics);
    SIZE extent = {};
    ::GetTextExtentPoint32W(dc.Get(), L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ", 52, &extent);
    char face[LF_FACESIZE * 3] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, description.lfFaceName, -1, face, sizeof(face), nullptr, nullptr);
    m_report.Line(m_prefix, "font_height", std::to_string(description.lfHeight));
    m_report.Line(m_prefix, "font_face", face);
    m_report.Line(m_prefix, "text_height", std::to_string(metrics.tmHeight));
    m_report.Line(m_prefix, "extent52", std::to_string(extent.cx));
  }

  void WriteMeasurements() {
    Platform::WindowDc screen(nullptr);
    m_report.Line(m_prefix, "dpi", std::to_string(::GetDeviceCaps(screen.Get(), LOGPIXELSX)));
    WriteFontMetrics();
    const RECT client = GetClientRect();
    const RECT window = GetWindowRect();
    m_report.Line(m_prefix, "client", Numbers({client.right - client.left, client.bottom - client.top}));
    m_report.Line(m_prefix, "window", Numbers({window.left, window.top, window.right - window.left,
                                               window.bottom - window.top}));
    POINT origin = {0, 0};
    ::ClientToScreen(Handle(), &origin);
    m_report.Line(m_prefix, "client_origin", Numbers({origin.x, origin.y}));
    m_report.Line(m_prefix, "ellipse", std::to_string(OutlineEllipse()));
    m_report.Line(m_prefix, "help_visible", std::to_string(::IsWindowVisible(GetDlgItem(IDC_HELP_BUTTON)) ? 1 : 0));
    Control("help", IDC_HELP_BUTTON);
    Control("close", IDC_CLOSE_BUTTON);
    Control("maker", IDC_MAKER_LINK);
    Control("logo", IDC_PRODUCT_LOGO);
    if (TemplateId() == IDD_DRIVE_SCREEN) {
      Control("install", IDC_INSTALL);
      Control("refresh", IDC_REFRESH);
      Control("list", IDC_DRIVE_LIST);
      Control("heading", IDC_DRIVE_HEADING);
      m_report.Line(m_prefix, "caption_offset", std::to_string(m_installButton.m_captionOffsetX));
    }
    char title[64] = {};
    ::GetWindowTextA(Handle(), title, sizeof(title));
    m_report.Line(m_prefix, "title", title);
    m_report.Line(m_prefix, "appwindow",
                  std::to_string((::GetWindowLongPtrW(Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW) ? 1 : 0));
  }

  const Report& m_report;
  bool m_closeAtOnce;
  std::string m_prefix;
  int m_frameAsked = 0;
  int m_releases = 0;
  NCommon::AnimatedBitmapButton m_installButton;
  NCommon::AnimatedBitmapButton m_refreshButton;
  Platform::ComboBox m_driveList;
  Platform::Font m_buttonFont;
};

BEGIN_MESSAGE_MAP(SkinTestScreen, NCommon::SkinnedScreen)
  ON_MESSAGE(kReportAndClose, OnReportAndClose)
  ON_MESSAGE(kShown, OnShown)
  ON_BN_CLICKED(IDC_PRODUCT_LOGO, OnLogoClicked)
  ON_WM_LBUTTONUP()
END_MESSAGE_MAP()

std::wstring ArgumentAfter(const std::vector<std::wstring>& arguments, const wchar_t* name) {
  for (size_t i = 1; i + 1 < arguments.size(); ++i) {
    if (arguments[i] == name) return arguments[i + 1];
  }
  return std::wstring();
}

class SkinTestApp : public Platform::Application {
 public:
  int InitInstance() override {
    Platform::RegisterCommonControls();
    Platform::InitRichEdit();
    const auto arguments = Platform::SplitCommandLine(Platform::GetRawCommandLine());
    const Report report(ArgumentAfter(arguments, L"--report"));
    const std::wstring first = ArgumentAfter(arguments, L"--measure-first");
    if (!first.empty()) {
      SkinTestScreen measured(std::stoi(first), report, true);
      measured.DoModal();
    }
    SkinTestScreen screen(IDD_DRIVE_SCREEN, report, false);
    m_exitCode = static_cast<int>(screen.DoModal());
    return 0;
  }
  int ExitInstance() override { return m_exitCode; }

 private:
  int m_exitCode = -1;
};

SkinTestApp theApp;

}  // namespace
