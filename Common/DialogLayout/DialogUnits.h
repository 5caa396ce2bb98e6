#pragma once
// The arithmetic that turns dialog units into pixels for a given font, the
// way the system lays out a dialog, and the font height for a display DPI.
#include <cstdint>

namespace NCommon {

// Cell height (negative: character height) of a point size at a DPI.
int FontHeightForDpi(int pointSize, int dpi);

// Average character width from the extent of the 52 Latin letters.
int AverageCharWidth(int extentOf52Letters);

// Horizontal and vertical dialog units to pixels.
int HorizontalUnitsToPixels(int units, int averageCharWidth);
int VerticalUnitsToPixels(int units, int textHeight);

// trunc(pixels x scale) with scale = DPI / 96: every skin size goes through it.
int ScalePixels(double pixels, double scale);

}  // namespace NCommon
