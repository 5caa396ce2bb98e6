// The install without screens logs its progress: the same facts as the
// screen's detail line, in English, at most one line every five seconds.
#include <gtest/gtest.h>

#include "Installer/Log/ProgressLog.h"
#include "Support/LogCapture.h"

namespace {

using namespace std::chrono_literals;

TEST(ProgressLog, LogsBytesSpeedAndTimeLeftEveryFewSeconds) {
  KorvaneTest::LogCapture log;
  std::chrono::steady_clock::time_point now{};
  ProgressLog progress([&now] { return now; });
  constexpr std::uint64_t MB = 1024 * 1024;
  progress.OnStatus(Downloading);
  // 100 MB at 4 MB/s, reported every 100 ms for twelve seconds.
  for (int tick = 1; tick <= 120; ++tick) {
    now += 100ms;
    progress.OnDownloadBytes(tick * MB * 4 / 10, 100 * MB);
  }
  progress.OnStatus(Extracting);
  progress.OnFiles(1, 2000);
  progress.OnFiles(2000, 2000);
  ASSERT_EQ(log.lines().size(), 4u) << ::testing::PrintToString(log.lines());
  EXPECT_EQ(log.lines()[0], "INFO InstallBackend::Install progress: 410 KB of 100 MB (419430 of 104857600 bytes)");
  EXPECT_EQ(log.lines()[2],
            "INFO InstallBackend::Install progress: 40.4 MB of 100 MB, 4.0 MB/s, about 15 s left "
            "(42362470 of 104857600 bytes)");
  EXPECT_EQ(log.lines()[3], "INFO InstallBackend::Install progress: 1 of 2000 files");
}

}  // namespace
