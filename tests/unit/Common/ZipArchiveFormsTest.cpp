#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/Zip/ZipNameDecoding.h"
#include "Common/Zip/ZipReader.h"
#include "Platform/Files/FileSystem.h"
#include "Support/TestArchives.h"

// Archives as other archivers write them, and archives made to deceive:
// folder entries without the directory bit, names in legacy code pages,
// overlapping records.
namespace {

using KorvaneTest::ArchivePath;
using KorvaneTest::ItemResults;
using ::testing::ElementsAre;
using KorvaneTest::OpenArchive;

struct Entry {
  std::wstring name;
  std::uint32_t attributes;
};

std::vector<Entry> Entries(const std::string& archive) {
  std::vector<Entry> entries;
  auto reader = OpenArchive(archive);
  EXPECT_NE(reader, nullptr) << archive;
  if (!reader) return entries;
  for (int i = 0; i < reader->EntryCount(); ++i) {
    ZipItem item;
    EXPECT_EQ(GetZipItem(reader.get(), i, item), ZipOk) << archive << " entry " << i;
    entries.push_back({item.name, item.attributes});
  }
  return entries;
}

std::wstring Units(std::initializer_list<unsigned> codes) {
  std::wstring text;
  for (unsigned code : codes) text.push_back(static_cast<wchar_t>(code));
  return text;
}

// The names as their writers meant them.
const std::wstring kCafe = Units({0xC7, 'a', 'f', 0xE9}) + L".txt";
const std::wstring kPrivet = Units({0x41F, 0x440, 0x438, 0x432, 0x435, 0x442}) + L".txt";
const std::wstring kNihongo = Units({0x65E5, 0x672C, 0x8A9E}) + L".txt";

TEST(ZipArchiveForms, JarFolderEntriesAreFoldersByTheirTrailingSlash) {
  const std::vector<Entry> entries = Entries("folders_jar.zip");
  ASSERT_FALSE(entries.empty());
  int folders = 0;
  for (const Entry& entry : entries) {
    SCOPED_TRACE(std::string(entry.name.begin(), entry.name.end()));
    const bool slash = !entry.name.empty() && entry.name.back() == L'/';
    EXPECT_EQ((entry.attributes & Platform::kAttributeDirectory) != 0, slash);
    folders += slash ? 1 : 0;
  }
  // META-INF/, app/, app/empty/, app/lib/
  EXPECT_EQ(folders, 4);
}

TEST(ZipArchiveForms, LegacyNamesWithoutUnicodeFieldDecodeAsCodePage437) {
  const std::vector<Entry> entries = Entries("legacy_names.zip");
  ASSERT_EQ(entries.size(), 3u);
  // Written in code page 437, the name comes back as it was meant.
  EXPECT_EQ(entries[0].name, kCafe);
  // Code pages 866 and 932 cannot be told from the bytes: each byte stays
  // a character of its own, so different names stay different.
  EXPECT_EQ(entries[1].name, Units({0xC5, 0x3B1, 0xBF, 0xF3, 0xD1, 0x393}) + L".txt");
  EXPECT_EQ(entries[2].name, Units({0xF4, 0xB7, 0xFB, 0x7B, 0xEE, 0x3A9}) + L".txt");
}

TEST(ZipArchiveForms, UnicodePathFieldGivesTheNameWhenItsChecksumMatches) {
  const std::vector<Entry> entries = Entries("legacy_names_unicode_field.zip");
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].name, kCafe);
  EXPECT_EQ(entries[1].name, kPrivet);
  EXPECT_EQ(entries[2].name, kNihongo);
  // A field left behind by a rename belongs to another name.
  EXPECT_EQ(entries[3].name, L"Stale.txt");
}

TEST(ZipArchiveForms, DifferentLegacyNamesStayDifferent) {
  const std::vector<Entry> entries = Entries("legacy_koi8.zip");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_NE(entries[0].name, entries[1].name);
  for (const Entry& entry : entries) EXPECT_EQ(entry.name.find(wchar_t(0xFFFD)), std::wstring::npos);
}

TEST(ZipArchiveForms, Utf8FlagAndValidUtf8AreTakenAsUtf8) {
  // Python sets the flag for non-ASCII names.
  EXPECT_EQ(DecodeEntryName("\xD0\x9F.txt", 0x0800, "", ""), Units({0x41F}) + L".txt");
  // Without the flag, valid UTF-8 still reads as UTF-8 ...
  EXPECT_EQ(DecodeEntryName("\xD0\x9F.txt", 0, "", ""), Units({0x41F}) + L".txt");
  // ... and anything else as code page 437, up to a zero byte.
  EXPECT_EQ(DecodeEntryName(std::string("\x80\xFF", 2), 0, "", ""), Units({0xC7, 0xA0}));
  EXPECT_EQ(DecodeEntryName(std::string("a\0b", 3), 0, "", ""), L"a");
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong slash
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xE6\x97"));          // cut short
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
}

TEST(ZipArchiveForms, EntriesSharingDataOrOverlappingTheDirectoryAreRefused) {
  // Ten central records of one local entry: Info-ZIP unzip calls it
  // "overlapped components".
  EXPECT_EQ(OpenArchive("overlap_bomb.zip"), nullptr);
  // Data that would run into the central directory.
  EXPECT_EQ(OpenArchive("overlap_directory.zip"), nullptr);
}

TEST(ZipArchiveForms, LocalNameDifferentFromTheCentralNameIsCorrupt) {
  auto reader = OpenArchive("local_name_differs.zip");
  ASSERT_NE(reader, nullptr);
  ZipItem item;
  EXPECT_EQ(GetZipItem(reader.get(), 0, item), ZipOk);
  EXPECT_EQ(GetZipItem(reader.get(), 1, item), ZipCorrupt);
  EXPECT_FALSE(OpenEntryStream(reader.get()));
}

TEST(ZipArchiveForms, Zip64RecordsAreRefused) {
  // Info-ZIP's forced Zip64: end record, locator and Zip64 blocks.
  EXPECT_EQ(OpenArchive("zip64_forced.zip"), nullptr);
  // A local Zip64 block whose sizes are not the central record's.
  EXPECT_THAT(ItemResults("zip64_local_differs.zip", 2), ElementsAre(ZipOk, ZipCorrupt));
}

TEST(ZipArchiveForms, LocalZip64BlockRepeatingClassicSizesIsRead) {
  // Python's force_zip64 on a small entry: placeholders in the local header,
  // the sizes in its Zip64 block, a classic central record.
  auto reader = OpenArchive("zip64_entry.zip");
  ASSERT_NE(reader, nullptr);
  ZipItem item;
  ASSERT_EQ(GetZipItem(reader.get(), 1, item), ZipOk);
  EXPECT_EQ(item.name, L"second.txt");
  EXPECT_EQ(item.uncompressedSize, 6u);
  ASSERT_TRUE(OpenEntryStream(reader.get()));
  unsigned char buffer[64] = {};
  const ZipStreamRead read = ReadEntryStream(reader.get(), buffer, sizeof buffer);
  CloseEntryStream(reader.get());
  EXPECT_EQ(read.status, ZipStreamStatus::Ok);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer), read.produced), "second");
}

TEST(ZipArchiveForms, DeclaredSizeIsTheSumOfTheEntriesSizes) {
  auto reader = OpenArchive("four_entries.zip");
  ASSERT_NE(reader, nullptr);
  // part N.txt holds "part N\n" 100 N times.
  EXPECT_EQ(reader->DeclaredSize(), 7u * 100 * (1 + 2 + 3 + 4));
  auto empty = OpenArchive("empty.zip");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->DeclaredSize(), 0u);
}

}  // namespace
