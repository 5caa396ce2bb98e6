#include "Installer/Engine/StreamedExtraction.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/Unzip.h"
#include "Platform/SystemServices.h"
#include "Platform/Text/TextConversion.h"
#include "Support/TestArchives.h"

namespace {

namespace fs = std::filesystem;
using InstallBackend::InstallException;
using InstallBackend::PackageExtraction;
using InstallBackend::StreamedExtraction;
using KorvaneTest::ArchivePath;
using KorvaneTest::ToPath;

constexpr std::size_t kRange = 4 * 1024 * 1024;
constexpr std::size_t kOddChunk = 4099;  // a prime: headers and data split anywhere

// Read at once: byte by byte, megabytes take seconds under the sanitizers.
std::string Contents(const fs::path& path) {
  std::string bytes(static_cast<std::size_t>(fs::file_size(path)), '\0');
  std::ifstream(path, std::ios::binary).read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

// Each path below a folder with what the user would find there: kind,
// attribute bits, contents and, for files, the modification time.
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> tree;
  Platform::IFileSystem& files = Platform::TheSystem().files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::uint32_t attributes = 0;
    files.GetPathAttributes(Platform::Utf8ToUtf16(entry.path().u8string()), attributes);
    std::string seen = std::to_string(attributes & 0x17);
    if (entry.is_regular_file()) {
      seen += " " + std::to_string(fs::last_write_time(entry.path()).time_since_epoch().count()) + " " +
              Contents(entry.path());
    }
    tree[entry.path().lexically_relative(root).generic_u8string()] = seen;
  }
  return tree;
}

class StreamedExtractionTest : public ::testing::Test {
 protected:
  StreamedExtractionTest() {
    fs::create_directories(m_scratch.Path() / "streamed");
    fs::create_directories(m_scratch.Path() / "ordinary");
    m_growth = m_extraction.Follow(Archive(), Streamed(), m_cancel);
  }

  // Appends bytes [from, to) of the archive to the growing file `chunk`
  // bytes at a time, made and written as the download makes and writes
  // it, and tells the extraction after each write.
  void Arrive(const std::string& bytes, std::size_t from, std::size_t to, std::size_t chunk) {
    if (!m_archive) {
      m_archive = Platform::TheSystem().files.CreateReadableWhileWritten(Archive(), Platform::kAttributeArchive);
      ASSERT_TRUE(m_archive);
    }
    for (std::size_t at = from; at < to; at += chunk) {
      const std::size_t length = std::min(chunk, to - at);
      ASSERT_TRUE(m_archive->Write(bytes.data() + at, length));
      m_growth->ArchiveWritten(at + length);
    }
  }

  // The whole archive arrives; then what Finish raised, or empty.
  std::wstring Stream(const std::string& archive, std::size_t chunk) {
    const std::string bytes = Contents(ToPath(ArchivePath(archive)));
    Arrive(bytes, 0, bytes.size(), chunk);
    return Finish();
  }

  std::wstring Finish() {
    m_archive.reset();
    try {
      m_extraction.Unzip(Archive(), Streamed(), nullptr, m_cancel);
    } catch (const InstallException& error) {
      return error.Message();
    }
    return std::wstring();
  }

  std::wstring Archive() const { return m_scratch.Text() + L"Korvane.zip"; }
  std::wstring Streamed() const { return m_scratch.Text() + L"streamed"; }

  std::wstring Ordinary(const std::string& archive) {
    try {
      PackageExtraction(Platform::TheSystem().files)
          .Unzip(ArchivePath(archive), m_scratch.Text() + L"ordinary", nullptr, m_cancel);
    } catch (const InstallException& error) {
      return error.Message();
    }
    return std::wstring();
  }

  static int EntryCount(const std::string& archive) { return KorvaneTest::OpenArchive(archive)->EntryCount(); }

  KorvaneTest::CurrentDirectoryRestorer m_restorer;
  KorvaneTest::ScratchFolder m_scratch;
  CancelFlag m_cancel;
  StreamedExtraction m_extraction{Platform::TheSystem().files};
  InstallBackend::IArchiveGrowth* m_growth = nullptr;
  std::unique_ptr<Platform::WritableFile> m_archive;
};

struct Case {
  const char* archive;
  std::size_t chunk;
  bool descriptors;  // the archiver wrote data descriptors: everything waits for the end
};

class SameTreeTest : public StreamedExtractionTest, public ::testing::WithParamInterface<Case> {};

TEST_P(SameTreeTest, GivesTheTreeOfTheOrdinaryExtraction) {
  const Case& c = GetParam();
  ASSERT_EQ(Stream(c.archive, c.chunk), L"");
  ASSERT_EQ(Ordinary(c.archive), L"");
  EXPECT_EQ(Tree(m_scratch.Path() / "streamed"), Tree(m_scratch.Path() / "ordinary"));
  EXPECT_EQ(m_extraction.EntriesKept(), c.descriptors ? 0 : EntryCount(c.archive));
}

INSTANTIATE_TEST_SUITE_P(RealArchivers, SameTreeTest,
                         ::testing::Values(Case{"streamed_tree.zip", kRange, false},
                                           Case{"streamed_tree.zip", kOddChunk, false},
                                           Case{"streamed_python.zip", kOddChunk, false},
                                           Case{"windows_attributes.zip", 7, false},
                                           Case{"unix_modes.zip", kOddChunk, false},
                                           Case{"four_entries.zip", 13, false},
                                           Case{"legacy_names_unicode_field.zip", 11, false},
                                           Case{"data_descriptor.zip", kOddChunk, true},
                                           Case{"folders_jar.zip", 17, true}));

// Archives that show the local headers one story and the central directory
// another end as the ordinary extraction ends them: the walk's files are
// all gone and nothing only a local header named is written.
class LyingHeadersTest : public StreamedExtractionTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(LyingHeadersTest, EndAsTheOrdinaryExtractionAndKeepNothingOfTheWalk) {
  const std::wstring ordinary = Ordinary(GetParam());
  EXPECT_EQ(Stream(GetParam(), kOddChunk), ordinary);
  EXPECT_EQ(Tree(m_scratch.Path() / "streamed"), Tree(m_scratch.Path() / "ordinary"));
  EXPECT_EQ(m_extraction.EntriesKept(), 0);
}

INSTANTIATE_TEST_SUITE_P(HostileArchives, LyingHeadersTest,
                         ::testing::Values("local_name_differs.zip", "local_size_differs.zip",
                                           "local_crc_differs.zip", "unlisted_entry.zip", "overlap_bomb.zip",
                                           "overlap_directory.zip"));

TEST_F(StreamedExtractionTest, WritesEntriesBeforeTheCentralDirectoryArrives) {
  const std::string bytes = Contents(ToPath(ArchivePath("streamed_tree.zip")));
  const std::size_t end = bytes.rfind("PK\x05\x06");
  ASSERT_NE(end, std::string::npos);
  const auto* field = reinterpret_cast<const unsigned char*>(bytes.data() + end + 16);
  const std::size_t firstCentral = field[0] | field[1] << 8 | field[2] << 16 | static_cast<std::size_t>(field[3]) << 24;
  Arrive(bytes, 0, firstCentral, kRange);
  const fs::path last = m_scratch.Path() / "streamed" / "data" / "lang" / "en.txt";
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!(fs::exists(last) && fs::file_size(last) == 60000) && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(fs::file_size(m_scratch.Path() / "streamed" / "data" / "signatures.bin"), 5u * 1024 * 1024 + 123);
  EXPECT_EQ(fs::file_size(last), 60000u);
  Arrive(bytes, firstCentral, bytes.size(), kRange);
  EXPECT_EQ(Finish(), L"");
  EXPECT_EQ(m_extraction.EntriesKept(), 7);
}

TEST_F(StreamedExtractionTest, CancelEndsTheWalkAndFinishWritesNothingMore) {
  const std::string bytes = Contents(ToPath(ArchivePath("streamed_python.zip")));
  m_cancel.Set();
  Arrive(bytes, 0, bytes.size(), kOddChunk);
  EXPECT_EQ(Finish(), L"");
  EXPECT_EQ(m_extraction.EntriesKept(), 0);
  EXPECT_TRUE(fs::is_empty(m_scratch.Path() / "streamed"));
}

// A package the drive may not hold (the archive alone is larger than the
// free space) is left to the extraction after the download, which checks
// the space before it writes: the walk writes nothing.
TEST_F(StreamedExtractionTest, AnArchiveLargerThanTheFreeSpaceIsNotWalked) {
  std::uint64_t freeBytes = 0;
  ASSERT_TRUE(Platform::TheSystem().files.GetFreeBytes(Streamed(), freeBytes));
  m_growth->ArchiveSizeKnown(freeBytes + 1);
  const std::string bytes = Contents(ToPath(ArchivePath("streamed_tree.zip")));
  Arrive(bytes, 0, bytes.size(), kRange);
  EXPECT_EQ(Finish(), L"");
  EXPECT_EQ(m_extraction.EntriesKept(), 0);
  EXPECT_EQ(fs::file_size(m_scratch.Path() / "streamed" / "data" / "signatures.bin"), 5u * 1024 * 1024 + 123);
}

}  // namespace
