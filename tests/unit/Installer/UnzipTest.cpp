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

// What one archive leaves in an empty target: the message Unzip raises
// (empty when it returns), every folder ("name/") and file in the scratch
// folder relative to the target ("../x" would be a file written above it),
// and the size and first bytes of the files that matter. Runs on every
// build, so under Wine too, through the Windows file operations.
struct FileCheck {
  const char* path;  // UTF-8, '/' between folders
  std::size_t size;
  std::string start;
};

struct ExtractionCase {
  const char* archive;
  std::wstring message;
  std::vector<std::string> tree;
  std::vector<FileCheck> files;
};

std::ostream& operator<<(std::ostream& out, const ExtractionCase& c) { return out << c.archive; }

const std::wstring kOpenFailed = L"InstallBackend::Unzip Failed to open zip file";
const std::wstring kItemFailed = L"InstallBackend::Unzip UnzipItem failed";
const std::wstring kDescribeFailed = L"InstallBackend::Unzip GetZipItem failed";
const std::wstring kSameFile = L"InstallBackend::Unzip Two entries name the same file: ";
const std::wstring kRefused = L"InstallBackend::Unzip Refused entry name: ";

const ExtractionCase kExtractionCases[] = {
    {"four_entries.zip", L"", {"part1.txt", "part2.txt", "part3.txt", "part4.txt"},
     {{"part1.txt", 700, "part 1\n"}, {"part3.txt", 2100, "part 3\n"}}},
    {"nested.zip", L"", {"a/", "a/b/", "a/b/c.txt"}, {{"a/b/c.txt", 11, "nested file"}}},
    {"unix_modes.zip", L"", {"locked.txt", "readme.txt", "tools/", "tools/scan.dat"},
     {{"tools/scan.dat", 16384, ""}, {"locked.txt", 10, "read only\n"}}},
    {"folders_jar.zip", L"", {"META-INF/", "META-INF/MANIFEST.MF", "app/", "app/empty/", "app/lib/", "app/lib/core.dat",
      "app/readme.txt"},
     {{"app/lib/core.dat", 100, ""}, {"app/readme.txt", 11, "jar readme\n"}}},
    // Names in a legacy code page become distinct files; with the Unicode
    // field each file holds its own name in UTF-8, without it every byte
    // keeps a character of its own.
    {"legacy_koi8.zip", L"", {"\xE2\x89\xA1\xE2\x95\xA5\xE2\x95\x94\xE2\x95\xAB\xE2\x94\xBC\xE2\x95\x98.txt",
                             "\xE2\x89\xA1\xE2\x95\xA7\xE2\x95\xA6\xE2\x94\xB4.txt"},
     {{"\xE2\x89\xA1\xE2\x95\xA5\xE2\x95\x94\xE2\x95\xAB\xE2\x94\xBC\xE2\x95\x98.txt", 5, "first"},
      {"\xE2\x89\xA1\xE2\x95\xA7\xE2\x95\xA6\xE2\x94\xB4.txt", 6, "second"}}},
    {"legacy_names_unicode_field.zip", L"",
     {"Stale.txt", "\xC3\x87" "af\xC3\xA9.txt", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt",
      "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt"},
     {{"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt", 16,
       "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt"},
      {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", 13, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt"},
      {"\xC3\x87" "af\xC3\xA9.txt", 10, "\xC3\x87" "af\xC3\xA9.txt"},
      {"Stale.txt", 5, "stale"}}},
    {"legacy_names.zip", L"",
     {"\xC3\x85\xCE\xB1\xC2\xBF\xC3\xB3\xC3\x91\xCE\x93.txt", "\xC3\x87" "af\xC3\xA9.txt",
      "\xC3\xB4\xC2\xB7\xC3\xBB{\xC3\xAE\xCE\xA9.txt"},
     {}},
    {"empty.zip", L"", {}, {}},
    {"not_a_zip.zip", kOpenFailed, {}, {}},
    {"missing.zip", kOpenFailed, {}, {}},
    // Overlapping entries refuse the archive before anything is written; a
    // local name that differs stops at that entry, after those before it.
    {"overlap_bomb.zip", kOpenFailed, {}, {}},
    {"overlap_directory.zip", kOpenFailed, {}, {}},
    {"local_name_differs.zip", kDescribeFailed, {"good.txt"}, {{"good.txt", 4, "good"}}},
    // An entry that cannot be described stops after the earlier entries.
    {"unsupported_method.zip", kDescribeFailed, {"first.txt"}, {{"first.txt", 5, "first"}}},
    {"long_name.zip", kDescribeFailed, {"short.txt"}, {}},
    {"unreadable_central.zip", kDescribeFailed, {"one.txt"}, {}},
    // A 259-unit name fits an item, but not below any base folder.
    {"ok_259.zip", kRefused + std::wstring(255, L'm') + L".txt", {}, {}},
    // Damaged data fails the entry; what came before stays, and the failed
    // entry is left as far as it was written.
    {"damaged_deflate.zip", kItemFailed, {"bad.txt", "good.txt"}, {{"good.txt", 500, ""}}},
    {"crc_mismatch.zip", kItemFailed, {"flipped.txt", "good.txt"}, {{"good.txt", 4, "good"}, {"flipped.txt", 0, ""}}},
    {"stored_short.zip", kItemFailed, {"short.bin"}, {}},
    {"encrypted.zip", kItemFailed, {"readme.txt"}, {}},
    // Names that climb above the target, name a device or a stream, or
    // reach into the installer's staging folder refuse the archive before
    // anything is written.
    {"escape.zip", kRefused + L"../outside.txt", {}, {}},
    {"escape_dots.zip", kRefused + L"../outside.txt", {}, {}},
    {"guarded_distinct.zip", kRefused + L"../f", {}, {}},
    {"owned_commit_mark.zip", kRefused + L".korvane-staging/committed", {}, {}},
    {"owned_upper.zip", kRefused + L".KORVANE-STAGING/x", {}, {}},
    {"owned_set_aside.zip", kRefused + L".korvane-set-aside/Korvane.exe", {}, {}},
    {"owned_short.zip", kRefused + L"KORVAN~1/x", {}, {}},
    {"device_nul.zip", kRefused + L"NUL", {}, {}},
    {"device_com1.zip", kRefused + L"com1.txt", {}, {}},
    {"device_in_folder.zip", kRefused + L"sub/aux.dat", {}, {}},
    {"stream_name.zip", kRefused + L"inside.txt:hidden", {}, {}},
    // Entries that name one file on the drive refuse the archive first.
    {"same_file_twice.zip", kSameFile + L"README.TXT", {}, {}},
    {"trailing_dot_twice.zip", kSameFile + L"Notes.txt.", {}, {}},
    {"guarded_names.zip", kSameFile + L"tools\\a.txt", {}, {}},
};

class ExtractionOutcome : public UnzipTest, public ::testing::WithParamInterface<ExtractionCase> {
 protected:
  std::vector<std::string> Tree() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(m_scratch.Path())) {
      if (entry.path() == m_target) continue;
      const std::string name = entry.path().lexically_relative(m_target).generic_u8string();
      found.push_back(entry.is_directory() ? name + "/" : name);
    }
    std::sort(found.begin(), found.end());
    return found;
  }
};

TEST_P(ExtractionOutcome, LeavesExactlyTheExpectedTree) {
  const ExtractionCase& c = GetParam();
  EXPECT_EQ(Run(c.archive), c.message);
  EXPECT_EQ(Tree(), c.tree);
  for (const FileCheck& file : c.files) {
    SCOPED_TRACE(file.path);
    const std::string content = ReadWholeFile(m_target / fs::u8path(file.path));
    EXPECT_EQ(content.size(), file.size);
    EXPECT_EQ(content.substr(0, file.start.size()), file.start);
  }
}

INSTANTIATE_TEST_SUITE_P(Archives, ExtractionOutcome, ::testing::ValuesIn(kExtractionCases));

TEST_F(UnzipTest, ASecondRunReplacesTheFiles) {
  EXPECT_EQ(Run("folders_jar.zip"), L"");
  EXPECT_EQ(Run("folders_jar.zip"), L"");
  EXPECT_TRUE(fs::is_directory(m_target / "app" / "empty"));
  EXPECT_TRUE(fs::is_directory(m_target / "META-INF"));
  EXPECT_EQ(ReadWholeFile(m_target / "app" / "readme.txt"), "jar readme\n");
  EXPECT_EQ(ReadWholeFile(m_target / "app" / "lib" / "core.dat").size(), 100u);
}

TEST_F(UnzipTest, ReportsExtractingAndProgressPerEntry) {
  KorvaneTest::RecordingListener listener;
  EXPECT_EQ(Run("four_entries.zip", &listener), L"");
  EXPECT_EQ(listener.statuses, std::vector<int>{Extracting});
  EXPECT_EQ(listener.fractions, (std::vector<float>{0.25f, 0.5f, 0.75f, 1.0f}));
  EXPECT_EQ(listener.files, (std::vector<std::pair<int, int>>{{1, 4}, {2, 4}, {3, 4}, {4, 4}}));
}

TEST_F(UnzipTest, EntryThatCannotBeDescribedReportsOnlyTheEntriesBefore) {
  KorvaneTest::RecordingListener listener;
  EXPECT_EQ(Run("unsupported_method.zip", &listener), kDescribeFailed);
  EXPECT_EQ(listener.fractions, std::vector<float>{1.0f / 3.0f});
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
