#pragma once
#include <windows.h>

#include <string>

#include "Platform/Signature/SignatureCheck.h"

namespace Platform {

// The maker's signature checked with the system's trust policy, no UI,
// revocation from the local cache only, then the signer's name; a file
// that passes is started as StartProgram does. Holds nothing: one object
// serves every thread.
class AuthenticodeMakerCheck final : public IMakerSignatureCheck {
 public:
  SignatureCheck CheckMakerSignature(const std::wstring& path) override;
  SignatureCheck StartIfGenuine(const std::wstring& path, const std::wstring& parameters,
                                const std::wstring& directory) override;
};

// The same check on a file the caller has opened (with
// read access), so that the caller can keep it from being replaced between
// the check and its use. `path` is the file's name, which the trust
// provider also wants; the handle is what is read.
SignatureCheck CheckSignatureOfOpenFile(HANDLE file, const std::wstring& path, const std::wstring& expectedSigner);

// Opens a file for reading so that nobody can write, rename or delete it
// while the handle lives (others may still read and run it). Invalid
// handle on failure, with the thread's last error set.
HANDLE OpenFileAgainstChanges(const std::wstring& path);

// The HRESULT for the calling thread's last system error; E_FAIL when it
// holds none.
std::uint32_t LastErrorResult();

}  // namespace Platform
