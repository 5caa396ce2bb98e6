#pragma once
// The base of every screen: a dialog without caption or border whose
// background image is stretched over the whole client area and which the
// user moves by dragging that background.
#include "Platform/Ui/Dialog.h"
#include "Platform/Ui/GdiObjects.h"
#include "Platform/Ui/ToolTip.h"

namespace NCommon {

class ImageDialog : public Platform::Dialog {
 public:
  // A background id of -1 means no background image.
  ImageDialog(int backgroundId, int templateId);
  ~ImageDialog() override;

  // Loads another background; the frame hook is asked again at the next paint.
  void SetBackground(int bitmapId);

  BOOL PreTranslateMessage(MSG* message) override;

 protected:
  BOOL OnInitDialog() override;
  // Asked once per background whether a frame is to be drawn into it; the
  // rectangle arrives zeroed and, on true, holds the frame in client
  // coordinates.
  virtual bool GetFrameRect(RECT* frame);

  BOOL OnEraseBkgnd(HDC dc);
  void OnLButtonDown(UINT flags, POINT point);
  void OnLButtonUp(UINT flags, POINT point);
  void OnMouseMove(UINT flags, POINT point);

  // The steps of OnInitDialog after the platform's initialisation; screens
  // that do their own initialisation call these instead.
  void RemoveAppWindowStyleAndCreateToolTip();

  DECLARE_MESSAGE_MAP()

  Platform::Bitmap m_background;
  Platform::ToolTip m_toolTip;
  POINT m_dragStart;
  bool m_framePending;

 private:
  void DrawFrameIntoBackground(HDC imageDc, const RECT& client, SIZE image);
};

}  // namespace NCommon
