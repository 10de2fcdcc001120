#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Builders.h"
#include "CameraFile.h"
#include "Config.h"
#include "TrackingObject.h"

namespace {

using List = std::vector<DetectedObject>;

objectNum Search(TrackingObject& t, List& list) { return t.SearchOnGrid(&list, PREDICTED_RANGE); }

// Index the track reports for a single detection.
int Found(TrackingObject t, const DetectedObject& c) {
    List list{c};
    return Search(t, list).n;
}

void ExpectResult(const objectNum& r, int n, int n1, int n2) {
    EXPECT_EQ(r.n, n);
    EXPECT_EQ(r.n1, n1);
    EXPECT_EQ(r.n2, n2);
}

DetectedObject WithoutCells(DetectedObject c) {
    c.sigmaUD = c.sigmaU = c.sigmaD = c.sigmaUU = 0.0;
    c.iN = 0;
    return c;
}

}  // namespace

TEST(TrackSearch, EmptyListFindsNothingAndKeepsTheCounter) {
    TrackingObject t = MakeTrack(0.0, 1.0, 10.0, 1.0, 60, 70);
    t.m_OneSideCnt = 2;
    List list;
    ExpectResult(Search(t, list), -1, -1, -1);
    EXPECT_EQ(t.m_OneSideCnt, 2);
}

TEST(TrackSearch, RangeGateAtItsLimits) {
    // At 4 pixels a disparity step of 1 is about 7 m: only the disparity test can pass.
    const TrackingObject far = MakeTrack(0.0, 1.0, 4.0, 1.0, 60, 70);
    EXPECT_EQ(Found(far, MakeDetection(-0.5, 0.5, 5.0, 1.0, 60, 70)), 0);
    EXPECT_EQ(Found(far, MakeDetection(-0.5, 0.5, 3.0, 1.0, 60, 70)), 0);
    EXPECT_EQ(Found(far, MakeDetection(-0.5, 0.5, 5.01, 1.0, 60, 70)), -1);
    EXPECT_EQ(Found(far, MakeDetection(-0.5, 0.5, 2.99, 1.0, 60, 70)), -1);
    // At 3 m a metre is many pixels: only the distance test can pass.
    const TrackingObject near = MakeTrack(0.0, 1.0, BF_PIX / 3.0, 1.0, 60, 70);
    EXPECT_EQ(Found(near, MakeDetection(-0.5, 0.5, BF_PIX / 3.99, 1.0, 60, 70)), 0);
    EXPECT_EQ(Found(near, MakeDetection(-0.5, 0.5, BF_PIX / 2.01, 1.0, 60, 70)), 0);
    EXPECT_EQ(Found(near, MakeDetection(-0.5, 0.5, BF_PIX / 4.01, 1.0, 60, 70)), -1);
}

// An established track predicted 5 m ahead (default camera) or 15 m ahead (KITTI-like camera).
// Through the default camera its prediction may be off by RANGE_GATE_M, 1 m, however long it
// coasts; through the KITTI-like camera's 0.1 s frame interval its rate's error (5 m/s) adds
// 5 x (0.1 - 0.03333) = 0.33335 m for each frame since its last update. The disparity test
// (1 pixel: 0.18 m at 5 m, 0.6 m at 15 m) passes none of these detections.
TEST(TrackSearch, AnEstablishedTracksDistanceGateGrowsWithTheTimeSinceItWasSeen) {
    CameraFile kitti;
    std::string error;
    ASSERT_TRUE(ReadCameraFile(std::string(SOURCE_DIR) + "/data/cameras/kitti_like.txt", kitti, error)) << error;
    const StageGeometry kittiGeometry(kitti.camera);
    const struct {
        const StageGeometry* geometry;
        double z_m;  // the prediction
        int loss;
        double offset_m;  // the detection's distance less the prediction's
        bool taken;
    } cases[] = {
        {&DefaultGeometry(), 5.0, 0, -0.99, true}, {&DefaultGeometry(), 5.0, 0, -1.01, false},
        {&DefaultGeometry(), 5.0, 2, 1.01, false}, {&kittiGeometry, 15.0, 0, -1.33, true},
        {&kittiGeometry, 15.0, 0, 1.33, true},     {&kittiGeometry, 15.0, 0, -1.34, false},
        {&kittiGeometry, 15.0, 1, -1.66, true},    {&kittiGeometry, 15.0, 1, 1.67, false},
        {&kittiGeometry, 15.0, 2, -1.99, true},    {&kittiGeometry, 15.0, 2, -2.01, false},
    };
    for (const auto& c : cases) {
        const double bf_pix = c.geometry->camera.bf_pix;
        TrackingObject t(*c.geometry);
        t.m_pX_m = t.m_X_m = 0.0;
        t.m_w_m = 1.0;
        t.m_pD_pix = t.m_D_pix = bf_pix / c.z_m;
        t.m_h_m = 1.0;
        t.m_S_u = 60;
        t.m_E_u = 70;
        t.m_count = 5;
        t.m_loss_co = c.loss;
        t.m_bIniBufKalmFlg = false;
        const DetectedObject d = MakeDetection(-0.5, 0.5, bf_pix / (c.z_m + c.offset_m), 1.0, 60, 70);
        EXPECT_EQ(Found(t, d), c.taken ? 0 : -1) << c.geometry->camera.frameInterval_s << " s, loss " << c.loss
                                                  << ", " << c.offset_m << " m";
    }
}

TEST(TrackSearch, HeightGateAtItsLimits) {
    // 0.8 m at 10 pixels of disparity is about 53 picture rows.
    const TrackingObject t = MakeTrack(0.0, 1.0, 10.0, 0.8, 60, 70);
    EXPECT_EQ(Found(t, MakeDetection(-0.5, 0.5, 10.0, 1.6, 60, 70)), -1);
    EXPECT_EQ(Found(t, MakeDetection(-0.5, 0.5, 10.0, 1.59, 60, 70)), 0);
    EXPECT_EQ(Found(t, MakeDetection(-0.5, 0.5, 10.0, 0.01, 60, 70)), 0);
    // At 5 pixels 0.8 m is under 27 rows; at 5.625 pixels it is exactly 30 rows.
    EXPECT_EQ(Found(MakeTrack(0.0, 1.0, 5.0, 0.8, 60, 70), MakeDetection(-0.5, 0.5, 5.0, 1.6, 60, 70)), 0);
    EXPECT_EQ(Found(MakeTrack(0.0, 1.0, 5.625, 0.8, 60, 70), MakeDetection(-0.5, 0.5, 5.625, 1.6, 60, 70)), -1);
}

TEST(TrackSearch, LeftAndRightPiecesMergeIntoTheFirst) {
    TrackingObject t = MakeTrack(0.0, 2.0, 10.3, 1.0, 60, 80);
    List list{MakeDetection(-1.0, -0.2, 10.0, 1.0, 60, 68), MakeDetection(0.2, 1.0, 10.6, 1.6, 72, 80)};
    ExpectResult(Search(t, list), 0, -1, -1);
    EXPECT_EQ(t.m_OneSideCnt, 1);
    ASSERT_EQ(list.size(), 1u);
    const DetectedObject& m = list[0];
    EXPECT_EQ(m.lX_m, -1.0);
    EXPECT_EQ(m.rX_m, 1.0);
    EXPECT_EQ(m.S_u, 60);
    EXPECT_EQ(m.E_u, 80);
    EXPECT_EQ(m.iN, 18);
    EXPECT_NEAR(m.d_pix, 10.3, 1e-12);
    EXPECT_NEAR(m.h_m, 1.3, 1e-12);
    // Least-squares line through 9 cells at 10.0 (blocks 60..68) and 9 at 10.6 (72..80):
    // centre (70, 10.3), slope 32.4 / 768.
    EXPECT_NEAR(m.a, 0.0421875, 1e-12);
    EXPECT_NEAR(m.b, 7.346875, 1e-9);
    EXPECT_TRUE(m.bUsed);
}

TEST(TrackSearch, TwoSidedMatchPoolsOneSidedPiecesAndResetsTheCounter) {
    TrackingObject t = MakeTrack(0.0, 2.0, 10.0, 1.0, 60, 80);
    t.m_OneSideCnt = 2;
    List list{MakeDetection(-1.0, 1.0, 10.0, 1.0, 60, 80), MakeDetection(-1.1, -0.5, 10.2, 1.0, 59, 64)};
    ExpectResult(Search(t, list), 0, -1, -1);
    EXPECT_EQ(t.m_OneSideCnt, 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].lX_m, -1.1);
    EXPECT_EQ(list[0].rX_m, 1.0);
    EXPECT_EQ(list[0].S_u, 59);
    EXPECT_EQ(list[0].iN, 27);

    // One-sided too long: a one-sided piece before any two-sided one is claimed but not pooled.
    TrackingObject late = MakeTrack(0.0, 2.0, 10.0, 1.0, 60, 80);
    late.m_OneSideCnt = 3;
    List pieces{MakeDetection(-1.1, -0.5, 10.2, 1.0, 59, 64), MakeDetection(-1.0, 1.0, 10.0, 1.0, 60, 80)};
    ExpectResult(Search(late, pieces), 1, -1, -1);
    EXPECT_EQ(late.m_OneSideCnt, 0);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_TRUE(pieces[0].bUsed);
    EXPECT_EQ(pieces[0].iN, 6);
    EXPECT_EQ(pieces[1].iN, 21);
}

TEST(TrackSearch, YoungTrackNeedsBothEdges) {
    TrackingObject young = MakeTrack(0.0, 2.0, 10.0, 1.0, 60, 80);
    young.m_count = 2;
    List left{MakeDetection(-1.0, -0.2, 10.0, 1.0, 60, 68)};
    ExpectResult(Search(young, left), -1, -1, -1);
    EXPECT_TRUE(left[0].bUsed);
    EXPECT_EQ(young.m_OneSideCnt, 0);

    List both{MakeDetection(-1.0, 1.0, 10.0, 1.0, 60, 80)};
    ExpectResult(Search(young, both), 0, -1, -1);

    // Both pieces are accepted in the scan, so the second is gone although nothing is reported.
    List pieces{MakeDetection(-1.0, -0.2, 10.0, 1.0, 60, 68), MakeDetection(0.2, 1.0, 10.6, 1.6, 72, 80)};
    ExpectResult(Search(young, pieces), -1, -1, -1);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].rX_m, -0.2);
    EXPECT_EQ(pieces[0].iN, 9);
    EXPECT_TRUE(pieces[0].bUsed);
    EXPECT_EQ(young.m_OneSideCnt, 0);
}

// At 5 frames per second a young track's range gate reaches 16 m nearer than its prediction (30 m).
// The piece matching both its edges (29 m) is where its obstacle is now; a piece matching one edge
// 11 m nearer may still be the same vehicle (a bus's side) and is pooled into it, one 13 m nearer is
// another obstacle and is left in the list.
TEST(TrackSearch, AYoungTrackPoolsPiecesWithinAVehiclesLengthOfItsObstacle) {
    CameraFile fiveFps;
    std::string error;
    ASSERT_TRUE(ReadCameraFile(std::string(SOURCE_DIR) + "/data/cameras/kitti_like.txt", fiveFps, error)) << error;
    fiveFps.camera.frameInterval_s = 0.2;
    const StageGeometry geometry(fiveFps.camera);
    const double bf_pix = fiveFps.camera.bf_pix;
    const struct {
        double nearer_m;
        bool pooled;
    } cases[] = {{11.0, true}, {13.0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nearer_m);
        TrackingObject young(geometry);
        young.m_pX_m = young.m_X_m = 0.0;
        young.m_w_m = 2.0;
        young.m_pD_pix = young.m_D_pix = young.m_actD_pix = bf_pix / 30.0;
        young.m_h_m = 1.0;
        young.m_S_u = 60;
        young.m_E_u = 66;
        young.m_count = 1;
        List list{MakeDetection(-1.0, 1.0, bf_pix / 29.0, 1.0, 60, 66),
                  MakeDetection(-1.0, 0.0, bf_pix / (29.0 - c.nearer_m), 1.0, 60, 63)};
        ExpectResult(Search(young, list), 0, -1, -1);
        EXPECT_EQ(list.size(), c.pooled ? 1u : 2u);
        EXPECT_EQ(list[0].iN, c.pooled ? 11 : 7);
    }
}

TEST(TrackSearch, OneSideSeenIsCompletedFromTheTrackWidth) {
    TrackingObject t = MakeTrack(-0.1, 1.8, 10.0, 1.0, 60, 75);
    List list{MakeDetection(-1.0, -0.4, 10.0, 1.0, 58, 64)};
    ExpectResult(Search(t, list), 1, -1, -1);
    EXPECT_EQ(t.m_OneSideCnt, 1);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_TRUE(list[0].bUsed);
    EXPECT_EQ(list[0].rX_m, -0.4);
    const DetectedObject& s = list[1];
    EXPECT_DOUBLE_EQ(s.lX_m, -1.0);
    EXPECT_DOUBLE_EQ(s.rX_m, 0.8);
    EXPECT_EQ(s.S_u, 58);
    EXPECT_EQ(s.E_u, 73);
    EXPECT_EQ(s.d_pix, 10.0);
    EXPECT_EQ(s.h_m, 1.0);
    EXPECT_EQ(s.iN, 7);
    EXPECT_NEAR(s.a, 0.0, 1e-12);
    EXPECT_NEAR(s.b, 10.0, 1e-9);

    // Right edge seen: the left edge column moves with the right one.
    TrackingObject r = MakeTrack(-0.1, 1.8, 10.0, 1.0, 60, 75);
    List right{MakeDetection(0.3, 0.9, 10.0, 1.0, 70, 76)};
    ExpectResult(Search(r, right), 1, -1, -1);
    ASSERT_EQ(right.size(), 2u);
    EXPECT_DOUBLE_EQ(right[1].lX_m, 0.9 - 1.8);
    EXPECT_EQ(right[1].rX_m, 0.9);
    EXPECT_EQ(right[1].S_u, 61);
    EXPECT_EQ(right[1].E_u, 76);
}

TEST(TrackSearch, OneSidedTooLongReportsTheCandidates) {
    TrackingObject t = MakeTrack(0.0, 2.0, 10.0, 1.0, 60, 80);
    t.m_OneSideCnt = 3;
    List right{MakeDetection(0.2, 1.0, 10.0, 1.0, 72, 80)};
    ExpectResult(Search(t, right), -1, 0, -1);
    EXPECT_EQ(t.m_OneSideCnt, 3);
    EXPECT_EQ(right.size(), 1u);

    // The closer disparity comes first; on a tie the left one.
    List closerRight{MakeDetection(-1.0, -0.2, 10.3, 1.0, 60, 68), MakeDetection(0.2, 1.0, 10.1, 1.0, 72, 80)};
    ExpectResult(Search(t, closerRight), -1, 1, 0);
    List tie{MakeDetection(-1.0, -0.2, 10.25, 1.0, 60, 68), MakeDetection(0.2, 1.0, 9.75, 1.0, 72, 80)};
    ExpectResult(Search(t, tie), -1, 0, 1);
    List twoLeft{MakeDetection(-1.0, -0.2, 10.25, 1.0, 60, 68), MakeDetection(-1.1, -0.3, 9.75, 1.0, 59, 67)};
    ExpectResult(Search(t, twoLeft), -1, 0, -1);
    EXPECT_EQ(t.m_OneSideCnt, 3);
}

TEST(TrackSearch, DetectableAreaNeedsTheObstacleToOverlapTheZone) {
    // Wider than the zone on both sides: kept.
    TrackingObject wide = MakeTrack(0.0, 4.0, 10.0, 1.0, 40, 100);
    List list{MakeDetection(-2.0, 2.0, 10.0, 1.0, 40, 100)};
    ExpectResult(Search(wide, list), 0, -1, -1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].bUsed);

    TrackingObject side = MakeTrack(-1.75, 0.3, 10.0, 1.0, 20, 25);
    EXPECT_EQ(Found(side, MakeDetection(-1.9, -1.6, 10.0, 1.0, 20, 25)), -1);
    EXPECT_EQ(Found(side, MakeDetection(-1.9, -1.4, 10.0, 1.0, 20, 25)), 0);
    EXPECT_EQ(Found(side, MakeDetection(-1.9, -1.5, 10.0, 1.0, 20, 25)), -1);
}

TEST(TrackSearch, SingleColumnMergeGetsAFlatLine) {
    TrackingObject t = MakeTrack(0.0, 0.4, 10.0, 1.0, 60, 60);
    List list{MakeDetection(-0.2, 0.2, 10.0, 1.0, 60, 60), MakeDetection(-0.2, 0.2, 10.2, 1.0, 60, 60)};
    ExpectResult(Search(t, list), 0, -1, -1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(std::isfinite(list[0].a));
    EXPECT_TRUE(std::isfinite(list[0].b));
    EXPECT_EQ(list[0].a, 0.0);
    EXPECT_NEAR(list[0].d_pix, 10.1, 1e-12);
    EXPECT_EQ(list[0].b, list[0].d_pix);
}

TEST(TrackSearch, PiecesWithoutCellsKeepTheFirstPieceValues) {
    TrackingObject t = MakeTrack(0.0, 2.0, 10.0, 1.0, 60, 80);
    List list{WithoutCells(MakeDetection(-1.0, 1.0, 10.0, 1.0, 60, 80)),
              WithoutCells(MakeDetection(-1.1, -0.5, 10.2, 1.2, 59, 64))};
    ExpectResult(Search(t, list), 0, -1, -1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].d_pix, 10.0);
    EXPECT_EQ(list[0].h_m, 1.0);
    EXPECT_EQ(list[0].iN, 0);
    EXPECT_EQ(list[0].a, 0.0);
    EXPECT_EQ(list[0].b, 10.0);
    EXPECT_EQ(list[0].lX_m, -1.1);

    TrackingObject one = MakeTrack(-0.1, 1.8, 10.0, 1.0, 60, 75);
    List left{WithoutCells(MakeDetection(-1.0, -0.4, 10.2, 1.2, 58, 64))};
    ExpectResult(Search(one, left), 1, -1, -1);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[1].d_pix, 10.2);
    EXPECT_EQ(left[1].h_m, 1.2);
    EXPECT_TRUE(std::isfinite(left[1].a) && std::isfinite(left[1].b));
}
