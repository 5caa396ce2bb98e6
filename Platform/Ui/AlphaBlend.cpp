#include "Platform/Ui/AlphaBlend.h"

#include "Platform/Win32/SystemLibrary.h"

namespace Platform {
namespace {

using AlphaBlendFunction = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int,
                                         BLENDFUNCTION);

AlphaBlendFunction LoadAlphaBlend() {
  static SystemLibrary library(L"msimg32.dll");
  return library.Get<AlphaBlendFunction>("AlphaBlend");
}

}  // namespace

bool AlphaBlendImage(HDC destination, const RECT& target, HDC source, const RECT& sourceRect,
                     BLENDFUNCTION blend) {
  static const AlphaBlendFunction alphaBlend = LoadAlphaBlend();
  if (!alphaBlend) return false;
  return alphaBlend(destination, target.left, target.top, target.right - target.left,
                    target.bottom - target.top, source, sourceRect.left, sourceRect.top,
                    sourceRect.right - sourceRect.left, sourceRect.bottom - sourceRect.top,
                    blend) != FALSE;
}

}  // namespace Platform
