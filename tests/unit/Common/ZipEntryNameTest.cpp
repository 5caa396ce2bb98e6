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

}  // namespace
