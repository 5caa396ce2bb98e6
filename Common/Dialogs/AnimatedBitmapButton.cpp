#include "Common/Dialogs/AnimatedBitmapButton.h"

#include "Platform/Ui/AlphaBlend.h"
#include "Platform/Ui/GdiObjects.h"

namespace NCommon {
namespace {

constexpr DWORD kHoverTimeMs = 100;
// A caption too wide for its button shrinks to no less than this share of
// its font's size.
constexpr LONG kSmallestCaptionPercent = 70;
constexpr int kRightMarginShareOfTile = 6;

const Platform::Bitmap& OrNormal(const Platform::Bitmap& image, const Platform::Bitmap& normal) {
  return image.IsEmpty() ? normal : image;
}

}  // namespace

BEGIN_MESSAGE_MAP(AnimatedBitmapButton, Platform::BitmapButton)
  ON_WM_ERASEBKGND()
  ON_WM_MOUSEMOVE()
  ON_WM_MOUSEHOVER()
  ON_WM_MOUSELEAVE()
  ON_WM_SETCURSOR()
END_MESSAGE_MAP()

AnimatedBitmapButton::~AnimatedBitmapButton() = default;

const Platform::Bitmap& AnimatedBitmapButton::ChooseImage(UINT itemState) const {
  if (itemState & ODS_DISABLED) return OrNormal(m_disabledImage, m_normalImage);
  if (itemState & ODS_SELECTED) return OrNormal(m_selectedImage, m_normalImage);
  if (m_hovered) return OrNormal(m_focusImage, m_normalImage);
  return m_normalImage;
}

void AnimatedBitmapButton::DrawItem(const DRAWITEMSTRUCT& item) {
  const Platform::Bitmap& image = ChooseImage(item.itemState);
  Platform::MemoryDc imageDc(item.hDC);
  if (image.IsEmpty() || !imageDc.IsValid()) return;
  Platform::SelectedObject selected(imageDc.Get(), image.Get());
  if (!selected.Succeeded()) return;
  PaintParentBackground(item.hDC);
  const SIZE size = image.Size();
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  Platform::AlphaBlendImage(item.hDC, item.rcItem, imageDc.Get(), RECT{0, 0, size.cx, size.cy},
                            blend);
  if (!m_caption.empty()) DrawCaption(item.hDC, item.rcItem);
  DrawFocus(item.hDC, item.rcItem, item.itemState);
}

void AnimatedBitmapButton::SetCaption(const std::wstring& text) {
  m_caption = text;
  if (Handle()) ::SetWindowTextW(Handle(), text.c_str());
}

void AnimatedBitmapButton::DrawFocus(HDC dc, const RECT& itemRect, UINT itemState) const {
  if (!(itemState & ODS_FOCUS) || (itemState & ODS_NOFOCUSRECT)) return;
  // The parent screen decides whether keyboard cues show yet.
  HWND parent = GetParent();
  if (parent && (::SendMessageW(parent, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) return;
  // Inside the images' outline, where the frame shows against the light body.
  RECT frame = itemRect;
  ::InflateRect(&frame, -3, -3);
  if (frame.right <= frame.left || frame.bottom <= frame.top) return;
  ::SetTextColor(dc, RGB(0, 0, 0));
  ::SetBkColor(dc, RGB(255, 255, 255));
  ::DrawFocusRect(dc, &frame);
}

void AnimatedBitmapButton::DrawCaption(HDC dc, const RECT& itemRect) const {
  ::SetBkMode(dc, TRANSPARENT);
  HGDIOBJ previousFont = m_captionFont ? ::SelectObject(dc, m_captionFont) : nullptr;
  RECT text = itemRect;
  text.left += m_captionOffsetX;
  text.top += m_captionOffsetY;
  const UINT format = m_multiLine ? (DT_CENTER | DT_VCENTER) : (DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  // A caption that would reach into the icon tile is centred in the part
  // right of the tile instead; one still too wide for its part of the
  // button (a long drive name, a long translation) is drawn in a smaller
  // size of the same font rather than over the image or past its edge.
  const int clearLeft = itemRect.left + m_captionClearLeft;
  // An image with a tile also has an outline: the caption keeps off the
  // right edge by a margin in proportion.
  if (m_captionClearLeft > 0) text.right -= m_captionClearLeft / kRightMarginShareOfTile;
  const int centredRoom = m_captionClearLeft > 0 ? (text.left + text.right) - 2 * clearLeft : text.right - text.left;
  if (CaptionWidth(dc, format) > centredRoom && m_captionClearLeft > 0 && text.left < clearLeft) {
    text.left = clearLeft;
  }
  Platform::Font fitted;
  const int available = text.right - text.left;
  if (available > 0 && CaptionWidth(dc, format) > available) {
    LOGFONTW description = {};
    if (::GetObjectW(::GetCurrentObject(dc, OBJ_FONT), sizeof(description), &description)) {
      if (description.lfHeight == 0) {
        TEXTMETRICW metrics = {};
        ::GetTextMetricsW(dc, &metrics);
        description.lfHeight = -(metrics.tmHeight - metrics.tmInternalLeading);
      }
      const LONG full = description.lfHeight < 0 ? -description.lfHeight : description.lfHeight;
      const LONG sign = description.lfHeight < 0 ? -1 : 1;
      const LONG smallest = full * kSmallestCaptionPercent / 100;
      description.lfWidth = 0;
      for (LONG height = full - 1; height >= smallest && height > 0; --height) {
        description.lfHeight = sign * height;
        fitted.CreateIndirect(description);
        Platform::SelectedObject trial(dc, fitted.Get());
        if (CaptionWidth(dc, format) <= available) break;
      }
    }
  }
  {
    Platform::SelectedObject smaller(dc, fitted.IsEmpty() ? ::GetCurrentObject(dc, OBJ_FONT) : fitted.Get());
    ::DrawTextW(dc, m_caption.c_str(), static_cast<int>(m_caption.size()), &text, format);
  }
  if (previousFont) ::SelectObject(dc, previousFont);
}

int AnimatedBitmapButton::CaptionWidth(HDC dc, UINT format) const {
  RECT measured = {0, 0, 0, 0};
  ::DrawTextW(dc, m_caption.c_str(), static_cast<int>(m_caption.size()), &measured, format | DT_CALCRECT);
  return measured.right - measured.left;
}

void AnimatedBitmapButton::PaintParentBackground(HDC dc) const {
  HWND parent = GetParent();
  if (!parent) return;
  POINT origin = {0, 0};
  ::MapWindowPoints(Handle(), parent, &origin, 1);
  POINT previous = {};
  ::OffsetWindowOrgEx(dc, origin.x, origin.y, &previous);
  ::SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  ::SetWindowOrgEx(dc, previous.x, previous.y, nullptr);
}

void AnimatedBitmapButton::SizeToContent() {
  const Platform::Bitmap& image =
      (m_hovered && !m_focusImage.IsEmpty()) ? m_focusImage : m_normalImage;
  const SIZE size = image.Size();
  const int width = static_cast<int>(size.cx * m_scale + 0.5);
  const int height = static_cast<int>(size.cy * m_scale + 0.5);
  ::SetWindowPos(Handle(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL AnimatedBitmapButton::OnEraseBkgnd(HDC) { return TRUE; }

void AnimatedBitmapButton::OnMouseMove(UINT, POINT) {
  TRACKMOUSEEVENT track = {sizeof(track), TME_HOVER | TME_LEAVE, Handle(), kHoverTimeMs};
  ::TrackMouseEvent(&track);
  if (!m_hovered) {
    m_hovered = true;
    Invalidate(true);
  }
  Default();
}

void AnimatedBitmapButton::OnMouseHover(UINT, POINT) {
  if (!m_hovered) {
    m_hovered = true;
    Invalidate(true);
  }
}

void AnimatedBitmapButton::OnMouseLeave() {
  if (m_hovered) {
    m_hovered = false;
    Invalidate(true);
  }
  if (m_previousCursor) {
    ::SetCursor(m_previousCursor);
    m_previousCursor = nullptr;
  }
}

BOOL AnimatedBitmapButton::OnSetCursor(HWND, UINT, UINT) {
  if (m_hoverCursor) {
    HCURSOR replaced = ::SetCursor(m_hoverCursor);
    if (!m_previousCursor) m_previousCursor = replaced;
  }
  return TRUE;
}

}  // namespace NCommon
