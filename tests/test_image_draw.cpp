// Drawing helpers: which pixels a line or rectangle sets, line end points, and the colour blend.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "Draw.h"

namespace {

using Points = std::set<std::pair<int, int>>;

constexpr double HALF_PI = 1.57079632679489661923;

// The (x, y) pixels set to 9 in a width x height buffer.
Points SetPixels(const std::vector<uint8_t>& img, int width) {
    Points points;
    for (size_t i = 0; i < img.size(); ++i) {
        if (img[i] == 9) points.insert({static_cast<int>(i) % width, static_cast<int>(i) / width});
    }
    return points;
}

Points Line(int x0, int y0, int x1, int y1, int width = 8, int height = 8) {
    std::vector<uint8_t> img(static_cast<size_t>(width * height), 0);
    drawLineGrayImg(img.data(), x0, y0, x1, y1, width, height, 9);
    return SetPixels(img, width);
}

}  // namespace

TEST(ImageDraw, LinesLeaveOutTheFarEnd) {
    EXPECT_EQ(Line(0, 0, 4, 2), (Points{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
    EXPECT_EQ(Line(4, 2, 0, 0), (Points{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
    // Steep: stepping along y, x = y / 2 truncated.
    EXPECT_EQ(Line(0, 0, 2, 4), (Points{{0, 0}, {0, 1}, {1, 2}, {1, 3}}));
    EXPECT_EQ(Line(2, 5, 2, 1), (Points{{2, 1}, {2, 2}, {2, 3}, {2, 4}}));
    EXPECT_EQ(Line(1, 2, 4, 2), (Points{{1, 2}, {2, 2}, {3, 2}}));
    EXPECT_EQ(Line(3, 3, 3, 3), Points{});
}

TEST(ImageDraw, LinesAreClippedPointByPoint) {
    EXPECT_EQ(Line(-3, 0, 3, 0, 5, 3), (Points{{0, 0}, {1, 0}, {2, 0}}));
    // y = x - 2: rows -2 and -1 are skipped, the rest is drawn.
    EXPECT_EQ(Line(0, -2, 4, 2, 5, 3), (Points{{2, 0}, {3, 1}}));
    // Past the right and bottom edges nothing is written outside the buffer.
    EXPECT_EQ(Line(3, 1, 9, 1, 5, 3), (Points{{3, 1}, {4, 1}}));
    EXPECT_EQ(Line(1, 1, 1, 20, 5, 3), (Points{{1, 1}, {1, 2}}));
}

TEST(ImageDraw, RectangleLeavesTheFarCornerUnset) {
    std::vector<uint8_t> img(6 * 5, 0);
    drawRectGrayImg(img.data(), 1, 1, 4, 3, 6, 5, 9);
    const Points expected{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {1, 2}, {4, 2}, {1, 3}, {2, 3}, {3, 3}};
    EXPECT_EQ(SetPixels(img, 6), expected);
}

TEST(ImageDraw, EndPointOfLineInNormalForm) {
    double x = 0.0;
    double y = 0.0;
    getXY(5.0, HALF_PI, 2.0, 10.0, 0.0, &x, &y);
    EXPECT_DOUBLE_EQ(x, 2.0);
    EXPECT_DOUBLE_EQ(y, 5.0);
    // Below dmaxY: the point moves onto y = 4, far out because cos(pi / 2) is only nearly 0.
    getXY(5.0, HALF_PI, 2.0, 4.0, 0.0, &x, &y);
    EXPECT_EQ(y, 4.0);
    EXPECT_GT(x, 1e15);
    // A vertical line x = 3 (angle 0) meets y = dmaxY.
    getXY(3.0, 0.0, 7.0, 10.0, 0.0, &x, &y);
    EXPECT_DOUBLE_EQ(x, 3.0);
    EXPECT_EQ(y, 10.0);
    // At 45 degrees the point on x = 10 lies above dminY = 0; it moves onto y = 0, x = 5 sqrt(2).
    getXY(5.0, HALF_PI / 2, 10.0, 100.0, 0.0, &x, &y);
    EXPECT_EQ(y, 0.0);
    EXPECT_NEAR(x, 5.0 * std::sqrt(2.0), 1e-12);
}

TEST(ImageDraw, BlendWritesBlueGreenRedOverGrey) {
    qim::Image grey;
    grey.create(2, 3, SGBM_8UC3);
    for (int i = 0; i < 6; ++i) grey.data[i] = static_cast<uchar>(100 + i);  // one byte per pixel
    qim::Image colour;
    colour.create(2, 3, SGBM_8UC3);
    for (int i = 0; i < 18; ++i) colour.data[i] = 0;
    ColorSet rgb{200, 51, 7};

    AlphaBlending_new(grey, colour, 2, 1, &rgb, 0.0f);  // grey byte 1 * 3 + 2 = 5 -> 105
    const uchar* pixel = colour.data + 1 * 9 + 2 * 3;
    EXPECT_EQ(pixel[0], 105);
    EXPECT_EQ(pixel[1], 105);
    EXPECT_EQ(pixel[2], 105);

    AlphaBlending_new(grey, colour, 2, 1, &rgb, 1.0f);
    EXPECT_EQ(pixel[0], 7);
    EXPECT_EQ(pixel[1], 51);
    EXPECT_EQ(pixel[2], 200);

    AlphaBlending_new(grey, colour, 0, 0, &rgb, 0.5f);  // background 100
    EXPECT_EQ(colour.data[0], 53);   // 50 + 3.5 truncated
    EXPECT_EQ(colour.data[1], 75);   // 50 + 25.5 truncated
    EXPECT_EQ(colour.data[2], 150);
    EXPECT_EQ(colour.data[3], 0);    // the neighbour is untouched
    // The copies made for the call shared the pixels and freed nothing.
    EXPECT_EQ(colour.refcount, 1);
    grey.release();
    colour.release();
}
