#include "Platform/Signature/SignatureCheck.h"

#include <gtest/gtest.h>

namespace {

using Platform::SignatureCheck;
using Platform::SignerNameMatches;

const std::wstring kOurSigner = L"Korvane Test Signer";

TEST(SignerName, TheExactNameMatches) {
  EXPECT_TRUE(SignerNameMatches(L"Korvane Test Signer", kOurSigner));
  EXPECT_TRUE(SignerNameMatches(L"K\u00f6rvane \u6e2c\u8a66", L"K\u00f6rvane \u6e2c\u8a66"));
}

TEST(SignerName, ANameThatDiffersOnlyInCaseIsAnotherSigner) {
  EXPECT_FALSE(SignerNameMatches(L"korvane test signer", kOurSigner));
  EXPECT_FALSE(SignerNameMatches(L"KORVANE TEST SIGNER", kOurSigner));
  EXPECT_FALSE(SignerNameMatches(L"Korvane test Signer", kOurSigner));
  EXPECT_FALSE(SignerNameMatches(L"K\u00d6rvane", L"K\u00f6rvane"));
}

TEST(SignerName, ACertificateWithoutACommonNameNeverMatches) {
  EXPECT_FALSE(SignerNameMatches(L"", kOurSigner));
  // Nor does a build whose signer is empty accept such a certificate.
  EXPECT_FALSE(SignerNameMatches(L"", L""));
  EXPECT_FALSE(SignerNameMatches(kOurSigner, L""));
}

TEST(SignerName, PrefixesSuffixesAndPaddingAreOtherSigners) {
  EXPECT_FALSE(SignerNameMatches(L"Korvane Test", kOurSigner));
  EXPECT_FALSE(SignerNameMatches(L"Korvane Test Signer Ltd", kOurSigner));
  EXPECT_FALSE(SignerNameMatches(L"Korvane Test Signer ", kOurSigner));
  EXPECT_FALSE(SignerNameMatches(L" Korvane Test Signer", kOurSigner));
}

// A name with a null inside reads as our signer to anything that stops at
// the null: it is refused whole.
TEST(SignerName, AnEmbeddedNullIsRefused) {
  const std::wstring smuggled = kOurSigner + std::wstring(1, L'\0') + L"evil";
  EXPECT_FALSE(SignerNameMatches(smuggled, kOurSigner));
  EXPECT_FALSE(SignerNameMatches(smuggled, smuggled));
}

TEST(SignatureCheckResult, OnlyResultZeroIsGenuine) {
  SignatureCheck check;
  EXPECT_FALSE(check.IsGenuine());  // nothing checked yet
  check.signer = kOurSigner;
  check.result = SignatureCheck::kSignerMismatch;
  EXPECT_FALSE(check.IsGenuine());
  check.result = 0;
  EXPECT_TRUE(check.IsGenuine());
}

TEST(SignatureCheckResult, CodesReadAsEightHexDigits) {
  EXPECT_EQ(Platform::ResultCodeText(0x800B0100u), "0x800B0100");
  EXPECT_EQ(Platform::ResultCodeText(0x80096010u), "0x80096010");
  EXPECT_EQ(Platform::ResultCodeText(0), "0x00000000");
  EXPECT_EQ(Platform::ResultCodeText(0xFFFFFFFFu), "0xFFFFFFFF");
}

}  // namespace

namespace {

using Platform::ChainFaultResult;

TEST(ChainFault, ACleanChainHasNone) { EXPECT_EQ(ChainFaultResult(0), 0u); }

TEST(ChainFault, UnknownOrOfflineRevocationAndExpiryAreLeftToThePolicy) {
  // REVOCATION_STATUS_UNKNOWN, IS_OFFLINE_REVOCATION, IS_NOT_TIME_VALID.
  EXPECT_EQ(ChainFaultResult(0x00000040u | 0x01000000u | 0x00000001u), 0u);
}

TEST(ChainFault, AnUntrustedRootIsRefusedAsWindowsRefusesIt) {
  EXPECT_EQ(ChainFaultResult(0x00000020u), 0x800B0109u);
  // Whatever else the chain carries.
  EXPECT_EQ(ChainFaultResult(0x00000020u | 0x00000040u | 0x01000000u), 0x800B0109u);
}

TEST(ChainFault, BrokenRevokedOrDistrustedChainsAreRefused) {
  EXPECT_EQ(ChainFaultResult(0x00010000u), 0x800B010Au);
  EXPECT_EQ(ChainFaultResult(0x00000080u), 0x800B010Au);
  EXPECT_EQ(ChainFaultResult(0x00000004u), 0x800B010Cu);
  EXPECT_EQ(ChainFaultResult(0x00000008u), 0x80096004u);
  EXPECT_EQ(ChainFaultResult(0x04000000u), 0x800B0111u);
}

}  // namespace
