#pragma once
#include <windows.h>

#include <string>

namespace Platform {

// The module whose resources (templates, bitmaps, strings) the program uses:
// the executable itself.
HINSTANCE ResourceModule();

// The bytes of a resource of the program, one char per byte; empty when it
// is missing or empty.
std::string LoadResourceBytes(const wchar_t* type, int id);

}  // namespace Platform
