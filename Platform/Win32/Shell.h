#pragma once
#include <string>

#include "Platform/Signature/SignatureCheck.h"

namespace Platform {

// Starts an executable as StartProgram does (parameters and directory may be
// empty), but only when the maker's signature check (AuthenticodeMakerCheck)
// finds it signed by the maker. The file stays open against writes, renames
// and deletion from the check until the shell has started it, so what runs
// is what was checked. Returns the check: nothing was started unless it
// IsGenuine(); whether the shell then managed to start it is not reported.
SignatureCheck StartIfGenuine(const std::wstring& path, const std::wstring& parameters,
                              const std::wstring& directory);

}  // namespace Platform
