#include "Installer/Engine/Unzip.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/UnzipItem.h"
#include "Support/RecordingListener.h"
#include "Support/TestArchives.h"

namespace {

namespace fs = std::filesystem;
using InstallBackend::InstallException;
using InstallBackend::Unzip;
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
  CancelFlag m_cancel{false};
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
  m_cancel = true;
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
  EXPECT_EQ(Run("guarded_names.zip"), itemFailed);  // stops at dir/../../f
  EXPECT_TRUE(fs::exists(m_target / "tools" / "a.txt"));
  EXPECT_TRUE(fs::exists(m_target / "etc" / "x"));
  EXPECT_EQ(FilesOutsideTarget(), 0u);
}

TEST(ResolveEntryPath, RefusesPathsOf260CharactersOrMore) {
  const std::wstring base = L"E:\\";
  EXPECT_EQ(InstallBackend::ResolveEntryPath(base, std::wstring(256, L'a')).size(), 259u);
  EXPECT_TRUE(InstallBackend::ResolveEntryPath(base, std::wstring(257, L'a')).empty());
  EXPECT_TRUE(InstallBackend::ResolveEntryPath(base, L"a/../../b").empty());
}

}  // namespace
