#include "Installer/Engine/Download.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "FakeHttpClient.h"
#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/KeptArchive.h"
#include "Platform/Files/NativeFileSystem.h"
#include "Platform/Text/TextConversion.h"
#include "Support/FaultyFileSystem.h"
#include "Support/LogCapture.h"
#include "Support/RecordingListener.h"
#include "Support/TestArchives.h"

namespace {

using KorvaneTest::FakeHttpClient;
using KorvaneTest::LogCapture;
using KorvaneTest::RecordingListener;
namespace fs = std::filesystem;

constexpr std::uint32_t MiB4 = 4194304;
const char* const ProxyLabel = "INFO InstallBackend::Download WinHttpGetIEProxyConfigForCurrentUser ieProxyConfig.";
const char* const DiscoveredLabel = "INFO InstallBackend::Download WinHttpGetProxyForUrl autoProxyInfo.";

class DownloadTest : public ::testing::Test {
 protected:
  std::wstring WorkFolder() const { return Platform::Utf8ToUtf16(m_folder.Path().string() + "/"); }
  fs::path Archive() const { return m_folder.Path() / "Korvane.zip"; }

  std::wstring Run(FakeHttpClient& http, bool proxyOnly = false) { return Run(http, files, proxyOnly); }
  std::wstring Run(FakeHttpClient& http, Platform::IFileSystem& onto, bool proxyOnly = false) {
    return InstallBackend::PackageDownload(http, onto, {L"localhost", 8443})
        .Download(WorkFolder(), &listener, cancel, proxyOnly, nullptr);
  }
  std::wstring RunExpectingFailure(FakeHttpClient& http, bool proxyOnly = false) {
    return RunExpectingFailure(http, files, proxyOnly);
  }
  std::wstring RunExpectingFailure(FakeHttpClient& http, Platform::IFileSystem& onto, bool proxyOnly = false) {
    try {
      Run(http, onto, proxyOnly);
    } catch (const InstallBackend::InstallException& e) {
      return e.Message();
    }
    ADD_FAILURE() << "the download did not raise";
    return L"";
  }
  // True when the archive holds exactly the first size bytes of the package.
  bool ArchiveIsPackage(std::uint32_t size) const {
    std::ifstream in(Archive(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() != size) return false;
    for (std::uint32_t i = 0; i < size; ++i) {
      if (bytes[i] != KorvaneTest::PackageByte(i)) return false;
    }
    return true;
  }

  // A folder of its own for every run: native and Windows test runs share /tmp.
  KorvaneTest::ScratchFolder m_folder;
  Platform::NativeFileSystem files;
  RecordingListener listener;
  CancelFlag cancel;
  LogCapture log;
};

std::wstring Range(std::uint64_t first, std::uint64_t last) {
  return L"Range: bytes=" + std::to_wstring(first) + L"-" + std::to_wstring(last);
}

TEST_F(DownloadTest, RangeRequestsStopAtLastByte) {
  struct Case {
    std::uint32_t size;
    std::vector<std::wstring> headers;
  };
  const Case cases[] = {
      {MiB4, {L"", Range(0, MiB4 - 1)}},
      {MiB4 + 1, {L"", Range(0, MiB4 - 1), Range(MiB4, MiB4)}},
      {3 * MiB4 + 17, {L"", Range(0, MiB4 - 1), Range(MiB4, 2 * MiB4 - 1),
                       Range(2 * MiB4, 3 * MiB4 - 1), Range(3 * MiB4, 3 * MiB4 + 16)}},
  };
  for (const Case& c : cases) {
    FakeHttpClient http(c.size);
    EXPECT_EQ(Run(http), WorkFolder() + L"Korvane.zip");
    EXPECT_EQ(http.rangeHeaders, c.headers) << c.size;
    EXPECT_TRUE(ArchiveIsPackage(c.size)) << c.size;
    EXPECT_EQ(http.OpenHandles(), 0u);
    // One session and connection for the whole package, a request per range.
    EXPECT_EQ(http.opens.size(), 1u);
    EXPECT_EQ(http.ports.size(), 1u);
  }
}

TEST_F(DownloadTest, RequestsCarryTheFixedEndpointFlagsAndTimeouts) {
  FakeHttpClient http(10);
  Run(http);
  EXPECT_EQ(http.Agent(), L"Korvane");
  EXPECT_EQ(http.Host(), L"localhost");
  EXPECT_EQ(http.Verb(), L"GET");
  EXPECT_EQ(http.paths.back(), L"/SW_UPDATE/KV_MERIDEL/Korvane.zip");
  EXPECT_EQ(http.ports.back(), 8443);
  EXPECT_EQ(http.requestFlags.back(), 0x800100u);
  EXPECT_EQ(http.timeouts.back(), (std::vector<int>{0, 60000, 60000, 60000}));
  EXPECT_TRUE(log.Has("INFO InstallBackend::PerformRequest Headers: Range: bytes=0-9"));
}

TEST_F(DownloadTest, TimeoutMidChunkResumesAtFirstByteNotReceived) {
  FakeHttpClient http(2 * MiB4);
  http.timeoutRequest = 1;
  http.timeoutAfterBytes = 1000000;
  Run(http);
  EXPECT_EQ(http.rangeHeaders,
            (std::vector<std::wstring>{L"", Range(0, MiB4 - 1), Range(1000000, 1000000 + MiB4 - 1),
                                       Range(1000000 + MiB4, 2 * MiB4 - 1)}));
  EXPECT_TRUE(ArchiveIsPackage(2 * MiB4));
  // The user hears of the stall when it is noticed, once.
  EXPECT_EQ(listener.waits, (std::vector<std::pair<NetworkWait, int>>{{NetworkWait::Stalled, 15}}));
  // The stalled request's session goes with it: the rest comes on a new
  // one, which the last range shares.
  EXPECT_EQ(http.requestSessions, (std::vector<std::size_t>{0, 0, 1, 1}));
}

// The download's waits on the network, in order.
struct WaitRecord final : IInstallListener {
  void OnStatus(int) override {}
  void OnProgress(float) override {}
  int GetErrorCode() override { return 0; }
  void SetErrorCode(int) override {}
  void OnNetworkWait(NetworkWait what, int seconds) override { waits.emplace_back(what, seconds); }
  std::vector<std::pair<NetworkWait, int>> waits;
};

using Waits = std::vector<std::pair<NetworkWait, int>>;

// Every stall and every pause costs the fake clock its length; nothing
// really waits.
class StalledDownloadTest : public DownloadTest {
 protected:
  std::wstring RunStalling(FakeHttpClient& http, InstallBackend::PackageDownload& download, bool proxyOnly) {
    http.onTimeout = [this] { m_now += std::chrono::seconds(15); };
    try {
      download.Download(WorkFolder(), &waits, cancel, proxyOnly, nullptr);
    } catch (const InstallBackend::InstallException& e) {
      return e.Message();
    }
    return L"";
  }
  InstallBackend::PackageDownload Download(FakeHttpClient& http) {
    return InstallBackend::PackageDownload(
        http, files, {L"localhost", 8443}, InstallBackend::ProgressWatch([this] { return m_now; }),
        [this](std::chrono::milliseconds length, const CancelFlag&) {
          pauses.push_back(static_cast<int>(length.count() / 1000));
          m_now += length;
          onPause();
        });
  }
  InstallBackend::ProgressWatch::TimePoint m_now{};
  std::vector<int> pauses;  // in seconds
  std::function<void()> onPause = [] {};
  WaitRecord waits;
};

TEST_F(StalledDownloadTest, ConnectionFailuresAreResumedAfterPausesThatGrow) {
  FakeHttpClient http(2 * MiB4);
  // The second range is refused three times, then a reset cuts its body.
  http.sendFails = [](int send) { return send >= 2 && send <= 4 ? 12029u : 0u; };
  http.timeoutRequest = 5;
  http.timeoutAfterBytes = 1000;
  http.timeoutCode = 12030;
  auto download = Download(http);
  EXPECT_EQ(RunStalling(http, download, false), L"");
  EXPECT_TRUE(ArchiveIsPackage(2 * MiB4));
  EXPECT_EQ(pauses, (std::vector<int>{1, 2, 4, 8}));
  EXPECT_EQ(waits.waits, (Waits{{NetworkWait::Retrying, 1}, {NetworkWait::Retrying, 2}, {NetworkWait::Retrying, 4},
                                {NetworkWait::Retrying, 8}}));
  EXPECT_TRUE(log.Has("INFO InstallBackend::Download connection refused at byte 4194304, resuming in 4 s"));
  EXPECT_TRUE(log.Has("INFO InstallBackend::Download connection reset at byte 4195304, resuming in 8 s"));
  EXPECT_EQ(http.rangeHeaders.back(), Range(MiB4 + 1000, 2 * MiB4 - 1));
  EXPECT_EQ(http.OpenHandles(), 0u);
}

TEST_F(StalledDownloadTest, BodyEndingBeforeItsRangeIsResumed) {
  FakeHttpClient http(2 * MiB4);
  http.timeoutRequest = 2;
  http.timeoutAfterBytes = 1000;
  http.cutEndsBody = true;
  auto download = Download(http);
  EXPECT_EQ(RunStalling(http, download, false), L"");
  EXPECT_TRUE(ArchiveIsPackage(2 * MiB4));
  EXPECT_TRUE(log.Has("ERROR InstallBackend::PerformRequest Response ended after 1000 of 4194304 bytes"));
  EXPECT_TRUE(log.Has("INFO InstallBackend::Download connection closed at byte 4195304, resuming in 1 s"));
  EXPECT_EQ(pauses, (std::vector<int>{1}));
}

TEST_F(StalledDownloadTest, BodyThatIsAllTheServerMeantToSendIsNotResumed) {
  FakeHttpClient http(2 * MiB4);
  http.timeoutRequest = 2;
  http.timeoutAfterBytes = 1000;
  http.cutEndsBody = true;
  http.cutIsDeclared = true;
  auto download = Download(http);
  EXPECT_EQ(RunStalling(http, download, false),
            L"InstallBackend::PerformRequest Response ended before the range was complete");
  EXPECT_EQ(http.sends, 3);
  EXPECT_TRUE(pauses.empty());
}

TEST_F(StalledDownloadTest, CertificateTheSystemRefusesIsNotResumed) {
  FakeHttpClient http(MiB4);
  http.sendFails = [](int) { return 12175u; };
  auto download = Download(http);
  EXPECT_EQ(RunStalling(http, download, false), L"WinHttpSendRequest failed");
  EXPECT_EQ(http.sends, 1);
  EXPECT_TRUE(pauses.empty());
}

TEST_F(StalledDownloadTest, CancelEndsThePauseAndTheDownload) {
  FakeHttpClient http(MiB4);
  http.sendFails = [](int send) { return send == 1 ? 12030u : 0u; };
  onPause = [this] { cancel.Set(); };
  auto download = Download(http);
  EXPECT_EQ(RunStalling(http, download, false), L"");
  EXPECT_EQ(http.sends, 2);
  EXPECT_EQ(log.lines().back(), "INFO InstallBackend::Download Canceled");
}

TEST_F(StalledDownloadTest, NetworkThatStaysDownFailsAfterTheBoundOverRetryAndRoutes) {
  FakeHttpClient http(MiB4);
  http.sendFails = [](int send) { return send >= 1 ? 12029u : 0u; };
  auto download = Download(http);
  EXPECT_EQ(RunStalling(http, download, false), L"InstallBackend::Download Sending WinHttpRequest failed");
  // Refusals never make a route dead: the pauses go on to the bound.
  EXPECT_EQ(pauses, (std::vector<int>{1, 2, 4, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8}));
  EXPECT_TRUE(log.Has("INFO InstallBackend::Download no new data for 90 s, giving up at byte 0"));
  EXPECT_FALSE(log.Has("INFO InstallBackend::Download the direct route stalls on every connection; trying the proxy route"));
  // The install's retry shares the bound: it gives up before asking anything.
  const int sends = http.sends;
  EXPECT_EQ(RunStalling(http, download, true), L"InstallBackend::Download Sending WinHttpRequest failed");
  EXPECT_EQ(http.sends, sends);
  EXPECT_EQ(http.OpenHandles(), 0u);
}

TEST_F(StalledDownloadTest, RouteThatStallsOnEveryConnectionIsLeftAfterFourRequests) {
  FakeHttpClient http(10 * MiB4);
  http.proxySettings.autoDetect = true;
  http.timeoutRequest = 1;
  http.timeoutAfterBytes = 65536;
  http.timeoutRepeats = true;
  auto download = Download(http);
  EXPECT_EQ(RunStalling(http, download, false), L"InstallBackend::Download Sending WinHttpRequest failed");
  // The probe, four requests of the direct route, four through the proxy.
  EXPECT_EQ(http.sends, 9);
  EXPECT_EQ(http.appliedProxies.size(), 4u);
  EXPECT_TRUE(log.Has("INFO InstallBackend::Download the direct route stalls on every connection; trying the proxy route"));
  EXPECT_TRUE(log.Has("INFO InstallBackend::Download the proxy route stalls on every connection; giving up at byte 524288"));
  EXPECT_FALSE(log.Has("INFO InstallBackend::Download no new data for 90 s, giving up at byte 524288"));
  EXPECT_EQ(waits.waits, Waits(7, {NetworkWait::Stalled, 15}));
  EXPECT_TRUE(ArchiveIsPackage(8 * 65536));
  EXPECT_EQ(http.OpenHandles(), 0u);
}

TEST_F(StalledDownloadTest, BytesOfARequestThatFailsLaterStillCountAsProgress) {
  FakeHttpClient http(MiB4);
  http.timeoutRequest = 1;
  http.timeoutAfterBytes = 5 * 65536;
  http.cutEndsBody = true;
  // Five pieces over 100 s, then the connection drops.
  http.afterRead = [this](int) { m_now += std::chrono::seconds(20); };
  auto download = Download(http);
  EXPECT_EQ(RunStalling(http, download, false), L"");
  EXPECT_TRUE(ArchiveIsPackage(MiB4));
  EXPECT_TRUE(log.Has("INFO InstallBackend::Download connection closed at byte 327680, resuming in 1 s"));
}

// An earlier run's archive: the package's first `kept` bytes and the
// record naming the package by etag.
class KeptArchiveTest : public DownloadTest {
 protected:
  void Keep(std::uint32_t kept, std::int32_t size, const std::wstring& etag) {
    std::ofstream out(Archive(), std::ios::binary);
    for (std::uint32_t i = 0; i < kept; ++i) out.put(KorvaneTest::PackageByte(i));
    out.close();
    InstallBackend::RecordIdentity(files, WorkFolder(), {size, etag, L""});
  }
  std::wstring RecordedEtag() {
    InstallBackend::PackageIdentity identity;
    return InstallBackend::ReadKeptIdentity(files, WorkFolder(), identity) ? identity.etag : L"none";
  }
};

TEST_F(KeptArchiveTest, SamePackageIsGoneOnWithFromTheArchivesEnd) {
  Keep(1000000, 2 * MiB4, L"\"v1\"");
  FakeHttpClient http(2 * MiB4);
  http.etag = L"\"v1\"";
  Run(http);
  EXPECT_TRUE(ArchiveIsPackage(2 * MiB4));
  EXPECT_EQ(http.rangeHeaders, (std::vector<std::wstring>{L"", Range(1000000, 1000000 + MiB4 - 1),
                                                          Range(1000000 + MiB4, 2 * MiB4 - 1)}));
  EXPECT_EQ(http.ifRanges, (std::vector<std::wstring>{L"", L"If-Range: \"v1\"", L"If-Range: \"v1\""}));
  EXPECT_TRUE(log.Has("INFO InstallBackend::Download resuming the download of an earlier run at byte 1000000 of 8388608"));
  EXPECT_GT(listener.fractions.back(), 0.99f);
}

TEST_F(KeptArchiveTest, ChangedPackageIsStartedAnew) {
  Keep(1000000, 2 * MiB4, L"\"v0\"");
  FakeHttpClient http(2 * MiB4);
  http.etag = L"\"v1\"";
  Run(http);
  EXPECT_TRUE(ArchiveIsPackage(2 * MiB4));
  EXPECT_EQ(http.rangeHeaders[1], Range(0, MiB4 - 1));
  EXPECT_EQ(http.ifRanges[1], L"");
  EXPECT_TRUE(log.Has("INFO InstallBackend::Download the package changed since the earlier run; starting over"));
  EXPECT_EQ(RecordedEtag(), L"\"v1\"");
}

TEST_F(KeptArchiveTest, PackageReplacedWhileItIsFetchedFailsAndIsNotGoneOnWith) {
  Keep(1000000, 2 * MiB4, L"\"v1\"");
  FakeHttpClient http(2 * MiB4);
  http.etag = L"\"v1\"";
  http.sendFails = [&http](int send) {
    if (send == 1) http.etag = L"\"v2\"";
    return 0u;
  };
  EXPECT_EQ(RunExpectingFailure(http), L"InstallBackend::PerformRequest Response does not match the requested range");
  EXPECT_EQ(RecordedEtag(), L"none");
}

TEST_F(KeptArchiveTest, ServerWithoutValidatorsLeavesNoRecord) {
  Keep(1000000, 2 * MiB4, L"\"v1\"");
  FakeHttpClient http(2 * MiB4);
  Run(http);
  EXPECT_EQ(http.rangeHeaders[1], Range(0, MiB4 - 1));
  EXPECT_EQ(RecordedEtag(), L"none");
}

TEST_F(DownloadTest, CancelInBodyLoopReturnsArchivePathAndStops) {
  FakeHttpClient http(2 * MiB4);
  http.afterRead = [this](int reads) {
    if (reads == 3) cancel.Set();
  };
  EXPECT_EQ(Run(http), WorkFolder() + L"Korvane.zip");
  EXPECT_EQ(http.sends, 2);
  const int cancelled = log.Find("INFO InstallBackend::PerformRequest Cancelled.");
  ASSERT_GE(cancelled, 0);
  EXPECT_EQ(log.Find("INFO InstallBackend::Download Canceled", cancelled), cancelled + 1);
  for (const std::string& line : log.lines()) EXPECT_NE(line.rfind("ERROR", 0), 0u) << "a cancel is no error: " << line;
  EXPECT_EQ(log.lines().back(), "INFO InstallBackend::Download Canceled");
  EXPECT_TRUE(ArchiveIsPackage(3 * 65536));
  EXPECT_EQ(http.OpenHandles(), 0u);
}

TEST_F(DownloadTest, ProgressStartsAtOneTenthThenFollowsTheBytes) {
  FakeHttpClient http(MiB4 + 4);
  http.pieceSize = MiB4 / 16;  // one read each
  Run(http);
  EXPECT_EQ(listener.statuses, std::vector<int>{Downloading});
  // Probe, then sixteen pieces and the end of the first chunk, then one
  // piece and the end of the second.
  ASSERT_EQ(listener.fractions.size(), 1u + 17u + 2u);
  EXPECT_FLOAT_EQ(listener.fractions[0], 0.1f);
  EXPECT_FLOAT_EQ(listener.fractions[1], 0.1f);
  EXPECT_FLOAT_EQ(listener.fractions[2], 0.1f);
  EXPECT_FLOAT_EQ(listener.fractions[3], 0.1f + 0.9f * (3.0f * MiB4 / 16) / (MiB4 + 4));
  EXPECT_FLOAT_EQ(listener.fractions.back(), 1.0f);
  EXPECT_EQ(listener.codesStored, 0);
  // The byte counts come with every report, the size once it is known.
  ASSERT_EQ(listener.bytes.size(), listener.fractions.size());
  EXPECT_EQ(listener.bytes[0], (std::pair<std::uint64_t, std::int64_t>{0, -1}));
  EXPECT_EQ(listener.bytes[3], (std::pair<std::uint64_t, std::int64_t>{3 * MiB4 / 16, MiB4 + 4}));
  EXPECT_EQ(listener.bytes.back(), (std::pair<std::uint64_t, std::int64_t>{MiB4 + 4, MiB4 + 4}));
  EXPECT_TRUE(listener.waits.empty());
}

TEST_F(DownloadTest, NullListenerGetsNoCall) {
  FakeHttpClient http(MiB4 + 1);
  InstallBackend::PackageDownload(http, files, {L"localhost", 8443}).Download(WorkFolder(), nullptr, cancel, false, nullptr);
  EXPECT_TRUE(ArchiveIsPackage(MiB4 + 1));
  EXPECT_TRUE(listener.statuses.empty());
}

TEST_F(DownloadTest, EmptyPackageMakesNoChunkRequest) {
  FakeHttpClient http(0);
  Run(http);
  EXPECT_EQ(http.rangeHeaders, std::vector<std::wstring>{L""});
  EXPECT_TRUE(ArchiveIsPackage(0));
}

TEST_F(DownloadTest, ProxySettingsChooseAccessTypeAndDiscovery) {
  struct Case {
    const char* name;
    bool readable;
    Platform::HttpProxySettings settings;
    std::uint32_t accessType;
    std::wstring proxy, bypass;
    bool discovery;
    std::uint32_t flags, detectFlags;
    std::string summary;
  };
  const Case cases[] = {
      {"unreadable", false, {}, 0, L"", L"", true, 1, 3, "AutoDetect Proxy Url not Specified"},
      {"auto-detect", true, {true, L"", L"", L""}, 0, L"", L"", true, 1, 3,
       "AutoDetect Proxy Url not Specified"},
      {"script", true, {false, L"http://127.0.0.1:8443/proxy.pac", L"", L""}, 1, L"", L"", true, 2, 0,
       "AutoDetect Proxy Url Specified"},
      {"named", true, {false, L"", L"127.0.0.1:3128", L"*.local;<local>"}, 3, L"127.0.0.1:3128",
       L"*.local;<local>", false, 0, 0, "not AutoDetect Proxy Url not Specified"},
      {"nothing", true, {}, 1, L"", L"", false, 0, 0, "not AutoDetect Proxy Url not Specified"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogCapture caseLog;
    FakeHttpClient http(10);
    http.proxyConfigReadable = c.readable;
    http.proxySettings = c.settings;
    http.connectFails = [](int index) { return index == 0; };  // send the probe to discovery
    if (c.discovery) {
      Run(http);
    } else {
      EXPECT_EQ(RunExpectingFailure(http), L"InstallBackend::Download Sending WinHttpRequest failed");
    }
    ASSERT_FALSE(http.opens.empty());
    EXPECT_EQ(http.opens[0].accessType, c.accessType);
    EXPECT_EQ(http.opens[0].proxy, c.proxy);
    EXPECT_EQ(http.opens[0].bypass, c.bypass);
    EXPECT_TRUE(caseLog.Has("INFO InstallBackend::Download " + c.summary));
    EXPECT_TRUE(caseLog.Has("ERROR InstallBackend::Download WinHttpConnect error: 12029"));
    EXPECT_TRUE(caseLog.Has("INFO InstallBackend::Download direct http request failed, checking for proxy..."));
    if (c.readable) {
      EXPECT_TRUE(caseLog.Has(ProxyLabel + std::string("fAutoDetect ") + (c.settings.autoDetect ? "1" : "0")));
      EXPECT_TRUE(caseLog.Has(ProxyLabel + std::string("lpszAutoConfigUrl ") + Platform::Utf16ToUtf8(c.settings.autoConfigUrl)));
      EXPECT_TRUE(caseLog.Has(ProxyLabel + std::string("lpszProxy ") + Platform::Utf16ToUtf8(c.settings.proxy)));
      EXPECT_TRUE(caseLog.Has(ProxyLabel + std::string("lpszProxyBypass ") + Platform::Utf16ToUtf8(c.settings.proxyBypass)));
    } else {
      EXPECT_TRUE(caseLog.Has("ERROR InstallBackend::Download WinHttpGetIEProxyConfigForCurrentUser error: 12180"));
    }
    ASSERT_EQ(http.discoveries.size(), c.discovery ? 1u : 0u);
    if (c.discovery) {
      EXPECT_EQ(http.discoveries[0].flags, c.flags);
      EXPECT_EQ(http.discoveries[0].autoDetectFlags, c.detectFlags);
      EXPECT_EQ(http.discoveries[0].autoConfigUrl, c.settings.autoConfigUrl);
      EXPECT_TRUE(http.discoveries[0].autoLogonIfChallenged);
      EXPECT_EQ(http.discoveryUrls[0], L"https://localhost:8443/SW_UPDATE/KV_MERIDEL/Korvane.zip");
      EXPECT_TRUE(ArchiveIsPackage(10));
    }
  }
}

TEST_F(DownloadTest, FailedDiscoveryEndsInSendingFailed) {
  FakeHttpClient http(10);
  http.proxySettings.autoDetect = true;
  http.connectFails = [](int) { return true; };
  http.discoveryFails = true;
  EXPECT_EQ(RunExpectingFailure(http), L"InstallBackend::Download Sending WinHttpRequest failed");
  EXPECT_TRUE(log.Has("INFO InstallBackend::Download auto detecting proxy for "
                      "https://localhost:8443/SW_UPDATE/KV_MERIDEL/Korvane.zip..."));
  EXPECT_TRUE(log.Has("INFO InstallBackend::Download auto detecting proxy result: 0"));
  EXPECT_TRUE(log.Has("ERROR InstallBackend::Download WinHttpGetProxyForUrl LastError 12180"));
  EXPECT_TRUE(http.appliedProxies.empty());
  EXPECT_EQ(http.OpenHandles(), 0u);
}

TEST_F(DownloadTest, DiscoveryRunsOnceAndIsAppliedInEveryCycle) {
  FakeHttpClient http(2 * MiB4 + 1);
  http.proxySettings.autoDetect = true;
  http.connectFails = [](int index) { return index % 2 == 0; };  // every direct attempt
  Run(http);
  EXPECT_EQ(http.discoveries.size(), 1u);
  ASSERT_EQ(http.appliedProxies.size(), 4u);  // probe and three chunks
  for (const auto& applied : http.appliedProxies) {
    EXPECT_EQ(applied.accessType, 3u);
    EXPECT_EQ(applied.proxy, L"proxy.example:8080");
    EXPECT_EQ(applied.proxyBypass, L"<local>");
  }
  EXPECT_EQ(log.Count(DiscoveredLabel + std::string("dwAccessType 3")), 4);
  EXPECT_EQ(log.Count(DiscoveredLabel + std::string("lpszProxy proxy.example:8080")), 4);
  EXPECT_EQ(log.Count(DiscoveredLabel + std::string("lpszProxyBypass <local>")), 4);
  EXPECT_EQ(log.Count("INFO HttpContentReader::Download Auto detecting proxy: ok. https request with applied proxy..."), 4);
  EXPECT_EQ(log.lines().back(), "INFO InstallBackend::Download Freeing resources after getting auto proxy call...");
  EXPECT_TRUE(ArchiveIsPackage(2 * MiB4 + 1));
}

TEST_F(DownloadTest, ProxyOnlySkipsDirectAttempt) {
  FakeHttpClient http(10);
  http.proxySettings.autoDetect = true;
  Run(http, true);
  EXPECT_TRUE(log.Has("INFO InstallBackend::Download checking for proxy..."));
  EXPECT_FALSE(log.Has("INFO InstallBackend::Download direct request..."));
  EXPECT_EQ(http.appliedProxies.size(), 2u);
  EXPECT_TRUE(ArchiveIsPackage(10));

  FakeHttpClient noAuto(10);
  EXPECT_EQ(RunExpectingFailure(noAuto, true), L"InstallBackend::Download Sending WinHttpRequest failed");
  EXPECT_EQ(noAuto.sends, 0);
}

TEST_F(DownloadTest, CancelWhileProxyOnlyFindsNoProxyReturnsNormally) {
  FakeHttpClient http(10);
  cancel.Set();
  EXPECT_EQ(Run(http, true), WorkFolder() + L"Korvane.zip");
  EXPECT_EQ(log.lines().back(), "INFO InstallBackend::Download Canceled");
}

TEST_F(DownloadTest, SessionThatCannotBeOpenedRaises) {
  FakeHttpClient http(10);
  http.openFails = true;
  EXPECT_EQ(RunExpectingFailure(http), L"InstallBackend::Download WinHttpOpen failed");
  EXPECT_TRUE(log.Has("ERROR InstallBackend::Download WinHttpOpen error: 12019"));
  EXPECT_EQ(listener.statuses, std::vector<int>{Downloading});
}

TEST_F(DownloadTest, ArchiveThatCannotBeCreatedRaises) {
  FakeHttpClient http(10);
  fs::create_directories(Archive());  // a folder where the file should go
  EXPECT_EQ(RunExpectingFailure(http), L"InstallBackend::Download Failed to create a temp file");
  EXPECT_EQ(http.sends, 0);
}

TEST_F(DownloadTest, ArchiveWriteThatFailsEndsTheDownload) {
  // After the look for a kept archive, the archive's creation and the
  // record's removal (the server names no validator), the first write or
  // the first of the second range (after the 16 of the first) meets a full
  // disk.
  for (const int failAt : {4, 20}) {
    SCOPED_TRACE(failAt);
    LogCapture caseLog;
    FakeHttpClient http(MiB4 + 10);
    http.pieceSize = MiB4;
    KorvaneTest::FaultyFileSystem full(files, failAt, true);
    EXPECT_EQ(RunExpectingFailure(http, full), L"InstallBackend::PerformRequest Failed to write the archive");
    EXPECT_TRUE(caseLog.Has("ERROR InstallBackend::PerformRequest Failed to write the archive"));
    EXPECT_EQ(http.sends, failAt == 4 ? 2 : 3);
    EXPECT_EQ(http.OpenHandles(), 0u);
  }
}

TEST_F(DownloadTest, ProbeWithoutUsableSizeRaises) {
  FakeHttpClient missing(10);
  missing.noContentLength = true;
  EXPECT_EQ(RunExpectingFailure(missing), L"InstallBackend::PerformRequest WinHttpQueryHeaders failed: 12150");
  EXPECT_TRUE(log.Has("ERROR InstallBackend::PerformRequest WinHttpQueryHeaders error: 12150"));

  // 2 GiB does not fit the signed size; it must not set the cycles loose.
  FakeHttpClient huge(10);
  huge.contentLengthOverride = 0x80000000u;
  EXPECT_EQ(RunExpectingFailure(huge), L"InstallBackend::PerformRequest Content-Length out of range");
  EXPECT_EQ(huge.sends, 1);
}

TEST_F(DownloadTest, ServerIgnoringRangeGivesThePackageInItsFirstAnswer) {
  FakeHttpClient http(2 * MiB4 + 100);
  http.rangeIgnored = true;
  Run(http);
  // Every answer starts at the package's first byte: the first one is the
  // package, and a second request would only put those bytes at 4 MiB.
  EXPECT_TRUE(ArchiveIsPackage(2 * MiB4 + 100));
  EXPECT_EQ(http.sends, 2);
  for (float fraction : listener.fractions) EXPECT_LE(fraction, 1.0f);
  EXPECT_FLOAT_EQ(listener.fractions.back(), 1.0f);
  EXPECT_EQ(http.OpenHandles(), 0u);
}

TEST_F(DownloadTest, ServerIgnoringRangeAfterACutShortRangeRaises) {
  FakeHttpClient http(2 * MiB4);
  http.rangeIgnored = true;
  http.timeoutRequest = 1;
  http.timeoutAfterBytes = 1000;
  EXPECT_EQ(RunExpectingFailure(http),
            L"InstallBackend::PerformRequest Response does not match the requested range");
  EXPECT_TRUE(log.Has("ERROR InstallBackend::PerformRequest Response goes past the range starting at 1000"));
  EXPECT_EQ(http.sends, 3);
  EXPECT_EQ(http.OpenHandles(), 0u);
}

}  // namespace
