#pragma once
#include <string>

namespace Platform {

// The text of the program's string resource with this id; empty when the
// program has no such resource (a native build carries no resources at all).
std::wstring LoadStringResource(int resourceId);

}  // namespace Platform
