#include "Platform/Http/ProxyOptionIgnoredWorkaround.h"

#include <gtest/gtest.h>

#include "Installer/Engine/Download.h"
#include "Installer/FakeHttpClient.h"
#include "Platform/Files/NativeFileSystem.h"
#include "Platform/Text/TextConversion.h"
#include "Support/LogCapture.h"
#include "Support/RecordingListener.h"
#include "Support/TestArchives.h"

namespace {

using KorvaneTest::FakeHttpClient;

constexpr std::uint32_t MiB4 = 4194304;
constexpr std::uint32_t NamedProxy = Platform::HttpConstants::AccessTypeNamedProxy;

// The download over the workaround in front of a WinHTTP that ignores the
// proxy option, as Wine's does.
class ProxyOptionIgnored : public ::testing::Test {
 protected:
  ProxyOptionIgnored() : http(2 * MiB4 + 1), workaround(http) {
    http.proxySettings.autoDetect = true;
    http.proxyOptionIgnored = true;
  }

  void Download() {
    InstallBackend::PackageDownload(workaround, files, {L"localhost", 8443})
        .Download(Platform::Utf8ToUtf16(folder.Path().string() + "/"), &listener, cancel, false, nullptr);
  }
  // True when every request went out through a session opened with the
  // discovered proxy.
  bool EveryRequestThroughTheProxy() const {
    if (http.requestSessions.empty()) return false;
    for (std::size_t session : http.requestSessions) {
      const auto& open = http.opens[session];
      if (open.accessType != NamedProxy || open.proxy != L"proxy.example:8080") return false;
    }
    return true;
  }

  FakeHttpClient http;
  Platform::ProxyOptionIgnoredWorkaround workaround;
  KorvaneTest::ScratchFolder folder;
  Platform::NativeFileSystem files;
  KorvaneTest::RecordingListener listener;
  CancelFlag cancel;
  KorvaneTest::LogCapture log;
};

TEST_F(ProxyOptionIgnored, ConnectionsOfTheProxyAttemptGoThroughTheProxy) {
  http.connectFails = [](int index) { return index % 2 == 0; };  // every direct attempt
  Download();
  EXPECT_EQ(http.requestSessions.size(), 4u);  // the probe and three chunks
  EXPECT_TRUE(EveryRequestThroughTheProxy());
}

TEST_F(ProxyOptionIgnored, ConnectionKeptFromTheDirectAttemptSendsItsRequestsThroughTheProxy) {
  // Each direct attempt connects, then cannot open its request: the proxy
  // attempt reuses that connection, which was made before the proxy.
  int opened = 0;
  http.openRequestFails = [&opened](int) { return opened++ % 2 == 0; };
  Download();
  EXPECT_EQ(http.requestSessions.size(), 4u);
  EXPECT_TRUE(EveryRequestThroughTheProxy());
}

TEST_F(ProxyOptionIgnored, StandInHandlesCloseWithTheirOwners) {
  int opened = 0;
  http.openRequestFails = [&opened](int) { return opened++ % 2 == 0; };
  Download();
  EXPECT_EQ(http.OpenHandles(), 0u);
}

TEST_F(ProxyOptionIgnored, HonouredProxyOptionOpensNoSecondSession) {
  http.proxyOptionIgnored = false;
  http.connectFails = [](int index) { return index % 2 == 0; };
  Download();
  EXPECT_EQ(http.opens.size(), 4u);  // one session per cycle, none stands in
  EXPECT_EQ(http.appliedProxies.size(), 4u);
  EXPECT_FALSE(EveryRequestThroughTheProxy());  // the proxy is the option's, on the cycle's own session
}

TEST_F(ProxyOptionIgnored, OnlyANamedProxyIsStoodInFor) {
  http.discovered = Platform::HttpProxyInfo{Platform::HttpConstants::AccessTypeNoProxy, L"", L""};
  http.connectFails = [](int index) { return index % 2 == 0; };
  Download();
  EXPECT_EQ(http.opens.size(), 4u);
  for (const auto& open : http.opens) EXPECT_NE(open.accessType, NamedProxy);
}

}  // namespace
