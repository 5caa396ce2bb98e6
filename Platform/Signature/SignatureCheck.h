#pragma once
#include <cstdint>
#include <string>

namespace Platform {

// What the check of a file's Authenticode signature found.
struct SignatureCheck {
  // 0 only when the file's signature is valid, chains to a trusted root and
  // its signer is the expected one. Otherwise the code for the log:
  // WinVerifyTrust's result (0x800B0100 unsigned, 0x80096010 changed since
  // it was signed, ...), kSignerMismatch, or the HRESULT of the system error
  // that kept the check from running (0x80070002 for a missing file).
  std::uint32_t result = kNotChecked;
  // The common name of the signing certificate's subject, when the
  // signature itself was valid; empty otherwise.
  std::wstring signer;

  bool IsGenuine() const { return result == 0; }

  // TRUST_E_SUBJECT_NOT_TRUSTED: a valid signature, but not by our signer.
  static constexpr std::uint32_t kSignerMismatch = 0x800B0004u;
  // E_FAIL: nothing has been checked yet.
  static constexpr std::uint32_t kNotChecked = 0x80004005u;
};

// Whether the signer named by a valid signature is the one this build
// trusts. Names compare exactly, code unit by code unit: the pin is the
// maker's own certificate, so no other spelling of it is accepted. An empty
// name on either side, or one with an embedded null (which a certificate
// can carry and a C string would cut off), never matches.
bool SignerNameMatches(const std::wstring& signer, const std::wstring& expected);

// The refusal for a certificate chain whose trust status (the CERT_TRUST_*
// error bits of the chain that validated the signature) shows a fault no
// genuine signature has: a root nobody trusts, a chain that does not reach
// a root or loops, a revoked or badly signed certificate, one the user
// distrusts. 0 when there is none. Unknown or offline revocation is no
// fault here, nor is an expired certificate (a timestamped signature
// outlives it): the trust policy has already judged both. Windows' policy
// refuses all of these itself; Wine's accepts a self-signed certificate
// from an untrusted root, so the chain is looked at again.
std::uint32_t ChainFaultResult(std::uint32_t chainErrorStatus);

// "0x800B0100": a result code as the log shows it.
std::string ResultCodeText(std::uint32_t result);

// Tells whether a file is the maker's, and starts only such a file. The
// real one (Platform/Win32) checks Authenticode; tests hand in fakes.
class IMakerSignatureCheck {
 public:
  virtual ~IMakerSignatureCheck() = default;
  // Is the file at path signed by the maker's signer compiled into this
  // build (KORVANE_SIGNER_NAME)? Never throws for a failed check; the
  // result says why.
  virtual SignatureCheck CheckMakerSignature(const std::wstring& path) = 0;
  // Checks the file as CheckMakerSignature does and, only when it is the
  // maker's, starts it through the shell with the given parameters and
  // working directory (either may be empty), without waiting for it. The
  // file stays open against writes, renames and deletion from the check
  // until the shell has started it, so what runs is what was checked.
  // Returns the check: nothing was started unless it IsGenuine(); whether
  // the shell then managed to start it is not reported.
  virtual SignatureCheck StartIfGenuine(const std::wstring& path, const std::wstring& parameters,
                                        const std::wstring& directory) = 0;
};

}  // namespace Platform
