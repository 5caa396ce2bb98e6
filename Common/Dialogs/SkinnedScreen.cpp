#include "Common/Dialogs/SkinnedScreen.h"

#include <shellapi.h>

#include <string>

#include "BuildConfig.h"
#include "Common/DialogLayout/DialogUnits.h"
#include "Platform/Ui/GdiObjects.h"
#include "Platform/Ui/ResourceModule.h"
#include "resources/ScreenIds.h"

namespace NCommon {

const wchar_t kWindowTitle[] = L"Korvane Setup";
const wchar_t kMakerPageAddress[] = L"https://" KORVANE_WEB_HOST_W L"/?CMP=VRN-brantle-app";
const wchar_t kHelpButtonName[] = L"Help";
const wchar_t kCloseButtonName[] = L"Close";
const wchar_t kMakerLinkName[] = L"Korvane website";
const wchar_t kProductLogoName[] = L"Korvane";

namespace {

constexpr COLORREF kButtonTextColour = RGB(70, 70, 70);
constexpr COLORREF kStaticTextColour = RGB(0, 61, 61);
constexpr double kCornerEllipse = 19;
constexpr double kLogoShiftX = 16;
constexpr double kLogoShiftY = 8;
constexpr int kSmallestLabelPercent = 60;

}  // namespace

BEGIN_MESSAGE_MAP(SkinnedScreen, ImageDialog)
  ON_WM_CTLCOLOR()
  ON_COMMAND(IDC_CLOSE_BUTTON, OnCancel)
  ON_COMMAND(IDC_MAKER_LINK, OnMakerLink)
  ON_MESSAGE(WM_QUERYUISTATE, OnQueryUiState)
END_MESSAGE_MAP()

SkinnedScreen::SkinnedScreen(int backgroundId, int templateId)
    : ImageDialog(backgroundId, templateId), m_fontOverride(new DialogFontOverride) {}

SkinnedScreen::~SkinnedScreen() {
  if (m_fontOverride) m_fontOverride->Restore();
  m_fontOverride.reset();
}

void SkinnedScreen::DoDataExchange() {
  BindControl(IDC_HELP_BUTTON, m_helpButton);
  BindControl(IDC_CLOSE_BUTTON, m_closeButton);
  BindControl(IDC_MAKER_LINK, m_makerLinkButton);
  BindControl(IDC_PRODUCT_LOGO, m_logoButton);
}

double SkinnedScreen::Scale() { return m_fontOverride->GetDpi() / 96.0; }

int SkinnedScreen::Scaled(double pixels) { return ScalePixels(pixels, Scale()); }

void SkinnedScreen::InitializeSkeleton(std::initializer_list<AnimatedBitmapButton*> ownButtons) {
  Platform::Dialog::OnInitDialog();
  RemoveAppWindowStyleAndCreateToolTip();
  m_fontOverride->MeasureDpi(Handle());
  const double scale = Scale();
  for (AnimatedBitmapButton* button : {&m_helpButton, &m_closeButton, &m_makerLinkButton, &m_logoButton}) {
    button->m_scale = scale;
  }
  for (AnimatedBitmapButton* button : ownButtons) button->m_scale = scale;
  m_fontOverride->Apply(Platform::ResourceModule(), Handle(), TemplateId());
  SetUpTitleBar();
}

LRESULT SkinnedScreen::OnQueryUiState(WPARAM, LPARAM) {
  return m_keyboardUsed ? 0 : (UISF_HIDEFOCUS | UISF_HIDEACCEL);
}

BOOL SkinnedScreen::PreTranslateMessage(MSG* message) {
  if ((message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN) && !m_keyboardUsed) {
    m_keyboardUsed = true;
    if (HWND focus = ::GetFocus()) ::InvalidateRect(focus, nullptr, TRUE);
  }
  if (message->message == WM_KEYDOWN && message->wParam == VK_RETURN) {
    HWND focus = ::GetFocus();
    if (focus && ::GetParent(focus) == Handle() &&
        (::GetWindowLongPtrW(focus, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW &&
        ::IsWindowEnabled(focus) && ::IsWindowVisible(focus)) {
      ::SendMessageW(focus, BM_CLICK, 0, 0);
      return TRUE;
    }
  }
  return ImageDialog::PreTranslateMessage(message);
}

void SkinnedScreen::SetUpTitleBar() {
  // Image-only buttons are named by their purpose for assistive software.
  m_helpButton.SetWindowText(kHelpButtonName);
  m_closeButton.SetWindowText(kCloseButtonName);
  m_makerLinkButton.SetWindowText(kMakerLinkName);
  m_logoButton.SetWindowText(kProductLogoName);
  m_helpButton.LoadBitmaps(IDB_HELP_NORMAL, IDB_HELP_PRESSED, IDB_HELP_HOVER);
  m_helpButton.SizeToContent();
  m_closeButton.LoadBitmaps(IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED, IDB_CLOSE_HOVER);
  m_closeButton.SizeToContent();
  m_makerLinkButton.LoadBitmaps(IDB_MAKER_NORMAL, IDB_MAKER_PRESSED, IDB_MAKER_HOVER);
  m_makerLinkButton.SizeToContent();
  m_logoButton.LoadBitmaps(IDB_PRODUCT_LOGO);
  m_logoButton.SizeToContent();
  // The logo sits a little right of and below its template place.
  RECT logo = m_logoButton.GetWindowRect();
  ::MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&logo), 2);
  m_logoButton.MoveWindow(logo.left + Scaled(kLogoShiftX), logo.top + Scaled(kLogoShiftY),
                          logo.right - logo.left, logo.bottom - logo.top, true);
  m_logoButton.SizeToContent();
}

void SkinnedScreen::SetTitleAndOutline() {
  SetWindowText(kWindowTitle);
  const RECT window = GetWindowRect();
  const int ellipse = Scaled(kCornerEllipse);
  Platform::Region outline;
  outline.CreateRoundRect(0, 0, window.right - window.left, window.bottom - window.top + 1, ellipse,
                          ellipse);
  // The window owns the region from here on.
  if (::SetWindowRgn(Handle(), outline.Get(), FALSE)) outline.Release();
}

void SkinnedScreen::CreateDerivedFont(Platform::Font& font, const wchar_t* face, int cellHeight, int weight) {
  LOGFONTW description = {};
  ::GetObjectW(GetFont(), sizeof(description), &description);
  description.lfHeight = cellHeight;
  if (weight != 0) description.lfWeight = weight;
  ::lstrcpynW(description.lfFaceName, face, LF_FACESIZE);
  font.CreateIndirect(description);
}

void SkinnedScreen::FitLabelFont(Platform::Font& font, int controlId, const wchar_t* face, int cellHeight,
                                 int weight) {
  HWND label = GetDlgItem(controlId);
  if (!label) return;
  const int length = ::GetWindowTextLengthW(label);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  ::GetWindowTextW(label, &text[0], length + 1);
  text.resize(static_cast<size_t>(length));
  RECT client = {};
  ::GetClientRect(label, &client);
  Platform::WindowDc dc(label);
  const int smallest = cellHeight * kSmallestLabelPercent / 100;
  Platform::Font candidate;
  for (int height = cellHeight; height >= smallest && height > 0; --height) {
    CreateDerivedFont(candidate, face, height, weight);
    Platform::SelectedObject selected(dc.Get(), candidate.Get());
    RECT needed = {0, 0, client.right, 0};
    ::DrawTextW(dc.Get(), text.c_str(), length, &needed, DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
    if (needed.bottom <= client.bottom && needed.right <= client.right) break;
  }
  ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(candidate.Get()), TRUE);
  // The label has the new font now; the one it had can go.
  font.Reset(candidate.Release());
}

HBRUSH SkinnedScreen::OnCtlColor(HDC dc, HWND control, UINT kind) {
  if (kind == CTLCOLOR_BTN || kind == CTLCOLOR_STATIC) {
    ::SetTextColor(dc, kind == CTLCOLOR_BTN ? kButtonTextColour : kStaticTextColour);
    ::SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
  }
  return reinterpret_cast<HBRUSH>(DefaultProcedure(WM_CTLCOLORMSGBOX + kind,
                                                   reinterpret_cast<WPARAM>(dc),
                                                   reinterpret_cast<LPARAM>(control)));
}

void SkinnedScreen::OnMakerLink() {
  ::ShellExecuteW(nullptr, L"open", kMakerPageAddress, nullptr, nullptr, 0);
}

}  // namespace NCommon
