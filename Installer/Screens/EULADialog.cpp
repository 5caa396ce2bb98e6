#include "Installer/Screens/EULADialog.h"

#include <algorithm>
#include <cstring>

#include "Installer/Localization/LocalizedStrings.h"
#include "Platform/Ui/ResourceModule.h"
#include "resources/ScreenIds.h"
#include "resources/strings/MessageIds.h"

namespace {

constexpr double kCaptionOffset = 18;
constexpr double kLabelFontHeight = 17;
constexpr double kButtonFontHeight = 15;
constexpr WPARAM kWordWrapOptions = 0x466;

}  // namespace

BEGIN_MESSAGE_MAP(EULADialog, NCommon::SkinnedScreen)
  ON_WM_CTLCOLOR()
  ON_COMMAND(IDC_CLOSE_BUTTON, OnCancel)
  ON_COMMAND(IDC_ACCEPT, OnOK)
  ON_COMMAND(IDC_DECLINE, OnCancel)
  ON_COMMAND(IDC_MAKER_LINK, OnMakerLink)
END_MESSAGE_MAP()

EULADialog::EULADialog() : SkinnedScreen(IDB_LICENCE_BACKGROUND, IDD_LICENCE_SCREEN) {}

EULADialog::~EULADialog() = default;

void EULADialog::DoDataExchange() {
  SkinnedScreen::DoDataExchange();
  BindControl(IDC_ACCEPT, m_acceptButton);
  BindControl(IDC_LICENCE_TEXT, m_licenceText);
  BindControl(IDC_DECLINE, m_declineButton);
}

void EULADialog::SetUpAnswerButton(NCommon::AnimatedBitmapButton& button, int tileBitmap, int captionText) {
  button.LoadBitmaps(tileBitmap);
  button.SizeToContent();
  button.SetCaption(theLocalizedStrings.GetLocalizedString(captionText));
  button.m_multiLine = false;
  button.m_captionOffsetX = Scaled(kCaptionOffset);
  button.m_captionOffsetY = 0;
  button.m_captionClearLeft = Scaled(NCommon::kIconTileWidth);
}

BOOL EULADialog::OnInitDialog() {
  InitializeSkeleton({&m_acceptButton, &m_declineButton});
  SetUpAnswerButton(m_acceptButton, IDB_ACCEPT_TILE, IDS_ACCEPT);
  SetUpAnswerButton(m_declineButton, IDB_DECLINE_TILE, IDS_DECLINE);
  ::SetDlgItemTextW(Handle(), IDC_DESCRIPTION, theLocalizedStrings.GetLocalizedString(IDS_DESCRIPTION).c_str());
  SetTitleAndOutline();
  CreateScreenFonts();
  LoadLicence();
  // The keyboard starts on Accept rather than on the title bar's close button.
  ::SetFocus(m_acceptButton.Handle());
  return FALSE;
}

void EULADialog::CreateScreenFonts() {
  FitLabelFont(m_labelFont, IDC_DESCRIPTION, L"Arial", Scaled(kLabelFontHeight));
  CreateDerivedFont(m_buttonFont, L"Arial", Scaled(kButtonFontHeight), FW_BOLD);
  m_acceptButton.SetFont(m_buttonFont.Get());
  m_declineButton.SetFont(m_buttonFont.Get());
}

void EULADialog::LoadLicence() {
  std::string document = Platform::LoadResourceBytes(L"BIN", IDR_LICENCE);
  if (document.empty()) return;
  // The control takes 32,767 characters unless told otherwise; the document
  // has no more characters than bytes.
  m_licenceText.SetTextLimit(static_cast<LPARAM>(std::max<size_t>(document.size(), 32767)));
  m_licenceText.SetWordWrapMode(kWordWrapOptions);
  EDITSTREAM stream = {};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&document);
  stream.dwError = 0;
  stream.pfnCallback = &EULADialog::LicenceStreamCallback;
  m_licenceText.StreamIn(SF_RTF, stream);
}

DWORD CALLBACK EULADialog::LicenceStreamCallback(DWORD_PTR cookie, LPBYTE buffer, LONG requested, LONG* delivered) {
  auto* remaining = reinterpret_cast<std::string*>(cookie);
  const size_t wanted = requested > 0 ? static_cast<size_t>(requested) : 0;
  const size_t count = std::min(wanted, remaining->size());
  if (count) std::memcpy(buffer, remaining->data(), count);
  remaining->erase(0, count);
  *delivered = static_cast<LONG>(count);
  return 0;
}
