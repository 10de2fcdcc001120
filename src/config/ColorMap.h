// Colour coding of disparity pictures: blue (far) through cyan, green and yellow to red (near),
// black where there is no disparity.
#pragma once

#include "Config.h"

// The largest disparity the colour coding holds (pure red): levels 0 .. LUT_NUM - 1 end there.
constexpr double LARGEST_CODED_DISPARITY = 100.0;

// Disparity of a colour; s = 2 selects the coefficients of the recorded pictures, any other s the
// coarse scale.
double ColorToValue(const ColorSet* rgb, int s);

// Colour of a disparity; a disparity above 100 or below 0 leaves the colour unchanged.
void SetColorMap(ColorSet* rgb, double disparity);

// One of 20 fixed colours for an identifier (values above 20 wrap); other values leave it unchanged.
void SetColorMapId(ColorSet* rgb, int value);
