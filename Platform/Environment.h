#pragma once
#include <string>

namespace Platform {

// The user's temporary directory with its trailing separator. The query's
// result is not checked: an empty text comes back when it fails.
std::wstring GetTempDirectory();

// The separator between folder names on this platform.
extern const wchar_t kPathSeparator;

}  // namespace Platform
