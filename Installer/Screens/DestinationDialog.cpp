#include "Installer/Screens/DestinationDialog.h"

#include <dbt.h>

#include "Common/DialogLayout/DialogUnits.h"
#include "Common/Drives/UsbDrives.h"
#include "Installer/Localization/LocalizedStrings.h"
#include "Installer/ScreenLogic/MessageFormat.h"
#include "resources/ScreenIds.h"
#include "resources/strings/MessageIds.h"

namespace {

const wchar_t kDriveItemFormat[] = L"%s (%c:)";
const wchar_t kRefreshButtonName[] = L"Refresh";
constexpr wchar_t kSystemDrive = L'C';
constexpr double kCaptionOffsetX = 18;
constexpr double kCaptionOffsetY = 2;
constexpr double kLabelFontHeight = 17;
constexpr double kButtonFontHeight = 12;
constexpr double kListFontHeight = 15;
// A drive plugged in or removed makes the system send a burst of
// notifications; the list is searched again once they have calmed down.
constexpr UINT_PTR kDeviceChangeTimer = 1;
constexpr UINT kDeviceChangeSettleMs = 400;

}  // namespace

BEGIN_MESSAGE_MAP(DestinationDialog, NCommon::SkinnedScreen)
  ON_WM_CTLCOLOR()
  ON_COMMAND(IDC_CLOSE_BUTTON, OnCancel)
  ON_COMMAND(IDC_REFRESH, RefreshDrives)
  ON_COMMAND(IDC_INSTALL, OnInstall)
  ON_COMMAND(IDC_MAKER_LINK, OnMakerLink)
  ON_CBN_SELENDOK(IDC_DRIVE_LIST, OnDriveSelected)
  ON_MESSAGE(WM_DEVICECHANGE, OnDeviceChange)
  ON_MESSAGE(WM_TIMER, OnTimer)
END_MESSAGE_MAP()

DestinationDialog::DestinationDialog(Platform::IDriveInfoSource& drives, wchar_t* selectedDrive)
    : SkinnedScreen(IDB_SMALL_BACKGROUND, IDD_DRIVE_SCREEN), m_drives(drives), m_selectedDrive(selectedDrive) {}

DestinationDialog::~DestinationDialog() = default;

void DestinationDialog::DoDataExchange() {
  SkinnedScreen::DoDataExchange();
  BindControl(IDC_REFRESH, m_refreshButton);
  BindControl(IDC_INSTALL, m_installButton);
  BindControl(IDC_DRIVE_LIST, m_driveList);
}

BOOL DestinationDialog::OnInitDialog() {
  InitializeSkeleton({&m_refreshButton, &m_installButton});
  m_refreshButton.LoadBitmaps(IDB_REFRESH, IDB_REFRESH, IDB_REFRESH);
  m_refreshButton.SizeToContent();
  m_refreshButton.SetWindowText(kRefreshButtonName);
  m_installButton.LoadBitmaps(IDB_ACCEPT_TILE);
  m_installButton.SizeToContent();
  m_installButton.m_captionClearLeft = Scaled(NCommon::kIconTileWidth);
  ::SetDlgItemTextW(Handle(), IDC_DRIVE_HEADING, theLocalizedStrings.GetLocalizedString(IDS_PICK_DRIVE).c_str());
  RefreshDrives();
  SetTitleAndOutline();
  CreateScreenFonts();
  ::SetFocus(m_driveList.IsWindowEnabled() ? m_driveList.Handle() : m_refreshButton.Handle());
  return FALSE;
}

void DestinationDialog::CreateScreenFonts() {
  FitLabelFont(m_labelFont, IDC_DRIVE_HEADING, L"Microsoft Sans Serif", Scaled(kLabelFontHeight));
  CreateDerivedFont(m_buttonFont, L"Arial", Scaled(kButtonFontHeight), FW_BOLD);
  m_installButton.m_captionFont = m_buttonFont.Get();
  CreateDerivedFont(m_listFont, L"Microsoft Sans Serif", Scaled(kListFontHeight));
  m_driveList.SetFont(m_listFont.Get());
}

void DestinationDialog::RefreshDrives() {
  // The refresh button always starts again from the first drive.
  FillDriveList(0);
}

std::wstring DestinationDialog::DriveItemText(wchar_t letter) const {
  return FormatMessageText(kDriveItemFormat,
                           {MessageArgument::Text(DescribeDrive(m_drives, letter)), MessageArgument::CodeUnit(letter)});
}

void DestinationDialog::FillDriveList(wchar_t keep) {
  m_driveList.EnableWindow(false);
  m_driveList.RedrawNow();
  m_driveList.ResetContent();
  const UsbDriveMap drives = GetUsbDrives(m_drives);
  if (!drives.empty()) {
    int index = 0;
    int selected = 0;
    for (const auto& drive : drives) {
      const wchar_t letter = drive.first;
      if (letter == kSystemDrive) continue;
      m_driveList.InsertString(index, DriveItemText(letter));
      m_driveList.SetItemData(index, letter);
      if (keep != 0 && letter == keep) selected = index;
      ++index;
    }
    m_driveList.SetCurSel(selected);
    m_driveList.EnableWindow(true);
  } else {
    m_driveList.SetCurSel(m_driveList.AddString(theLocalizedStrings.GetLocalizedString(IDS_NO_DRIVE)));
  }
  OnDriveSelected();
}

wchar_t DestinationDialog::SelectedLetter() const {
  const int index = m_driveList.GetCurSel();
  if (index == CB_ERR) return 0;
  return static_cast<wchar_t>(m_driveList.GetItemData(index) & 0xFFFF);
}

void DestinationDialog::OnDriveSelected() {
  const double scale = m_installButton.m_scale;
  const wchar_t letter = m_driveList.IsWindowEnabled() ? SelectedLetter() : 0;
  // Every USB drive found may be C:, which is never offered: the list is
  // then empty and the button shows the no-drive state as well.
  if (letter == 0) {
    m_installButton.m_multiLine = false;
    m_installButton.m_captionOffsetX = NCommon::ScalePixels(kCaptionOffsetX, scale);
    m_installButton.m_captionOffsetY = 0;
    m_installButton.SetCaption(theLocalizedStrings.GetLocalizedString(IDS_INSTALL));
    m_installButton.LoadBitmaps(IDB_INSTALL_DISABLED_TILE);
  } else {
    m_installButton.SetCaption(FormatMessageText(
        theLocalizedStrings.GetLocalizedString(IDS_INSTALL_TO),
        {MessageArgument::Text(DescribeDrive(m_drives, letter)), MessageArgument::CodeUnit(letter)}));
    m_installButton.m_multiLine = true;
    m_installButton.m_captionOffsetX = NCommon::ScalePixels(kCaptionOffsetX, scale);
    m_installButton.m_captionOffsetY = NCommon::ScalePixels(kCaptionOffsetY, scale);
    m_installButton.LoadBitmaps(IDB_ACCEPT_TILE);
  }
  m_installButton.RedrawNow();
}

void DestinationDialog::OnInstall() {
  const wchar_t letter = SelectedLetter();
  // The "No USB drive found" item carries no letter.
  if (m_selectedDrive) *m_selectedDrive = letter;
  if (letter != 0) EndDialog(IDOK);
}

LRESULT DestinationDialog::OnDeviceChange(WPARAM event, LPARAM) {
  if (event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE || event == DBT_DEVNODES_CHANGED) {
    // Each notification of a burst pushes the refresh further out.
    ::SetTimer(Handle(), kDeviceChangeTimer, kDeviceChangeSettleMs, nullptr);
  }
  return TRUE;
}

LRESULT DestinationDialog::OnTimer(WPARAM timer, LPARAM) {
  if (timer != kDeviceChangeTimer) return Default();
  ::KillTimer(Handle(), kDeviceChangeTimer);
  FillDriveList(m_driveList.IsWindowEnabled() ? SelectedLetter() : 0);
  return 0;
}
