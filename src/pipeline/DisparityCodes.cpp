#include "DisparityCodes.h"

#include "ColorMap.h"

namespace {

// Segment bases. Black (blue, green and red 0) is code 0; the colours of blue 0 and green 0 have a
// segment by red of their own. Blue 255 with green 0 decodes to no disparity whatever its red, so
// it is code 0 too, and the blue-saturated segment's entry 0 is never given out.
constexpr int RED_ONLY = 0;      // blue 0, green 0: by red
constexpr int BLUE_FULL = 256;   // blue 255: by green
constexpr int GREEN_FULL = 512;  // blue 0, green 255: by red
constexpr int GREEN_RAMP = 768;  // blue 0, green 1 .. 254: by green
constexpr int BLUE_RAMP = 1024;  // blue 1 .. 254: by blue
constexpr uint32_t RED_ADDED = 0xFFu;

double Decode(int red, int green, int blue) {
    const ColorSet colorSet{red, green, blue};
    return ColorToValue(&colorSet, 2);
}

// The segment's base, and whether red is added to it.
uint32_t BaseOf(int blue, int green) {
    if (blue == 255) return green == 0 ? NO_DISPARITY_CODE : BLUE_FULL + green;
    if (blue != 0) return BLUE_RAMP + blue;
    if (green == 255) return GREEN_FULL;
    if (green == 0) return RED_ONLY;
    return GREEN_RAMP + green;
}
bool RedAdded(int blue, int green) { return blue == 0 && (green == 0 || green == 255); }

uint32_t SegmentOf(int blue, int green) {
    return BaseOf(blue, green) << 16 | (RedAdded(blue, green) ? RED_ADDED : 0u);
}

}  // namespace

DisparityCodeTables::DisparityCodeTables() {
    for (int c = 0; c < 256; ++c) {
        value[RED_ONLY + c] = Decode(c, 0, 0);
        value[BLUE_FULL + c] = Decode(0, c, 255);
        value[GREEN_FULL + c] = Decode(c, 255, 0);
        value[GREEN_RAMP + c] = Decode(0, c, 0);
        value[BLUE_RAMP + c] = Decode(0, 0, c);
    }
    for (int code = 0; code < DISPARITY_CODES; ++code) roadClass[code] = RoadClassOf(value[code]);
    for (int pair = 0; pair < 256 * 256; ++pair) segment[pair] = SegmentOf(pair & 0xFF, pair >> 8);
}

const DisparityCodeTables& DisparityCodes() {
    static const DisparityCodeTables codes;
    return codes;
}
