#include "Installer/ScreenLogic/ProgressPosition.h"

#include <gtest/gtest.h>

#include "Installer/Engine/InstallListener.h"

namespace {

int BarFor(int status, float fraction) { return ProgressBarPosition(status, ProgressMessageParam(fraction)); }

TEST(ProgressPositionTest, DownloadFillsTheFirstHalf) {
  EXPECT_EQ(BarFor(Downloading, 0.1f), 5);
  EXPECT_EQ(BarFor(Downloading, 0.55f), 27);
  EXPECT_EQ(BarFor(Downloading, 1.0f), 50);
}

TEST(ProgressPositionTest, ExtractionFillsTheSecondHalf) {
  EXPECT_EQ(BarFor(Extracting, 0.0f), 50);
  EXPECT_EQ(BarFor(Extracting, 0.5f), 75);
  EXPECT_EQ(BarFor(Extracting, 1.0f), 100);
}

TEST(ProgressPositionTest, ReportAfterTheEndEmptiesTheBar) {
  EXPECT_EQ(BarFor(Completed, 0.7f), 0);
  EXPECT_EQ(BarFor(Failed, 0.7f), 0);
}

TEST(ProgressPositionTest, MessageCarriesThousandthsTruncated) {
  EXPECT_EQ(ProgressMessageParam(0.1f), 100);
  EXPECT_EQ(ProgressMessageParam(0.9999f), 999);
  EXPECT_EQ(ProgressMessageParam(0.0f), 0);
}

}  // namespace
