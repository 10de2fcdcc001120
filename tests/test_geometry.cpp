#include <gtest/gtest.h>

#include <cmath>

#include "Geometry.h"

namespace {

// A road table embedded between sentinels, so that a read outside its LUT_NUM entries shows in the result.
struct GuardedTable {
    static constexpr int SENTINEL = 100000;
    int cells[LUT_NUM + 4];
    int* gnd = cells + 2;

    template <typename RowOf> explicit GuardedTable(RowOf rowOf) {
        for (int& c : cells) c = SENTINEL;
        for (int d = 0; d < LUT_NUM; ++d) gnd[d] = rowOf(d);
    }
};

}  // namespace

TEST(Geometry, LateralPositionOfAColumn) {
    for (double z : {0.5, 9.491, 37.0, 142.366}) EXPECT_EQ(Img2RealX(DEFAULT_CAMERA, 232, z), 0.0) << z;
    EXPECT_EQ(Img2RealX(DEFAULT_CAMERA, 332, 9.491), 1.0);           // 100 pixels at 1/100 metre per pixel
    EXPECT_DOUBLE_EQ(Img2RealX(DEFAULT_CAMERA, 132, 9.491), -1.0);   // left of the axis is negative
    EXPECT_DOUBLE_EQ(Img2RealX(DEFAULT_CAMERA, 0, 949.1), -232.0);
}

TEST(Geometry, CameraColumnTruncatesTowardZero) {
    EXPECT_EQ(Real2ImgX(DEFAULT_CAMERA, 0.0, 12.0), 328);
    EXPECT_EQ(Real2ImgX(DEFAULT_CAMERA, -0.001, 10.0), 328);  // -0.09491 truncates to 0, not -1
    EXPECT_EQ(Real2ImgX(DEFAULT_CAMERA, 1.0, 10.0), 328 + 94);   // 94.91
    EXPECT_EQ(Real2ImgX(DEFAULT_CAMERA, -1.0, 10.0), 328 - 94);  // -94.91 toward zero, not -95
}

TEST(Geometry, GridBlockOfALateralPosition) {
    EXPECT_EQ(Real2GridU(DEFAULT_CAMERA, 0.0, 5.0), 58.0);  // optical axis: column 232 of the disparity picture
    EXPECT_EQ(Real2GridU(DEFAULT_CAMERA, 0.0, 80.0), 58.0);
    // 94.91 pixels right of the axis: (94.91 + 232) / 4, not truncated.
    EXPECT_NEAR(Real2GridU(DEFAULT_CAMERA, 1.0, 10.0), 81.7275, 1e-12);
}

TEST(Geometry, HeightOfARowAboveTheRoad) {
    EXPECT_EQ(ComputeHeight(DEFAULT_CAMERA, 0.0, 100, 200), 0.0);
    EXPECT_EQ(ComputeHeight(DEFAULT_CAMERA, 0.0, 300, 200), 0.0);
    EXPECT_DOUBLE_EQ(ComputeHeight(DEFAULT_CAMERA, 10.0, 100, 200), 1.5);  // 100 rows x 0.15 / 10
    EXPECT_DOUBLE_EQ(ComputeHeight(DEFAULT_CAMERA, 10.0, 210, 200), -0.15);
    EXPECT_DOUBLE_EQ(ComputeHeight(DEFAULT_CAMERA, 2.5, 199, 200), 0.06);
}

TEST(Geometry, PictureRowsOfRoadAndHeightPoints) {
    GuardedTable table([](int d) { return 100 + 3 * d; });
    const int* gnd = table.gnd;
    EXPECT_EQ(Real2ImgH_D(DEFAULT_CAMERA, 0.0, 5.0, gnd), gnd[5]);  // weight of gnd[6] is 0
    // Road at 5.5: halfway between 115 and 118 = 116.5; 1 m at disparity 5.5 spans 36.67 rows.
    EXPECT_EQ(Real2ImgH_D(DEFAULT_CAMERA, 1.0, 5.5, gnd), 79);
    EXPECT_EQ(Real2ImgH_D(DEFAULT_CAMERA, 0.0, 5.5, gnd), 116);
    // Distance 142.366 / 20 m is disparity 20 exactly; 0.31 m spans 41.33 rows there.
    EXPECT_EQ(Real2ImgG(DEFAULT_CAMERA, BF_PIX / 20.0, gnd), gnd[20]);
    EXPECT_EQ(Real2ImgH(DEFAULT_CAMERA, 0.31, BF_PIX / 20.0, gnd), gnd[20] - 42);
    EXPECT_EQ(Real2ImgG(DEFAULT_CAMERA, BF_PIX / 12.25, gnd), 136);  // 0.25 x 139 + 0.75 x 136 = 136.75

    // BF_PIX / (BF_PIX / 55) is one unit in the last place below 55: truncation gives level 54 with
    // almost the full weight on gnd[55]. The road row falls short of gnd[55] by 7.1e-15 per row of
    // step, which shows after truncation where it exceeds half the spacing of doubles near the row.
    ASSERT_LT(BF_PIX / (BF_PIX / 55.0), 55.0);
    GuardedTable rising([](int d) { return 3 * d - 62; });  // 100 at 54, 103 at 55
    EXPECT_EQ(Real2ImgG(DEFAULT_CAMERA, BF_PIX / 55.0, rising.gnd), 102);
    EXPECT_EQ(Real2ImgH(DEFAULT_CAMERA, 0.0, BF_PIX / 55.0, rising.gnd), 102);
    EXPECT_EQ(Real2ImgH_D(DEFAULT_CAMERA, 0.0, 55.0, rising.gnd), 103);  // given as a disparity, 55 is exact
    EXPECT_EQ(Real2ImgG(DEFAULT_CAMERA, BF_PIX / 55.0, gnd), gnd[55]);     // 262 to 265: the shortfall rounds away
    GuardedTable flat([](int) { return 300; });
    EXPECT_EQ(Real2ImgG(DEFAULT_CAMERA, BF_PIX / 55.0, flat.gnd), 300);
}

TEST(Geometry, RoadRowsOutsideTheTableUseItsEnds) {
    GuardedTable table([](int d) { return 100 + 2 * d; });
    const int* gnd = table.gnd;
    // Nearer than the last level: the last road row, not the entry past the table.
    EXPECT_EQ(Real2ImgG(DEFAULT_CAMERA, BF_PIX / 99.5, gnd), gnd[99]);
    EXPECT_EQ(Real2ImgG(DEFAULT_CAMERA, 1.0, gnd), gnd[99]);  // disparity 142.366
    EXPECT_EQ(Real2ImgH_D(DEFAULT_CAMERA, 0.0, 99.0, gnd), gnd[99]);
    EXPECT_EQ(Real2ImgH_D(DEFAULT_CAMERA, 0.0, 99.7, gnd), gnd[99]);
    EXPECT_EQ(Real2ImgH_D(DEFAULT_CAMERA, 1.0, 99.5, gnd), -365);  // 298 - 663.33
    // Behind the camera: the first road row, not the entry before the table.
    EXPECT_EQ(Real2ImgG(DEFAULT_CAMERA, -BF_PIX / 1.5, gnd), gnd[0]);
    EXPECT_EQ(Real2ImgH_D(DEFAULT_CAMERA, 0.0, -3.0, gnd), gnd[0]);
    EXPECT_EQ(Real2ImgG(DEFAULT_CAMERA, std::nan(""), gnd), gnd[0]);
    EXPECT_EQ(Real2ImgG(DEFAULT_CAMERA, 0.0, gnd), gnd[99]);  // infinite disparity
    // The last level inside the table is interpolated as before.
    EXPECT_EQ(Real2ImgH_D(DEFAULT_CAMERA, 0.0, 98.5, gnd), 297);  // 0.5 x 298 + 0.5 x 296
}

TEST(Geometry, DisparityOfARoadRow) {
    GuardedTable table([](int d) { return 10 * d; });
    const int* gnd = table.gnd;
    EXPECT_EQ(Img2DisparityG(25, gnd), 2.5);
    EXPECT_EQ(Img2DisparityG(20, gnd), 2.0);
    EXPECT_EQ(Img2DisparityG(985, gnd), 98.5);
    EXPECT_EQ(Img2DisparityG(990, gnd), 99.0);
    EXPECT_EQ(Img2DisparityG(5, gnd), 0.5);    // from entries 0 and 1, below level 1
    EXPECT_EQ(Img2DisparityG(-10, gnd), -1.0);  // above the table's first rows: extrapolated
    // Below the last road row the search stops at the table's end and gives its last level.
    EXPECT_EQ(Img2DisparityG(991, gnd), 99.0);
    EXPECT_EQ(Img2DisparityG(5000, gnd), 99.0);

    // A profile ending in a flat stretch at row 359 (the far-right levels of a road profile).
    GuardedTable flat([](int d) { return d > 64 ? 359 : 100 + 4 * d; });
    EXPECT_EQ(Img2DisparityG(360, flat.gnd), 99.0);
    EXPECT_EQ(Img2DisparityG(359, flat.gnd), 65.0);
    EXPECT_EQ(Img2DisparityG(358, flat.gnd), 65.0 - 1.0 / 3.0);  // between 356 (64) and 359 (65)

    // Equal rows at entries 0 and 1 give level 1 rather than a division by zero.
    GuardedTable level([](int d) { return d == 0 ? 50 : 50 + 5 * d - 5; });
    EXPECT_EQ(Img2DisparityG(50, level.gnd), 1.0);
    EXPECT_EQ(Img2DisparityG(20, level.gnd), 1.0);
    EXPECT_DOUBLE_EQ(Img2DisparityG(52, level.gnd), 1.4);
}
