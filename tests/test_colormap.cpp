#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <tuple>

#include "ColorMap.h"

namespace {

double Decode(int red, int green, int blue, int s = 2) {
    const ColorSet c{red, green, blue};
    return ColorToValue(&c, s);
}

ColorSet Encode(double disparity, ColorSet start = ColorSet{11, 22, 33}) {
    SetColorMap(&start, disparity);
    return start;
}

std::tuple<int, int, int> Rgb(const ColorSet& c) { return std::make_tuple(c.red, c.green, c.blue); }

// One colour step of the decoder's segment that holds `disparity`, plus the rounding of the
// decimal coefficients over 255 steps.
double StepBound(double disparity) {
    if (disparity <= 6.0) return 0.0235 + 0.01;
    if (disparity <= 15.0) return 0.0353 + 0.01;
    if (disparity <= 30.0) return 0.0588 + 0.01;
    return 0.2745 + 0.01;
}

}  // namespace

TEST(ColorMap, DecodesTheRecordedScale) {
    EXPECT_EQ(Decode(0, 0, 0), 0.0);
    EXPECT_NEAR(Decode(0, 255, 255), 5.9925, 1e-12);
    EXPECT_NEAR(Decode(0, 255, 0), 15.0, 1e-12);
    EXPECT_NEAR(Decode(255, 255, 0), 29.994, 1e-12);
    EXPECT_NEAR(Decode(255, 0, 0), 100.0, 1e-12);
    EXPECT_NEAR(Decode(0, 254, 0), 30.277, 1e-12);
    EXPECT_NEAR(Decode(0, 0, 128), 10.4816, 1e-12);
    EXPECT_NEAR(Decode(0, 0, 1), 14.9647, 1e-12);
    // On the last segment only green counts: red alone is not black.
    EXPECT_NEAR(Decode(7, 0, 0), 100.0, 1e-12);
}

TEST(ColorMap, DecodeTestsChannelsInOrder) {
    // Blue 255 is tested first: green alone decides, red is not looked at.
    EXPECT_NEAR(Decode(200, 100, 255), 2.35, 1e-12);
    // Blue 0 and green 255: the red ramp.
    EXPECT_NEAR(Decode(100, 255, 0), 15.0 + 5.88, 1e-12);
    // Blue between 1 and 254: the blue ramp, whatever green and red hold.
    EXPECT_NEAR(Decode(100, 100, 100), 15.0 - 3.53, 1e-12);
    EXPECT_NEAR(Decode(255, 255, 254), 15.0 - 0.0353 * 254, 1e-12);
}

TEST(ColorMap, AnyOtherScaleIsTheCoarseOne) {
    for (int s : {1, 0, 3, -1}) {
        EXPECT_NEAR(Decode(0, 255, 0, s), 51.0, 1e-12) << s;
        EXPECT_EQ(Decode(0, 0, 0, s), 0.0) << s;
        EXPECT_NEAR(Decode(0, 255, 255, s), 25.5, 1e-12) << s;
        EXPECT_NEAR(Decode(255, 0, 0, s), 102.0, 1e-12) << s;
        EXPECT_NEAR(Decode(0, 0, 10, s), 50.0, 1e-12) << s;
    }
}

TEST(ColorMap, EncodesBoundariesIntoTheLowerSegment) {
    EXPECT_EQ(Rgb(Encode(0.0)), std::make_tuple(0, 0, 0));
    EXPECT_EQ(Rgb(Encode(6.0)), std::make_tuple(0, 255, 255));
    EXPECT_EQ(Rgb(Encode(15.0)), std::make_tuple(0, 255, 0));  // (15 - 6) x 28.333333333333332 is 255.0
    EXPECT_EQ(Rgb(Encode(30.0)), std::make_tuple(255, 255, 0));
    EXPECT_EQ(Rgb(Encode(100.0)), std::make_tuple(255, 0, 0));
    // Inside the segments the channel is the truncated ramp value.
    EXPECT_EQ(Rgb(Encode(3.0)), std::make_tuple(0, 127, 255));   // 127.5
    EXPECT_EQ(Rgb(Encode(10.0)), std::make_tuple(0, 255, 142));  // 255 - trunc(113.3)
    EXPECT_EQ(Rgb(Encode(20.0)), std::make_tuple(85, 255, 0));
    EXPECT_EQ(Rgb(Encode(65.0)), std::make_tuple(255, 128, 0));  // 255 - trunc(127.5)
}

TEST(ColorMap, LeavesTheColourAloneOutsideTheCodedRange) {
    const auto untouched = std::make_tuple(11, 22, 33);
    EXPECT_EQ(Rgb(Encode(100.5)), untouched);
    EXPECT_EQ(Rgb(Encode(1e9)), untouched);
    // A negative disparity would give channels outside 0..255 (green -42 for -1).
    EXPECT_EQ(Rgb(Encode(-1.0)), untouched);
    EXPECT_EQ(Rgb(Encode(-1e-9)), untouched);
    EXPECT_EQ(Rgb(Encode(std::numeric_limits<double>::quiet_NaN())), untouched);
}

TEST(ColorMap, DecodingAnEncodedDisparityLosesLessThanOneStep) {
    for (int i = 1; i <= 10000; ++i) {
        const double d = i * 0.01;
        const ColorSet c = Encode(d);
        ASSERT_GE(c.red, 0);
        ASSERT_LE(c.red, 255);
        ASSERT_GE(c.green, 0);
        ASSERT_LE(c.green, 255);
        ASSERT_GE(c.blue, 0);
        ASSERT_LE(c.blue, 255);
        const double back = ColorToValue(&c, 2);
        // The encoder truncates, so the decoded value lies at most one step below.
        EXPECT_LE(back, d + 0.01) << d;
        EXPECT_GE(back, d - StepBound(d)) << d;
    }
}

TEST(ColorMap, IdentifierPaletteWraps) {
    ColorSet c{1, 2, 3};
    SetColorMapId(&c, 1);
    EXPECT_EQ(Rgb(c), std::make_tuple(63, 63, 255));
    SetColorMapId(&c, 7);
    EXPECT_EQ(Rgb(c), std::make_tuple(191, 127, 63));
    SetColorMapId(&c, 13);
    EXPECT_EQ(Rgb(c), std::make_tuple(191, 191, 255));
    SetColorMapId(&c, 20);
    EXPECT_EQ(Rgb(c), std::make_tuple(255, 255, 63));
    SetColorMapId(&c, 21);
    EXPECT_EQ(Rgb(c), std::make_tuple(63, 63, 255));
    SetColorMapId(&c, 47);  // 47 mod 20 = 7
    EXPECT_EQ(Rgb(c), std::make_tuple(191, 127, 63));

    for (int value : {0, -1, -21, 40, 60}) {
        ColorSet kept{1, 2, 3};
        SetColorMapId(&kept, value);
        EXPECT_EQ(Rgb(kept), std::make_tuple(1, 2, 3)) << value;
    }

    std::set<std::tuple<int, int, int>> distinct;
    for (int value = 1; value <= 20; ++value) {
        ColorSet p{0, 0, 0};
        SetColorMapId(&p, value);
        distinct.insert(Rgb(p));
    }
    EXPECT_EQ(distinct.size(), 20u);
}
