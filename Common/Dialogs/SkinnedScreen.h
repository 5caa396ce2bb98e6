#pragma once
// What every screen shares: the title-bar buttons (hidden help, close, the
// maker's link, the product logo), the DPI font override, the control
// colours, the initialisation order, the window title and the rounded
// outline, every size scaled by s = DPI / 96. A screen derives from this,
// declares its own members and message map and overrides OnInitDialog:
//
//   BOOL MyScreen::OnInitDialog() {
//     InitializeSkeleton({&m_ownButton});   // the shared set-up, first
//     ...own buttons, texts, data...
//     SetTitleAndOutline();                 // once the window has its size
//     ...own fonts...
//     return TRUE;
//   }
//
// The shared set-up comes first because it lays the dialog and its controls
// out again from the template at the display's DPI, which would undo any
// placing done before it, and gives the screen's own buttons their scale
// before they size themselves to their images. The outline is cut to the
// window's size when it is set, so it follows that re-layout.
#include <initializer_list>
#include <memory>

#include "Common/Dialogs/AnimatedBitmapButton.h"
#include "Common/Dialogs/DialogFontOverride.h"
#include "Common/Dialogs/ImageDialog.h"

namespace NCommon {

extern const wchar_t kWindowTitle[];
// The maker's web page opened by the maker's logo.
extern const wchar_t kMakerPageAddress[];
// Width at 96 DPI of the icon tile at the left of the button images, which
// captions keep clear of.
constexpr double kIconTileWidth = 31;

class SkinnedScreen : public ImageDialog {
 public:
  SkinnedScreen(int backgroundId, int templateId);
  // Restores the font override and deletes it. A screen's own font members
  // are released first, as members of the derived class; by then DoModal
  // has destroyed the window, so no control still uses them.
  ~SkinnedScreen() override;

  // Enter presses the focused image button, as Space does; the dialog
  // manager alone would send the default command instead. The first key
  // also turns the keyboard cues (the focus frame) on.
  BOOL PreTranslateMessage(MSG* message) override;

 protected:
  void DoDataExchange() override;
  // The platform initialisation (binding), ImageDialog's own set-up (no
  // WS_EX_APPWINDOW, the tool tip), the DPI, the re-layout from the template
  // and the title-bar buttons; ownButtons get the scale too.
  void InitializeSkeleton(std::initializer_list<AnimatedBitmapButton*> ownButtons);
  // The window title and the rounded outline.
  void SetTitleAndOutline();

  // s = DPI / 96.
  double Scale();
  // trunc(pixels x s).
  int Scaled(double pixels);

  // A copy of the dialog's current font with another face, a cell height
  // in pixels and, when weight is not 0, another weight.
  void CreateDerivedFont(Platform::Font& font, const wchar_t* face, int cellHeight, int weight = 0);

  // Gives a static text a font derived as above, made smaller (down to
  // 60 %) when its text, wrapped at the control's width, would be taller
  // than the control: long translations stay whole instead of losing lines.
  void FitLabelFont(Platform::Font& font, int controlId, const wchar_t* face, int cellHeight, int weight = 0);

  HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind);
  void OnMakerLink();
  // As on Windows, the focus frame stays hidden until the keyboard is used.
  LRESULT OnQueryUiState(WPARAM, LPARAM);

  DECLARE_MESSAGE_MAP()

  AnimatedBitmapButton m_helpButton;
  AnimatedBitmapButton m_closeButton;
  AnimatedBitmapButton m_makerLinkButton;
  AnimatedBitmapButton m_logoButton;
  std::unique_ptr<DialogFontOverride> m_fontOverride;

 private:
  bool m_keyboardUsed = false;
  void SetUpTitleBar();
};

}  // namespace NCommon
