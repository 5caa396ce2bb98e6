#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "Installer/Engine/Commit.h"
#include "Installer/Engine/InstallException.h"
#include "Platform/SystemServices.h"
#include "Platform/Win32/UniqueHandle.h"
#include "Support/TestArchives.h"

// An installed file held open by a program that is still closing (Windows
// refuses to rename a file opened without FILE_SHARE_DELETE): the commit
// waits a few seconds for it, and then gives up with the old version whole.
namespace {

namespace fs = std::filesystem;

const std::wstring kTarget = L"U:\\locked";

class LockedFile : public ::testing::Test {
 protected:
  LockedFile() {
    fs::remove_all(kTarget);
    Write(kTarget + L"\\Korvane.exe", "old");
    Write(kTarget + L"\\.korvane-staging\\owner", "");
    Write(kTarget + L"\\.korvane-staging\\new\\Korvane.exe", "new");
  }
  ~LockedFile() override { fs::remove_all(kTarget); }

  static void Write(const std::wstring& path, const char* text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(fs::path(path), std::ios::binary) << text;
  }

  static Platform::UniqueHandle Hold() {
    return Platform::UniqueHandle(::CreateFileW((kTarget + L"\\Korvane.exe").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
  }

  bool Commit() {
    const CancelFlag cancel;
    InstallBackend::PackageList package;
    package.files.push_back({L"Korvane.exe", 3});
    return InstallBackend::CommitStaged(Platform::TheSystem().files, InstallBackend::StagingArea(kTarget), package,
                                        nullptr, cancel);
  }
};

TEST_F(LockedFile, FileReleasedWithinTheWaitIsReplaced) {
  Platform::UniqueHandle held = Hold();
  ASSERT_TRUE(held.Valid());
  std::thread closing([&held] {
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    held.Reset();
  });
  EXPECT_TRUE(Commit());
  closing.join();
  EXPECT_EQ(KorvaneTest::ReadWholeFile(fs::path(kTarget + L"\\Korvane.exe")), "new");
}

TEST_F(LockedFile, FileThatStaysLockedFailsTheCommitAndKeepsTheOldVersion) {
  const Platform::UniqueHandle held = Hold();
  ASSERT_TRUE(held.Valid());
  try {
    Commit();
    ADD_FAILURE() << "the commit went through a locked file";
  } catch (const InstallBackend::InstallException& error) {
    EXPECT_EQ(error.Message(), L"InstallBackend::Commit Installed file stays locked: U:\\locked\\Korvane.exe");
    EXPECT_TRUE(error.RetryIsPointless());
  }
  EXPECT_EQ(KorvaneTest::ReadWholeFile(fs::path(kTarget + L"\\Korvane.exe")), "old");
  EXPECT_FALSE(fs::exists(kTarget + L"\\.korvane-staging"));
}

}  // namespace
