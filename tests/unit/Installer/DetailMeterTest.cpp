// What of the engine's reports reaches the detail line, and when: speed
// over the last seconds, time left once it has settled, at most one line a
// second, and a wait on the network at once.
#include <gtest/gtest.h>

#include "Installer/ScreenLogic/DetailMeter.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t MB = 1024 * 1024;
const Clock::time_point kStart{};

TEST(TransferRate, AveragesTheLastFewSecondsOnly) {
  TransferRate rate;
  std::uint64_t bytes = 0;
  rate.Add(kStart, 0);
  EXPECT_LT(rate.BytesPerSecond(), 0) << "nothing measured yet";
  // Ten seconds at 1 MB/s, then six at 3 MB/s, a read every 50 ms.
  for (int tick = 1; tick <= 320; ++tick) {
    bytes += tick <= 200 ? MB / 20 : 3 * MB / 20;
    rate.Add(kStart + tick * 50ms, bytes);
    if (tick == 10) {
      EXPECT_LT(rate.BytesPerSecond(), 0) << "half a second is too short to tell";
    }
    if (tick == 40) {
      EXPECT_NEAR(rate.BytesPerSecond(), 1.0 * MB, 0.01 * MB);
    }
  }
  EXPECT_NEAR(rate.BytesPerSecond(), 3.0 * MB, 0.15 * MB);
  // A new download counts from zero again: measured afresh.
  rate.Add(kStart + 17s, 1000);
  EXPECT_LT(rate.BytesPerSecond(), 0);
}

TEST(DetailMeter, ShowsAtMostOneLineASecondAndTimeLeftOnceSettled) {
  DetailMeter meter;
  int shown = 0;
  std::optional<ProgressDetail> last;
  std::optional<ProgressDetail> atTwoSeconds;
  // 155 MB at 5 MB/s, reported every 100 ms for eight seconds.
  for (int tick = 1; tick <= 80; ++tick) {
    const auto detail = meter.Bytes(kStart + tick * 100ms, tick * MB / 2, 155 * MB);
    if (!detail) continue;
    ++shown;
    if (tick <= 25) atTwoSeconds = detail;
    last = detail;
  }
  EXPECT_EQ(shown, 8);
  ASSERT_TRUE(atTwoSeconds && last);
  EXPECT_EQ(atTwoSeconds->secondsLeft, -1) << "too early for time left";
  EXPECT_EQ(last->kind, ProgressDetail::Kind::Bytes);
  EXPECT_EQ(last->done, 71 * MB / 2);
  EXPECT_NEAR(last->bytesPerSecond, 5.0 * MB, 0.01 * MB);
  EXPECT_EQ(last->secondsLeft, 25);  // 23.9 s, said as "about 25 s"
}

TEST(DetailMeter, NoTimeLeftForAPackageOfUnknownSize) {
  DetailMeter meter;
  std::optional<ProgressDetail> last;
  for (int tick = 1; tick <= 50; ++tick) {
    if (auto d = meter.Bytes(kStart + tick * 100ms, tick * MB, -1)) last = d;
  }
  ASSERT_TRUE(last);
  EXPECT_EQ(last->total, -1);
  EXPECT_GT(last->bytesPerSecond, 0);
  EXPECT_EQ(last->secondsLeft, -1);
}

TEST(DetailMeter, AWaitShowsAtOnceAndTheSpeedIsMeasuredAfresh) {
  DetailMeter meter;
  for (int tick = 1; tick <= 50; ++tick) meter.Bytes(kStart + tick * 100ms, tick * MB, 155 * MB);
  const ProgressDetail stalled = meter.Wait(kStart + 5100ms, NetworkWait::Stalled, 15);
  EXPECT_EQ(stalled.kind, ProgressDetail::Kind::Stalled);
  EXPECT_EQ(stalled.waitSeconds, 15);
  const ProgressDetail retrying = meter.Wait(kStart + 5200ms, NetworkWait::Retrying, 4);
  EXPECT_EQ(retrying.kind, ProgressDetail::Kind::Retrying);
  EXPECT_EQ(retrying.waitSeconds, 4);
  EXPECT_FALSE(meter.Bytes(kStart + 5300ms, 50 * MB, 155 * MB)) << "the stalled read's last report brings nothing new";
  // The first new bytes after the wait replace its text at once, without
  // the speed from before it.
  const auto resumed = meter.Bytes(kStart + 9s, 51 * MB, 155 * MB);
  ASSERT_TRUE(resumed);
  EXPECT_LT(resumed->bytesPerSecond, 0);
  EXPECT_EQ(resumed->secondsLeft, -1);
}

TEST(DetailMeter, FilesAtMostOnceASecondAndFirstOfEachPhaseAtOnce) {
  DetailMeter meter(5s);
  EXPECT_FALSE(meter.Bytes(kStart, 0, 155 * MB)) << "nothing has come yet";
  ASSERT_TRUE(meter.Files(kStart + 1ms, 1, 2000));
  EXPECT_FALSE(meter.Files(kStart + 4s, 900, 2000));
  const auto later = meter.Files(kStart + 6s, 1234, 2000);
  ASSERT_TRUE(later);
  EXPECT_EQ(later->done, 1234u);
  EXPECT_EQ(later->total, 2000);
  meter.Restart();
  EXPECT_TRUE(meter.Files(kStart + 6100ms, 1, 2000));
}

TEST(RoundedSecondsLeft, SaysTimeAsAPersonWould) {
  EXPECT_EQ(RoundedSecondsLeft(0.2), 1);
  EXPECT_EQ(RoundedSecondsLeft(7.2), 8);
  EXPECT_EQ(RoundedSecondsLeft(22.7), 25);
  EXPECT_EQ(RoundedSecondsLeft(59), 60);
  EXPECT_EQ(RoundedSecondsLeft(100), 120);
  EXPECT_EQ(RoundedSecondsLeft(3900), 4200);
  EXPECT_EQ(RoundedSecondsLeft(3 * 24 * 3600.0), -1) << "days away means nothing";
}

}  // namespace
