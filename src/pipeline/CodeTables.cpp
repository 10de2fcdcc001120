#include "CodeTables.h"

#include <cmath>
#include <limits>

#include "ColorMap.h"
#include "DisparityCodes.h"
#include "RoadDisparityMap.h"

namespace {

constexpr int FIXED16_LARGEST_VALUE = std::numeric_limits<uint16_t>::max();

// The first value whose disparity reaches LARGEST_CODED_DISPARITY (the products grow with the value),
// or the largest value.
uint16_t LastFixed16Code(double scale) {
    int v = 1;
    while (v < FIXED16_LARGEST_VALUE && !(v * scale >= LARGEST_CODED_DISPARITY)) ++v;
    return static_cast<uint16_t>(v);
}

std::vector<double> Fixed16Values(double scale, int codes) {
    std::vector<double> value(static_cast<size_t>(codes));
    for (int c = 0; c < codes; ++c) value[c] = LimitedDisparity(c * scale);
    return value;
}

std::vector<uint8_t> RoadClasses(const std::vector<double>& value) {
    std::vector<uint8_t> classes;
    for (const double v : value) classes.push_back(RoadClassOf(v));
    return classes;
}

}  // namespace

bool Fixed16OnCodes(double scale) { return scale > 0.0 && std::isfinite(FIXED16_LARGEST_VALUE * scale); }

Fixed16Codes::Fixed16Codes(double scale)
    : scale(scale),
      last(LastFixed16Code(scale)),
      value(Fixed16Values(scale, last + 1)),
      roadClass(RoadClasses(value)),
      grid(value.data(), last + 1) {}

FrameCodeTables ColourCodeTables() {
    const DisparityCodeTables& codes = DisparityCodes();
    static const GridCodeTables grid(codes.value, DISPARITY_CODES);
    return {codes.value, codes.roadClass, &grid};
}
