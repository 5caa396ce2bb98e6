// The real Authenticode check on the stub application that the build signed
// with the rig's test signer, against the signer names a build could carry.
#include "Platform/Win32/AuthenticodeCheck.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "Platform/Win32/UniqueHandle.h"

namespace Platform {
namespace {

#ifdef KORVANE_SIGNED_STUB_DIR
// The build folder as Wine shows the host's file system.
std::wstring StubPath(const char* name) {
  std::wstring path = L"Z:";
  for (const char* c = KORVANE_SIGNED_STUB_DIR; *c; ++c) path.push_back(*c == '/' ? L'\\' : static_cast<wchar_t>(*c));
  for (const char* c = name; *c; ++c) path.push_back(static_cast<wchar_t>(*c));
  return path;
}

SignatureCheck CheckAgainst(const std::wstring& path, const std::wstring& expectedSigner) {
  UniqueHandle file(OpenFileAgainstChanges(path));
  EXPECT_TRUE(file.Valid()) << ::GetLastError();
  return CheckSignatureOfOpenFile(file.Get(), path, expectedSigner);
}

const std::wstring kTestSigner = L"Korvane Test Signer";

TEST(AuthenticodeCheck, SignedStubIsGenuineForItsOwnSigner) {
  const SignatureCheck check = CheckAgainst(StubPath("\\StubKorvane.exe"), kTestSigner);
  EXPECT_EQ(check.result, 0u);
  EXPECT_EQ(check.signer, kTestSigner);
  EXPECT_TRUE(check.IsGenuine());
}

TEST(AuthenticodeCheck, TheSignersNameInAnotherCaseIsAnotherSigner) {
  const SignatureCheck check = CheckAgainst(StubPath("\\StubKorvane.exe"), L"korvane test signer");
  EXPECT_EQ(check.result, SignatureCheck::kSignerMismatch);
  EXPECT_EQ(check.signer, kTestSigner);
}

TEST(AuthenticodeCheck, ValidSignatureOfAnotherSignerIsRefused) {
  const SignatureCheck check = CheckAgainst(StubPath("\\StubKorvane-other-signer.exe"), kTestSigner);
  EXPECT_EQ(check.result, SignatureCheck::kSignerMismatch);
  EXPECT_EQ(check.signer, L"Korvane Other Signer");
}

// Anybody can make a certificate with our signer's name; only the chain to a
// trusted root tells it apart, and the name is never even read.
TEST(AuthenticodeCheck, OurSignersNameWithoutATrustedRootIsRefused) {
  const SignatureCheck check = CheckAgainst(StubPath("\\StubKorvane-impostor.exe"), kTestSigner);
  EXPECT_EQ(check.result, 0x800B0109u) << std::hex << check.result;  // CERT_E_UNTRUSTEDROOT
  EXPECT_TRUE(check.signer.empty());
  EXPECT_FALSE(check.IsGenuine());
}

TEST(AuthenticodeCheck, UnsignedProgramIsRefusedWithoutASigner) {
  const SignatureCheck check = CheckAgainst(StubPath("\\StubKorvane-unsigned.exe"), kTestSigner);
  EXPECT_EQ(check.result, 0x800B0100u);  // TRUST_E_NOSIGNATURE
  EXPECT_TRUE(check.signer.empty());
}

// What the check reads cannot change until the checked handle is closed:
// nobody may write, rename or delete the file meanwhile, yet it still runs.
TEST(AuthenticodeCheck, CheckedFileIsHeldAgainstChanges) {
  const std::wstring path = StubPath("\\StubKorvane.exe");
  UniqueHandle held(OpenFileAgainstChanges(path));
  ASSERT_TRUE(held.Valid());
  UniqueHandle writer(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_FALSE(writer.Valid());
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  UniqueHandle deleter(::CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_FALSE(deleter.Valid());
  UniqueHandle reader(::CreateFileW(path.c_str(), GENERIC_READ | FILE_EXECUTE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_TRUE(reader.Valid()) << ::GetLastError();
}
#endif

TEST(AuthenticodeCheck, MissingFileIsRefusedWithFileNotFound) {
  const SignatureCheck check = AuthenticodeMakerCheck().CheckMakerSignature(L"Q:\\no such folder\\Korvane.exe");
  EXPECT_FALSE(check.IsGenuine());
  EXPECT_TRUE(check.result == 0x80070002u || check.result == 0x80070003u) << std::hex << check.result;
}

}  // namespace
}  // namespace Platform
