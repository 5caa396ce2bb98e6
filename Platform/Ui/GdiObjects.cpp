#include "Platform/Ui/GdiObjects.h"

#include "Platform/Ui/ResourceModule.h"

namespace Platform {

bool Bitmap::LoadFromResource(int id) {
  Reset(::LoadBitmapW(ResourceModule(), MAKEINTRESOURCEW(id)));
  return !IsEmpty();
}

SIZE Bitmap::Size() const {
  BITMAP info = {};
  if (IsEmpty() || !::GetObjectW(Get(), sizeof(info), &info)) return SIZE{0, 0};
  return SIZE{info.bmWidth, info.bmHeight};
}

bool Font::CreateIndirect(const LOGFONTW& description) {
  Reset(::CreateFontIndirectW(&description));
  return !IsEmpty();
}

bool Region::CreateRoundRect(int left, int top, int right, int bottom, int ellipseWidth,
                             int ellipseHeight) {
  Reset(::CreateRoundRectRgn(left, top, right, bottom, ellipseWidth, ellipseHeight));
  return !IsEmpty();
}

}  // namespace Platform
