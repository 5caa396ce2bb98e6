#include "Installer/Startup/StartupArguments.h"

#include <gtest/gtest.h>

namespace {

StartupValues Parse(std::vector<std::wstring> rest) {
  rest.insert(rest.begin(), L"C:\\Downloads\\KorvaneInstaller.exe");
  return ParseStartupArguments(rest);
}

TEST(StartupArguments, DriveRootAfterPathSwitchGivesTheDrive) {
  const StartupValues values = Parse({L"--path", L"E:\\"});
  EXPECT_TRUE(values.driveGiven);
  EXPECT_EQ(values.driveLetter, L'E');
  EXPECT_TRUE(values.installPath.empty());
}

TEST(StartupArguments, DriveLetterIsTakenUncheckedAndUnchanged) {
  EXPECT_EQ(Parse({L"--path", L"e:\\"}).driveLetter, L'e');
  EXPECT_EQ(Parse({L"--path", L"7:\\"}).driveLetter, L'7');
}

TEST(StartupArguments, OnlyAnExactDriveRootCountsAsDrive) {
  for (const wchar_t* value : {L"E:", L"E:\\Dir", L"E:/", L"EE:\\", L""}) {
    const StartupValues values = Parse({L"--path", value});
    EXPECT_FALSE(values.driveGiven) << value;
    EXPECT_EQ(values.driveLetter, 0) << value;
  }
  EXPECT_FALSE(Parse({L"--path"}).driveGiven);
}

TEST(StartupArguments, PathSwitchIsCaseSensitiveAndWhole) {
  EXPECT_FALSE(Parse({L"--PATH", L"E:\\"}).driveGiven);
  EXPECT_FALSE(Parse({L"--path=", L"E:\\"}).driveGiven);
}

TEST(StartupArguments, FirstPathSwitchEndsTheSearch) {
  // The first "--path" has no drive after it, so the second is never read.
  const StartupValues values = Parse({L"--path", L"E:", L"--path", L"F:\\"});
  EXPECT_FALSE(values.driveGiven);
}

TEST(StartupArguments, ProgramPathIsNeverAnArgument) {
  const StartupValues values = ParseStartupArguments({L"--path", L"E:\\"});
  EXPECT_FALSE(values.driveGiven);
}

TEST(StartupArguments, GivenDriveSuppressesInstallPath) {
  const StartupValues values = Parse({L"--path", L"E:\\", L"/path=F:\\X"});
  EXPECT_TRUE(values.driveGiven);
  EXPECT_TRUE(values.installPath.empty());
}

TEST(StartupArguments, InstallPathIsTheTextAfterTheSwitch) {
  EXPECT_EQ(Parse({L"/path=E:\\Apps"}).installPath, L"E:\\Apps");
  EXPECT_EQ(Parse({L"x/path=E:\\dir"}).installPath, L"E:\\dir");
  EXPECT_EQ(Parse({L"/path=E:\\a/path=b"}).installPath, L"E:\\a/path=b");
  EXPECT_TRUE(Parse({L"/path="}).installPath.empty());
  EXPECT_TRUE(Parse({L"/PATH=E:\\"}).installPath.empty());
}

TEST(StartupArguments, LaterInstallPathReplacesEarlier) {
  EXPECT_EQ(Parse({L"/path=E:\\One", L"/path=F:\\Two"}).installPath, L"F:\\Two");
  EXPECT_TRUE(Parse({L"/path=E:\\One", L"/path="}).installPath.empty());
}

TEST(StartupArguments, ArgumentValueIsTheFirstFollowedOccurrence) {
  const std::vector<std::wstring> args = {L"prog", L"--drivePath", L"E:\\", L"--drivePath", L"F:\\"};
  EXPECT_EQ(FindArgumentValue(args, L"--drivePath"), L"E:\\");
  EXPECT_EQ(FindArgumentValue(args, L"--drivepath"), L"");
  EXPECT_EQ(FindArgumentValue({L"prog", L"--exePath"}, L"--exePath"), L"");
  // Element 0 takes part too.
  EXPECT_EQ(FindArgumentValue({L"--exePath", L"x"}, L"--exePath"), L"x");
}

TEST(StartupArguments, AppUpdateIsFoundAnywhereInTheRawText) {
  EXPECT_TRUE(RequestsAppUpdate(L"prog.exe /AppUpdate --drivePath E:\\"));
  EXPECT_TRUE(RequestsAppUpdate(L"prog.exe \"x/AppUpdatey\""));
  EXPECT_FALSE(RequestsAppUpdate(L"prog.exe /appupdate"));
}

TEST(StartupArguments, InstalledExecutableSitsInTheDriveRoot) {
  EXPECT_EQ(InstalledExecutablePath(L'E'), L"E:\\Korvane.exe");
}

// A target that depends on a drive's current directory is no target.
TEST(StartupArguments, OnlyAFullPathIsAnInstallTarget) {
  for (const wchar_t* path : {L"E:\\", L"e:/", L"E:\\Apps", L"Z:\\a\\b"}) EXPECT_TRUE(IsAbsoluteTarget(path)) << path;
  for (const wchar_t* path : {L"E:", L"E:Apps", L"Apps", L"\\Apps", L"\\\\server\\share", L"1:\\", L""}) {
    EXPECT_FALSE(IsAbsoluteTarget(path)) << path;
  }
}

}  // namespace
