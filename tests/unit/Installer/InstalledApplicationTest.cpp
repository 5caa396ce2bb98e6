#include "Installer/Engine/InstalledApplication.h"

#include <gtest/gtest.h>

namespace {

using InstallBackend::DescribeRefusal;
using InstallBackend::InstalledExecutableIn;

TEST(InstalledApplication, LiesInTheTargetWhateverItsSpelling) {
  EXPECT_EQ(InstalledExecutableIn(L"E:"), L"E:\\Korvane.exe");
  EXPECT_EQ(InstalledExecutableIn(L"E:\\"), L"E:\\Korvane.exe");
  EXPECT_EQ(InstalledExecutableIn(L"E:\\Apps"), L"E:\\Apps\\Korvane.exe");
  EXPECT_EQ(InstalledExecutableIn(L"E:\\Apps\\"), L"E:\\Apps\\Korvane.exe");
  EXPECT_EQ(InstalledExecutableIn(L"E:/Apps/"), L"E:/Apps/Korvane.exe");
}

TEST(InstalledApplication, RefusalNamesTheCodeAndAnyOtherSigner) {
  Platform::SignatureCheck unsigned_;
  unsigned_.result = 0x800B0100u;
  EXPECT_EQ(DescribeRefusal(unsigned_), "result 0x800B0100");

  Platform::SignatureCheck otherSigner;
  otherSigner.result = Platform::SignatureCheck::kSignerMismatch;
  otherSigner.signer = L"Korvane Other Signer";
  EXPECT_EQ(DescribeRefusal(otherSigner), "result 0x800B0004, signed by \"Korvane Other Signer\"");
}

}  // namespace
