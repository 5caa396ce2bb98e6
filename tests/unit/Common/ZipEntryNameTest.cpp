#include "Common/Zip/ZipEntryName.h"

#include <gtest/gtest.h>

namespace {

TEST(GuardEntryName, RepeatsUntilNoRuleApplies) {
  // Rules interleave: a drive after a separator, a separator after a drive.
  EXPECT_EQ(GuardEntryName(L"/C:/x"), L"x");
  EXPECT_EQ(GuardEntryName(L"C:\\/\\D:a"), L"a");
  EXPECT_EQ(GuardEntryName(L"a/..\\b\\..\\c"), L"c");
  EXPECT_EQ(GuardEntryName(L"a\\../b"), L"b");
  EXPECT_EQ(GuardEntryName(L"////"), L"");
  EXPECT_EQ(GuardEntryName(L"c"), L"c");
}

TEST(IsContainedEntryName, RefusesEveryDotDotComponent) {
  for (const wchar_t* name : {L"../f", L"..\\f", L"..", L"a/..", L"a\\..\\", L"... ", L"a/. ./b", L".. /x"}) {
    EXPECT_FALSE(IsContainedEntryName(name)) << name;
  }
  for (const wchar_t* name : {L"a/b.txt", L"./a", L"a..b/c", L"..a", L".hidden", L""}) {
    EXPECT_TRUE(IsContainedEntryName(name));
  }
}

TEST(IsPlainRelativeName, RefusesDevicesStreamsRootsAndNamesWindowsRefuses) {
  for (const wchar_t* name :
       {L"NUL", L"nul.txt", L"data/NUL", L"sub/aux.dat", L"com1.txt", L"LPT9", L"Con .log", L"COM\u00B9.txt",
        L"conout$", L"a.txt:stream", L"C:x", L"/etc/x", L"\\\\server\\share", L"a?b", L"a*", L"a|b", L"a\u0001",
        L"../up", L""}) {
    EXPECT_FALSE(IsPlainRelativeName(name)) << name;
  }
  for (const wchar_t* name : {L"Korvane.exe", L"data/signatures.db", L"COM10.txt", L"nullable/x", L"console.txt",
                              L"LPT0", L"auxiliary", L"folder/", L".hidden"}) {
    EXPECT_TRUE(IsPlainRelativeName(name)) << name;
  }
}

}  // namespace

TEST(FoldEntryPath, NamesTheDriveTakesForOneFileGetOneKey) {
  EXPECT_EQ(FoldEntryPath(L"Readme.txt"), FoldEntryPath(L"README.TXT"));
  EXPECT_EQ(FoldEntryPath(L"a/b/c.txt"), FoldEntryPath(L"A\\B\\C.TXT"));
  EXPECT_EQ(FoldEntryPath(L"notes.txt. "), FoldEntryPath(L"notes.txt"));
  EXPECT_EQ(FoldEntryPath(L"dir./x"), FoldEntryPath(L"dir/x"));
  EXPECT_EQ(FoldEntryPath(L"folder/"), FoldEntryPath(L"folder"));
  // Cyrillic, Greek and Latin-1 letters fold too.
  EXPECT_EQ(FoldEntryPath(L"\x043F\x0440\x0438\x0432\x0435\x0442"), FoldEntryPath(L"\x041F\x0420\x0418\x0412\x0415\x0422"));
  EXPECT_EQ(FoldEntryPath(L"\x03B1\x00E9\x0101"), FoldEntryPath(L"\x0391\x00C9\x0100"));
  EXPECT_NE(FoldEntryPath(L"a.txt"), FoldEntryPath(L"b.txt"));
  EXPECT_NE(FoldEntryPath(L"\x00C7"), FoldEntryPath(L"\x00C5"));
}
