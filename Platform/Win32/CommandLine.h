#pragma once
#include <string>
#include <vector>

namespace Platform {

// The process's raw command line text.
std::wstring GetRawCommandLine();

// The argument vector the shell's rules give for a command line; element 0
// is the program path. Empty when the text cannot be split.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

}  // namespace Platform
