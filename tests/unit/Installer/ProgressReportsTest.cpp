#include "Installer/ScreenLogic/ProgressReports.h"

#include <gtest/gtest.h>

#include "Installer/ScreenLogic/ProgressPosition.h"

namespace {

// A 150 MB package read in 16 KiB pieces reports progress about ten
// thousand times per phase.
constexpr int kReportsPerPhase = 9600;

int PassedReports(ProgressReports& reports, int status) {
  reports.StartPhase(status);
  int passed = 0;
  for (int i = 0; i <= kReportsPerPhase; ++i) {
    if (reports.Moves(ProgressMessageParam(static_cast<float>(i) / kReportsPerPhase))) ++passed;
  }
  return passed;
}

TEST(ProgressReportsTest, OnlyReportsThatMoveTheBarPass) {
  ProgressReports reports;
  // One message per bar position of each half: 0..50 and 50..100.
  EXPECT_EQ(PassedReports(reports, Downloading), 51);
  EXPECT_EQ(PassedReports(reports, Extracting), 51);
}

TEST(ProgressReportsTest, EveryPhaseStartsAfreshAndRepeatsAreDropped) {
  ProgressReports reports;
  reports.StartPhase(Downloading);
  EXPECT_TRUE(reports.Moves(ProgressMessageParam(0.5f)));
  EXPECT_FALSE(reports.Moves(ProgressMessageParam(0.5f)));
  EXPECT_FALSE(reports.Moves(ProgressMessageParam(0.505f)));
  // A retried download starts from an empty bar again: its first report counts.
  reports.StartPhase(Downloading);
  EXPECT_TRUE(reports.Moves(ProgressMessageParam(0.5f)));
  // The extraction's first report sets the bar to the middle even though the
  // download left it there.
  reports.StartPhase(Extracting);
  EXPECT_TRUE(reports.Moves(ProgressMessageParam(0.0f)));
}

struct Delivery {
  int refusals;
  int posts = 0;
  int pauses = 0;
  bool Post() { return ++posts > refusals; }
};

TEST(ProgressReportsTest, FinalStatusIsPostedAgainUntilTheQueueTakesIt) {
  Delivery delivery{3};
  const CancelFlag cancel;
  EXPECT_TRUE(DeliverFinal([&] { return delivery.Post(); }, [&] { ++delivery.pauses; }, cancel, 10));
  EXPECT_EQ(delivery.posts, 4);
  EXPECT_EQ(delivery.pauses, 3);
}

TEST(ProgressReportsTest, FinalStatusGivesUpOnCancelOrAfterItsTries) {
  Delivery never{1000};
  const CancelFlag notCancelled;
  EXPECT_FALSE(DeliverFinal([&] { return never.Post(); }, [] {}, notCancelled, 5));
  EXPECT_EQ(never.posts, 5);

  // The close path sets the flag and waits for the worker: it stops at once.
  Delivery closed{1000};
  CancelFlag cancel;
  cancel.Set();
  EXPECT_FALSE(DeliverFinal([&] { return closed.Post(); }, [&] { ++closed.pauses; }, cancel, 5));
  EXPECT_EQ(closed.posts, 1);
  EXPECT_EQ(closed.pauses, 0);
}

}  // namespace
