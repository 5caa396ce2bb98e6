#include "Installer/Engine/InstallSequence.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "Installer/Engine/InstallException.h"
#include "Support/FakeDriveInfoSource.h"
#include "Support/LogCapture.h"

namespace {

using InstallBackend::InstallException;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::wstring kWorkRoot = L"C:\\Temp\\{502ABB8A-27F4-4A9D-A0B4-C99B926B99EE}\\";
const std::wstring kWorkFolder = kWorkRoot + L"KV_Install_E\\";
const std::wstring kArchive = kWorkFolder + L"Korvane.zip";
const std::wstring kRecord = kArchive + L".identity";
const std::wstring kStaged = L"E:\\.korvane-staging\\new";

bool InStaging(const std::wstring& path) { return path.find(L".korvane-staging") != std::wstring::npos; }

// Accepts the journal and drops it.
struct NullFile final : Platform::WritableFile {
  bool Write(const void*, std::size_t) override { return true; }
  bool SetTimes(std::uint64_t, std::uint64_t, std::uint64_t) override { return true; }
  bool Flush() override { return true; }
};

// A file held in memory.
struct TextFile final : Platform::ReadableFile {
  explicit TextFile(std::string text) : text(std::move(text)) {}
  bool Length(std::uint64_t& length) override {
    length = text.size();
    return true;
  }
  std::int64_t ReadAt(std::uint64_t position, void* buffer, std::size_t size) override {
    const std::size_t count =
        position < text.size() ? std::min(size, text.size() - static_cast<std::size_t>(position)) : 0;
    std::copy_n(text.data() + position, count, static_cast<char*>(buffer));
    return static_cast<std::int64_t>(count);
  }
  std::string text;
};

// Only what the sequence itself asks of the disk is recorded; the
// extraction's use of it is the scripted extraction's business, and the
// staging folder's (empty here: nothing is extracted) the commit tests'.
struct FakeFileSystem final : Platform::IFileSystem {
  std::uint64_t freeBytes = 8ull * 1024 * 1024 * 1024;
  bool volumeReadable = true;
  bool freeSpaceThrows = false;
  std::vector<std::wstring> made, deleted;
  // An earlier run's archive of 1000 bytes is in the download folder, with
  // the record that names its package.
  bool archiveKept = false;

  std::unique_ptr<Platform::ReadableFile> OpenForReading(const std::wstring& path) override {
    if (!archiveKept || path != kRecord) return nullptr;
    return std::make_unique<TextFile>("length=5000\netag=\"v1\"\nlast-modified=\n");
  }
  std::unique_ptr<Platform::WritableFile> CreateForWriting(const std::wstring&, std::uint32_t) override {
    return std::make_unique<NullFile>();
  }
  bool PathExists(const std::wstring&) override { return false; }
  bool GetPathAttributes(const std::wstring&, std::uint32_t&) override { return false; }
  bool IdentifyPath(const std::wstring&, Platform::PathIdentity&) override { return false; }
  bool SetPathAttributes(const std::wstring&, std::uint32_t) override { return false; }
  bool GetFileSize(const std::wstring& path, std::uint64_t& size) override {
    size = 1000;
    return archiveKept && path == kArchive;
  }
  bool GetFreeBytes(const std::wstring&, std::uint64_t& bytes) override {
    if (freeSpaceThrows) throw std::bad_alloc();
    bytes = freeBytes;
    return volumeReadable;
  }
  bool MakeFolder(const std::wstring& path) override {
    if (!InStaging(path)) made.push_back(path);
    return true;
  }
  bool RemoveFile(const std::wstring& path) override {
    if (!InStaging(path)) deleted.push_back(path);
    return true;
  }
  bool RemoveFolder(const std::wstring&) override { return true; }
  bool MovePath(const std::wstring&, const std::wstring&) override { return true; }
  bool ListFolder(const std::wstring&, std::vector<Platform::FolderEntry>& entries) override {
    entries.clear();
    return true;
  }
  bool SetCurrentFolder(const std::wstring&) override { return false; }
  std::int64_t CurrentUtcOffsetTicks() override { return 0; }
  std::uint32_t LastErrorCode() override { return 87; }
};

// Keeps statuses and stored codes in one sequence: their order matters here.
struct SequenceListener : IInstallListener {
  std::vector<std::string> calls;
  int code = -1;
  void OnStatus(int status) override { calls.push_back("status " + std::to_string(status)); }
  void OnProgress(float) override { calls.push_back("progress"); }
  int GetErrorCode() override { return code; }
  void SetErrorCode(int value) override {
    code = value;
    calls.push_back("code " + std::to_string(value));
  }
};

const char kAccepted[] = "INFO InstallBackend::Install E:\\Korvane.exe is signed by Korvane Test Signer";

Platform::SignatureCheck Genuine() {
  Platform::SignatureCheck check;
  check.result = 0;
  check.signer = L"Korvane Test Signer";
  return check;
}

// How one scripted download or extraction call ends.
enum class Outcome {
  Ok,
  Fails,     // raises its text, as a server or archive fault does
  Crashes,   // raises something that is no InstallException
  NoRoom,    // the extraction finds the drive too small: no new download helps
};

// The download, the extraction and the signature check, scripted: each
// download and extraction call takes the next outcome, Ok once they run out.
struct ScriptedEngine final : InstallBackend::IPackageDownload,
                              InstallBackend::IPackageExtraction,
                              InstallBackend::IArchiveGrowth,
                              Platform::IMakerSignatureCheck {
  std::vector<Outcome> downloads, extractions;
  std::vector<bool> downloadCalls;  // proxyOnly of each call
  std::vector<bool> followedDownloads;  // each call was handed the extraction that follows it
  std::vector<std::wstring> following;  // "follow <archive> <folder>" and "stop", in order
  std::vector<std::wstring> unzipTargets;
  // The outcome of the installed application's signature check.
  Platform::SignatureCheck check = Genuine();
  bool checkThrows = false;
  std::vector<std::wstring> checkedPaths;
  CancelFlag* cancelDuringDownload = nullptr;
  CancelFlag* cancelDuringUnzip = nullptr;
  KorvaneTest::FakeDriveInfoSource* pullDuringUnzip = nullptr;
  InstallBackend::PackageList verified;  // nothing is staged on the fake drive

  const InstallBackend::PackageList& Verified() const override { return verified; }

  std::wstring Download(const std::wstring& folder, IInstallListener* listener, const CancelFlag&, bool proxyOnly,
                        InstallBackend::IArchiveGrowth* growth) override {
    EXPECT_EQ(folder, kWorkFolder);
    followedDownloads.push_back(growth == this);
    if (listener) listener->OnStatus(Downloading);
    downloadCalls.push_back(proxyOnly);
    if (Take(downloads, downloadCalls.size(), cancelDuringDownload) == Outcome::Fails) {
      throw InstallException(L"InstallBackend::PerformRequest WinHttpReceiveResponse failed");
    }
    return folder + L"Korvane.zip";
  }

  void Unzip(const std::wstring& zip, const std::wstring& drive, IInstallListener* listener,
             const CancelFlag&) override {
    EXPECT_EQ(zip, kArchive);
    if (listener) listener->OnStatus(Extracting);
    unzipTargets.push_back(drive);
    if (pullDuringUnzip) pullDuringUnzip->results.clear();
    switch (Take(extractions, unzipTargets.size(), cancelDuringUnzip)) {
      case Outcome::Fails:
        throw InstallException(L"Failed to open zip file");
      case Outcome::NoRoom:
        throw InstallException(L"InstallBackend::Unzip Not enough free space on the target: 300 bytes needed, "
                               L"200 bytes free",
                               InstallException::Retry::Pointless, InstallError::NotEnoughSpace);
      default:
        break;
    }
  }

  InstallBackend::IArchiveGrowth* Follow(const std::wstring& zip, const std::wstring& drive,
                                         const CancelFlag&) override {
    following.push_back(L"follow " + zip + L" " + drive);
    return this;
  }
  void StopFollowing() override { following.push_back(L"stop"); }
  void ArchiveWritten(std::uint64_t) override {}
  void ArchiveSizeKnown(std::uint64_t) override {}

  Platform::SignatureCheck CheckMakerSignature(const std::wstring& path) override {
    checkedPaths.push_back(path);
    if (checkThrows) throw std::bad_alloc();
    return check;
  }
  Platform::SignatureCheck StartIfGenuine(const std::wstring&, const std::wstring&, const std::wstring&) override {
    ADD_FAILURE() << "the install itself starts nothing";
    return Platform::SignatureCheck();
  }

 private:
  // The outcome of the call-th call (counted from 1), with the cancel the
  // test asked for set on the way; a crash is raised here.
  static Outcome Take(const std::vector<Outcome>& script, std::size_t call, CancelFlag* cancelDuring) {
    if (cancelDuring) cancelDuring->Set();
    const Outcome outcome = call <= script.size() ? script[call - 1] : Outcome::Ok;
    if (outcome == Outcome::Crashes) throw std::bad_alloc();
    return outcome;
  }
};

struct InstallSequence : ::testing::Test {
  FakeFileSystem files;
  KorvaneTest::FakeDriveInfoSource drives;
  ScriptedEngine script;
  SequenceListener listener;
  CancelFlag cancel;
  KorvaneTest::LogCapture log;

  InstallSequence() { drives.AddDisk(L"USBSTOR\\DISK&VEN_X\\0123456789&0", L"D1", {{L"P1", {L"E:"}}}); }

  bool Run(const std::wstring& drive = L"E:", IInstallListener* to = nullptr) {
    return RunTelling(to ? to : &listener, drive);
  }
  bool RunTelling(IInstallListener* to, const std::wstring& drive) {
    const InstallBackend::InstallParts parts{files, drives, script, script, script};
    return InstallBackend::Install(parts, drive, kWorkRoot, to, cancel);
  }
};

TEST_F(InstallSequence, SuccessfulRunDownloadsDirectlyExtractsAndDeletesTheArchive) {
  EXPECT_TRUE(Run());
  EXPECT_THAT(listener.calls, ElementsAre("code 0", "status 0", "status 1", "status 2"));
  EXPECT_THAT(script.downloadCalls, ElementsAre(false));
  EXPECT_THAT(script.unzipTargets, ElementsAre(kStaged));
  EXPECT_THAT(files.made, ElementsAre(kWorkFolder, L"E:"));
  EXPECT_THAT(files.deleted, ElementsAre(kRecord, kArchive));
  // The staged file is checked; the log names the place it is going to.
  EXPECT_THAT(script.checkedPaths, ElementsAre(kStaged + L"\\Korvane.exe"));
  EXPECT_THAT(log.lines(), ElementsAre(kAccepted));
}

TEST_F(InstallSequence, NullListenerGetsNoCallAndTheResultTellsTheOutcome) {
  EXPECT_TRUE(RunTelling(nullptr, L"E:\\Apps"));
  EXPECT_THAT(script.unzipTargets, ElementsAre(L"E:\\Apps\\.korvane-staging\\new"));
  // The target is made with every missing parent, outermost first.
  EXPECT_THAT(files.made, ElementsAre(kWorkFolder, L"E:", L"E:\\Apps"));
  drives.results.clear();
  EXPECT_FALSE(RunTelling(nullptr, L"E:\\Apps"));
}

TEST_F(InstallSequence, DriveLetterMustBeAnExactKeyOfTheUsbDrives) {
  for (const std::wstring drive : {L"e:", L"F:", L"E", L""}) {
    SequenceListener fresh;
    EXPECT_FALSE(Run(drive, &fresh)) << drive.size();
    EXPECT_THAT(fresh.calls, ElementsAre("code 0", "code 2048", "status 3"));
  }
  EXPECT_TRUE(script.downloadCalls.empty());
  // Each failed run removes the archive and its record.
  EXPECT_EQ(files.deleted.size(), 8u);
}

// A failed download, and a run that fails before it downloads, leave the
// archive for the next run; a cancel deletes it.
TEST_F(InstallSequence, OnlyACancelOrAnEndAfterTheDownloadDeletesAKeptArchive) {
  files.archiveKept = true;
  script.downloads = {Outcome::Fails, Outcome::Fails};
  EXPECT_FALSE(Run());
  EXPECT_EQ(script.downloadCalls.size(), 2u);
  EXPECT_TRUE(files.deleted.empty());

  drives.results.clear();
  EXPECT_FALSE(Run());
  EXPECT_TRUE(files.deleted.empty());

  drives.AddDisk(L"USBSTOR\\DISK&VEN_X\\0123456789&0", L"D1", {{L"P1", {L"E:"}}});
  script.cancelDuringDownload = &cancel;
  EXPECT_FALSE(Run());
  EXPECT_THAT(files.deleted, ElementsAre(kRecord, kArchive));
}

TEST_F(InstallSequence, FreeSpaceThresholdIsExactly150MiB) {
  files.freeBytes = 157286400;
  EXPECT_TRUE(Run());
  files.freeBytes = 157286399;
  SequenceListener second;
  EXPECT_FALSE(Run(L"E:", &second));
  EXPECT_THAT(second.calls, ElementsAre("code 0", "code 1024", "status 3"));
  EXPECT_EQ(script.downloadCalls.size(), 1u);
}

TEST_F(InstallSequence, UnreadableVolumeCountsAsDisconnectedDrive) {
  files.volumeReadable = false;
  EXPECT_FALSE(Run());
  EXPECT_THAT(listener.calls, ElementsAre("code 0", "code 2048", "status 3"));
  EXPECT_TRUE(script.downloadCalls.empty());
}

TEST_F(InstallSequence, ErrorWhileListingDrivesIsLoggedAndTheDriveCountsAsPresent) {
  drives.connectThrows = true;
  EXPECT_TRUE(Run());
  EXPECT_THAT(log.lines(),
              ElementsAre("ERROR InstallBackend::Install CheckDriveConnected Generic exception Last error: 87",
                          kAccepted));
}

// Errors without a text of their own say in the log which step raised them.
TEST_F(InstallSequence, ErrorsWithoutATextAreLoggedWithTheirStep) {
  files.freeSpaceThrows = true;
  script.downloads = {Outcome::Crashes};
  script.extractions = {Outcome::Crashes, Outcome::Crashes};
  EXPECT_FALSE(Run());
  EXPECT_EQ(script.downloadCalls.size(), 3u);
  EXPECT_THAT(log.lines(),
              ElementsAre("ERROR InstallBackend::Install CheckDriveFreeSpace Generic exception Last error: 87",
                          "ERROR InstallBackend::Install Download Generic exception Last error: 87",
                          "ERROR InstallBackend::Install Generic exception Last error: 87",
                          "ERROR InstallBackend::Install Generic exception Last error: 87"));
  EXPECT_EQ(listener.calls.back(), "status 3");
  // An archive that came whole and is no package is not gone on with.
  EXPECT_THAT(files.deleted, ElementsAre(kRecord, kArchive, kRecord, kArchive));
}

TEST_F(InstallSequence, FailedFirstDownloadIsRetriedThroughTheProxyPath) {
  script.downloads = {Outcome::Fails};
  EXPECT_TRUE(Run());
  EXPECT_THAT(script.downloadCalls, ElementsAre(false, true));
  EXPECT_THAT(listener.calls, ElementsAre("code 0", "status 0", "status 0", "status 1", "status 2"));
  EXPECT_THAT(log.lines(), ElementsAre("ERROR InstallBackend::Install exception InstallBackend::PerformRequest "
                                       "WinHttpReceiveResponse failed Last error: 87",
                                       kAccepted));
}

// Each download is followed by the extraction from its first byte into a
// staging folder of its own: what an earlier one wrote is gone first.
TEST_F(InstallSequence, EveryDownloadIsFollowedAfreshByTheExtraction) {
  script.downloads = {Outcome::Fails};
  script.extractions = {Outcome::Fails};
  EXPECT_TRUE(Run());
  const std::wstring follow = L"follow " + kArchive + L" " + kStaged;
  EXPECT_THAT(script.following, ElementsAre(follow, L"stop", follow, L"stop", follow));
  EXPECT_THAT(script.followedDownloads, ElementsAre(true, true, true));
}

TEST_F(InstallSequence, TwoFailedDownloadsFailWithoutErrorCode) {
  script.downloads = {Outcome::Fails, Outcome::Fails};
  EXPECT_FALSE(Run());
  EXPECT_THAT(script.downloadCalls, ElementsAre(false, true));
  EXPECT_EQ(listener.code, 0);
  EXPECT_EQ(listener.calls.back(), "status 3");
  EXPECT_TRUE(script.unzipTargets.empty());
  EXPECT_THAT(files.deleted, ElementsAre(kRecord, kArchive));
}

TEST_F(InstallSequence, UnreadableArchiveIsDownloadedOnceMoreThroughTheProxyPath) {
  script.extractions = {Outcome::Fails};
  EXPECT_TRUE(Run());
  EXPECT_THAT(script.downloadCalls, ElementsAre(false, true));
  EXPECT_EQ(script.unzipTargets.size(), 2u);
  EXPECT_THAT(log.lines(), ElementsAre("ERROR InstallBackend::Install exception Failed to open zip file Last error: 87",
                                       kAccepted));
}

TEST_F(InstallSequence, AtMostThreeDownloadsAndThenFailure) {
  script.downloads = {Outcome::Fails};
  script.extractions = {Outcome::Fails, Outcome::Fails};
  EXPECT_FALSE(Run());
  EXPECT_THAT(script.downloadCalls, ElementsAre(false, true, true));
  EXPECT_EQ(listener.calls.back(), "status 3");
  EXPECT_EQ(log.lines().size(), 3u);
}

TEST_F(InstallSequence, CancelDuringFirstDownloadFailsWithoutRetry) {
  script.cancelDuringDownload = &cancel;
  EXPECT_FALSE(Run());
  EXPECT_THAT(script.downloadCalls, ElementsAre(false));
  EXPECT_TRUE(script.unzipTargets.empty());
  EXPECT_EQ(listener.calls.back(), "status 3");
  EXPECT_THAT(files.deleted, ElementsAre(kRecord, kArchive));
}

// Whatever step noticed it, a drive that is gone is what the user must hear of.
TEST_F(InstallSequence, DriveGoneAtTheEndIsReportedAsNotConnected) {
  script.pullDuringUnzip = &drives;
  script.extractions = {Outcome::Fails, Outcome::Fails};
  EXPECT_FALSE(Run());
  EXPECT_EQ(listener.code, 2048);
  EXPECT_EQ(listener.calls.back(), "status 3");
}

TEST_F(InstallSequence, CancelDuringExtractionIsNeverReportedAsInstalled) {
  script.cancelDuringUnzip = &cancel;
  EXPECT_FALSE(Run());
  EXPECT_THAT(listener.calls, ElementsAre("code 0", "status 0", "status 1", "status 3"));
  EXPECT_THAT(files.deleted, ElementsAre(kRecord, kArchive));
}

TEST_F(InstallSequence, ApplicationThatIsNotGenuineFailsTheInstallWithoutAnotherDownload) {
  script.check.result = 0x800B0100u;
  script.check.signer.clear();
  EXPECT_FALSE(Run());
  EXPECT_THAT(listener.calls, ElementsAre("code 0", "status 0", "status 1", "status 3"));
  EXPECT_EQ(listener.code, 0);
  EXPECT_THAT(script.downloadCalls, ElementsAre(false));
  EXPECT_THAT(files.deleted, ElementsAre(kRecord, kArchive));
  EXPECT_THAT(log.lines(), ElementsAre("ERROR InstallBackend::Install E:\\Korvane.exe is not genuine: result 0x800B0100"));
}

TEST_F(InstallSequence, ApplicationSignedBySomebodyElseIsNamedInTheLog) {
  script.check.result = Platform::SignatureCheck::kSignerMismatch;
  script.check.signer = L"Korvane Other Signer";
  EXPECT_FALSE(RunTelling(nullptr, L"E:\\Apps"));
  EXPECT_THAT(script.checkedPaths, ElementsAre(L"E:\\Apps\\.korvane-staging\\new\\Korvane.exe"));
  EXPECT_THAT(log.lines(), ElementsAre("ERROR InstallBackend::Install E:\\Apps\\Korvane.exe is not genuine: "
                                       "result 0x800B0004, signed by \"Korvane Other Signer\""));
}

TEST_F(InstallSequence, CheckThatCannotRunCountsAsNotGenuine) {
  script.checkThrows = true;
  EXPECT_FALSE(Run());
  EXPECT_EQ(listener.calls.back(), "status 3");
  EXPECT_THAT(log.lines(), ElementsAre("ERROR InstallBackend::Install CheckSignature Generic exception Last error: 87"));
}

// The retried extraction's product is checked like the first one's.
TEST_F(InstallSequence, ApplicationFromTheRetriedDownloadIsCheckedToo) {
  script.extractions = {Outcome::Fails};
  script.check.result = 0x80096010u;
  EXPECT_FALSE(Run());
  EXPECT_THAT(script.downloadCalls, ElementsAre(false, true));
  EXPECT_EQ(script.checkedPaths.size(), 1u);
  EXPECT_EQ(listener.calls.back(), "status 3");
}

TEST_F(InstallSequence, CancelledExtractionIsNotChecked) {
  script.cancelDuringUnzip = &cancel;
  EXPECT_FALSE(Run());
  EXPECT_TRUE(script.checkedPaths.empty());
}

TEST_F(InstallSequence, DownloadFolderAddsNoSeparatorOfItsOwnNextToTheWorkingFolders) {
  EXPECT_EQ(InstallBackend::DownloadFolderFor(L"C:\\T\\", L'E'), L"C:\\T\\KV_Install_E\\");
  EXPECT_EQ(InstallBackend::DownloadFolderFor(L"C:\\T", L'E'), L"C:\\T\\KV_Install_E\\");
  // A doubled separator of the working folder itself is its own and stays.
  EXPECT_EQ(InstallBackend::DownloadFolderFor(L"C:\\T\\\\", L'E'), L"C:\\T\\\\KV_Install_E\\");
  // A temporary folder on a share: collapsing its leading pair would move
  // the download folder onto the current drive.
  EXPECT_EQ(InstallBackend::DownloadFolderFor(L"\\\\srv\\home\\T\\", L'E'), L"\\\\srv\\home\\T\\KV_Install_E\\");
}

}  // namespace

namespace {

// A drive that cannot hold the package stays too small for any new
// download: one failure, logged with its numbers, told as the lack of room.
TEST_F(InstallSequence, DriveTooSmallForThePackageFailsWithoutAnotherDownload) {
  script.extractions = {Outcome::NoRoom};
  EXPECT_FALSE(Run());
  EXPECT_THAT(script.downloadCalls, ElementsAre(false));
  EXPECT_EQ(script.unzipTargets.size(), 1u);
  EXPECT_EQ(listener.code, 1024);
  EXPECT_EQ(listener.calls.back(), "status 3");
  EXPECT_THAT(log.lines(), ElementsAre("ERROR InstallBackend::Install exception InstallBackend::Unzip Not enough free "
                                       "space on the target: 300 bytes needed, 200 bytes free Last error: 87"));
  EXPECT_THAT(files.deleted, ElementsAre(kRecord, kArchive));
}

}  // namespace
