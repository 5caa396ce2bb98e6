#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/Unzip.h"
#include "Platform/Files/FileSystem.h"
#include "Platform/SystemServices.h"
#include "Support/TestArchives.h"

// Extraction through the real Windows file operations onto a Wine drive:
// attributes, times, locks and the current directory as the Windows API sees
// them. What any file system shows (names, contents, refusals) is checked
// by the portable extraction table, which runs under Wine as well.
namespace {

namespace fs = std::filesystem;
using InstallBackend::InstallException;
using KorvaneTest::Unzip;
using KorvaneTest::ArchivePath;
using KorvaneTest::UnixToTicks;

// Drive U: of the test prefix (mapped by the test set-up to a host folder),
// emptied before each test: the way a USB drive appears to the installer.
class DriveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(::GetDriveTypeW(L"U:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR))
        << "drive U: is not mapped; run the tests through ctest";
    ClearDrive();
  }

  void TearDown() override {
    ::SetCurrentDirectoryW(L"C:\\");
    ClearDrive();
  }

  // Every path on the drive below folder, relative to the root, deepest
  // first. FindFirstFileW rather than std::filesystem, whose MinGW
  // directory iterator cannot open a drive root under Wine.
  static void ListTree(const std::wstring& folder, std::vector<std::wstring>& found, int depth = 0) {
    ASSERT_LT(depth, 16);
    WIN32_FIND_DATAW data;
    const HANDLE search = ::FindFirstFileW((L"U:\\" + folder + L"*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ListTree(folder + name + L"\\", found, depth + 1);
      found.push_back(folder + name);
    } while (::FindNextFileW(search, &data));
    ::FindClose(search);
  }

  static std::vector<std::wstring> DriveContents() {
    std::vector<std::wstring> found;
    ListTree(L"", found);
    return found;
  }

  static void ClearDrive() {
    for (const std::wstring& relative : DriveContents()) {
      const std::wstring path = L"U:\\" + relative;
      ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (!::DeleteFileW(path.c_str())) ::RemoveDirectoryW(path.c_str());
    }
  }

  std::wstring Run(const std::string& archive) {
    try {
      Unzip(ArchivePath(archive), m_drive, nullptr, m_cancel);
    } catch (const InstallException& error) {
      return error.Message();
    }
    return std::wstring();
  }

  std::wstring OnDrive(const std::wstring& relative) const { return L"U:\\" + relative; }

  DWORD Attributes(const std::wstring& relative) const {
    return ::GetFileAttributesW(OnDrive(relative).c_str());
  }

  KorvaneTest::CurrentDirectoryRestorer m_restorer;
  const std::wstring m_drive = L"U:";
  const fs::path m_root = L"U:\\";
  CancelFlag m_cancel;
};

std::uint64_t Ticks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

TEST_F(DriveTest, ExtractsToTheDriveRootAndLeavesItCurrent) {
  EXPECT_EQ(Run("unix_modes.zip"), L"");
  EXPECT_EQ(Attributes(L"tools") & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(fs::exists(m_root / "tools" / "scan.dat"));
  wchar_t current[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, current);
  EXPECT_EQ(std::wstring(current), m_drive + L"\\");
}

TEST_F(DriveTest, FilesGetTheEntryAttributesAndFoldersGetHiddenAfterwards) {
  EXPECT_EQ(Run("windows_attributes.zip"), L"");
  const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                     FILE_ATTRIBUTE_DIRECTORY;
  EXPECT_EQ(Attributes(L"plain.txt") & kept, 0u);
  EXPECT_EQ(Attributes(L"readonly.txt") & kept, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(Attributes(L"hidden.txt") & kept, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(Attributes(L"folder") & kept, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(Attributes(L"secret") & kept,
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(KorvaneTest::ReadWholeFile(m_root / "folder" / "inside.txt"), "inside");
}

TEST_F(DriveTest, ReadOnlyFileInTheWayFailsAndEarlierEntriesStay) {
  EXPECT_EQ(Run("windows_attributes.zip"), L"");
  // The read-only file it wrote is now in the way of the second run.
  EXPECT_EQ(Run("windows_attributes.zip"), L"InstallBackend::Unzip UnzipItem failed");
  EXPECT_NE(Attributes(L"plain.txt"), INVALID_FILE_ATTRIBUTES);

  const HANDLE file = ::CreateFileW(OnDrive(L"part3.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_READONLY, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ::CloseHandle(file);
  EXPECT_EQ(Run("four_entries.zip"), L"InstallBackend::Unzip UnzipItem failed");
  EXPECT_EQ(fs::file_size(m_root / "part2.txt"), 1400u);
  EXPECT_EQ(fs::file_size(m_root / "part3.txt"), 0u);
  EXPECT_FALSE(fs::exists(m_root / "part4.txt"));
}

TEST_F(DriveTest, LockedFileInTheWayFailsTheEntry) {
  const HANDLE locked = ::CreateFileW(OnDrive(L"part2.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Run("four_entries.zip"), L"InstallBackend::Unzip UnzipItem failed");
  ::CloseHandle(locked);
  EXPECT_EQ(fs::file_size(m_root / "part1.txt"), 700u);
  EXPECT_EQ(fs::file_size(m_root / "part2.txt"), 0u);
  EXPECT_FALSE(fs::exists(m_root / "part3.txt"));
}

TEST_F(DriveTest, HiddenEntryReplacesAnExistingFileAndHidesIt) {
  const HANDLE file = ::CreateFileW(OnDrive(L"hidden.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ::WriteFile(file, "an older and longer file", 24, &written, nullptr);
  ::CloseHandle(file);
  EXPECT_EQ(Run("windows_attributes.zip"), L"");
  EXPECT_EQ(KorvaneTest::ReadWholeFile(m_root / "hidden.txt"), "hidden");
  EXPECT_NE(Attributes(L"hidden.txt") & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST_F(DriveTest, HiddenSystemFileInTheWayIsReplacedByAPlainEntry) {
  const HANDLE file = ::CreateFileW(OnDrive(L"plain.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ::CloseHandle(file);
  ASSERT_NE(Attributes(L"plain.txt") & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(Run("windows_attributes.zip"), L"");
  EXPECT_EQ(KorvaneTest::ReadWholeFile(m_root / "plain.txt"), "plain");
  EXPECT_EQ(Attributes(L"plain.txt") & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), 0u);
}

TEST_F(DriveTest, FileTimesComeFromTheEntry) {
  EXPECT_EQ(Run("unix_modes.zip"), L"");
  const HANDLE file = ::CreateFileW(OnDrive(L"readme.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME created, accessed, written;
  ASSERT_TRUE(::GetFileTime(file, &created, &accessed, &written));
  ::CloseHandle(file);
  EXPECT_EQ(Ticks(written), UnixToTicks(KorvaneTest::kUnixMtime));
  EXPECT_EQ(Ticks(accessed), UnixToTicks(KorvaneTest::kUnixAtime));

  EXPECT_EQ(Run("timestamp_mtime_only.zip"), L"");
  const HANDLE stamped = ::CreateFileW(OnDrive(L"stamped.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(stamped, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(::GetFileTime(stamped, &created, &accessed, &written));
  ::CloseHandle(stamped);
  EXPECT_EQ(Ticks(written), UnixToTicks(KorvaneTest::kUtMtime));
  // The access time comes from the DOS date and time, 2020-01-02 03:04:06
  // local time. Wine keeps no creation time: it reports the last write.
  EXPECT_EQ(Ticks(accessed), UnixToTicks(1577934246) - Platform::TheSystem().files.CurrentUtcOffsetTicks());
}

}  // namespace
