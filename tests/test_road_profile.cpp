#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Config.h"
#include "RoadDisparityMap.h"
#include "RoadProfile.h"
#include "RunState.h"

namespace {

// Gain of the first measurement after seeding: P = 5 I, pp00 = 5 (1 + 0.5^2 + 0.125^2) + 0.25.
constexpr double FIRST_GAIN = 6.578125 / (6.578125 + 9.0);

void Fill(int* table, int value) { std::fill(table, table + LUT_NUM, value); }

// A road whose row falls 9 rows per disparity level toward the horizon: 96 + 9 i at disparity i,
// off the picture (359) from 28 on. Seeded at 26 with the step 330 - 339 = -9 per class, the
// filter predicts 321 = MaxY[25] and follows the line without innovation: a seed that lagged
// behind the slope would show here. MaxY[0..2] are never measured, so they carry other rows.
void StraightRoad(int MaxY[LUT_NUM]) {
    Fill(MaxY, TOTAL_V - 1);
    for (int i = 3; i <= 27; ++i) MaxY[i] = 96 + 9 * i;
    MaxY[0] = MaxY[1] = MaxY[2] = 124;  // 124 is within the gate of the road's 114 at 2
}

int StraightRoadRow(int i) { return i <= 27 ? 96 + 9 * i : TOTAL_V - 1; }

}  // namespace

TEST(RoadSmoothing, FollowsAnExactRoadAndExtrapolatesTheFarthestClasses) {
    int MaxY[LUT_NUM];
    int aveMaxY[LUT_NUM];
    StraightRoad(MaxY);
    SmoothRoadRows(DefaultGeometry(), MaxY, aveMaxY);
    for (int i = 0; i <= 98; ++i) EXPECT_EQ(aveMaxY[i], StraightRoadRow(i)) << "disparity " << i;

    // Seeded at 2, the filter extrapolates 1 and 0 with its seed step of 100 - 104 per class;
    // 3 lacks a measured nearer class and keeps its raw row.
    Fill(MaxY, TOTAL_V - 1);
    MaxY[0] = 300;
    MaxY[1] = 300;
    MaxY[2] = 100;
    MaxY[3] = 104;
    SmoothRoadRows(DefaultGeometry(), MaxY, aveMaxY);
    EXPECT_EQ(aveMaxY[3], 104);
    EXPECT_EQ(aveMaxY[2], 100);
    EXPECT_EQ(aveMaxY[1], 96);
    EXPECT_EQ(aveMaxY[0], 92);
    EXPECT_EQ(aveMaxY[50], TOTAL_V - 1);
}

TEST(RoadSmoothing, GatesPeaksEighteenRowsFromThePrediction) {
    int MaxY[LUT_NUM];
    int aveMaxY[LUT_NUM];
    Fill(MaxY, TOTAL_V - 1);

    // Seed 300 with step 0: the prediction for 97 is 300.
    MaxY[99] = MaxY[98] = 300;
    MaxY[97] = 318;
    SmoothRoadRows(DefaultGeometry(), MaxY, aveMaxY);
    EXPECT_EQ(aveMaxY[97], 300);
    MaxY[97] = 282;
    SmoothRoadRows(DefaultGeometry(), MaxY, aveMaxY);
    EXPECT_EQ(aveMaxY[97], 300);
    MaxY[97] = 317;
    SmoothRoadRows(DefaultGeometry(), MaxY, aveMaxY);
    EXPECT_EQ(aveMaxY[97], static_cast<int>(300 + FIRST_GAIN * 17));

    // Seed 300 with a step of -1 per class: the prediction is 299, so 316 lies 17 away and is
    // used, 317 lies exactly 18 away and is replaced by the prediction.
    MaxY[99] = 301;
    MaxY[97] = 316;
    SmoothRoadRows(DefaultGeometry(), MaxY, aveMaxY);
    EXPECT_EQ(aveMaxY[97], static_cast<int>(299 + FIRST_GAIN * 17));
    MaxY[97] = 317;
    SmoothRoadRows(DefaultGeometry(), MaxY, aveMaxY);
    EXPECT_EQ(aveMaxY[97], 299);
}

TEST(RoadSmoothing, AClassWithoutNearerPeakLeavesTheFilterAsItWas) {
    int MaxY[LUT_NUM];
    int aveMaxY[LUT_NUM];
    Fill(MaxY, TOTAL_V - 1);
    MaxY[99] = MaxY[98] = 300;
    MaxY[97] = 350;  // no road
    MaxY[96] = 300;  // road, but its nearer class has none: taken raw
    MaxY[95] = 310;  // measured against the prediction still standing from the seed
    SmoothRoadRows(DefaultGeometry(), MaxY, aveMaxY);
    EXPECT_EQ(aveMaxY[98], 300);
    EXPECT_EQ(aveMaxY[97], 350);
    EXPECT_EQ(aveMaxY[96], 300);
    EXPECT_EQ(aveMaxY[95], static_cast<int>(300 + FIRST_GAIN * 10));  // 304, not a fresh seed at 310
}

TEST(RoadWalk, LimitsTheRiseAndRepeatsTheLastStepOverRejectedRows) {
    int aveMaxY[LUT_NUM];
    Fill(aveMaxY, TOTAL_V - 1);
    for (int i = 65; i < LUT_NUM; ++i) aveMaxY[i] = 100;  // beyond the picture's bottom: ignored
    aveMaxY[21] = 339;                                     // rise 20 at 21: allowed
    aveMaxY[20] = 318;                                     // rise 21: rejected, 339 - 20
    for (int i = 16; i <= 19; ++i) aveMaxY[i] = 319;
    aveMaxY[15] = 303;                                     // rise 16 above 14: allowed
    aveMaxY[14] = 286;                                     // rise 17 at 14 (limit 15): rejected, 303 - 16
    aveMaxY[13] = 272;                                     // rise 15: allowed
    aveMaxY[12] = 277;                                     // descent: rejected, 272 - 15
    for (int i = 1; i <= 11; ++i) aveMaxY[i] = 257;
    int ground[LUT_NUM];
    WalkRoadProfile(DefaultGeometry(), aveMaxY, ground);

    for (int i = 22; i < LUT_NUM; ++i) EXPECT_EQ(ground[i], TOTAL_V - 1) << i;
    EXPECT_EQ(ground[21], 339);
    EXPECT_EQ(ground[20], 319);
    EXPECT_EQ(ground[19], 319);
    EXPECT_EQ(ground[15], 303);
    EXPECT_EQ(ground[14], 287);
    EXPECT_EQ(ground[13], 272);
    EXPECT_EQ(ground[12], 257);
    for (int i = 1; i <= 11; ++i) EXPECT_EQ(ground[i], 257) << i;

    // 64 is the first disparity walked; at 15 a rise of 21 fails, at 14 a rise of exactly 15 passes.
    Fill(aveMaxY, 350);
    aveMaxY[65] = 345;  // a plausible rise, but below the picture
    aveMaxY[15] = 329;
    aveMaxY[14] = 335;
    WalkRoadProfile(DefaultGeometry(), aveMaxY, ground);
    EXPECT_EQ(ground[65], TOTAL_V - 1);
    EXPECT_EQ(ground[64], 350);
    EXPECT_EQ(ground[15], 350);
    EXPECT_EQ(ground[14], 335);
}

TEST(RoadAcceptance, BandsWidenBeforeTheFirstAcceptedProfile) {
    int pre_ground[LUT_NUM];
    int ground[LUT_NUM];
    Fill(pre_ground, 200);
    Fill(ground, 200);
    ground[0] = ground[99] = 0;  // never checked
    EXPECT_TRUE(RoadProfileAcceptable(DefaultGeometry(), ground, pre_ground, false));
    EXPECT_TRUE(RoadProfileAcceptable(DefaultGeometry(), ground, pre_ground, true));

    const struct {
        int index;
        int row;
        bool firstFrame;
        bool fixed;
    } cases[] = {
        {1, 300, true, false},  {98, 301, false, false}, {50, 150, true, false}, {50, 149, false, false},
        {1, 220, true, true},   {98, 221, true, false}, {50, 180, true, true},  {50, 179, true, false},
    };
    for (const auto& c : cases) {
        Fill(ground, 200);
        ground[c.index] = c.row;
        EXPECT_EQ(RoadProfileAcceptable(DefaultGeometry(), ground, pre_ground, false), c.firstFrame) << c.index << " " << c.row;
        EXPECT_EQ(RoadProfileAcceptable(DefaultGeometry(), ground, pre_ground, true), c.fixed) << c.index << " " << c.row;
    }

    // A road row above 70 is implausible even where it matches the profile in force.
    Fill(pre_ground, 69);
    Fill(ground, 69);
    EXPECT_FALSE(RoadProfileAcceptable(DefaultGeometry(), ground, pre_ground, true));
    Fill(pre_ground, 70);
    Fill(ground, 70);
    EXPECT_TRUE(RoadProfileAcceptable(DefaultGeometry(), ground, pre_ground, true));
}

// Through KITTI's rig the accepted profile moves by an angle, 20 rows of the default picture at
// f 707.09 instead of 949.1: 14.9 rows, and 12.3 rows more for the angle's change over the 0.1 s
// between its frames beyond the default camera's 1/30 s (0.26 rad/s): 27.2 rows; the road beyond the default camera's level 1 (142.4 m; here
// levels 1 and 2) is not held to the profile in force.
TEST(RoadAcceptance, ThroughAnotherCameraTheBandIsAnAngleOverTheDefaultsRange) {
    constexpr Camera KITTI_LIKE = {707.09, 0.537, 707.09 * 0.537, 601.9, 183.1, 1226, 370, 1.65, 0.02, 0.1, -4.0, 4.0};
    const StageGeometry g(KITTI_LIKE);
    int pre_ground[LUT_NUM];
    int ground[LUT_NUM];
    Fill(pre_ground, 250);
    const struct {
        int index;
        int row;
        bool accepted;
    } cases[] = {
        {3, 277, true}, {3, 278, false}, {3, 223, true}, {3, 222, false}, {60, 277, true}, {60, 278, false},
        {1, 290, true}, {2, 210, true},
    };
    for (const auto& c : cases) {
        Fill(ground, 250);
        ground[c.index] = c.row;
        EXPECT_EQ(RoadProfileAcceptable(g, ground, pre_ground, true), c.accepted) << c.index << " " << c.row;
    }
    // Every level is still held above the picture's top rows.
    Fill(ground, 250);
    ground[1] = 71;
    EXPECT_TRUE(RoadProfileAcceptable(g, ground, pre_ground, true));
    ground[1] = 70;
    EXPECT_FALSE(RoadProfileAcceptable(g, ground, pre_ground, true));
}

TEST(RoadRowsAbove, BlindAndCeilingSpanTheirHeightsAtEachDisparity) {
    int ground[LUT_NUM];
    int blind[LUT_NUM];
    int ceiling[LUT_NUM];
    // 0.3 m spans 2 i rows, but (i * 0.3) / 0.15 is one unit in the last place above 2 i at these
    // five disparities. The excess survives the subtraction from the road row only while the
    // difference is small: 10.0 has a finer spacing than 2 i, so 2 i + 10 - (2 i + ulp) stays below
    // 10 and truncates to 9; next to 300 the excess is at most half a spacing and rounds away.
    auto excess = [](int i) { return i == 7 || i == 14 || i == 28 || i == 56 || i == 61; };
    for (int i = 1; i < LUT_NUM; ++i) ground[i] = 2 * i + 10;
    RowsAboveRoad(DEFAULT_CAMERA, ground, blind, ceiling);
    for (int i = 1; i < LUT_NUM; ++i) EXPECT_EQ(blind[i], excess(i) ? 9 : 10) << i;
    Fill(ground, 300);
    RowsAboveRoad(DEFAULT_CAMERA, ground, blind, ceiling);
    for (int i = 1; i < LUT_NUM; ++i) EXPECT_EQ(blind[i], std::max(0, 300 - 2 * i)) << i;
    // 2.0 m spans 13.33 i rows.
    EXPECT_EQ(ceiling[1], 287);
    EXPECT_EQ(ceiling[2], 274);
    EXPECT_EQ(ceiling[3], 260);
    EXPECT_EQ(ceiling[22], 7);  // 300 - 293
    EXPECT_EQ(ceiling[23], 0);  // 300 - 306 clamps
    EXPECT_EQ(blind[0], blind[1]);
    EXPECT_EQ(ceiling[0], ceiling[1]);

    Fill(ground, 16);
    RowsAboveRoad(DEFAULT_CAMERA, ground, blind, ceiling);
    EXPECT_EQ(blind[8], 0);
    EXPECT_EQ(blind[99], 0);  // 16 - 198 clamps
}

TEST(RoadThresholds, RaisedWhereTheRoadRowJumps) {
    int ground[LUT_NUM];
    auto rows = [&](int first, int last, int row) { std::fill(ground + first, ground + last + 1, row); };
    rows(0, 0, 88);     // +12 at 1, taken against entry 0: x1.5
    rows(1, 4, 100);
    rows(5, 5, 111);    // +11 at 5: kept
    rows(6, 7, 100);
    rows(8, 15, 112);   // +12 at 8: x1.5
    rows(16, 16, 124);  // +12 at 16: x1.5
    rows(17, 17, 136);  // +12 at 17: kept, the far rule needs more than 19
    rows(18, 18, 155);  // +19 at 18: kept
    rows(19, 97, 175);  // +20 at 19: x2
    rows(98, 98, 195);  // +20 at 98: x2
    rows(99, 99, 300);  // 99 is never raised
    double threshold[LUT_NUM];
    std::fill(threshold, threshold + LUT_NUM, 10.0);
    RaiseStepThresholds(DefaultGeometry(), ground, threshold);
    for (int i = 0; i < LUT_NUM; ++i) {
        const bool near = i == 1 || i == 8 || i == 16;
        const bool far = i == 19 || i == 98;
        EXPECT_EQ(threshold[i], near ? 15.0 : far ? 20.0 : 10.0) << i;
    }
}

TEST(RoadProfileFrame, WithoutRoadTheFirstFrameKeepsTheGeometricProfile) {
    int MaxY[LUT_NUM];
    Fill(MaxY, TOTAL_V - 1);
    int pre_ground[LUT_NUM];
    InitialRoadRows(DEFAULT_CAMERA, pre_ground);
    int geometric[LUT_NUM];
    std::copy(pre_ground, pre_ground + LUT_NUM, geometric);
    bool bGndFixFlg = false;
    int refusedFrames = 0;
    int ground[LUT_NUM], blind[LUT_NUM], ceiling[LUT_NUM];
    double threshold[LUT_NUM];
    std::fill(threshold, threshold + LUT_NUM, 12.0);

    EXPECT_EQ(RoadProfileFromPeaks(DefaultGeometry(), MaxY, pre_ground, bGndFixFlg, refusedFrames, ground, blind, ceiling,
                                   threshold),
              RoadProfileKind::Kept);
    EXPECT_FALSE(bGndFixFlg);
    EXPECT_EQ(refusedFrames, 1);
    for (int i = 1; i <= 98; ++i) EXPECT_EQ(ground[i], geometric[i]) << i;
    for (int i = 65; i <= 98; ++i) EXPECT_EQ(ground[i], TOTAL_V) << i;
    EXPECT_EQ(ground[99], TOTAL_V - 1);
    EXPECT_EQ(ground[0], ground[1]);
    for (int i = 0; i < LUT_NUM; ++i) EXPECT_EQ(pre_ground[i], geometric[i]) << i;
    EXPECT_EQ(blind[1], geometric[1] - 2);
    EXPECT_EQ(ceiling[3], geometric[3] - 40);
}

TEST(RoadProfileFrame, AnAcceptedProfileBecomesTheProfileInForce) {
    int MaxY[LUT_NUM];
    StraightRoad(MaxY);
    int pre_ground[LUT_NUM];
    for (int i = 0; i < LUT_NUM; ++i) pre_ground[i] = StraightRoadRow(i) - 100;
    pre_ground[0] = 7;
    pre_ground[99] = 8;
    bool bGndFixFlg = false;
    int refusedFrames = 0;
    int ground[LUT_NUM], blind[LUT_NUM], ceiling[LUT_NUM];
    double threshold[LUT_NUM];
    std::fill(threshold, threshold + LUT_NUM, 12.0);

    refusedFrames = 3;
    EXPECT_EQ(RoadProfileFromPeaks(DefaultGeometry(), MaxY, pre_ground, bGndFixFlg, refusedFrames, ground, blind, ceiling,
                                   threshold),
              RoadProfileKind::Own);
    EXPECT_TRUE(bGndFixFlg);
    EXPECT_EQ(refusedFrames, 0);
    for (int i = 1; i < LUT_NUM; ++i) EXPECT_EQ(ground[i], StraightRoadRow(i)) << i;
    EXPECT_EQ(ground[0], ground[1]);
    for (int i = 1; i <= 98; ++i) EXPECT_EQ(pre_ground[i], ground[i]) << i;
    EXPECT_EQ(pre_ground[0], 7);
    EXPECT_EQ(pre_ground[99], 8);
    EXPECT_EQ(blind[1], 105 - 2);
    EXPECT_EQ(blind[7], 159 - 14);  // the quotient's excess is lost next to 159
    EXPECT_EQ(ceiling[1], 105 - 13);
    // Steps are 9 rows except where the road leaves the picture: 339 to 359 at 28 doubles that
    // threshold (a step above 19 from 17 on).
    for (int i = 0; i < LUT_NUM; ++i) EXPECT_EQ(threshold[i], i == 28 ? 24.0 : 12.0) << i;

    // From now on the band is +-20: the same road 21 rows above the profile in force at one
    // disparity is rejected, and the profile in force stays.
    pre_ground[10] += 21;
    int before[LUT_NUM];
    std::copy(pre_ground, pre_ground + LUT_NUM, before);
    EXPECT_EQ(RoadProfileFromPeaks(DefaultGeometry(), MaxY, pre_ground, bGndFixFlg, refusedFrames, ground, blind, ceiling,
                                   threshold),
              RoadProfileKind::Kept);
    EXPECT_TRUE(bGndFixFlg);
    for (int i = 0; i < LUT_NUM; ++i) EXPECT_EQ(pre_ground[i], before[i]) << i;
    for (int i = 1; i <= 98; ++i) EXPECT_EQ(ground[i], before[i]) << i;
}

namespace {

// A camera like KITTI's rig at 10 frames per second, level and 1.65 m high.
constexpr Camera KITTI_10_FPS = {707.09, 0.537, 707.09 * 0.537, 601.9, 183.1, 1226, 370, 1.65, 0.0, 0.1, -4.0, 4.0};

Camera Mounted(Camera camera, double camHeight_m, double tanPitch) {
    camera.camHeight_m = camHeight_m;
    camera.tanPitch = tanPitch;
    return camera;
}

// The road one frame sees: a flat road of the given mounting, `shift` rows lower in the picture (the
// car pitched by shift / f), and from `grade_m` metres on a road rising by `grade` per metre (a
// dip; negative: a crest). `measured` of the classes carry a peak, the nearest first.
struct FrameRoad {
    double camHeight_m;
    double tanPitch;
    double shift = 0.0;
    double grade = 0.0;
    double grade_m = 30.0;
    int measured = LUT_NUM;
};

// The V-disparity peaks of that road as the road stage finds them: the row of each class it counts
// (truncated), none outside the picture, the odd classes above 16 between their neighbours.
void RoadPeaks(const StageGeometry& g, const FrameRoad& road, int MaxY[LUT_NUM]) {
    const Camera seen = Mounted(g.camera, road.camHeight_m, road.tanPitch);
    int measured = 0;
    for (int d = LUT_NUM - 1; d >= 0; --d) {
        MaxY[d] = g.uncountedRoadRow[d];
        if (!IsRoadDisparity(d) || DisparityClass(d) != d) continue;
        const double z_m = seen.bf_pix / d;
        const double rise_m = z_m > road.grade_m ? road.grade * (z_m - road.grade_m) : 0.0;
        const double row = FlatRoadRow(seen, d) + road.shift - seen.f_pix * rise_m / z_m;
        if (row >= g.roadFirstRow && row < g.height && measured++ < road.measured) MaxY[d] = static_cast<int>(row);
    }
    for (int d = 17; d < ROAD_CLASSES; d += 2) MaxY[d] = (MaxY[d - 1] + MaxY[d + 1]) / 2;
}

}  // namespace

// Road situations frame after frame through the whole road profile stage: which profile each frame
// uses ('O' own, 'K' kept, 'R' re-seeded). The run starts from the flat road of the camera's
// mounting, which a well supported profile of the frame's own replaces at once; at 10 frames per
// second a measured profile in force gives way after 3 refused frames (0.3 s), at the default
// camera's 30 after 9.
TEST(RoadProfileSituations, AcceptKeepAndReseedAsTheRoadAndCarMove) {
    const Camera guessed = Mounted(KITTI_10_FPS, DEFAULT_CAMERA.camHeight_m, DEFAULT_CAMERA.tanPitch);
    const FrameRoad level{1.65, 0.0};
    const FrameRoad defaultRoad{CAM_H_M, TAN_CAM_ANGLE};
    const auto pitched = [](FrameRoad road, double rows) { return road.shift = rows, road; };
    const auto graded = [](FrameRoad road, double grade) { return road.grade = grade, road; };
    const auto sparse = [](FrameRoad road, int measured) { return road.measured = measured, road; };
    FrameRoad dip = graded(level, 0.06);
    dip.grade_m = 15.0;
    const struct {
        const char* name;
        Camera camera;
        std::vector<FrameRoad> frames;
        const char* kinds;
    } cases[] = {
        {"flat road as mounted", KITTI_10_FPS, {level, level, level}, "OOO"},
        // 0.26 rad/s over the 0.1 s beyond the default camera's 1/30 s added to its band's 0.021 rad:
        // 27.2 rows at f 707 (a row of it lost where the shifted rows truncate differently).
        {"pitch steps within the band", KITTI_10_FPS, {level, pitched(level, 26), level, pitched(level, 26), pitched(level, 13)}, "OOOOO"},
        {"a pitch step beyond the band is refused", KITTI_10_FPS, {level, pitched(level, 29), level}, "OKO"},
        // The road ahead climbs 1 % more from 30 m on every frame: 5 % after five frames, rows
        // far beyond the band from the first profile, each frame's own within it of the last.
        {"a dip ahead", KITTI_10_FPS,
         {level, graded(level, 0.01), graded(level, 0.02), graded(level, 0.03), graded(level, 0.04), graded(level, 0.05)},
         "OOOOOO"},
        {"a crest ahead", KITTI_10_FPS,
         {level, graded(level, -0.01), graded(level, -0.02), graded(level, -0.03), graded(level, -0.04)}, "OOOOO"},
        // Before any profile was accepted the one in force is the mounting's guess: a well supported
        // road of the frame's own replaces it at once, a sparse one never.
        {"a wrong height and pitch: the first frame's road replaces the guess", guessed, {level, level, level}, "ROO"},
        {"a sparse road keeps the guess", guessed, {sparse(level, 8), sparse(level, 8), level, level}, "KKRO"},
        // Climbing 6 % from 15 m: 38 rows above the flat road at 126 m, beyond the first band.
        {"a dip from the first frame on", KITTI_10_FPS, {dip, dip, dip}, "ROO"},
        {"a road that leaves the band for good is re-seeded", KITTI_10_FPS,
         {level, pitched(level, 40), pitched(level, 40), pitched(level, 40), pitched(level, 40), pitched(level, 41)},
         "OKKKRO"},
        {"peaks at 8 of its 26 counted levels never re-seed", KITTI_10_FPS,
         {level, sparse(pitched(level, 40), 8), sparse(pitched(level, 40), 8), sparse(pitched(level, 40), 8),
          sparse(pitched(level, 40), 8), sparse(pitched(level, 40), 8), pitched(level, 40)},
         "OKKKKKR"},
        {"the default camera's band: 20 rows", DEFAULT_CAMERA, {defaultRoad, pitched(defaultRoad, 20), defaultRoad}, "OOO"},
        {"the default camera's band: 21 rows refused", DEFAULT_CAMERA,
         {defaultRoad, pitched(defaultRoad, 21), pitched(defaultRoad, 21), defaultRoad}, "OKKO"},
        {"the default camera re-seeds after 9 frames", DEFAULT_CAMERA,
         {defaultRoad, pitched(defaultRoad, 25), pitched(defaultRoad, 25), pitched(defaultRoad, 25),
          pitched(defaultRoad, 25), pitched(defaultRoad, 25), pitched(defaultRoad, 25), pitched(defaultRoad, 25),
          pitched(defaultRoad, 25), pitched(defaultRoad, 25), pitched(defaultRoad, 25), pitched(defaultRoad, 25)},
         "OKKKKKKKKKRO"},
    };
    for (const auto& c : cases) {
        RunState run(c.camera);
        std::string kinds;
        for (const FrameRoad& road : c.frames) {
            ResetFrameTables(run.geometry, run.disparity, run.threshold);
            RoadPeaks(run.geometry, road, run.MaxY);
            RoadProfile(run);
            kinds += run.roadProfile == RoadProfileKind::Own ? 'O' : run.roadProfile == RoadProfileKind::Kept ? 'K' : 'R';
            EXPECT_EQ(run.groundAccepted, run.roadProfile != RoadProfileKind::Kept) << c.name;
        }
        EXPECT_EQ(kinds, c.kinds) << c.name;
    }
}

// The walk of a frame's profile against the road it sees, its rows smoothed without error: at
// every level whose row is measured the profile lies within 3 rows of the road's own. Beyond a rise
// of the grade the road climbs faster per level than a level road may (the level walk's bound),
// and lasting so it is followed; a bump of 8 rows in one level's row is passed over.
TEST(RoadWalk, FollowsTheRoadBeyondAChangeOfGradeAndPassesOverABump) {
    const auto graded = [](double grade, double from_m) { return FrameRoad{CAM_H_M, TAN_CAM_ANGLE, 0.0, grade, from_m}; };
    const FrameRoad level{CAM_H_M, TAN_CAM_ANGLE};
    const struct {
        const char* name;
        FrameRoad road;
        int bumpLevel;  // this level's row 8 rows higher than the road (0: none)
    } cases[] = {
        {"level road", level, 0},
        {"6 % dip from 15 m", graded(0.06, 15.0), 0},
        {"10 % dip from 20 m", graded(0.1, 20.0), 0},
        {"4 % dip from 8 m", graded(0.04, 8.0), 0},
        {"5 % crest from 20 m", graded(-0.05, 20.0), 0},
        {"a bump 11 m ahead", level, 13},
        {"a bump 24 m ahead", level, 6},
    };
    const StageGeometry& g = DefaultGeometry();
    for (const auto& c : cases) {
        int aveMaxY[LUT_NUM];
        double row[LUT_NUM];
        for (int d = 1; d < LUT_NUM; ++d) {
            const double z_m = g.camera.bf_pix / d;
            const double rise_m = z_m > c.road.grade_m ? c.road.grade * (z_m - c.road.grade_m) : 0.0;
            row[d] = FlatRoadRow(g.camera, d) - g.camera.f_pix * rise_m / z_m;
            aveMaxY[d] = row[d] >= g.roadFirstRow && row[d] < g.height ? static_cast<int>(row[d]) : g.noRoadRow;
        }
        aveMaxY[0] = g.noRoadRow;
        if (c.bumpLevel > 0) aveMaxY[c.bumpLevel] -= 8;
        int ground[LUT_NUM];
        WalkRoadOverGrades(g, aveMaxY, ground);
        for (int d = 1; d < g.belowPictureLevel; ++d) {
            if (aveMaxY[d] == g.noRoadRow) continue;
            EXPECT_NEAR(ground[d], row[d], 3.0) << c.name << ", level " << d;
        }
    }
}
