#pragma once
#include <string>

// The argument that follows the first argument equal to name in the
// process's command line (split afresh), or an empty text.
std::wstring GetArgumentValue(const std::wstring& name);
