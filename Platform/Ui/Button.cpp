#include "Platform/Ui/Button.h"

namespace Platform {

bool Button::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
  if (message != WM_DRAWITEM) return false;
  DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
  *result = TRUE;
  return true;
}

bool BitmapButton::LoadBitmaps(int normal, int selected, int focus, int disabled) {
  m_normalImage.Reset();
  m_selectedImage.Reset();
  m_focusImage.Reset();
  m_disabledImage.Reset();
  const bool loaded = normal != 0 && m_normalImage.LoadFromResource(normal);
  if (selected) m_selectedImage.LoadFromResource(selected);
  if (focus) m_focusImage.LoadFromResource(focus);
  if (disabled) m_disabledImage.LoadFromResource(disabled);
  return loaded;
}

}  // namespace Platform
