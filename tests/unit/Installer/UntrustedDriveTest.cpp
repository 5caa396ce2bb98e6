// A drive is anybody's: links laid on it, a staging folder or a journal
// planted there, a file or folder of the user's at the installer's own
// name. Whatever the install and the next run's recovery meet, nothing a
// link leads to and nothing the installer did not make is moved or removed.
// Runs natively (POSIX symbolic links) and under Wine (Unix symbolic links,
// which Wine follows even to remove or rename).
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <filesystem>
#include <fstream>
#include <string>

#include "Installer/Engine/Recovery.h"
#include "Support/UpdateRig.h"

namespace {

namespace fs = std::filesystem;
using KorvaneTest::Differences;
using KorvaneTest::Tree;

#ifdef _WIN32
const wchar_t kLetter[] = L"U:";
const wchar_t kDriveText[] = L"U:\\untrusted";
#else
const wchar_t kLetter[] = L"\\";  // what the engine takes as the "drive" of a path without one
#endif

// The user's folder elsewhere on the computer that a link on the drive names.
const Tree kCanary = {
    {"readonly.txt", "kept read-only"}, {"hidden.txt", "kept hidden"}, {"sub/", ""}, {"sub/inner.txt", "kept deep"}};

const Tree kStagingOwner = {{".korvane-staging/owner", "the installer's"}};

class UntrustedDrive : public ::testing::Test {
 protected:
  UntrustedDrive() : m_rig(kLetter) {
#ifdef _WIN32
    m_driveText = kDriveText;
#else
    m_driveText = m_scratch.Text() + L"drive";
#endif
    m_drive = KorvaneTest::ToPath(m_driveText);
    KorvaneTest::RemoveWithLinks(m_drive);
    fs::create_directories(m_drive);
    m_canary = m_scratch.Path() / "canary";
    KorvaneTest::WriteTree(m_canary, kCanary);
    fs::permissions(m_canary / "readonly.txt", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
#ifdef _WIN32
    ::SetFileAttributesW((m_canary / "hidden.txt").wstring().c_str(), 0x02);
#endif
  }
  ~UntrustedDrive() override {
    fs::current_path(m_scratch.Path());
    KorvaneTest::RemoveWithLinks(m_drive);
  }

  void LinkToCanary(const std::string& relative) {
    fs::create_directories((m_drive / relative).parent_path());
    ASSERT_TRUE(KorvaneTest::MakeFolderLink(m_drive / relative, m_canary)) << relative;
  }

  void ExpectCanaryWhole(const std::string& what) {
    EXPECT_EQ(Differences(KorvaneTest::Snapshot(m_canary), kCanary), "") << what;
    EXPECT_EQ(fs::status(m_canary / "readonly.txt").permissions() & fs::perms::owner_write, fs::perms::none) << what;
  }

  bool Recover() { return InstallBackend::RecoverInterruptedInstall(Platform::TheSystem().files, m_driveText); }
  bool Install(const std::wstring& target) {
    const bool installed = m_rig.Install(Platform::TheSystem().files, target, m_scratch.Text() + L"work", m_cancel);
    // Windows removes no folder that is a process's current directory.
    fs::current_path(m_scratch.Path());
    return installed;
  }
  bool Install() { return Install(m_driveText); }
  bool LogHas(const std::string& part) const {
    for (const std::string& line : m_log.lines()) {
      if (line.find(part) != std::string::npos) return true;
    }
    return false;
  }

  KorvaneTest::CurrentDirectoryRestorer m_restorer;
  KorvaneTest::ScratchFolder m_scratch;
  KorvaneTest::LogCapture m_log;
  KorvaneTest::InstallRig m_rig;
  CancelFlag m_cancel;
  std::wstring m_driveText;
  fs::path m_drive;
  fs::path m_canary;
};

TEST_F(UntrustedDrive, ALinkAtTheStagingFolderIsLeftAndFailsTheInstall) {
  LinkToCanary(".korvane-staging");
  EXPECT_FALSE(Recover());
  EXPECT_FALSE(Install());
  ExpectCanaryWhole("after recovery and install");
  EXPECT_TRUE(fs::exists(m_drive / ".korvane-staging"));
  EXPECT_TRUE(LogHas(".korvane-staging is left as it is: it is a link")) << ::testing::PrintToString(m_log.lines());
}

// Links inside the installer's own folder, at the backups after a commit
// mark, at the backups of an unfinished commit and in the staged tree.
TEST_F(UntrustedDrive, LinksInsideTheStagingFolderAreNeverFollowed) {
  const std::pair<Tree, std::string> layouts[] = {
      {{{".korvane-staging/committed", "file a.txt\n"}}, ".korvane-staging/old"},
      {{{".korvane-staging/journal", "korvane journal 1\nfile a.txt\nend\n"}}, ".korvane-staging/old"},
      {{{".korvane-staging/new/", ""}}, ".korvane-staging/new/deep/link"},
  };
  for (const auto& [planted, link] : layouts) {
    KorvaneTest::RemoveWithLinks(m_drive);
    KorvaneTest::WriteTree(m_drive, kStagingOwner);
    KorvaneTest::WriteTree(m_drive, planted);
    LinkToCanary(link);
    Recover();
    ExpectCanaryWhole("recovery with a link at " + link);
    EXPECT_FALSE(Install()) << link;
    ExpectCanaryWhole("install with a link at " + link);
    EXPECT_TRUE(fs::exists(m_drive / link)) << link;
  }
}

// The package's data\ is a link on the drive: nothing is written through it,
// nothing moved out of it. A link the package does not touch stays.
TEST_F(UntrustedDrive, LinksInTheTargetAreNeitherWrittenThroughNorMovedAside) {
  LinkToCanary("data");
  EXPECT_FALSE(Install());
  ExpectCanaryWhole("an install whose folder is a link");
  EXPECT_TRUE(LogHas("A link is in the way of folder")) << ::testing::PrintToString(m_log.lines());

  KorvaneTest::RemoveWithLinks(m_drive / "data");
  LinkToCanary("photos");
  EXPECT_TRUE(Install()) << ::testing::PrintToString(m_log.lines());
  ExpectCanaryWhole("an install beside a link");
  EXPECT_EQ(KorvaneTest::ReadWholeFile(m_drive / "Korvane.exe"), "MZ new version");
}

// A folder target U:\...\Apps with the user's thesis beside it in Docs; a
// planted staging folder whose journal names it, or other names no
// package has, has nothing moved or removed.
TEST_F(UntrustedDrive, PlantedJournalsMoveNothingOutsideTheStagingFolder) {
  const std::string cut = "korvane journal 1\nfile Docs\\the";
  const std::string names[] = {"..\\Docs\\thesis.txt", "C:\\Docs\\thesis.txt", "\\\\server\\share\\x", "NUL",
                               "sub\\com1.txt", std::string(300, 'a'), "a.txt:stream"};
  const Tree user = {{"Docs/thesis.txt", "the user's thesis"}, {"Apps/keep.txt", "kept"}};
  for (const std::string& name : names) {
    KorvaneTest::RemoveWithLinks(m_drive);
    KorvaneTest::WriteTree(m_drive, user);
    const Tree planted = {{"Apps/.korvane-staging/owner", ""},
                          {"Apps/.korvane-staging/journal", "korvane journal 1\nfile " + name + "\nend\n"},
                          {"Apps/.korvane-staging/old/Docs/thesis.txt", "planted"},
                          {"Apps/.korvane-staging/new/", ""}};
    KorvaneTest::WriteTree(m_drive, planted);
    Tree expected = user;
    expected.insert(planted.begin(), planted.end());
    expected["Apps/.korvane-staging/"] = expected["Apps/.korvane-staging/old/"] =
        expected["Apps/.korvane-staging/old/Docs/"] = expected["Apps/"] = expected["Docs/"] = "";
    EXPECT_FALSE(InstallBackend::RecoverInterruptedInstall(Platform::TheSystem().files, m_driveText + L"\\Apps"))
        << name;
    EXPECT_EQ(Differences(KorvaneTest::Snapshot(m_drive), expected), "") << name;
  }
  KorvaneTest::RemoveWithLinks(m_drive);
  KorvaneTest::WriteTree(m_drive, user);
  KorvaneTest::WriteTree(m_drive, {{"Apps/.korvane-staging/owner", ""}, {"Apps/.korvane-staging/journal", cut}});
  EXPECT_TRUE(InstallBackend::RecoverInterruptedInstall(Platform::TheSystem().files, m_driveText + L"\\Apps"));
  EXPECT_EQ(KorvaneTest::ReadWholeFile(m_drive / "Docs" / "thesis.txt"), "the user's thesis");
  EXPECT_FALSE(fs::exists(m_drive / "Apps" / ".korvane-staging"));
}

// A file or a folder of the user's at the staging folder's name is theirs:
// kept as it is, and the install fails saying what is in the way.
TEST_F(UntrustedDrive, TheUsersOwnFileOrFolderAtTheStagingNameIsKept) {
  const Tree kinds[] = {{{".korvane-staging", "the user's file"}},
                        {{".korvane-staging/notes.txt", "the user's notes"}, {".korvane-staging/journal", "x"}}};
  for (const Tree& theirs : kinds) {
    KorvaneTest::RemoveWithLinks(m_drive);
    KorvaneTest::WriteTree(m_drive, theirs);
    const Tree before = KorvaneTest::Snapshot(m_drive);
    EXPECT_FALSE(Install());
    EXPECT_EQ(Differences(KorvaneTest::Snapshot(m_drive), before), "");
    EXPECT_TRUE(LogHas("move it away")) << ::testing::PrintToString(m_log.lines());
  }
}

}  // namespace
