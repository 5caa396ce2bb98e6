#include "Common/Zip/ZipReader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/Zip/ZipBufferSize.h"
#include "Platform/Files/FileSystem.h"
#include "Platform/SystemServices.h"
#include "Support/TestArchives.h"

namespace {

using KorvaneTest::ArchivePath;
using KorvaneTest::CurrentDirectoryRestorer;
using KorvaneTest::ItemResults;
using ::testing::ElementsAre;
using KorvaneTest::OpenArchive;
using KorvaneTest::UnixToTicks;

struct EntryData {
  ZipStreamStatus status = ZipStreamStatus::Failed;
  std::string bytes;
  bool ended = false;
};

// Reads the current entry through the stream in small pieces; bounded so a
// reader that stops making progress fails the test instead of hanging it.
EntryData ReadEntry(ZipReader* reader, std::size_t piece = 1000) {
  EntryData data;
  if (!OpenEntryStream(reader)) return data;
  std::vector<unsigned char> buffer(piece);
  for (int round = 0; round < 100000; ++round) {
    const ZipStreamRead read = ReadEntryStream(reader, buffer.data(), buffer.size());
    data.status = read.status;
    if (read.status != ZipStreamStatus::Ok) break;
    data.bytes.append(reinterpret_cast<const char*>(buffer.data()), read.produced);
    if (read.ended || read.produced == 0) {
      data.ended = read.ended;
      break;
    }
  }
  CloseEntryStream(reader);
  return data;
}

std::unique_ptr<ZipReader> Open(const std::string& name) {
  auto reader = OpenArchive(name);
  EXPECT_NE(reader, nullptr) << name;
  return reader;
}

std::vector<std::wstring> Names(ZipReader* reader) {
  std::vector<std::wstring> names;
  ZipItem item;
  for (int i = 0; i < reader->EntryCount(); ++i) {
    EXPECT_EQ(GetZipItem(reader, i, item), ZipOk) << i;
    names.push_back(item.name);
  }
  return names;
}

std::uint64_t DosTicks(int year, int month, int day, int hour, int minute, int second) {
  // Days from 1970 for the few dates the archives use; local time with
  // today's offset, as the reader takes a DOS time.
  struct Date { int y, m, d; long long days; };
  const Date known[] = {{2020, 1, 2, 18263}, {1980, 1, 1, 3652}, {2020, 9, 13, 18518}};
  for (const Date& date : known) {
    if (date.y == year && date.m == month && date.d == day) {
      const long long seconds = date.days * 86400 + hour * 3600 + minute * 60 + second;
      return UnixToTicks(seconds) - Platform::TheSystem().files.CurrentUtcOffsetTicks();
    }
  }
  ADD_FAILURE() << "date not in the table";
  return 0;
}

TEST(ZipReaderOpen, FindsEndRecordBehindCommentsAndStubs) {
  for (const char* name : {"comment.zip", "long_comment.zip", "stub_in_front.zip", "stub_adjusted.zip"}) {
    SCOPED_TRACE(name);
    auto reader = Open(name);
    ASSERT_NE(reader, nullptr);
    ZipItem item;
    ASSERT_EQ(GetZipItem(reader.get(), 0, item), ZipOk);
    const EntryData data = ReadEntry(reader.get());
    EXPECT_EQ(data.status, ZipStreamStatus::Ok);
    EXPECT_TRUE(data.ended);
    EXPECT_EQ(data.bytes.size(), item.uncompressedSize);
  }
}

TEST(ZipReaderOpen, RefusesWhatIsNoSingleDiskArchive) {
  for (const char* name : {"end_disk_one.zip", "end_counts_differ.zip", "not_a_zip.zip", "missing.zip"}) {
    EXPECT_EQ(OpenArchive(name), nullptr) << name;
  }
  EXPECT_EQ(CloseZipFile(nullptr), ZipBadArgs);
}

// The folder an extraction writes below is the one the reader was told,
// whatever the process's current directory is.
TEST(ZipReaderOpen, BaseFolderIsTheOneGivenEndingInASeparator) {
  CurrentDirectoryRestorer restore;
  std::filesystem::current_path(std::filesystem::temp_directory_path());
  EXPECT_EQ(OpenArchive("empty.zip", L"E:")->BaseFolder(), L"E:\\");
  EXPECT_EQ(OpenArchive("empty.zip", L"E:\\Apps\\")->BaseFolder(), L"E:\\Apps\\");
  EXPECT_EQ(OpenArchive("empty.zip", L"/media/usb/")->BaseFolder(), L"/media/usb/");
}

TEST(ZipReaderItems, SummaryGivesEntryCountAndIndexIsBounded) {
  auto reader = Open("guarded_names.zip");
  ASSERT_NE(reader, nullptr);
  ZipItem item;
  item.name = L"stale";
  ASSERT_EQ(GetZipItem(reader.get(), -1, item), ZipOk);
  EXPECT_EQ(item.index, 12);
  EXPECT_TRUE(item.name.empty());
  EXPECT_EQ(item.uncompressedSize, 0u);
  EXPECT_EQ(GetZipItem(reader.get(), 12, item), ZipBadArgs);
  EXPECT_EQ(GetZipItem(reader.get(), -2, item), ZipBadArgs);
  EXPECT_EQ(GetZipItem(nullptr, 0, item), ZipBadArgs);
  ASSERT_EQ(GetZipItem(reader.get(), 0, item), ZipOk);
  EXPECT_EQ(item.index, 0);
}

TEST(ZipReaderItems, WalkingBackwardsAndRepeatingGiveTheSameItems) {
  auto reader = Open("guarded_names.zip");
  ASSERT_NE(reader, nullptr);
  const std::vector<std::wstring> forward = Names(reader.get());
  ZipItem item;
  for (int i = reader->EntryCount() - 1; i >= 0; --i) {
    ASSERT_EQ(GetZipItem(reader.get(), i, item), ZipOk);
    EXPECT_EQ(item.name, forward[i]);
    ASSERT_EQ(GetZipItem(reader.get(), i, item), ZipOk);
    EXPECT_EQ(item.index, i);
    // The data read is that of the entry just asked for.
    EXPECT_EQ(ReadEntry(reader.get()).bytes.size(), item.uncompressedSize);
  }
}

TEST(ZipReaderItems, NamesLoseDrivesLeadingSeparatorsAndDotDotSegments) {
  auto reader = Open("guarded_names.zip");
  ASSERT_NE(reader, nullptr);
  const std::vector<std::wstring> expected = {
      L"tools/a.txt", L"etc/x", L"b", L"z", L"../f",
      L"tools\\a.txt", L"etc\\x", L"b", L"z", L"..\\f",
      L"server\\share\\s.txt", L"..\\up.txt"};
  EXPECT_EQ(Names(reader.get()), expected);
}

TEST(ZipReaderItems, UnixModesGiveArchiveReadOnlyAndDirectory) {
  auto reader = Open("unix_modes.zip");
  ASSERT_NE(reader, nullptr);
  const std::pair<const wchar_t*, std::uint32_t> expected[] = {
      {L"readme.txt", 0x20}, {L"locked.txt", 0x21}, {L"tools/", 0x30}, {L"tools/scan.dat", 0x20}};
  ZipItem item;
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(GetZipItem(reader.get(), i, item), ZipOk);
    EXPECT_EQ(item.name, expected[i].first);
    EXPECT_EQ(item.attributes, expected[i].second) << i;
  }
}

TEST(ZipReaderItems, DosHostAttributesAreTakenAsTheyStand) {
  auto reader = Open("windows_attributes.zip");
  ASSERT_NE(reader, nullptr);
  const std::uint32_t expected[] = {0x20, 0x21, 0x22, 0x24, 0x10, 0x12, 0x20};
  ZipItem item;
  for (int i = 0; i < 7; ++i) {
    ASSERT_EQ(GetZipItem(reader.get(), i, item), ZipOk);
    EXPECT_EQ(item.attributes, expected[i]) << i;
  }
}

TEST(ZipReaderItems, ExtendedTimestampOverridesOnlyTheTimesItHolds) {
  auto reader = Open("timestamp_mtime_only.zip");
  ASSERT_NE(reader, nullptr);
  ZipItem item;
  ASSERT_EQ(GetZipItem(reader.get(), 0, item), ZipOk);
  EXPECT_EQ(item.modificationTime, UnixToTicks(KorvaneTest::kUtMtime));
  EXPECT_EQ(item.accessTime, DosTicks(2020, 1, 2, 3, 4, 6));
  EXPECT_EQ(item.creationTime, item.accessTime);

  // Info-ZIP writes modification and access time into the local block.
  auto infoZip = Open("unix_modes.zip");
  ASSERT_NE(infoZip, nullptr);
  ASSERT_EQ(GetZipItem(infoZip.get(), 0, item), ZipOk);
  EXPECT_EQ(item.modificationTime, UnixToTicks(KorvaneTest::kUnixMtime));
  EXPECT_EQ(item.accessTime, UnixToTicks(KorvaneTest::kUnixAtime));
  EXPECT_EQ(item.creationTime, DosTicks(2020, 9, 13, 12, 26, 40));
}

TEST(ZipReaderItems, DamagedTimestampsAndImpossibleDatesGiveDefinedTimes) {
  auto reader = Open("damaged_times.zip");
  ASSERT_NE(reader, nullptr);
  const std::uint64_t dos = DosTicks(2020, 1, 2, 3, 4, 6);
  ZipItem item;
  ASSERT_EQ(GetZipItem(reader.get(), 0, item), ZipOk);  // promises three, holds one
  EXPECT_EQ(item.modificationTime, UnixToTicks(KorvaneTest::kUtMtime));
  EXPECT_EQ(item.accessTime, dos);
  EXPECT_EQ(item.creationTime, dos);
  ASSERT_EQ(GetZipItem(reader.get(), 1, item), ZipOk);  // flags but no room
  EXPECT_EQ(item.modificationTime, dos);
  ASSERT_EQ(GetZipItem(reader.get(), 2, item), ZipOk);  // size beyond the field
  EXPECT_EQ(item.modificationTime, UnixToTicks(KorvaneTest::kUtMtime));
  EXPECT_EQ(item.accessTime, dos);
  for (int i : {3, 4}) {  // month 0; hour 25, minute 61, February 30
    ASSERT_EQ(GetZipItem(reader.get(), i, item), ZipOk);
    EXPECT_EQ(item.modificationTime, DosTicks(1980, 1, 1, 0, 0, 0)) << i;
    EXPECT_EQ(item.accessTime, item.modificationTime);
  }
}

TEST(ZipReaderItems, MethodsOtherThanStoredAndDeflatedAreCorrupt) {
  EXPECT_THAT(ItemResults("unsupported_method.zip", 3), ElementsAre(ZipOk, ZipCorrupt, ZipOk));
  EXPECT_THAT(ItemResults("bzip2_7z.zip", 1), ElementsAre(ZipCorrupt));
}

TEST(ZipReaderItems, NamesOf260BytesOrMoreAreRefused) {
  EXPECT_THAT(ItemResults("long_name.zip", 2), ElementsAre(ZipOk, ZipCorrupt));
  auto fits = Open("ok_259.zip");
  ASSERT_NE(fits, nullptr);
  ZipItem item;
  ASSERT_EQ(GetZipItem(fits.get(), 0, item), ZipOk);
  EXPECT_EQ(item.name.size(), 259u);
}

TEST(ZipReaderItems, UnreadableCentralRecordEndsTheWalkWithAFailure) {
  auto reader = Open("unreadable_central.zip");
  ASSERT_NE(reader, nullptr);
  ZipItem item;
  EXPECT_EQ(GetZipItem(reader.get(), 0, item), ZipOk);
  EXPECT_NE(GetZipItem(reader.get(), 1, item), ZipOk);
  EXPECT_NE(GetZipItem(reader.get(), 2, item), ZipOk);
  EXPECT_FALSE(OpenEntryStream(reader.get()));
  ASSERT_EQ(GetZipItem(reader.get(), 0, item), ZipOk);
  EXPECT_EQ(item.name, L"one.txt");
}

TEST(ZipReaderData, StoredAndDeflatedDataComeOutWhole) {
  auto reader = Open("large_entries.zip");
  ASSERT_NE(reader, nullptr);
  ZipItem item;
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(GetZipItem(reader.get(), i, item), ZipOk);
    // Pieces smaller and larger than the input buffer; random.bin, stored,
    // takes more than two input buffers.
    for (std::size_t piece : {std::size_t{777}, std::size_t{16384}, kZipBufferSize + 777}) {
      const EntryData data = ReadEntry(reader.get(), piece);
      EXPECT_EQ(data.status, ZipStreamStatus::Ok) << i << " " << piece;
      EXPECT_TRUE(data.ended);
      EXPECT_EQ(data.bytes.size(), item.uncompressedSize);
    }
  }
  ASSERT_EQ(GetZipItem(reader.get(), 0, item), ZipOk);
  const std::string text = ReadEntry(reader.get()).bytes;
  EXPECT_EQ(text.substr(0, 41), "line 000000 of the Korvane signature list");
  EXPECT_EQ(text.substr(text.size() - 42), "line 004999 of the Korvane signature list\n");
}

TEST(ZipReaderData, EmptyEntryEndsAtOnce) {
  auto reader = Open("large_entries.zip");
  ASSERT_NE(reader, nullptr);
  ZipItem item;
  ASSERT_EQ(GetZipItem(reader.get(), 2, item), ZipOk);
  ASSERT_TRUE(OpenEntryStream(reader.get()));
  unsigned char buffer[16];
  const ZipStreamRead read = ReadEntryStream(reader.get(), buffer, sizeof buffer);
  EXPECT_EQ(read.status, ZipStreamStatus::Ok);
  EXPECT_EQ(read.produced, 0u);
  EXPECT_TRUE(read.ended);
}

TEST(ZipReaderData, DataDescriptorEntriesUseTheCentralRecord) {
  auto reader = Open("data_descriptor.zip");
  ASSERT_NE(reader, nullptr);
  ZipItem item;
  ASSERT_EQ(GetZipItem(reader.get(), 1, item), ZipOk);
  EXPECT_EQ(item.name, L"tools/scan.dat");
  const EntryData data = ReadEntry(reader.get());
  ASSERT_EQ(data.status, ZipStreamStatus::Ok);
  ASSERT_EQ(data.bytes.size(), 16384u);
  for (std::size_t i = 0; i < data.bytes.size(); ++i) {
    ASSERT_EQ(static_cast<unsigned char>(data.bytes[i]), i % 256) << i;
  }
}

TEST(ZipReaderData, DamagedDataFailsInsteadOfEndingOrLooping) {
  const std::pair<const char*, int> cases[] = {
      {"damaged_deflate.zip", 1},  // a reserved deflate block type
      {"crc_mismatch.zip", 1},     // one stored byte flipped
      {"stored_short.zip", 0},     // stored data shorter than its size
  };
  for (const auto& [name, index] : cases) {
    SCOPED_TRACE(name);
    auto reader = Open(name);
    ASSERT_NE(reader, nullptr);
    ZipItem item;
    ASSERT_EQ(GetZipItem(reader.get(), index, item), ZipOk);
    EXPECT_EQ(ReadEntry(reader.get()).status, ZipStreamStatus::Failed);
    if (index > 0) {  // the entry in front is intact
      ASSERT_EQ(GetZipItem(reader.get(), 0, item), ZipOk);
      EXPECT_EQ(ReadEntry(reader.get()).status, ZipStreamStatus::Ok);
    }
  }
}

TEST(ZipReaderData, EncryptedEntryFailsOnTheEmptyPassword) {
  auto reader = Open("encrypted.zip");
  ASSERT_NE(reader, nullptr);
  ZipItem item;
  ASSERT_EQ(GetZipItem(reader.get(), 0, item), ZipOk);
  const EntryData data = ReadEntry(reader.get());
  EXPECT_EQ(data.status, ZipStreamStatus::BadPassword);
  EXPECT_TRUE(data.bytes.empty());
}

}  // namespace
