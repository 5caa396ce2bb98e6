#include "Platform/Signature/SignatureCheck.h"

#include <cstdio>

namespace Platform {

bool SignerNameMatches(const std::wstring& signer, const std::wstring& expected) {
  if (signer.empty() || expected.empty()) return false;
  if (signer.find(L'\0') != std::wstring::npos || expected.find(L'\0') != std::wstring::npos) return false;
  return signer == expected;
}

std::string ResultCodeText(std::uint32_t result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
  return text;
}

}  // namespace Platform
