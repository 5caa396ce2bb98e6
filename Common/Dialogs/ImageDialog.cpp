#include "Common/Dialogs/ImageDialog.h"

namespace NCommon {
namespace {

constexpr COLORREF kFrameColour = RGB(123, 158, 189);

LONG ToImage(LONG value, LONG imageExtent, LONG clientExtent) {
  return static_cast<LONG>(static_cast<double>(value) * imageExtent / clientExtent + 0.5);
}

}  // namespace

BEGIN_MESSAGE_MAP(ImageDialog, Platform::Dialog)
  ON_WM_ERASEBKGND()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONUP()
  ON_WM_MOUSEMOVE()
END_MESSAGE_MAP()

ImageDialog::ImageDialog(int backgroundId, int templateId)
    : Platform::Dialog(templateId, nullptr), m_dragStart{0, 0}, m_framePending(true) {
  if (backgroundId != -1) SetBackground(backgroundId);
}

ImageDialog::~ImageDialog() = default;

void ImageDialog::SetBackground(int bitmapId) {
  m_background.LoadFromResource(bitmapId);
  m_framePending = true;
  if (Handle()) ::InvalidateRect(Handle(), nullptr, TRUE);
}

bool ImageDialog::GetFrameRect(RECT*) { return false; }

BOOL ImageDialog::OnInitDialog() {
  Platform::Dialog::OnInitDialog();
  RemoveAppWindowStyleAndCreateToolTip();
  return TRUE;
}

void ImageDialog::RemoveAppWindowStyleAndCreateToolTip() {
  ModifyStyleEx(WS_EX_APPWINDOW, 0);
  m_toolTip.Create(Handle(), 0);
}

BOOL ImageDialog::PreTranslateMessage(MSG* message) {
  m_toolTip.RelayEvent(message);
  return Platform::Dialog::PreTranslateMessage(message);
}

BOOL ImageDialog::OnEraseBkgnd(HDC dc) {
  if (m_background.IsEmpty()) return static_cast<BOOL>(Default());
  const RECT client = GetClientRect();
  Platform::MemoryDc imageDc(nullptr);
  Platform::SelectedObject selected(imageDc.Get(), m_background.Get());
  const SIZE image = m_background.Size();
  if (m_framePending) {
    m_framePending = false;
    DrawFrameIntoBackground(imageDc.Get(), client, image);
  }
  ::StretchBlt(dc, 0, 0, client.right - client.left, client.bottom - client.top, imageDc.Get(), 0,
               0, image.cx, image.cy, SRCCOPY);
  return TRUE;
}

void ImageDialog::DrawFrameIntoBackground(HDC imageDc, const RECT& client, SIZE image) {
  RECT frame = {0, 0, 0, 0};
  if (!GetFrameRect(&frame)) return;
  const LONG width = client.right - client.left;
  const LONG height = client.bottom - client.top;
  if (width <= 0 || height <= 0) return;
  RECT mapped = {ToImage(frame.left, image.cx, width), ToImage(frame.top, image.cy, height),
                 ToImage(frame.right, image.cx, width), ToImage(frame.bottom, image.cy, height)};
  ::InflateRect(&mapped, 1, 1);
  Platform::Pen pen(PS_SOLID, 1, kFrameColour);
  Platform::SelectedObject selectedPen(imageDc, pen.Get());
  ::Rectangle(imageDc, mapped.left, mapped.top, mapped.right, mapped.bottom);
}

void ImageDialog::OnLButtonDown(UINT, POINT point) {
  m_dragStart = point;
  ::SetCapture(Handle());
  Default();
}

void ImageDialog::OnMouseMove(UINT, POINT point) {
  if (::GetCapture() == Handle()) {
    const RECT rect = GetWindowRect();
    MoveWindow(point.x + rect.left - m_dragStart.x, point.y + rect.top - m_dragStart.y,
               rect.right - rect.left, rect.bottom - rect.top, true);
  }
  Default();
}

void ImageDialog::OnLButtonUp(UINT, POINT) {
  ::ReleaseCapture();
  Default();
}

}  // namespace NCommon
