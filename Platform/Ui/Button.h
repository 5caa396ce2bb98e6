#pragma once
#include "Platform/Ui/GdiObjects.h"
#include "Platform/Ui/Window.h"

namespace Platform {

// A push button. An owner-drawn one is painted by DrawItem, which the parent
// hands on when it receives WM_DRAWITEM for the button.
class Button : public Window {
 public:
  bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 protected:
  virtual void DrawItem(const DRAWITEMSTRUCT&) {}
};

// An owner-drawn button holding up to four images, loaded by resource id:
// normal, selected (pressed), focus and disabled.
class BitmapButton : public Button {
 public:
  // Releases the previous images first; id 0 leaves a slot empty. False
  // when the normal image cannot be loaded.
  bool LoadBitmaps(int normal, int selected = 0, int focus = 0, int disabled = 0);

 protected:
  Bitmap m_normalImage;
  Bitmap m_selectedImage;
  Bitmap m_focusImage;
  Bitmap m_disabledImage;
};

}  // namespace Platform
