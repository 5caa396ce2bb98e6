#pragma once
#include <windows.h>

namespace Platform {

// AlphaBlend of msimg32.dll, which is not a KnownDLL: it is loaded from the
// system folder on first use and never linked, so a DLL of that name planted
// next to the installer is never picked up. False when it is unavailable or
// the blend fails.
bool AlphaBlendImage(HDC destination, const RECT& target, HDC source, const RECT& sourceRect,
                     BLENDFUNCTION blend);

}  // namespace Platform
