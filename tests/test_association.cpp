#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "Builders.h"
#include "Config.h"
#include "IdManager.h"
#include "TrackAssociation.h"
#include "TrackingObject.h"

namespace {

using Tracks = std::vector<TrackingObject>;
using List = std::vector<DetectedObject>;

// A stationary obstacle 10 m ahead, 0.8 m wide, centred at -0.1 m.
DetectedObject Obstacle() { return MakeDetection(-0.5, 0.3, 14.2366, 1.2, 60, 66); }

struct TrackerRun {
    Tracks preObject;
    IdManager idNum;

    void Frame(List newObject) {
        AssociateTracks(DefaultGeometry(), preObject, idNum, newObject);
        EXPECT_TRUE(newObject.empty());
    }
};

// A track as the merge sees it: measured distance, filtered centre, width and update count.
TrackingObject Merged(double z, double x, double w, int count, int id) {
    TrackingObject t = MakeTrack(x, w, BF_PIX / z, 1.0, 60, 70);
    t.m_actZ_m = z;
    t.m_count = count;
    t.m_id = id;
    return t;
}

}  // namespace

TEST(TrackAssociation, FirstFrameStartsTracksForDetectionsInTheZone) {
    TrackerRun run;
    run.Frame({MakeDetection(-0.5, 0.3, 20.0, 1.0, 60, 66), MakeDetection(0.5, 1.2, 10.0, 1.0, 80, 86),
               MakeDetection(-2.0, -1.6, 15.0, 1.0, 10, 14), MakeDetection(-2.0, -1.4, 12.0, 1.0, 10, 16)});
    ASSERT_EQ(run.preObject.size(), 3u);
    // Identifiers in list order, tracks sorted nearest first.
    EXPECT_EQ(run.preObject[0].m_id, 1);
    EXPECT_EQ(run.preObject[0].m_actD_pix, 20.0);
    EXPECT_EQ(run.preObject[1].m_id, 3);
    EXPECT_EQ(run.preObject[1].m_actD_pix, 12.0);
    EXPECT_EQ(run.preObject[2].m_id, 2);
    EXPECT_EQ(run.preObject[2].m_actD_pix, 10.0);
    for (const TrackingObject& t : run.preObject) EXPECT_EQ(t.m_count, 1);
}

TEST(TrackAssociation, ClaimedDetectionsStartNoTrack) {
    TrackerRun run;
    for (int frame = 1; frame <= 3; ++frame) {
        run.Frame({Obstacle()});
        ASSERT_EQ(run.preObject.size(), 1u);
        EXPECT_EQ(run.preObject[0].m_count, frame);
        EXPECT_EQ(run.preObject[0].m_id, 1);
    }
}

TEST(TrackAssociation, YoungTrackLostOnceIsDeletedAndItsIdentifierReissued) {
    TrackerRun run;
    const DetectedObject other = MakeDetection(0.8, 1.4, 10.0, 1.0, 90, 96);
    run.Frame({Obstacle(), other});
    ASSERT_EQ(run.preObject.size(), 2u);

    run.Frame({other, MakeDetection(-1.2, -0.6, 5.0, 1.0, 30, 36)});
    ASSERT_EQ(run.preObject.size(), 2u);
    EXPECT_EQ(run.preObject[0].m_id, 2);
    EXPECT_EQ(run.preObject[0].m_count, 2);
    EXPECT_EQ(run.preObject[1].m_id, 1);
    EXPECT_EQ(run.preObject[1].m_count, 1);
    EXPECT_EQ(run.preObject[1].m_actD_pix, 5.0);
}

TEST(TrackAssociation, TrackMatchedTwiceIsStillYoung) {
    TrackerRun run;
    run.Frame({Obstacle()});
    run.Frame({Obstacle()});
    ASSERT_EQ(run.preObject[0].m_count, 2);
    run.Frame({});
    EXPECT_TRUE(run.preObject.empty());
    EXPECT_EQ(run.idNum.FindUnused(), 1);
}

TEST(TrackAssociation, EstablishedTrackCoastsThreeFramesAndIsDeletedOnTheFourth) {
    TrackerRun run;
    for (int frame = 0; frame < 3; ++frame) run.Frame({Obstacle()});
    ASSERT_EQ(run.preObject[0].m_count, 3);
    const double z = run.preObject[0].m_Z_m;

    // A match in between starts the count of losses again.
    run.Frame({});
    run.Frame({});
    EXPECT_EQ(run.preObject[0].m_loss_co, 2);
    run.Frame({Obstacle()});
    EXPECT_EQ(run.preObject[0].m_loss_co, 0);

    for (int loss = 1; loss <= 3; ++loss) {
        run.Frame({});
        ASSERT_EQ(run.preObject.size(), 1u);
        EXPECT_EQ(run.preObject[0].m_loss_co, loss);
        EXPECT_EQ(run.preObject[0].m_count, 4);
        EXPECT_NEAR(run.preObject[0].m_Z_m, z, 1e-9);
    }
    run.Frame({});
    EXPECT_TRUE(run.preObject.empty());
    EXPECT_EQ(run.idNum.FindUnused(), 1);
}

// A coasting track whose rate carries it nearer than the grid's largest level, or behind the
// camera, is deleted: no detection can take it there, and its distance would be reported.
TEST(TrackAssociation, CoastingTrackCarriedOutOfTheGridsLevelsIsDeleted) {
    const std::pair<double, bool> cases[] = {{10.0, true}, {1.6, true}, {1.3, false}, {-1.0, false}};
    for (const auto& [predicted_m, kept] : cases) {
        TrackerRun run;
        for (int frame = 0; frame < 3; ++frame) run.Frame({Obstacle()});
        TrackingObject& t = run.preObject.at(0);
        t.m_objZ.px[0] = t.m_pZ_m = predicted_m;
        t.m_pD_pix = BF_PIX / predicted_m;
        run.Frame({});
        EXPECT_EQ(run.preObject.size(), kept ? 1u : 0u) << predicted_m;
        EXPECT_EQ(run.idNum.State(1), kept) << predicted_m;
    }
}

TEST(TrackAssociation, OneSidedTooLongRestartsTheTrack) {
    TrackerRun run;
    for (int frame = 0; frame < 3; ++frame) run.Frame({Obstacle()});
    run.Frame({});
    TrackingObject& t = run.preObject[0];
    ASSERT_EQ(t.m_loss_co, 1);
    t.m_OneSideCnt = 3;

    run.Frame({MakeDetection(-0.5, -0.1, 14.2366, 1.2, 60, 63)});
    ASSERT_EQ(run.preObject.size(), 1u);
    const TrackingObject& r = run.preObject[0];
    EXPECT_EQ(r.m_id, 1);
    EXPECT_EQ(r.m_count, 4);
    EXPECT_EQ(r.m_loss_co, 0);
    EXPECT_EQ(r.m_buf_count, 1);
    EXPECT_DOUBLE_EQ(r.m_w_m, 0.4);
    EXPECT_DOUBLE_EQ(r.m_X_m, -0.3);
    EXPECT_EQ(r.m_E_u, 63);
}

TEST(TrackAssociation, ObstacleComingApartSplitsIntoTwoTracks) {
    TrackerRun run;
    for (int frame = 0; frame < 3; ++frame) run.Frame({Obstacle()});
    run.preObject[0].m_OneSideCnt = 3;

    run.Frame({MakeDetection(-0.5, -0.2, 14.2366, 1.2, 60, 62), MakeDetection(0.1, 0.4, 14.0, 1.2, 64, 66)});
    ASSERT_EQ(run.preObject.size(), 2u);
    const TrackingObject& kept = run.preObject[0];
    const TrackingObject& split = run.preObject[1];
    EXPECT_EQ(kept.m_id, 1);
    EXPECT_EQ(kept.m_count, 4);
    EXPECT_EQ(kept.m_E_u, 62);
    EXPECT_EQ(split.m_id, 2);
    EXPECT_EQ(split.m_count, 4);
    EXPECT_EQ(split.m_S_u, 64);
    EXPECT_EQ(split.m_actD_pix, 14.0);
}

TEST(TrackAssociation, NearDuplicatesMergeAndFreeTheDroppedIdentifier) {
    IdManager idNum;
    idNum.Apply();
    idNum.Apply();
    Tracks within{Merged(20.0, 0.0, 1.0, 3, 1), Merged(20.9, 0.4, 1.2, 3, 2)};
    MergeDuplicateTracks(within, idNum);
    ASSERT_EQ(within.size(), 1u);
    EXPECT_EQ(within[0].m_id, 1);
    EXPECT_EQ(within[0].m_actZ_m, 20.0);
    EXPECT_EQ(idNum.Apply(), 2);

    // Exactly 5 % of the nearer distance apart is not a duplicate.
    Tracks apart{Merged(20.0, 0.0, 1.0, 3, 1), Merged(21.0, 0.4, 1.2, 3, 2)};
    MergeDuplicateTracks(apart, idNum);
    EXPECT_EQ(apart.size(), 2u);

    // The record with more updates survives, in the nearer one's place, with its identifier; the
    // third is compared with the survivor's values (0.45 m from it, 0.55 m from the first).
    IdManager pool;
    for (int i = 0; i < 3; ++i) pool.Apply();
    Tracks three{Merged(20.0, 0.0, 1.0, 3, 1), Merged(20.5, 0.1, 1.0, 6, 2), Merged(20.9, 0.55, 1.0, 4, 3)};
    MergeDuplicateTracks(three, pool);
    ASSERT_EQ(three.size(), 1u);
    EXPECT_EQ(three[0].m_id, 2);
    EXPECT_EQ(three[0].m_count, 6);
    EXPECT_EQ(pool.Apply(), 1);
    EXPECT_EQ(pool.Apply(), 3);
    EXPECT_EQ(pool.Apply(), 4);
}

TEST(TrackAssociation, DuplicateDetectionsEndAsOneTrack) {
    TrackerRun run;
    run.Frame({Obstacle(), Obstacle()});
    ASSERT_EQ(run.preObject.size(), 1u);
    EXPECT_EQ(run.preObject[0].m_id, 1);
    EXPECT_EQ(run.idNum.Apply(), 2);
}

namespace {

// The default camera with another frame interval.
Camera AtInterval(double interval_s) {
    Camera camera = DEFAULT_CAMERA;
    camera.frameInterval_s = interval_s;
    return camera;
}

}  // namespace

// The grid averages the measurements of three frames of 0.03333 s, as frames of the interval,
// rounded, at most three: 6.0 frames at 60 per second, 3.0 at 30, 2.5 (just under: 2.49975) at 25, 2.0 at
// 20, 1.5 (just under: 1.49985) at 15, 1.0 at 10, 0.5 at 5 (at least one). A new track is numbered
// once its updates make up the other measurements of the three.
TEST(TrackAssociation, UpdatesBeforeATrackIsNumberedFollowTheFrameInterval) {
    const struct {
        double interval_s;
        int updates;
    } table[] = {{1.0 / 60.0, 1}, {1.0 / 30.0, 1}, {0.04, 2}, {0.05, 2}, {1.0 / 15.0, 3}, {0.1, 3}, {0.2, 3}};
    for (const auto& row : table) {
        const StageGeometry geometry(AtInterval(row.interval_s));
        EXPECT_EQ(NumberedCount(geometry), row.updates) << "interval " << row.interval_s << " s";
    }
}

// At 10 frames per second an obstacle is a candidate for its first two frames: nothing is numbered
// or reported, and a candidate seen once and never again leaves no identifier behind. In its third
// frame it is numbered 1 and starts its trajectory with three updates; the noise of a single frame
// never does.
TEST(TrackAssociation, AtTenFramesPerSecondATrackIsNumberedInItsThirdFrame) {
    const StageGeometry geometry(AtInterval(0.1));
    Tracks preObject;
    Tracks candidates;
    IdManager idNum;
    AssociationRecord record;
    const DetectedObject noise = MakeDetection(1.0, 1.5, 8.0, 1.0, 90, 95);
    const struct {
        List detections;
        size_t tracks;
        size_t candidates;
        std::vector<int32_t> started;
    } frames[] = {
        {{Obstacle(), noise}, 0, 2, {}},
        {{Obstacle()}, 0, 1, {}},
        {{Obstacle()}, 1, 0, {1}},
        {{Obstacle()}, 1, 0, {}},
    };
    for (size_t k = 0; k < std::size(frames); ++k) {
        SCOPED_TRACE("frame " + std::to_string(k));
        List detections = frames[k].detections;
        AssociateTracks(geometry, preObject, idNum, detections, &record, EgoMotion{}, &candidates);
        ASSERT_EQ(preObject.size(), frames[k].tracks);
        EXPECT_EQ(candidates.size(), frames[k].candidates);
        EXPECT_EQ(record.started, frames[k].started);
        for (const TrackingObject& c : candidates) EXPECT_EQ(c.m_id, UNNUMBERED);
        if (!preObject.empty()) {
            EXPECT_EQ(preObject[0].m_id, 1);
            EXPECT_EQ(preObject[0].m_count, static_cast<int>(k) + 1);
            EXPECT_EQ(record.taken.size(), 1u);
        } else {
            EXPECT_TRUE(record.taken.empty());
        }
    }
    EXPECT_EQ(idNum.Size(), 2);  // 0 reserved and 1: no other identifier was ever handed out
}

// At 10 frames per second two pieces of one obstacle in its first frame start two candidates; in
// the next frame both find the obstacle's one detection. The first takes it, the second follows
// the same obstacle and is deleted: one trajectory starts, numbered 1, and no second identifier is
// ever handed out (two candidates kept would both be numbered in the third frame).
TEST(TrackAssociation, TwoCandidatesOnOneDetectionStartOneTrajectory) {
    const StageGeometry geometry(AtInterval(0.1));
    Tracks preObject;
    Tracks candidates;
    IdManager idNum;
    AssociationRecord record;
    const DetectedObject widerPiece = MakeDetection(-1.1, 0.5, 14.2366, 1.2, 57, 67);
    const struct {
        List detections;
        size_t candidates;
        std::vector<int32_t> started;
    } frames[] = {
        {{Obstacle(), widerPiece}, 2, {}},
        {{Obstacle()}, 1, {}},
        {{Obstacle()}, 0, {1}},
        {{Obstacle()}, 0, {}},
    };
    for (size_t k = 0; k < std::size(frames); ++k) {
        SCOPED_TRACE("frame " + std::to_string(k));
        List detections = frames[k].detections;
        AssociateTracks(geometry, preObject, idNum, detections, &record, EgoMotion{}, &candidates);
        EXPECT_EQ(candidates.size(), frames[k].candidates);
        EXPECT_EQ(record.started, frames[k].started);
    }
    ASSERT_EQ(preObject.size(), 1u);
    EXPECT_EQ(preObject[0].m_count, 4);
    EXPECT_EQ(idNum.Size(), 2);  // 0 reserved and 1
}

// At 10 frames per second a numbered track holds an obstacle; from its fourth frame on a second
// detection lies on it too (same place and width, measured much taller, so the track does not take
// it). The candidate started on it describes the numbered track's obstacle: it is dropped at the
// end of every frame instead of being numbered in its third frame as a second
// trajectory of the one obstacle. A candidate beside a track that coasts is kept.
TEST(TrackAssociation, CandidateOnANumberedTracksObstacleIsNeverNumbered) {
    const StageGeometry geometry(AtInterval(0.1));
    Tracks preObject;
    Tracks candidates;
    IdManager idNum;
    AssociationRecord record;
    const DetectedObject tallPiece = MakeDetection(-0.5, 0.3, 14.2366, 2.5, 60, 66);
    for (int k = 0; k < 8; ++k) {
        SCOPED_TRACE("frame " + std::to_string(k));
        List detections{Obstacle()};
        if (k >= 3) detections.push_back(tallPiece);
        AssociateTracks(geometry, preObject, idNum, detections, &record, EgoMotion{}, &candidates);
        EXPECT_TRUE(candidates.empty() || k < 2);
        if (k >= 2) {
            ASSERT_EQ(preObject.size(), 1u);
            EXPECT_EQ(preObject[0].m_id, 1);
            EXPECT_EQ(preObject[0].m_count, k + 1);
        }
    }
    EXPECT_EQ(idNum.Size(), 2);  // 0 reserved and 1: the tall piece never started a trajectory

    // The obstacle is no longer seen, the tall piece is: the track coasts on a stale measurement,
    // and the candidate on what the frame shows is kept.
    List detections{tallPiece};
    AssociateTracks(geometry, preObject, idNum, detections, &record, EgoMotion{}, &candidates);
    ASSERT_EQ(preObject.size(), 1u);
    EXPECT_EQ(preObject[0].m_loss_co, 1);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].m_h_m, 2.5);
}

// Through the default camera (1.32 m high) the road leaves the picture's last row about 5 m ahead.
// An obstacle nearer than that is cut off by the picture's lower edge, and one reaching the first or
// last column block that holds disparities by a side of what was measured: where the frame gives
// that edge, such an obstacle starts no track; where it does not (nothing known), it does.
TEST(TrackAssociation, ObstacleCutOffByAnEdgeOfThePictureStartsNoTrack) {
    int ground[LUT_NUM];
    InitialRoadRows(DefaultGeometry().camera, ground);
    const DetectedObject inView = Obstacle();                                          // 10 m, blocks 60-66
    const DetectedObject footCut = MakeDetection(0.4, 1.2, BF_PIX / 3.5, 1.0, 70, 90);  // 3.5 m
    const DetectedObject atLeft = MakeDetection(-2.0, -1.4, 12.0, 1.0, 10, 16);        // blocks 10-16
    ASSERT_LT(ground[static_cast<int>(inView.d_pix)], TOTAL_V - 1);
    ASSERT_GE(ground[static_cast<int>(footCut.d_pix)], TOTAL_V - 1);
    const MeasuredBlocks leftBand{10, totalBlkNumU - 1};  // nothing measured left of block 10
    const MeasuredBlocks rightBand{0, 90};                // nothing measured right of block 90
    const struct {
        FrameEdges edges;
        std::vector<double> started;  // the disparities of the detections that start tracks, nearest first
    } cases[] = {
        {FrameEdges{}, {footCut.d_pix, inView.d_pix, atLeft.d_pix}},
        {FrameEdges{ground}, {inView.d_pix, atLeft.d_pix}},
        {FrameEdges{nullptr, &leftBand}, {footCut.d_pix, inView.d_pix}},
        {FrameEdges{nullptr, &rightBand}, {inView.d_pix, atLeft.d_pix}},
        {FrameEdges{ground, &leftBand}, {inView.d_pix}},
    };
    for (const auto& c : cases) {
        Tracks preObject;
        IdManager idNum;
        List detections = {footCut, atLeft, inView};
        AssociateTracks(DefaultGeometry(), preObject, idNum, detections, nullptr, EgoMotion{}, nullptr, c.edges);
        std::vector<double> started;
        for (const TrackingObject& t : preObject) started.push_back(t.m_actD_pix);
        EXPECT_EQ(started, c.started);
    }
}
