#include "Platform/Signature/SignatureCheck.h"

#include <cstdio>

namespace Platform {

bool SignerNameMatches(const std::wstring& signer, const std::wstring& expected) {
  if (signer.empty() || expected.empty()) return false;
  if (signer.find(L'\0') != std::wstring::npos || expected.find(L'\0') != std::wstring::npos) return false;
  return signer == expected;
}

std::uint32_t ChainFaultResult(std::uint32_t chainErrorStatus) {
  struct Fault {
    std::uint32_t trustBit;
    std::uint32_t result;
  };
  // CERT_TRUST_* bits and the trust results Windows gives for them.
  static const Fault kFaults[] = {
      {0x00000020u, 0x800B0109u},  // IS_UNTRUSTED_ROOT: CERT_E_UNTRUSTEDROOT
      {0x00010000u, 0x800B010Au},  // IS_PARTIAL_CHAIN: CERT_E_CHAINING
      {0x00000080u, 0x800B010Au},  // IS_CYCLIC: CERT_E_CHAINING
      {0x00000004u, 0x800B010Cu},  // IS_REVOKED: CERT_E_REVOKED
      {0x00000008u, 0x80096004u},  // IS_NOT_SIGNATURE_VALID: TRUST_E_CERT_SIGNATURE
      {0x04000000u, 0x800B0111u},  // IS_EXPLICIT_DISTRUST: TRUST_E_EXPLICIT_DISTRUST
  };
  for (const Fault& fault : kFaults) {
    if (chainErrorStatus & fault.trustBit) return fault.result;
  }
  return 0;
}

std::string ResultCodeText(std::uint32_t result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
  return text;
}

}  // namespace Platform
