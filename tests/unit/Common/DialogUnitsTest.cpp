#include "Common/DialogLayout/DialogUnits.h"

#include <gtest/gtest.h>

namespace NCommon {
namespace {

TEST(DialogUnitsTest, EightPointFontHeightFollowsTheDpi) {
  EXPECT_EQ(FontHeightForDpi(8, 96), -11);
  EXPECT_EQ(FontHeightForDpi(8, 120), -13);
  EXPECT_EQ(FontHeightForDpi(8, 144), -16);
  EXPECT_EQ(FontHeightForDpi(9, 96), -12);  // 12.0 exactly
}

TEST(DialogUnitsTest, ScreensGetTheSizesOfTheReferenceFont) {
  const int averageCharWidth = AverageCharWidth(312);
  EXPECT_EQ(averageCharWidth, 6);
  EXPECT_EQ(AverageCharWidth(359), 7);
  EXPECT_EQ(HorizontalUnitsToPixels(186, averageCharWidth), 279);
  EXPECT_EQ(VerticalUnitsToPixels(277, 13), 450);
  EXPECT_EQ(VerticalUnitsToPixels(106, 13), 172);
  EXPECT_EQ(HorizontalUnitsToPixels(154, averageCharWidth), 231);
  EXPECT_EQ(HorizontalUnitsToPixels(11, averageCharWidth), 17);
}

TEST(DialogUnitsTest, SkinSizesAreTruncatedAfterScaling) {
  EXPECT_EQ(ScalePixels(19, 1.0), 19);
  EXPECT_EQ(ScalePixels(19, 1.25), 23);
  EXPECT_EQ(ScalePixels(19, 1.5), 28);
  EXPECT_EQ(ScalePixels(18, 1.25), 22);
  EXPECT_EQ(ScalePixels(8, 1.25), 10);
}

}  // namespace
}  // namespace NCommon
