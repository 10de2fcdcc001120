#include "ColorMap.h"

namespace {

// Decoding coefficients per scale: disparity per green step on the blue-saturated segment, the
// disparity where the blue ramp meets the red ramp, per red step, at green 0 on the last segment,
// per green step there, per blue step on the blue ramp. The recorded pictures' scale uses decimal
// roundings of the encoder's slopes; they are the contract, not the exact fractions.
constexpr double COEF_FINE[6] = {0.0235, 15.0, 0.0588, 100.0, 0.2745, 0.0353};
constexpr double COEF_COARSE[6] = {0.1, 51.0, 0.1, 102.0, 0.1, 0.1};

// Encoder breakpoints and slopes (255 colour steps per segment).
constexpr double P1 = 6.0;
constexpr double P2 = 15.0;
constexpr double P3 = 30.0;
constexpr double P4 = LARGEST_CODED_DISPARITY;
constexpr double A1 = 42.5;
constexpr double A2 = 28.333333333333332;
constexpr double A3 = 17.0;
constexpr double A4 = 3.642857142857143;

struct Rgb {
    int red;
    int green;
    int blue;
};

constexpr Rgb PALETTE[20] = {
    {63, 63, 255},   {63, 191, 63},   {63, 191, 191},  {255, 63, 63},   {63, 255, 255},
    {127, 63, 255},  {191, 127, 63},  {127, 255, 63},  {191, 63, 63},   {191, 63, 255},
    {127, 191, 255}, {191, 191, 63},  {191, 191, 255}, {191, 255, 63},  {191, 255, 255},
    {63, 255, 191},  {255, 63, 191},  {255, 127, 63},  {255, 127, 127}, {255, 255, 63},
};

void Set(ColorSet* rgb, int red, int green, int blue) {
    rgb->red = red;
    rgb->green = green;
    rgb->blue = blue;
}

}  // namespace

double ColorToValue(const ColorSet* rgb, int s) {
    const double* c = (s == 2) ? COEF_FINE : COEF_COARSE;
    if (rgb->blue == 255) return c[0] * rgb->green;
    if (rgb->blue == 0) {
        if (rgb->green == 255) return c[1] + c[2] * rgb->red;
        if (rgb->green == 0 && rgb->red == 0) return 0.0;
        return c[3] - c[4] * rgb->green;
    }
    return c[1] - c[5] * rgb->blue;
}

void SetColorMap(ColorSet* rgb, double disparity) {
    // A negative disparity is no measurement; the ramps below would give it channels outside
    // 0..255, so it is left alone like a disparity beyond the coded range.
    if (disparity < 0.0) return;
    if (disparity == 0.0) {
        Set(rgb, 0, 0, 0);
    } else if (disparity <= P1) {
        Set(rgb, 0, static_cast<int>(disparity * A1), 255);
    } else if (disparity <= P2) {
        Set(rgb, 0, 255, 255 - static_cast<int>((disparity - P1) * A2));
    } else if (disparity <= P3) {
        Set(rgb, static_cast<int>((disparity - P2) * A3), 255, 0);
    } else if (disparity <= P4) {
        Set(rgb, 255, 255 - static_cast<int>((disparity - P3) * A4), 0);
    }
}

void SetColorMapId(ColorSet* rgb, int value) {
    if (value > 20) value %= 20;
    if (value < 1 || value > 20) return;
    const Rgb& p = PALETTE[value - 1];
    Set(rgb, p.red, p.green, p.blue);
}
