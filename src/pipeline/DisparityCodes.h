// Compact codes of the colour-coded disparities. ColorToValue reads one channel once it knows the
// segment of the colour (blue and green tell it), so a colour comes down to a code, the segment's
// base plus that channel, and each code to one disparity: tables filled by ColorToValue itself.
#pragma once

#include <cstdint>

#include "PictureView.h"
#include "RoadDisparityMap.h"

// Code 0 (NO_DISPARITY_CODE) is every colour of no disparity, and no other code is.
constexpr int DISPARITY_CODES = 5 * 256;

// Filled in place once, by the constructor: the tables are too large to pass by value.
struct DisparityCodeTables {
    DisparityCodeTables();
    double value[DISPARITY_CODES];        // the disparity of each code
    RoadClass roadClass[DISPARITY_CODES];  // RoadClassOf its value
    // Index blue | green << 8: the segment's base << 16, or'ed with 0xFF where red is added to it
    // (the mask red is and'ed with, in place, saves the decode a shift per pixel).
    uint32_t segment[256 * 256];
};

// The tables, built on first use.
const DisparityCodeTables& DisparityCodes();

// The code of a pixel (blue, green, red first) through a segment table.
inline int ColourCode(const uchar* pixel, const uint32_t* segment) {
    const uint32_t s = segment[pixel[0] | pixel[1] << 8];
    return static_cast<int>((s >> 16) + (pixel[2] & s));
}
