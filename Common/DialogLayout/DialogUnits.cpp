#include "Common/DialogLayout/DialogUnits.h"

namespace NCommon {
namespace {

int RoundHalfUp(double value) { return static_cast<int>(value + 0.5); }

}  // namespace

int FontHeightForDpi(int pointSize, int dpi) {
  const int product = pointSize * dpi;
  return -RoundHalfUp(product / 72.0);
}

int AverageCharWidth(int extentOf52Letters) { return ((extentOf52Letters / 26) + 1) / 2; }

int HorizontalUnitsToPixels(int units, int averageCharWidth) {
  return RoundHalfUp(static_cast<double>(units) * averageCharWidth * 0.25);
}

int VerticalUnitsToPixels(int units, int textHeight) {
  return RoundHalfUp(static_cast<double>(units) * textHeight * 0.125);
}

int ScalePixels(double pixels, double scale) { return static_cast<int>(pixels * scale); }

}  // namespace NCommon
