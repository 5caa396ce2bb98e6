#pragma once
#include <string>

namespace Platform {

// True when the path's file attributes can be read.
bool PathExists(const std::wstring& path);

// Opens a file with the shell's "open" verb, no owner window and no
// parameters; the outcome is not reported.
void OpenWithShell(const std::wstring& path);

}  // namespace Platform
