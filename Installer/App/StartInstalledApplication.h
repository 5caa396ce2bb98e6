#pragma once
#include <string>

#include "Platform/Signature/SignatureCheck.h"

// Starts the installed Korvane.exe at exePath with the given parameters
// (empty for none) and working directory (empty for the shell's default)
// only when `signatures` finds it signed by the maker, right after checking
// it and without letting it change in between. A file that is not genuine
// is not started; an ERROR record names it and the result code. True when
// the file was genuine and handed to the shell.
bool StartInstalledApplication(Platform::IMakerSignatureCheck& signatures, const std::wstring& exePath,
                               const std::wstring& parameters, const std::wstring& directory = std::wstring());
