#pragma once
// The first screen: the product's description and the licence agreement,
// with Accept (IDOK) and Decline or close (IDCANCEL).
#include <windows.h>
#include <richedit.h>

#include <string>

#include "Common/Dialogs/SkinnedScreen.h"
#include "Platform/Ui/GdiObjects.h"
#include "Platform/Ui/RichEdit.h"

class EULADialog : public NCommon::SkinnedScreen {
 public:
  EULADialog();
  ~EULADialog() override;

  // The rich edit control's EDITSTREAM callback: hands out the front of
  // the std::string behind cookie, at most requested bytes per call, and
  // removes what it handed out. Always 0, so the control reads to the end.
  static DWORD CALLBACK LicenceStreamCallback(DWORD_PTR cookie, LPBYTE buffer, LONG requested, LONG* delivered);

 protected:
  void DoDataExchange() override;
  BOOL OnInitDialog() override;

  DECLARE_MESSAGE_MAP()

 private:
  // Accept and Decline: an icon tile image with a one-line caption beside it.
  void SetUpAnswerButton(NCommon::AnimatedBitmapButton& button, int tileBitmap, int captionText);
  void CreateScreenFonts();
  void LoadLicence();

  Platform::Font m_labelFont;
  Platform::Font m_buttonFont;
  NCommon::AnimatedBitmapButton m_acceptButton;
  Platform::RichEdit m_licenceText;
  NCommon::AnimatedBitmapButton m_declineButton;
};
