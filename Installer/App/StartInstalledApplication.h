#pragma once
#include <string>

// Starts the installed Korvane.exe at exePath with the given parameters
// (empty for none) and working directory (empty for the shell's default)
// only when it is signed by the maker, right after checking it and without
// letting it change in between. A file that is not genuine is not started;
// an ERROR record names it and the result code. True when the file was
// genuine and handed to the shell.
bool StartInstalledApplication(const std::wstring& exePath, const std::wstring& parameters,
                               const std::wstring& directory = std::wstring());
