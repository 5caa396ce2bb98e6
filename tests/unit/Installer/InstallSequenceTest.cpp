#include "Installer/Engine/InstallSequence.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Installer/Engine/InstallException.h"
#include "Support/LogCapture.h"

namespace {

using InstallBackend::InstallException;
using InstallBackend::InstallSteps;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::wstring kWorkRoot = L"C:\\Temp\\{502ABB8A-27F4-4A9D-A0B4-C99B926B99EE}\\";
const std::wstring kWorkFolder = kWorkRoot + L"KV_Install_E\\";
const std::wstring kArchive = kWorkFolder + L"Korvane.zip";

struct FakeStorage : Platform::IInstallStorage {
  std::uint64_t freeBytes = 8ull * 1024 * 1024 * 1024;
  bool volumeReadable = true;
  bool freeSpaceThrows = false;
  std::vector<std::wstring> created, createdPaths, deleted;

  bool FolderExists(const std::wstring&) override { return false; }
  void CreateFolder(const std::wstring& path) override { created.push_back(path); }
  void CreateFolderPath(const std::wstring& path) override { createdPaths.push_back(path); }
  bool GetFreeBytes(const std::wstring&, std::uint64_t& bytes) override {
    if (freeSpaceThrows) throw std::bad_alloc();
    bytes = freeBytes;
    return volumeReadable;
  }
  void RemoveFile(const std::wstring& path) override { deleted.push_back(path); }
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

// A scripted engine: each download and extraction call takes the next outcome.
struct ScriptedSteps {
  UsbDriveMap drives{{L'E', L"0123456789&0"}};
  std::vector<bool> downloadFails, unzipFails;
  std::vector<bool> downloadCalls;  // proxyOnly of each call
  std::vector<std::wstring> unzipTargets;
  bool listThrows = false;
  // The outcome of the installed application's signature check.
  Platform::SignatureCheck check = Genuine();
  bool checkThrows = false;
  std::vector<std::wstring> checkedPaths;
  CancelFlag* cancelDuringDownload = nullptr;
  CancelFlag* cancelDuringUnzip = nullptr;

  InstallSteps Bind() {
    InstallSteps steps;
    steps.getUsbDrives = [this] {
      if (listThrows) throw std::bad_alloc();
      return drives;
    };
    steps.download = [this](const std::wstring& folder, IInstallListener* listener, const CancelFlag*, bool proxy) {
      EXPECT_EQ(folder, kWorkFolder);
      if (listener) listener->OnStatus(Downloading);
      const size_t n = downloadCalls.size();
      downloadCalls.push_back(proxy);
      if (cancelDuringDownload) *cancelDuringDownload = true;
      if (n < downloadFails.size() && downloadFails[n]) {
        throw InstallException(L"InstallBackend::PerformRequest WinHttpReceiveResponse failed");
      }
      return folder + L"Korvane.zip";
    };
    steps.unzip = [this](const std::wstring& zip, const std::wstring& drive, IInstallListener* listener,
                         const CancelFlag*) {
      EXPECT_EQ(zip, kArchive);
      if (listener) listener->OnStatus(Extracting);
      const size_t n = unzipTargets.size();
      unzipTargets.push_back(drive);
      if (cancelDuringUnzip) *cancelDuringUnzip = true;
      if (n < unzipFails.size() && unzipFails[n]) throw InstallException(L"Failed to open zip file");
    };
    steps.checkSignature = [this](const std::wstring& path) {
      checkedPaths.push_back(path);
      if (checkThrows) throw std::bad_alloc();
      return check;
    };
    return steps;
  }
};

struct InstallSequence : ::testing::Test {
  FakeStorage storage;
  ScriptedSteps script;
  SequenceListener listener;
  CancelFlag cancel{false};
  KorvaneTest::LogCapture log;

  bool Run(const std::wstring& drive = L"E:", IInstallListener* to = nullptr) {
    return InstallBackend::Install(drive, kWorkRoot, to ? to : &listener, &cancel, script.Bind(), storage);
  }
};

TEST_F(InstallSequence, SuccessfulRunDownloadsDirectlyExtractsAndDeletesTheArchive) {
  EXPECT_TRUE(Run());
  EXPECT_THAT(listener.calls, ElementsAre("code 0", "status 0", "status 1", "status 2"));
  EXPECT_THAT(script.downloadCalls, ElementsAre(false));
  EXPECT_THAT(script.unzipTargets, ElementsAre(L"E:"));
  EXPECT_THAT(storage.created, ElementsAre(kWorkFolder));
  EXPECT_THAT(storage.createdPaths, ElementsAre(L"E:"));
  EXPECT_THAT(storage.deleted, ElementsAre(kArchive));
  EXPECT_THAT(script.checkedPaths, ElementsAre(L"E:\\Korvane.exe"));
  EXPECT_THAT(log.lines(), ElementsAre(kAccepted));
}

TEST_F(InstallSequence, NullListenerGetsNoCallAndTheResultTellsTheOutcome) {
  EXPECT_TRUE(InstallBackend::Install(L"E:\\Apps", kWorkRoot, nullptr, &cancel, script.Bind(), storage));
  EXPECT_THAT(script.unzipTargets, ElementsAre(L"E:\\Apps"));
  script.drives.clear();
  EXPECT_FALSE(InstallBackend::Install(L"E:\\Apps", kWorkRoot, nullptr, &cancel, script.Bind(), storage));
}

TEST_F(InstallSequence, DriveLetterMustBeAnExactKeyOfTheUsbDrives) {
  for (const std::wstring drive : {L"e:", L"F:", L"E", L""}) {
    SequenceListener fresh;
    EXPECT_FALSE(Run(drive, &fresh)) << drive.size();
    EXPECT_THAT(fresh.calls, ElementsAre("code 0", "code 2048", "status 3"));
  }
  EXPECT_TRUE(script.downloadCalls.empty());
  EXPECT_EQ(storage.deleted.size(), 4u);
}

TEST_F(InstallSequence, FreeSpaceThresholdIsExactly150MiB) {
  storage.freeBytes = 157286400;
  EXPECT_TRUE(Run());
  storage.freeBytes = 157286399;
  SequenceListener second;
  EXPECT_FALSE(Run(L"E:", &second));
  EXPECT_THAT(second.calls, ElementsAre("code 0", "code 1024", "status 3"));
  EXPECT_EQ(script.downloadCalls.size(), 1u);
}

TEST_F(InstallSequence, UnreadableVolumeCountsAsDisconnectedDrive) {
  storage.volumeReadable = false;
  EXPECT_FALSE(Run());
  EXPECT_THAT(listener.calls, ElementsAre("code 0", "code 2048", "status 3"));
  EXPECT_TRUE(script.downloadCalls.empty());
}

TEST_F(InstallSequence, ErrorWhileListingDrivesIsLoggedAndTheDriveCountsAsPresent) {
  script.listThrows = true;
  EXPECT_TRUE(Run());
  EXPECT_THAT(log.lines(),
              ElementsAre("ERROR InstallBackend::Install CheckDriveConnected Generic exception Last error: 87",
                          kAccepted));
}

// Errors without a text of their own say in the log which step raised them.
TEST_F(InstallSequence, ErrorsWithoutATextAreLoggedWithTheirStep) {
  storage.freeSpaceThrows = true;
  InstallSteps steps = script.Bind();
  int downloads = 0;
  steps.download = [&downloads](const std::wstring& folder, IInstallListener*, const CancelFlag*, bool) {
    if (++downloads == 1) throw std::bad_alloc();
    return folder + L"Korvane.zip";
  };
  steps.unzip = [](const std::wstring&, const std::wstring&, IInstallListener*, const CancelFlag*) {
    throw std::bad_alloc();
  };
  EXPECT_FALSE(InstallBackend::Install(L"E:", kWorkRoot, &listener, &cancel, steps, storage));
  EXPECT_EQ(downloads, 3);
  EXPECT_THAT(log.lines(),
              ElementsAre("ERROR InstallBackend::Install CheckDriveFreeSpace Generic exception Last error: 87",
                          "ERROR InstallBackend::Install Download Generic exception Last error: 87",
                          "ERROR InstallBackend::Install Generic exception Last error: 87",
                          "ERROR InstallBackend::Install Generic exception Last error: 87"));
  EXPECT_EQ(listener.calls.back(), "status 3");
  EXPECT_THAT(storage.deleted, ElementsAre(kArchive));
}

TEST_F(InstallSequence, FailedFirstDownloadIsRetriedThroughTheProxyPath) {
  script.downloadFails = {true};
  EXPECT_TRUE(Run());
  EXPECT_THAT(script.downloadCalls, ElementsAre(false, true));
  EXPECT_THAT(listener.calls, ElementsAre("code 0", "status 0", "status 0", "status 1", "status 2"));
  EXPECT_THAT(log.lines(), ElementsAre("ERROR InstallBackend::Install exception InstallBackend::PerformRequest "
                                       "WinHttpReceiveResponse failed Last error: 87",
                                       kAccepted));
}

TEST_F(InstallSequence, TwoFailedDownloadsFailWithoutErrorCode) {
  script.downloadFails = {true, true};
  EXPECT_FALSE(Run());
  EXPECT_THAT(script.downloadCalls, ElementsAre(false, true));
  EXPECT_EQ(listener.code, 0);
  EXPECT_EQ(listener.calls.back(), "status 3");
  EXPECT_TRUE(script.unzipTargets.empty());
  EXPECT_THAT(storage.deleted, ElementsAre(kArchive));
}

TEST_F(InstallSequence, UnreadableArchiveIsDownloadedOnceMoreThroughTheProxyPath) {
  script.unzipFails = {true};
  EXPECT_TRUE(Run());
  EXPECT_THAT(script.downloadCalls, ElementsAre(false, true));
  EXPECT_EQ(script.unzipTargets.size(), 2u);
  EXPECT_THAT(log.lines(), ElementsAre("ERROR InstallBackend::Install exception Failed to open zip file Last error: 87",
                                       kAccepted));
}

TEST_F(InstallSequence, AtMostThreeDownloadsAndThenFailure) {
  script.downloadFails = {true};
  script.unzipFails = {true, true};
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
  EXPECT_THAT(storage.deleted, ElementsAre(kArchive));
}

TEST_F(InstallSequence, CancelDuringExtractionIsNeverReportedAsInstalled) {
  script.cancelDuringUnzip = &cancel;
  EXPECT_FALSE(Run());
  EXPECT_THAT(listener.calls, ElementsAre("code 0", "status 0", "status 1", "status 3"));
  EXPECT_THAT(storage.deleted, ElementsAre(kArchive));
}

TEST_F(InstallSequence, ApplicationThatIsNotGenuineFailsTheInstallWithoutAnotherDownload) {
  script.check.result = 0x800B0100u;
  script.check.signer.clear();
  EXPECT_FALSE(Run());
  EXPECT_THAT(listener.calls, ElementsAre("code 0", "status 0", "status 1", "status 3"));
  EXPECT_EQ(listener.code, 0);
  EXPECT_THAT(script.downloadCalls, ElementsAre(false));
  EXPECT_THAT(storage.deleted, ElementsAre(kArchive));
  EXPECT_THAT(log.lines(), ElementsAre("ERROR InstallBackend::Install E:\\Korvane.exe is not genuine: result 0x800B0100"));
}

TEST_F(InstallSequence, ApplicationSignedBySomebodyElseIsNamedInTheLog) {
  script.check.result = Platform::SignatureCheck::kSignerMismatch;
  script.check.signer = L"Korvane Other Signer";
  EXPECT_FALSE(InstallBackend::Install(L"E:\\Apps", kWorkRoot, nullptr, &cancel, script.Bind(), storage));
  EXPECT_THAT(script.checkedPaths, ElementsAre(L"E:\\Apps\\Korvane.exe"));
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
  script.unzipFails = {true};
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
// download: one failure, logged with its numbers, the general failure text.
TEST_F(InstallSequence, DriveTooSmallForThePackageFailsWithoutAnotherDownload) {
  InstallSteps steps = script.Bind();
  int extractions = 0;
  steps.unzip = [&extractions](const std::wstring&, const std::wstring&, IInstallListener*, const CancelFlag*) {
    ++extractions;
    throw InstallException(L"InstallBackend::Unzip Not enough free space on the target: 300 bytes needed, 200 bytes free",
                           InstallException::Retry::Pointless);
  };
  EXPECT_FALSE(InstallBackend::Install(L"E:", kWorkRoot, &listener, &cancel, steps, storage));
  EXPECT_THAT(script.downloadCalls, ElementsAre(false));
  EXPECT_EQ(extractions, 1);
  EXPECT_EQ(listener.code, 0);
  EXPECT_EQ(listener.calls.back(), "status 3");
  EXPECT_THAT(log.lines(), ElementsAre("ERROR InstallBackend::Install exception InstallBackend::Unzip Not enough free "
                                       "space on the target: 300 bytes needed, 200 bytes free Last error: 87"));
  EXPECT_THAT(storage.deleted, ElementsAre(kArchive));
}

}  // namespace
