#pragma once
// An owner-drawn image button: one of its four images (normal, pressed,
// hover, disabled; a missing one falls back to normal) alpha-blended over
// the part of the parent's background that lies under it, with an optional
// caption. Its parent must paint its background on WM_ERASEBKGND.
#include <string>

#include "Platform/Ui/Button.h"

namespace NCommon {

class AnimatedBitmapButton : public Platform::BitmapButton {
 public:
  AnimatedBitmapButton() = default;
  ~AnimatedBitmapButton() override;

  // Also the button's window text, so that assistive software reads what
  // the button says. Does not repaint: the screens repaint the button.
  void SetCaption(const std::wstring& text);
  // Resizes the window to its current image times m_scale, in place.
  void SizeToContent();

  bool m_hovered = false;
  std::wstring m_caption;
  int m_captionOffsetX = 0;
  int m_captionOffsetY = 0;
  HFONT m_captionFont = nullptr;  // not owned
  bool m_multiLine = false;
  // Pixels at the button's left (an icon tile) that a caption never
  // enters; 0 when the image has none.
  int m_captionClearLeft = 0;
  double m_scale = 1.0;
  HCURSOR m_hoverCursor = nullptr;  // not owned
  HCURSOR m_previousCursor = nullptr;

 protected:
  void DrawItem(const DRAWITEMSTRUCT& item) override;

  BOOL OnEraseBkgnd(HDC dc);
  void OnMouseMove(UINT flags, POINT point);
  void OnMouseHover(UINT flags, POINT point);
  void OnMouseLeave();
  BOOL OnSetCursor(HWND window, UINT hitTest, UINT message);

  DECLARE_MESSAGE_MAP()

 private:
  const Platform::Bitmap& ChooseImage(UINT itemState) const;
  void PaintParentBackground(HDC dc) const;
  void DrawCaption(HDC dc, const RECT& itemRect) const;
  // The width of the caption in the font selected into dc.
  int CaptionWidth(HDC dc, UINT format) const;
  // The keyboard focus, as a dotted frame inside the button's edge.
  void DrawFocus(HDC dc, const RECT& itemRect, UINT itemState) const;
};

}  // namespace NCommon
