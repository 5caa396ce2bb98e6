// An update over an installed older version, run on the real file system
// with one operation failing, for every operation of the run: after the
// next run's recovery the drive holds the old version or the new one, byte
// for byte, and nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <functional>
#include <future>
#include <set>
#include <thread>
#include <utility>
#include <string>

#include "Installer/Engine/Recovery.h"
#include "Support/FaultyFileSystem.h"
#include "Support/UpdateRig.h"

namespace {

namespace fs = std::filesystem;
using KorvaneTest::Differences;
using KorvaneTest::FaultyFileSystem;
using KorvaneTest::Tree;

const Tree kOldVersion = {
    {"Korvane.exe", "MZ old version"},
    {"version.txt", "1.0\n"},
    {"data/", ""},
    {"data/signatures.db", "old signatures"},
    {"data/old-only.db", "kept: the package carries no deletions"},
    {"user.cfg", "the user's settings"},
};

// The old version with update_v2.zip (tests/unit/data/make_archives.py) over it.
Tree NewVersion() {
  Tree tree = kOldVersion;
  std::string signatures;
  for (int i = 0; i < 20; ++i) signatures += "new signatures ";
  tree["Korvane.exe"] = "MZ new version";
  tree["version.txt"] = "2.0\n";
  tree["data/signatures.db"] = signatures;
  tree["data/extra/"] = "";
  tree["data/extra/rules.db"] = "new rules";
  tree["fresh/"] = "";
  tree["fresh/empty/"] = "";
  tree["fresh/notes.txt"] = "new notes";
  return tree;
}

// Recovery is crashed at every step natively, where the loops take
// seconds; under Wine, where the same logic runs on the Windows file
// system ten times slower, at every third.
#ifdef _WIN32
constexpr int kRecoveryCrashStride = 3;
#else
constexpr int kRecoveryCrashStride = 1;
#endif

#ifdef _WIN32
const wchar_t kLetter[] = L"U:";
#else
const wchar_t kLetter[] = L"\\";  // what the engine takes as the "drive" of a path without one
#endif

class Transaction : public ::testing::Test {
 protected:
  Transaction() : m_rig(kLetter) {
#ifdef _WIN32
    // The unit tests' drive U:, a real Wine drive as the installer sees one.
    m_targetText = L"U:\\transaction";
#else
    m_targetText = m_scratch.Text() + L"drive";
#endif
    m_target = KorvaneTest::ToPath(m_targetText);
  }
  ~Transaction() override {
    std::error_code ignored;
    fs::remove_all(m_target, ignored);
  }

  void InstallOldVersion() {
    std::error_code ignored;
    fs::remove_all(m_target, ignored);
    KorvaneTest::WriteTree(m_target, kOldVersion);
  }

  // The update through the install sequence on files; true when it succeeded.
  bool Update(Platform::IFileSystem& files, IInstallListener* listener = nullptr) {
    const bool updated = m_rig.Install(files, m_targetText, m_scratch.Text() + L"work", m_cancel, listener);
    // What comes next stands for another process, whose current directory
    // holds no folder of the drive (Windows removes none that is one).
    fs::current_path(m_scratch.Path());
    return updated;
  }

  Tree Snapshot() const { return KorvaneTest::Snapshot(m_target); }

  // Runs the update failing at operation failAt, then the next run's
  // recovery; the drive must hold the version the update's result claims.
  // A run that crashed claims nothing (its own result is what it would
  // have said had it lived on): it must end in one whole version.
  void CheckUpdateFailingAt(int failAt, bool crash) {
    InstallOldVersion();
    FaultyFileSystem faulty(Platform::TheSystem().files, failAt, crash);
    const bool updated = Update(faulty);
    const std::string what = "operation " + std::to_string(failAt) + (crash ? " crashed" : " failed");
    EXPECT_TRUE(InstallBackend::RecoverInterruptedInstall(Platform::TheSystem().files, m_targetText)) << what;
    const Tree found = Snapshot();
    if (updated || !crash) {
      EXPECT_EQ(Differences(found, updated ? m_new : kOldVersion), "") << what;
    } else {
      EXPECT_TRUE(Differences(found, m_new).empty() || Differences(found, kOldVersion).empty())
          << what << "\n" << Differences(found, kOldVersion);
    }
  }

  // What a recovery set aside is a third copy or a second name of a file
  // of either version, kept as it was found; the rest is the tree.
  Tree SnapshotWithoutSetAside(std::string& setAside) const {
    const std::string folder = ".korvane-set-aside/";
    Tree tree;
    for (const auto& [name, contents] : Snapshot()) {
      if (name.rfind(folder, 0) != 0) {
        tree[name] = contents;
        continue;
      }
      std::string original = name.substr(folder.size());
      original = original.substr(0, original.find_last_not_of(".0123456789") + 1);  // without ".2", ".3"...
      const auto inEither = [&](const Tree& version) {
        const auto found = version.find(original);
        return found != version.end() && found->second == contents;
      };
      if (name.back() != '/' && contents != "a third copy" && !inEither(kOldVersion) && !inEither(m_new)) {
        setAside += name + " holds " + contents + "\n";
      }
    }
    return tree;
  }

  // Recovers the drive as a crashed run left it, crashing the recovery at
  // each of its operations in turn and then recovering once more: each time
  // the drive ends as one of `wholes`, and the last recovery succeeds.
  // States met before are not tried again: recovery depends on nothing but
  // the drive.
  void CheckRecoveryCrashingAtEachStep(const std::vector<const Tree*>& wholes, const std::string& what) {
    if (!m_crashedStates.insert(Snapshot()).second) return;
    const fs::path saved = m_scratch.Path() / "crashed";
    fs::remove_all(saved);
    fs::copy(m_target, saved, fs::copy_options::recursive);
    FaultyFileSystem counting(Platform::TheSystem().files, 0, false);
    InstallBackend::RecoverInterruptedInstall(counting, m_targetText);
    for (int m = 0; m <= counting.Count(); m += (m == 0 ? 1 : kRecoveryCrashStride)) {
      fs::remove_all(m_target);
      fs::copy(saved, m_target, fs::copy_options::recursive);
      if (m > 0) {
        FaultyFileSystem crashingAgain(Platform::TheSystem().files, m, true);
        InstallBackend::RecoverInterruptedInstall(crashingAgain, m_targetText);
        if (!m_recoveredStates.insert(Snapshot()).second) continue;
      }
      const std::string step = what + ", then recovery operation " + std::to_string(m) + " crashed";
      EXPECT_TRUE(InstallBackend::RecoverInterruptedInstall(Platform::TheSystem().files, m_targetText))
          << step << ::testing::PrintToString(m_log.lines().back());
      std::string setAside;
      const Tree found = SnapshotWithoutSetAside(setAside);
      EXPECT_EQ(setAside, "") << step;
      EXPECT_TRUE(std::any_of(wholes.begin(), wholes.end(),
                              [&found](const Tree* whole) { return Differences(found, *whole).empty(); }))
          << step << "\n" << Differences(found, *wholes.front());
    }
  }

  // The operations of an update that goes through, counted.
  int OperationsOfAnUpdate() {
    InstallOldVersion();
    FaultyFileSystem counting(Platform::TheSystem().files, 0, false);
    EXPECT_TRUE(Update(counting)) << ::testing::PrintToString(m_log.lines());
    EXPECT_EQ(Differences(Snapshot(), m_new), "");
    return counting.Count();
  }

  KorvaneTest::CurrentDirectoryRestorer m_restorer;
  KorvaneTest::ScratchFolder m_scratch;
  KorvaneTest::LogCapture m_log;
  KorvaneTest::InstallRig m_rig;
  CancelFlag m_cancel;
  std::wstring m_targetText;
  fs::path m_target;
  const Tree m_new = NewVersion();
  std::set<Tree> m_crashedStates, m_recoveredStates;
};

TEST_F(Transaction, EveryFailingOperationLeavesOneWholeVersion) {
  const int operations = OperationsOfAnUpdate();
  ASSERT_GT(operations, 20);
  for (int n = 1; n <= operations; ++n) CheckUpdateFailingAt(n, false);
}

TEST_F(Transaction, CrashAtEveryOperationIsRecoveredByTheNextRun) {
  const int operations = OperationsOfAnUpdate();
  for (int n = 1; n <= operations; ++n) CheckUpdateFailingAt(n, true);
}

// Closes the screen as soon as the bar enters the commit's share.
struct CancelInCommit final : IInstallListener {
  CancelFlag& cancel;
  std::vector<float> fractions;
  explicit CancelInCommit(CancelFlag& flag) : cancel(flag) {}
  void OnStatus(int) override {}
  void OnProgress(float fraction) override {
    fractions.push_back(fraction);
    if (fraction > 0.9f) cancel.Set();
  }
  int GetErrorCode() override { return 0; }
  void SetErrorCode(int) override {}
  void OnFiles(int done, int total) override { files.emplace_back(done, total); }
  std::vector<std::pair<int, int>> files;
};

// The bar's second half covers staging and commit; a cancel read between
// two renames puts every file back.
TEST_F(Transaction, CancelDuringTheCommitPutsTheOldVersionBack) {
  InstallOldVersion();
  CancelInCommit listener(m_cancel);
  EXPECT_FALSE(Update(Platform::TheSystem().files, &listener));
  EXPECT_EQ(Differences(Snapshot(), kOldVersion), "");
  ASSERT_GE(listener.fractions.size(), 2u);
  EXPECT_TRUE(std::is_sorted(listener.fractions.begin(), listener.fractions.end()));
  EXPECT_FLOAT_EQ(listener.fractions[listener.fractions.size() - 2], 0.9f);  // staging done
  EXPECT_GT(listener.fractions.back(), 0.9f);
  // The files are counted for the staging and again for the commit.
  ASSERT_FALSE(listener.files.empty());
  EXPECT_EQ(listener.files.back().first, 1);
}

// A run that crashed is recovered by one that crashes too, at each of its
// operations in turn, and then by a third.
TEST_F(Transaction, CrashDuringRecoveryIsRecoveredByTheRunAfter) {
  const int operations = OperationsOfAnUpdate();
  for (int n = 1; n <= operations; ++n) {
    InstallOldVersion();
    FaultyFileSystem crashing(Platform::TheSystem().files, n, true);
    if (Update(crashing)) {
      CheckRecoveryCrashingAtEachStep({&m_new}, "operation " + std::to_string(n) + " crashed");
    } else {
      CheckRecoveryCrashingAtEachStep({&kOldVersion, &m_new}, "operation " + std::to_string(n) + " crashed");
    }
  }
}

// A pulled drive tears the rename it was in, at each rename of the update
// in turn; recovery, crashing too at each of its steps, still ends in one
// whole version, and a file that belongs to neither is kept aside.
TEST_F(Transaction, TornRenamesAndThirdCopiesEndInOneWholeVersion) {
  const int operations = OperationsOfAnUpdate();
  int torn = 0;
  for (const auto tear : {KorvaneTest::TornMove::BothNames, KorvaneTest::TornMove::NeitherName,
                          KorvaneTest::TornMove::ThirdCopy}) {
    for (int n = 1; n <= operations; ++n) {
      InstallOldVersion();
      FaultyFileSystem tearing(Platform::TheSystem().files, n, tear);
      if (Update(tearing)) continue;  // torn after the mark: the clean-up is what the other tests check
      if (!tearing.Tore()) continue;
      ++torn;
      CheckRecoveryCrashingAtEachStep({&kOldVersion, &m_new}, "rename " + std::to_string(n) + " torn (" +
                                                                   std::to_string(static_cast<int>(tear)) + ")");
    }
  }
  EXPECT_GE(torn, 12);
}

// Once staging is done, another program takes a staged file away (an
// antivirus quarantining a file it does not know) or puts one there.
struct ChangeAfterStaging final : IInstallListener {
  std::function<void()> change;
  explicit ChangeAfterStaging(std::function<void()> what) : change(std::move(what)) {}
  void OnStatus(int) override {}
  void OnProgress(float fraction) override {
    if (fraction >= 0.9f && change) std::exchange(change, nullptr)();
  }
  int GetErrorCode() override { return 0; }
  void SetErrorCode(int) override {}
};

TEST_F(Transaction, OnlyTheVerifiedListIsCommittedOrTheOldVersionStaysWhole) {
  const fs::path staged = m_target / ".korvane-staging" / "new" / "data";
  const std::pair<std::function<void()>, std::string> changes[] = {
      {[&] { fs::remove(staged / "signatures.db"); }, "Staged file is missing or incomplete: "},
      {[&] { std::ofstream(staged / "planted.db") << "not in the package"; }, "Staged file is not in the package: "},
  };
  for (const auto& [change, why] : changes) {
    InstallOldVersion();
    ChangeAfterStaging listener(change);
    EXPECT_FALSE(Update(Platform::TheSystem().files, &listener)) << why;
    EXPECT_EQ(Differences(Snapshot(), kOldVersion), "") << why;
    const auto& lines = m_log.lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [&why](const std::string& line) { return line.find(why) != std::string::npos; }))
        << ::testing::PrintToString(lines);
  }
}

// The installed application started from the stick, or a second update,
// while this run holds the drive: it waits, then gives up touching nothing.
TEST_F(Transaction, ARunWhileAnotherHoldsTheDriveChangesNothing) {
  InstallOldVersion();
  KorvaneTest::WriteTree(m_target, {{".korvane-staging/owner", ""}, {".korvane-staging/new/live.db", "staging"}});
  const Tree before = Snapshot();
  const std::wstring root = std::wstring(kLetter) == L"\\" ? L"\\" : std::wstring(kLetter) + L"\\";
  {
    // Another thread holds it, as another process would (a mutex lets its
    // own thread take it again).
    std::promise<bool> taken;
    std::promise<void> done;
    std::thread holder([&] {
      const std::unique_ptr<Platform::VolumeLock> held = Platform::TheSystem().files.TryLockVolume(root);
      taken.set_value(held != nullptr);
      done.get_future().wait();
    });
    const bool held = taken.get_future().get();
    EXPECT_TRUE(held);
    EXPECT_FALSE(Update(Platform::TheSystem().files));
    done.set_value();
    holder.join();
    EXPECT_EQ(Differences(Snapshot(), before), "");
    EXPECT_TRUE(m_log.Has("ERROR InstallBackend::Install " + KorvaneTest::ToPath(root).u8string() +
                          " another installation is under way on this drive; nothing is done"))
        << ::testing::PrintToString(m_log.lines());
  }
  // Released: the next run recovers the staging folder it finds and installs.
  EXPECT_TRUE(Update(Platform::TheSystem().files)) << ::testing::PrintToString(m_log.lines());
  EXPECT_EQ(Differences(Snapshot(), m_new), "");
}

bool IsReadOnly(const fs::path& path) {
  return (fs::status(path).permissions() & fs::perms::owner_write) == fs::perms::none;
}

// A build system's read-only outputs: every run over them succeeds, and each
// file ends with the attribute its package gives it.
TEST_F(Transaction, ReadOnlyFilesOfThePackageAreReplacedByEveryRun) {
  for (const std::string version : {"1", "1", "2", "1"}) {
    m_rig.source.archive = "readonly_v" + version + ".zip";
    m_rig.source.genuine = "MZ version " + version;
    EXPECT_TRUE(Update(Platform::TheSystem().files)) << version << ::testing::PrintToString(m_log.lines());
    EXPECT_EQ(KorvaneTest::ReadWholeFile(m_target / "data" / "dos.db"), "dos " + version);
    EXPECT_EQ(KorvaneTest::ReadWholeFile(m_target / "data" / "unix.db"), "unix " + version);
    EXPECT_EQ(IsReadOnly(m_target / "data" / "dos.db"), version == "1") << version;
    EXPECT_EQ(IsReadOnly(m_target / "data" / "unix.db"), version == "1") << version;
    EXPECT_FALSE(fs::exists(m_target / ".korvane-staging")) << version;
  }
  for (const auto& entry : fs::recursive_directory_iterator(m_target)) {
    fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
  }
}

}  // namespace
