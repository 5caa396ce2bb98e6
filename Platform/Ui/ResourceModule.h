#pragma once
#include <windows.h>

namespace Platform {

// The module whose resources (templates, bitmaps, strings) the program uses:
// the executable itself.
HINSTANCE ResourceModule();

}  // namespace Platform
