// What the stages derive from a camera: the default camera gives exactly the values the stages were
// tuned with, another camera the values its geometry asks for (computed here by hand), and the
// conversions and the renderer follow the camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "Geometry.h"
#include "GoldenRun.h"
#include "RoadDisparityMap.h"
#include "RunDriver.h"
#include "Scene.h"
#include "StageGeometry.h"

namespace {

constexpr Camera KITTI_LIKE = {707.09, 0.537, 707.09 * 0.537, 601.9, 183.1, 1226, 370, 1.65, 0.0, 0.1, -4.0, 4.0};

}  // namespace

TEST(StageGeometry, DefaultCameraGivesTheTunedValuesExactly) {
    const StageGeometry& g = DefaultGeometry();
    EXPECT_EQ(g.pixels, 201600);
    EXPECT_EQ(g.blocksU, 140);
    EXPECT_EQ(g.gridCells, 14000);
    EXPECT_EQ(g.axisU, 232);
    EXPECT_EQ(g.roadFirstRow, 110);
    EXPECT_EQ(g.scanCap, 100);
    EXPECT_EQ(g.faceLimitSingle, 5);
    EXPECT_EQ(g.faceLimitFolded, 10);
    EXPECT_EQ(g.peakMinSingle, 5);
    EXPECT_EQ(g.peakMinFolded, 10);
    EXPECT_EQ(g.noRoadRow, 359);
    EXPECT_EQ(g.measuredRowLimit, 350);
    EXPECT_EQ(g.minRoadRow, 70);
    EXPECT_EQ(g.blockRows, 4);
    EXPECT_EQ(g.firstBandLevel, 1);
    EXPECT_EQ(g.belowPictureLevel, 65);
    EXPECT_EQ(g.reseedFrames, 9);  // 0.3 s
    // Compared as doubles for equality: every one must be the tuned value itself.
    const double tuned[][2] = {{g.gateRows, 18.0},       {g.stepLimitNear, 15.0},  {g.stepLimitFar, 20.0},
                               {g.bandFixed, 20.0},      {g.bandBelowFirst, 50.0}, {g.bandAboveFirst, 100.0},
                               {g.supportRows, 18.0},    {g.raiseStepNear, 11.0},  {g.raiseStepFar, 19.0},   {g.farBlocks, 5.0},
                               {g.heightToleranceRows, 30.0}, {g.threshold[16], 12.0}, {g.threshold[17], 24.0 + 17 / 10.0},
                               {g.threshold[39], 24.0 + 39 / 10.0}, {g.threshold[40], 28.0}};
    for (const auto& pair : tuned) EXPECT_EQ(pair[0], pair[1]);
    for (int d = 0; d < LUT_NUM; ++d) EXPECT_EQ(g.uncountedRoadRow[d], 359) << "level " << d;
}

TEST(StageGeometry, KittiRigScalesCountsByItsGeometry) {
    const StageGeometry g(KITTI_LIKE);
    const double rows = 0.15 / 0.537;              // a height spans h d / B rows
    const double columns = 707.09 / 949.1;         // a width spans f w / z columns
    const double road = (1.65 / 0.537) / (1.32 / 0.15);  // the road rises h / B rows per level
    EXPECT_EQ(g.blocksU, 306);  // 1226 columns: two left over
    EXPECT_EQ(g.gridCells, 30600);
    EXPECT_EQ(g.axisU, 601);
    EXPECT_EQ(g.roadFirstRow, 184);  // level camera: the horizon is the principal row, 183.1
    EXPECT_EQ(g.scanCap, 74);        // 74.5 entries
    EXPECT_EQ(g.peakMinSingle, 4);   // at least 3.7 ...
    EXPECT_EQ(g.peakMinFolded, 8);   // ... and 7.5
    EXPECT_EQ(g.faceLimitSingle, 1); // more than 1.75 ...
    EXPECT_EQ(g.faceLimitFolded, 3); // ... and 3.5
    EXPECT_EQ(g.noRoadRow, 369);
    EXPECT_EQ(g.measuredRowLimit, 359);  // 350 of 360 rows
    EXPECT_EQ(g.minRoadRow, 71);         // 70 of 360
    EXPECT_EQ(g.blockRows, 1);           // 4 rows scaled: 1.1
    EXPECT_NEAR(g.farBlocks, 20.0 * rows, 1e-12);
    EXPECT_NEAR(g.heightToleranceRows, 30.0 * rows, 1e-12);
    EXPECT_NEAR(g.threshold[5], 12.0 * rows, 1e-12);
    EXPECT_NEAR(g.threshold[50], 28.0 * rows, 1e-12);
    EXPECT_NEAR(g.gateRows, 18.0 * road, 1e-12);
    EXPECT_NEAR(g.stepLimitFar, 20.0 * road, 1e-12);
    EXPECT_NEAR(g.bandAboveFirst, 100.0 * road, 1e-12);
    // The profile in force moves by an angle from frame to frame: 20 rows at 949.1 px are 14.9 here,
    // and 0.26 rad/s over the 1/15 s by which 10 frames per second are slower than 30 add 12.3;
    // it is held out to 142.4 m, the default camera's level 1: f B = 379.7 puts level 2 at 190 m.
    EXPECT_NEAR(g.bandFixed, 20.0 * columns + 707.09 * 0.26 * (0.1 - DELTA_T), 1e-12);
    EXPECT_EQ(g.reseedFrames, 3);
    // The road enters the picture from its bottom row: no level is taken to lie below it but 99.
    EXPECT_EQ(g.belowPictureLevel, 99);
    EXPECT_EQ(g.firstBandLevel, 3);
    EXPECT_NEAR(g.columnScale, columns, 1e-15);
    // The road nearer than disparity 40 is never counted: its rows come from the flat road, down
    // to the picture's bottom (row 183.1 + 3.0726 d reaches 369 beyond d = 60).
    EXPECT_EQ(g.uncountedRoadRow[40], 369);
    EXPECT_EQ(g.uncountedRoadRow[41], static_cast<int>(183.1 + 41 * 1.65 / 0.537));
    EXPECT_EQ(g.uncountedRoadRow[60], static_cast<int>(183.1 + 60 * 1.65 / 0.537));
    EXPECT_EQ(g.uncountedRoadRow[61], 369);
}

TEST(StageGeometry, ConversionsFollowTheCamera) {
    int gnd[LUT_NUM];
    for (int d = 0; d < LUT_NUM; ++d) gnd[d] = 200 + 3 * d;
    EXPECT_NEAR(Img2RealX(KITTI_LIKE, 701, 7.0709), 0.01 * (701 - 601.9), 1e-12);
    EXPECT_NEAR(ComputeHeight(KITTI_LIKE, 10.0, 100, 200), 100 * 0.537 / 10.0, 1e-12);
    // 1 m above the road at disparity 5.37 spans 10 rows: the road row 215 less 10.
    EXPECT_EQ(Real2ImgH_D(KITTI_LIKE, 1.0, 5.37, gnd), 215 + 1 - 10);
    EXPECT_NEAR(Real2GridU(KITTI_LIKE, 1.0, 7.0709), (100.0 + 601.9) / 4, 1e-9);
    // Distance 10 m is disparity 37.97: the road row between entries 37 and 38.
    EXPECT_EQ(Real2ImgG(KITTI_LIKE, 10.0, gnd), static_cast<int>(200 + 3 * (707.09 * 0.537 / 10.0)));
}

TEST(StageGeometry, RendererDrawsThroughTheCamera) {
    const double d = 707.09 * 0.537 / 10.0;
    scene::Box box;
    box.left_m = -0.5;
    box.right_m = 0.5;
    box.z_m = 10.0;
    box.height_m = 1.5;
    // The road at the centre of row 300 lies 1.65 x 707.09 / 117.4 m ahead.
    EXPECT_NEAR(scene::RoadDisparity(KITTI_LIKE, 300), 0.537 * 117.4 / 1.65, 1e-9);
    EXPECT_EQ(scene::RoadDisparity(KITTI_LIKE, 182), 0.0);  // above the horizon

    scene::Scene s;
    s.camera = KITTI_LIKE;
    s.boxes.push_back(box);
    const std::vector<double> picture = scene::RenderExactDisparity(s);
    ASSERT_EQ(picture.size(), 1226u * 370u);
    EXPECT_EQ(picture[PIXEL(600, 250, 1226)], d);   // the box's face
    EXPECT_EQ(picture[PIXEL(600, 100, 1226)], 0.0);  // the sky above it
    EXPECT_EQ(scene::EncodeDisparity(KITTI_LIKE, picture).size(), 4u * 1226u * 370u);

    // Frame times: a whole rate written to a few digits is that rate; others are the interval itself.
    Camera fps25 = KITTI_LIKE;
    fps25.frameInterval_s = 0.04;
    Camera ntsc = KITTI_LIKE;
    ntsc.frameInterval_s = 1001.0 / 30000.0;
    EXPECT_EQ(scene::FrameTime(KITTI_LIKE, 7), 7 * (1.0 / 10.0));
    EXPECT_EQ(scene::FrameTime(DEFAULT_CAMERA, 45), 45 * (1.0 / 30.0));
    EXPECT_EQ(scene::FrameTime(fps25, 3), 3 * (1.0 / 25.0));
    EXPECT_EQ(scene::FrameTime(ntsc, 3), 3 * (1001.0 / 30000.0));
}

// A value source may hand over disparities the colour coding never holds: above 100, fractions
// above 99, values that are not finite or not positive. The run treats every value at or above
// 100 as the colour decode's largest, 100.0, and the others as no disparity.
TEST(StageGeometry, GivenDisparitiesBeyondTheLastLevelAreTheLargestCodedOne) {
    const double inf = std::numeric_limits<double>::infinity();
    const double given[] = {150.0, 100.0, 100.7, 99.7, 1e9, std::nan(""), -3.0, inf, 0.0, 42.5};
    const double taken[] = {100.0, 100.0, 100.0, 99.7, 100.0, 0.0, 0.0, 0.0, 0.0, 42.5};
    std::vector<double> values(std::begin(given), std::end(given));
    values.resize(DefaultGeometry().pixels, 0.0);
    LimitGivenDisparities(DefaultGeometry(), values.data());
    for (size_t i = 0; i < std::size(given); ++i) EXPECT_EQ(values[i], taken[i]) << "given " << given[i];

    // Whole frames: a near wall at 130 and at 100 leave the same run behind.
    const auto digestOf = [](double wall) {
        RunState run;
        golden::Digest digest;
        for (int frame = 0; frame < 3; ++frame) {
            for (int v = 0; v < TOTAL_V; ++v) {
                for (int u = 0; u < TOTAL_U; ++u) {
                    run.measuredDisparity[PIXEL(u, v)] = (u > 200 && u < 300 && v > 40) ? wall : 10.0 + v / 40.0;
                }
            }
            run.disparityValuesGiven = true;
            ProcessFrame(run, nullptr, DetectObstacles, [&digest](const RunState& r) { golden::AddDetection(digest, r); });
        }
        return digest.Value();
    };
    EXPECT_EQ(digestOf(130.0), digestOf(100.0));
    EXPECT_NE(digestOf(99.0), digestOf(100.0));
}

// A column of a tall picture can hold more entries of one class than a byte counts: a face of 260
// even rows is still a face.
TEST(StageGeometry, TallPictureCountsEveryEntryOfAColumn) {
    for (const int rows : {360, 600}) {
        Camera tall = DEFAULT_CAMERA;
        tall.width_pix = 8;
        tall.height_pix = rows;
        const StageGeometry g(tall);
        StageScratch scratch(g);
        std::vector<RoadClass> road(static_cast<size_t>(g.width) * RoadClassRows(rows), NO_ROAD_CLASS);
        const int faceRows = std::min(260, rows / 2);
        for (int k = 0; k < faceRows; ++k) road[RoadRowStart(g.width, 2 * k) + 3] = 10;
        road[5] = 10;  // a lone entry of another column stays
        CountColumnClasses(g, road.data(), scratch.columnCounts.data());
        EXPECT_TRUE(IsObstacleFace(g, scratch.columnCounts.data(), 3, 10)) << rows << " rows";
        EXPECT_FALSE(IsObstacleFace(g, scratch.columnCounts.data(), 5, 10)) << rows << " rows";
    }
}

// The lateral tolerance of a track's edges: 0.3 m at the default frame interval and shorter ones;
// over a longer one, what traffic crossing at 15 m/s moves in the extra time: at 10 frames per
// second 0.3 + 15 x (0.1 - 0.03333) = 1.30005 m, at 5 per second 0.3 + 15 x 0.16667 = 2.80005 m.
// A car crossing at 10 m/s moves 1 m a frame at 10 per second: its young track keeps its edges.
TEST(StageGeometry, EdgeGateHoldsCrossingTrafficAtEveryFrameInterval) {
    const struct {
        double interval_s;
        double gate_m;
    } table[] = {{1.0 / 60.0, 0.3}, {DELTA_T, 0.3}, {0.1, 1.30005}, {0.2, 2.80005}};
    for (const auto& row : table) {
        Camera camera = DEFAULT_CAMERA;
        camera.frameInterval_s = row.interval_s;
        EXPECT_NEAR(StageGeometry(camera).edgeGate_m, row.gate_m, 1e-9) << "interval " << row.interval_s << " s";
    }
}
