#include "Installer/Engine/Unzip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/UnzipItem.h"
#include "Platform/Files/FileSystem.h"
#include "Platform/SystemServices.h"
#include "Support/RecordingListener.h"
#include "Support/TestArchives.h"

namespace {

namespace fs = std::filesystem;
using InstallBackend::InstallException;
using KorvaneTest::Unzip;
using KorvaneTest::ArchivePath;
using KorvaneTest::ReadWholeFile;

class UnzipTest : public ::testing::Test {
 protected:
  // Extracts into a target folder inside the scratch folder, so that a
  // file written above the target is still caught (and cleaned up).
  UnzipTest() : m_target(m_scratch.Path() / "target") { fs::create_directories(m_target); }

  std::wstring TargetFolder() const { return m_scratch.Text() + L"target"; }

  // The raised text, or empty when Unzip returned normally.
  std::wstring Run(const std::string& archive, IInstallListener* listener = nullptr) {
    try {
      Unzip(ArchivePath(archive), TargetFolder(), listener, m_cancel);
    } catch (const InstallException& error) {
      return error.Message();
    }
    return std::wstring();
  }

  std::size_t FilesOutsideTarget() const {
    std::size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(m_scratch.Path())) {
      const auto relative = entry.path().lexically_relative(m_target);
      if (!relative.empty() && *relative.begin() == "..") ++count;
    }
    return count;
  }

  KorvaneTest::CurrentDirectoryRestorer m_restorer;
  KorvaneTest::ScratchFolder m_scratch;
  fs::path m_target;
  CancelFlag m_cancel;
};

TEST_F(UnzipTest, WritesFoldersAndFilesWithProgressPerEntry) {
  KorvaneTest::RecordingListener listener;
  EXPECT_EQ(Run("four_entries.zip", &listener), L"");
  EXPECT_EQ(listener.statuses, std::vector<int>{Extracting});
  EXPECT_EQ(listener.fractions, (std::vector<float>{0.25f, 0.5f, 0.75f, 1.0f}));
  EXPECT_EQ(ReadWholeFile(m_target / "part3.txt").size(), 2100u);
  EXPECT_EQ(ReadWholeFile(m_target / "part1.txt").substr(0, 7), "part 1\n");

  EXPECT_EQ(Run("nested.zip"), L"");
  EXPECT_EQ(ReadWholeFile(m_target / "a" / "b" / "c.txt"), "nested file");

  EXPECT_EQ(Run("unix_modes.zip"), L"");
  EXPECT_TRUE(fs::is_directory(m_target / "tools"));
  EXPECT_EQ(ReadWholeFile(m_target / "tools" / "scan.dat").size(), 16384u);
  EXPECT_EQ(ReadWholeFile(m_target / "locked.txt"), "read only\n");
}

TEST_F(UnzipTest, ExtractsBelowTheTargetWhateverTheDirectoryWasBefore) {
  fs::current_path(m_scratch.Path());
  EXPECT_EQ(Run("stub_in_front.zip"), L"");
  EXPECT_TRUE(fs::exists(m_target / "readme.txt"));
  EXPECT_EQ(FilesOutsideTarget(), 0u);
  EXPECT_TRUE(fs::equivalent(fs::current_path(), m_target));
}

TEST_F(UnzipTest, EmptyArchiveReportsExtractingAndNoProgress) {
  KorvaneTest::RecordingListener listener;
  EXPECT_EQ(Run("empty.zip", &listener), L"");
  EXPECT_EQ(listener.statuses, std::vector<int>{Extracting});
  EXPECT_TRUE(listener.fractions.empty());
}

TEST_F(UnzipTest, CancelBeforeFirstEntryWritesNothing) {
  m_cancel.Set();
  KorvaneTest::RecordingListener listener;
  EXPECT_EQ(Run("four_entries.zip", &listener), L"");
  EXPECT_EQ(listener.statuses, std::vector<int>{Extracting});
  EXPECT_TRUE(listener.fractions.empty());
  EXPECT_TRUE(fs::is_empty(m_target));
}

TEST_F(UnzipTest, UnusableArchiveOrTargetFailsToOpen) {
  const std::wstring openFailed = L"InstallBackend::Unzip Failed to open zip file";
  KorvaneTest::RecordingListener listener;
  EXPECT_EQ(Run("not_a_zip.zip", &listener), openFailed);
  EXPECT_EQ(Run("missing.zip", &listener), openFailed);
  EXPECT_TRUE(listener.statuses.empty());

  // A target that cannot become the current directory: nothing is written
  // below the directory that was current instead.
  fs::current_path(m_scratch.Path());
  try {
    Unzip(ArchivePath("four_entries.zip"), m_scratch.Text() + L"no-such-folder", nullptr, m_cancel);
    ADD_FAILURE() << "no error raised";
  } catch (const InstallException& error) {
    EXPECT_EQ(error.Message(), openFailed);
  }
  EXPECT_FALSE(fs::exists(m_scratch.Path() / "part1.txt"));
}

TEST_F(UnzipTest, EntryThatCannotBeDescribedStopsAfterEarlierEntries) {
  KorvaneTest::RecordingListener listener;
  EXPECT_EQ(Run("unsupported_method.zip", &listener), L"InstallBackend::Unzip GetZipItem failed");
  EXPECT_EQ(ReadWholeFile(m_target / "first.txt"), "first");
  EXPECT_FALSE(fs::exists(m_target / "second.txt"));
  EXPECT_EQ(listener.fractions, std::vector<float>{1.0f / 3.0f});
  EXPECT_EQ(Run("long_name.zip"), L"InstallBackend::Unzip GetZipItem failed");
  EXPECT_EQ(Run("unreadable_central.zip"), L"InstallBackend::Unzip GetZipItem failed");
}

TEST_F(UnzipTest, PathsBeyondTheWindowsLimitAreNotWritten) {
  // A 259-unit name fits an item, but not below any base folder.
  EXPECT_EQ(Run("ok_259.zip"), L"InstallBackend::Unzip UnzipItem failed");
  EXPECT_TRUE(fs::is_empty(m_target));
}

TEST_F(UnzipTest, DamagedDataFailsTheEntryAndKeepsWhatCameBefore) {
  const std::wstring itemFailed = L"InstallBackend::Unzip UnzipItem failed";
  EXPECT_EQ(Run("damaged_deflate.zip"), itemFailed);
  EXPECT_EQ(ReadWholeFile(m_target / "good.txt").size(), 500u);
  EXPECT_TRUE(fs::exists(m_target / "bad.txt"));  // left as far as it was written

  EXPECT_EQ(Run("crc_mismatch.zip"), itemFailed);
  EXPECT_EQ(Run("stored_short.zip"), itemFailed);
  EXPECT_EQ(Run("encrypted.zip"), itemFailed);
}

#ifndef _WIN32
// A drive that fills up during the extraction: the entry written onto
// /dev/full fails like any other write error and the extraction stops there.
TEST_F(UnzipTest, FullDriveFailsTheEntryBeingWrittenAndStops) {
  fs::create_symlink("/dev/full", m_target / "part2.txt");
  KorvaneTest::RecordingListener listener;
  EXPECT_EQ(Run("four_entries.zip", &listener), L"InstallBackend::Unzip UnzipItem failed");
  EXPECT_EQ(ReadWholeFile(m_target / "part1.txt").size(), 700u);
  EXPECT_FALSE(fs::exists(m_target / "part3.txt"));
  EXPECT_EQ(listener.fractions, std::vector<float>{0.25f});
}
#endif

TEST_F(UnzipTest, NamesThatClimbAboveTheTargetAreNeverWritten) {
  const std::wstring itemFailed = L"InstallBackend::Unzip UnzipItem failed";
  for (const char* archive : {"escape.zip", "escape_dots.zip"}) {
    SCOPED_TRACE(archive);
    EXPECT_EQ(Run(archive), itemFailed);
    EXPECT_EQ(ReadWholeFile(m_target / "inside.txt"), "inside");
    EXPECT_EQ(FilesOutsideTarget(), 0u);
  }
  // Guarded names land below the target.
  EXPECT_EQ(Run("guarded_distinct.zip"), itemFailed);  // stops at dir/../../f
  EXPECT_TRUE(fs::exists(m_target / "tools" / "a.txt"));
  EXPECT_TRUE(fs::exists(m_target / "etc" / "x"));
  EXPECT_EQ(FilesOutsideTarget(), 0u);
}

TEST_F(UnzipTest, JarFolderEntriesBecomeFolders) {
  EXPECT_EQ(Run("folders_jar.zip"), L"");
  EXPECT_TRUE(fs::is_directory(m_target / "app" / "empty"));
  EXPECT_TRUE(fs::is_directory(m_target / "META-INF"));
  EXPECT_EQ(ReadWholeFile(m_target / "app" / "lib" / "core.dat").size(), 100u);
  EXPECT_EQ(ReadWholeFile(m_target / "app" / "readme.txt"), "jar readme\n");
}

TEST_F(UnzipTest, LegacyNamesBecomeDistinctFiles) {
  EXPECT_EQ(Run("legacy_koi8.zip"), L"");
  std::vector<std::string> contents;
  for (const auto& entry : fs::directory_iterator(m_target)) contents.push_back(ReadWholeFile(entry.path()));
  std::sort(contents.begin(), contents.end());
  EXPECT_EQ(contents, (std::vector<std::string>{"first", "second"}));

  EXPECT_EQ(Run("legacy_names_unicode_field.zip"), L"");
  // Each file holds its own name in UTF-8.
  EXPECT_EQ(ReadWholeFile(m_target / KorvaneTest::ToPath(L"\x041F\x0440\x0438\x0432\x0435\x0442.txt")),
            "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt");
  EXPECT_EQ(ReadWholeFile(m_target / KorvaneTest::ToPath(L"\x65E5\x672C\x8A9E.txt")),
            "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt");
}

TEST_F(UnzipTest, EntriesNamingOneFileRefuseTheArchiveBeforeWriting) {
  EXPECT_EQ(Run("same_file_twice.zip"), L"InstallBackend::Unzip Two entries name the same file: README.TXT");
  EXPECT_EQ(Run("trailing_dot_twice.zip"), L"InstallBackend::Unzip Two entries name the same file: Notes.txt.");
  EXPECT_EQ(Run("guarded_names.zip"), L"InstallBackend::Unzip Two entries name the same file: tools\\a.txt");
  EXPECT_TRUE(fs::is_empty(m_target));
}

TEST_F(UnzipTest, OverlappingArchivesAreRefusedBeforeWriting) {
  EXPECT_EQ(Run("overlap_bomb.zip"), L"InstallBackend::Unzip Failed to open zip file");
  EXPECT_EQ(Run("overlap_directory.zip"), L"InstallBackend::Unzip Failed to open zip file");
  EXPECT_TRUE(fs::is_empty(m_target));
  // A local name that differs stops at that entry, after those before it.
  EXPECT_EQ(Run("local_name_differs.zip"), L"InstallBackend::Unzip GetZipItem failed");
  EXPECT_EQ(ReadWholeFile(m_target / "good.txt"), "good");
  EXPECT_FALSE(fs::exists(m_target / "evil.txt"));
  EXPECT_FALSE(fs::exists(m_target / "safe.txt"));
}

TEST_F(UnzipTest, PackageLargerThanTheFreeSpaceWritesNothing) {
  std::uint64_t freeBytes = 0;
  ASSERT_TRUE(Platform::TheSystem().files.GetFreeBytes(TargetFolder(), freeBytes));
  const std::uint64_t declared = 4096ull * 0xFFFFFFFFull;
  if (freeBytes >= declared) GTEST_SKIP() << "this drive has more than 16 TiB free";
  const std::wstring message = Run("declares_16_tib.zip");
  EXPECT_EQ(message.rfind(L"InstallBackend::Unzip Not enough free space on the target: " +
                              std::to_wstring(declared) + L" bytes needed, ", 0),
            0u)
      << std::string(message.begin(), message.end());
  EXPECT_NE(message.find(L" bytes free"), std::wstring::npos);
  EXPECT_TRUE(fs::is_empty(m_target));
  // The screen tells the user what is wrong: the drive's free space.
  try {
    Unzip(ArchivePath("declares_16_tib.zip"), TargetFolder(), nullptr, m_cancel);
  } catch (const InstallException& error) {
    EXPECT_EQ(error.Cause(), InstallError::NotEnoughSpace);
    EXPECT_TRUE(error.RetryIsPointless());
  }
}

// A second download brings the same names and the same drive: only
// damaged data may come whole the next time.
TEST_F(UnzipTest, OnlyDamagedDataIsWorthAnotherDownload) {
  const auto pointless = [this](const std::string& archive, const std::wstring& target) {
    try {
      Unzip(ArchivePath(archive), target, nullptr, m_cancel);
    } catch (const InstallException& error) {
      return error.RetryIsPointless();
    }
    ADD_FAILURE() << archive << " was extracted";
    return false;
  };
  EXPECT_FALSE(pointless("crc_mismatch.zip", TargetFolder()));
  EXPECT_FALSE(pointless("not_a_zip.zip", TargetFolder()));
  EXPECT_FALSE(pointless("unsupported_method.zip", TargetFolder()));
  EXPECT_TRUE(pointless("same_file_twice.zip", TargetFolder()));
  EXPECT_TRUE(pointless("escape.zip", TargetFolder()));
  EXPECT_TRUE(pointless("four_entries.zip", m_scratch.Text() + L"no-such-folder"));
}

TEST(ResolveEntryPath, RefusesPathsOf260CharactersOrMore) {
  const std::wstring base = L"E:\\";
  EXPECT_EQ(InstallBackend::ResolveEntryPath(base, std::wstring(256, L'a')).size(), 259u);
  EXPECT_TRUE(InstallBackend::ResolveEntryPath(base, std::wstring(257, L'a')).empty());
  EXPECT_TRUE(InstallBackend::ResolveEntryPath(base, L"a/../../b").empty());
}

}  // namespace
