#include <gtest/gtest.h>

#include <vector>

#include "Builders.h"
#include "ColorMap.h"
#include "DisparityCodes.h"
#include "GridSmoothing.h"
#include "OccupancyGrid.h"
#include "RoadDisparityMap.h"

namespace {

// The grid stage's view of a picture: decoded once for the frame, then the pixels below the blind
// rows dropped.
void DecodeObstacleDisparity(const qim::Image& picture, const int* blind, double* decoded) {
    std::vector<RoadClass> classes(static_cast<size_t>(TOTAL_U) * RoadClassRows(TOTAL_V));
    DecodePicture(DefaultGeometry(), ViewOf(picture), decoded, classes.data());
    for (int u0 = 0; u0 < TOTAL_U; u0 += SHIFT_PITCH) DropStripBelowBlind(DefaultGeometry(), blind, u0, decoded);
}

void FlatRoad(RunState& run, int groundRow, int blindRow) {
    for (int d = 0; d < LUT_NUM; ++d) {
        run.ground[d] = groundRow;
        run.blind[d] = blindRow;
        run.ceiling[d] = 0;
    }
}

}  // namespace

TEST(GridStage, DecodingDropsPixelsBelowTheBlindRowOfTheirDisparity) {
    Picture picture;
    const ColorSet red{255, 0, 0};     // decodes as 100.0, the largest disparity
    const ColorSet green{0, 255, 0};   // 15.0
    SetPixel(picture.image, 10, 50, green);
    SetPixel(picture.image, 10, 51, green);
    SetPixel(picture.image, 11, 200, red);
    SetPixel(picture.image, 12, 100, red);
    SetPixel(picture.image, 13, 101, red);
    // The blind rows with one entry past the table, which a disparity of 100 must not use.
    int blind[LUT_NUM + 1];
    for (int d = 0; d < LUT_NUM; ++d) blind[d] = 300;
    blind[15] = 50;
    blind[99] = 100;
    blind[LUT_NUM] = 1000;
    std::vector<double> decoded(TOTAL_PIXELS, -1.0);
    DecodeObstacleDisparity(picture.image, blind, decoded.data());
    EXPECT_EQ(decoded[PIXEL(10, 50)], 15.0);  // on the blind row: kept
    EXPECT_EQ(decoded[PIXEL(10, 51)], 0.0);   // below it: dropped
    EXPECT_EQ(decoded[PIXEL(11, 200)], 0.0);  // 100.0 against the blind row of level 99
    EXPECT_EQ(decoded[PIXEL(12, 100)], 100.0);
    EXPECT_EQ(decoded[PIXEL(13, 101)], 0.0);
    EXPECT_EQ(decoded[PIXEL(0, 0)], 0.0);  // black
    EXPECT_EQ(decoded[PIXEL(559, 359)], 0.0);
}

TEST(GridStage, PixelsOutsideASmallerPictureDecodeAsEmpty) {
    Picture small(10, 20);
    for (int v = 0; v < 10; ++v) {
        for (int u = 0; u < 60; ++u) small.image.ptr(v)[u] = 255;  // white: blue 255, 255 x 0.0235
    }
    int blind[LUT_NUM];
    for (int& row : blind) row = TOTAL_V;
    std::vector<double> decoded(TOTAL_PIXELS, -1.0);
    DecodeObstacleDisparity(small.image, blind, decoded.data());
    EXPECT_DOUBLE_EQ(decoded[PIXEL(19, 9)], 255 * 0.0235);
    EXPECT_EQ(decoded[PIXEL(20, 9)], 0.0);
    EXPECT_EQ(decoded[PIXEL(19, 10)], 0.0);
    EXPECT_EQ(decoded[PIXEL(559, 359)], 0.0);
    qim::Image empty;
    DecodeObstacleDisparity(empty, blind, decoded.data());
    EXPECT_EQ(decoded[PIXEL(0, 0)], 0.0);
}

TEST(GridStage, AnUprightObstacleOccupiesItsStripsAtItsDisparity) {
    RunState run;
    // 1.125 m high at disparity 20 (7.1 m): rows 150 to 250 over columns 100 to 139 (blocks 25 to
    // 34), the road at row 300. Below the blind row a patch of the same disparity is discarded.
    CreateBlack(run.src_img_colorD);
    PaintDisparity(run.src_img_colorD, 100, 139, 150, 250, 20.0);
    PaintDisparity(run.src_img_colorD, 300, 339, 295, 359, 20.0);
    FlatRoad(run, 300, 290);

    RoadDisparityMap(run);  // decodes the picture for the grid stage
    OccupancyGrid(run);
    for (int d = 0; d < LUT_NUM; ++d) {
        for (int uBl = 0; uBl < totalBlkNumU; ++uBl) {
            const bool obstacle = d == 20 && uBl >= 25 && uBl <= 34;
            ASSERT_EQ(run.newGrid[GRID(uBl, d)].exist, obstacle ? 10 : 0) << uBl << " " << d;
        }
    }
    // SetColorMap(20.0) is (85, 255, 0), which decodes as 15 + 85 x 0.0588 = 19.998: bin [19.9, 20.0).
    const Grid& cell = run.newGrid[GRID(25, 20)];
    EXPECT_NEAR(cell.aveD, 20.0, 1e-9);
    EXPECT_DOUBLE_EQ(cell.z_m, BF_PIX / cell.aveD);
    EXPECT_NEAR(cell.x_m, (100 - 232) * cell.z_m / 949.1, 1e-12);
    EXPECT_EQ(cell.h_pix, 150);
    EXPECT_EQ(cell.hl_pix, 250);
    EXPECT_NEAR(cell.h_m, 1.125, 1e-9);
    EXPECT_EQ(DisparityCodes().value[run.disparityCodes[PIXEL(100, 150)]], 15 + 85 * 0.0588);
    EXPECT_EQ(run.disparityCodes[PIXEL(300, 295)], NO_DISPARITY_CODE);

    // The first frame's hand-over starts every occupied cell.
    GridSmoothing(run);
    EXPECT_FALSE(run.nonGridFlg);
    EXPECT_EQ(run.grid[GRID(25, 20)].count, 1);
    EXPECT_EQ(run.grid[GRID(25, 20)].nowAveD, cell.aveD);
    EXPECT_EQ(run.grid[GRID(24, 20)].exist, 0);
    // Lost in the next frame, the cell is held once, with count 0.
    PaintDisparity(run.src_img_colorD, 100, 139, 150, 250, 0.0);
    RoadDisparityMap(run);
    OccupancyGrid(run);
    GridSmoothing(run);
    EXPECT_EQ(run.grid[GRID(25, 20)].exist, 10);
    EXPECT_EQ(run.grid[GRID(25, 20)].count, 0);
}
