// Tracks at road speeds and frame rates, with and without the car's own motion: a static car
// approached at 25 m/s, rendered at 10 frames per second through the KITTI-like camera, is one
// trajectory from its first frames, and a car crossing our lane is held from its third frame in the
// zone; the prediction of a track follows a pose pair as worked out by hand; and the detection zone
// bends along the car's path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "Builders.h"
#include "CameraFile.h"
#include "EgoMotion.h"
#include "GoldenRun.h"
#include "PoseFile.h"
#include "RunDriver.h"
#include "Scene.h"
#include "TrackAssociation.h"

namespace {

constexpr double SPEED_MPS = 25.0;


// The track within 10 % of the car's distance and 1 m of its centre line, or nullptr.
const TrackingObject* TrackOfCar(const RunState& run, double z_m) {
    for (const TrackingObject& t : run.preObject) {
        if (std::fabs(t.m_Z_m - z_m) <= 0.1 * z_m && std::fabs(t.m_X_m) <= 1.0) return &t;
    }
    return nullptr;
}

struct CarRun {
    int numberedCount = 0;    // updates before a track is numbered (three at 10 frames per second)
    int firstFrame = -1;      // the frame its numbered track is first listed in
    int breaks = 0;           // later frames in which its track was missing or had not been updated
    double worstError = 0.0;  // of the distance, relative, once established
    double lastVz_mps = 0.0;  // relative to the camera, last frame
    double lastGroundVz_mps = 0.0;
};

CarRun RunStaticCar(bool egoSpeedGiven) {
    const scene::Scene moving = StaticCarThroughKittiLike();
    RunState run(moving.camera);
    if (egoSpeedGiven) run.egoMotion = EgoMotionOfRates(SPEED_MPS, 0.0, moving.camera.frameInterval_s);
    CarRun r;
    r.numberedCount = NumberedCount(run.geometry);
    int32_t id = 0;
    for (int k = 0; k < moving.frames; ++k) {
        const scene::Scene now = scene::SceneAtFrame(moving, k);
        golden::LoadPicture(run, scene::EncodeDisparity(moving.camera, scene::RenderDisparity(now)).data());
        ProcessFrame(run);
        const double z_m = now.boxes[0].z_m;
        const TrackingObject* t = TrackOfCar(run, z_m);
        if (r.firstFrame < 0) {
            if (t == nullptr) continue;
            r.firstFrame = k;
            id = t->m_id;
        }
        if (t == nullptr || t->m_id != id || t->m_count != k - r.firstFrame + r.numberedCount || t->m_loss_co != 0) {
            ++r.breaks;
            continue;
        }
        if (t->m_count >= ESTABLISHED_COUNT) r.worstError = std::max(r.worstError, std::fabs(t->m_Z_m - z_m) / z_m);
        r.lastVz_mps = t->RelativeVelocity(run.egoMotion);
        r.lastGroundVz_mps = t->GetVelocity();
    }
    return r;
}

}  // namespace

// 2.5 m a frame nearer, 3 to 60 disparity levels a frame: the young track's gate holds closing
// traffic, so the car's first track takes its detection in every later frame, with and without
// the car's speed given: it is numbered in its third frame (three updates at 10 frames per second)
// and listed with one more update in every frame after. With the car's speed, the track stands
// still over ground from the start.
TEST(RoadTracks, AStaticCarApproachedAt25MpsIsOneTrajectoryAtTenFramesPerSecond) {
    for (const bool egoSpeedGiven : {false, true}) {
        SCOPED_TRACE(egoSpeedGiven ? "with --ego-speed" : "without");
        const CarRun r = RunStaticCar(egoSpeedGiven);
        EXPECT_EQ(r.numberedCount, 3);
        EXPECT_GE(r.firstFrame, r.numberedCount - 1);
        EXPECT_LE(r.firstFrame, r.numberedCount);
        EXPECT_EQ(r.breaks, 0);
        EXPECT_LE(r.worstError, 0.05);
        EXPECT_NEAR(r.lastVz_mps, -SPEED_MPS, 1.0);
        if (egoSpeedGiven) {
            EXPECT_NEAR(r.lastGroundVz_mps, 0.0, 1.0);
        }
    }
}

// A car crossing our lane at a junction 22 m ahead at 10 m/s (from the left, or from the right),
// while we drive at 25 m/s with that speed given, seen at 10 frames per second through the
// KITTI-like camera: each frame it comes 2.5 m nearer and moves 1 m across, and the grid holds the
// cells it has left at their old distance for a frame or two. In every frame from the third in which
// it reaches into the zone (the earliest a track started in its first such frame is established),
// one established track holds it within 10 % of its distance and overlapping it, with one
// identifier throughout.
struct CrossingRun {
    int zoneFrames = 0;  // frames in which the car is visible and reaches into the zone
    int missed = 0;      // of those from the third on, frames without an established track on it
    int identifiers = 0; // identifiers of the tracks that held it
};

CrossingRun RunCrossingCar(const char* sceneText) {
    const scene::Scene moving = SceneThroughKittiLike(sceneText, "crossing_car");
    RunState run(moving.camera);
    run.egoMotion = EgoMotionOfRates(SPEED_MPS, 0.0, moving.camera.frameInterval_s);
    CrossingRun r;
    std::vector<int32_t> ids;
    for (int k = 0; k < moving.frames; ++k) {
        const scene::Scene now = scene::SceneAtFrame(moving, k);
        golden::LoadPicture(run, scene::EncodeDisparity(moving.camera, scene::RenderDisparity(now)).data());
        ProcessFrame(run);
        const scene::Box& car = now.boxes[0];
        const bool inZone = car.right_m > moving.camera.zoneL_m && car.left_m < moving.camera.zoneR_m;
        if (!inZone || scene::VisibleShare(now, 0) < scene::VISIBLE_SHARE) continue;
        if (++r.zoneFrames < ESTABLISHED_COUNT) continue;
        const auto holds = [&car](const TrackingObject& t) {
            return t.m_count >= ESTABLISHED_COUNT && std::fabs(t.m_Z_m - car.z_m) <= 0.1 * car.z_m &&
                   t.m_X_m + 0.5 * t.m_w_m > car.left_m && t.m_X_m - 0.5 * t.m_w_m < car.right_m;
        };
        const auto t = std::find_if(run.preObject.begin(), run.preObject.end(), holds);
        if (t == run.preObject.end()) {
            ++r.missed;
        } else if (std::find(ids.begin(), ids.end(), t->m_id) == ids.end()) {
            ids.push_back(t->m_id);
        }
    }
    r.identifiers = static_cast<int>(ids.size());
    return r;
}

TEST(RoadTracks, ACarCrossingAt10MpsIsHeldFromItsThirdFrameInTheZone) {
    // At 4.3 s the car's centre crosses ours 22 m ahead: from 130 m, 45 m to the left (right).
    const char* const fromLeft =
        "seed 1010\nnoise 0.08\nholes 0.03\nframes 150\nroad -7.0 7.0\nego 25 0\n"
        "box car -45.25 -40.75 130.0 1.5 0 10.0\n";
    const char* const fromRight =
        "seed 1011\nnoise 0.08\nholes 0.03\nframes 150\nroad -7.0 7.0\nego 25 0\n"
        "box car 40.75 45.25 130.0 1.5 0 -10.0\n";
    for (const char* sceneText : {fromLeft, fromRight}) {
        SCOPED_TRACE(sceneText == fromLeft ? "from the left" : "from the right");
        const CrossingRun r = RunCrossingCar(sceneText);
        // 3 m of zone and 4.5 m of car at 10 m/s: 0.75 s, seven frames.
        EXPECT_EQ(r.zoneFrames, 7);
        EXPECT_EQ(r.missed, 0);
        EXPECT_EQ(r.identifiers, 1);
    }
}

// The camera turns 0.05 rad to the right while it moves 0.1 m right and 2.0 m forward. A point
// standing still at (1, 20) in the first camera's axes is at R^T (p - t) in the second's:
// x = cos(0.05) 0.9 - sin(0.05) 18 = -0.000750, z = sin(0.05) 0.9 + cos(0.05) 18 = 18.022486.
TEST(RoadTracks, APosePairCarriesATrackWhereAStillPointGoes) {
    const double c = std::cos(0.05), s = std::sin(0.05);
    std::ostringstream text;
    text << std::setprecision(17) << "1 0 0 0 0 1 0 0 0 0 1 0\n" << c << " 0 " << s << " 0.1 0 1 0 0 " << -s << " 0 " << c << " 2.0\n";
    std::istringstream in(text.str());
    std::vector<Pose> poses;
    std::string error;
    ASSERT_TRUE(ParsePoses(in, "poses.txt", poses, error)) << error;
    ASSERT_EQ(poses.size(), 2u);
    const EgoMotion ego = EgoMotionOfPoses(poses[0], poses[1]);
    EXPECT_NEAR(ego.yaw_rad, 0.05, 1e-9);

    // A new track 20 m ahead (disparity f B / 20 of the default camera), centred at x = 1 m.
    TrackingObject track;
    track.Update({MakeDetection(0.6, 1.4, BF_PIX / 20.0, 1.0, 60, 70)}, 0);
    track.FollowCar(ego);
    EXPECT_NEAR(track.m_pX_m, -0.000750, 1e-6);
    EXPECT_NEAR(track.m_pZ_m, 18.022486, 1e-6);
    EXPECT_NEAR(track.m_pD_pix, BF_PIX / 18.022486, 1e-6);
    // Standing still over ground, it closes in as the still point does.
    EXPECT_NEAR(track.RelativeVelocity(ego), (18.022486 - 20.0) / DELTA_T, 1e-4);

    // Without ego motion the prediction stays where the track was.
    TrackingObject still;
    still.Update({MakeDetection(0.6, 1.4, BF_PIX / 20.0, 1.0, 60, 70)}, 0);
    still.FollowCar(EgoMotion{});
    EXPECT_EQ(still.m_pZ_m, 20.0);
}

// The zone's centre line at distance z on a circle of radius R = speed / yaw rate lies
// R - sqrt(R^2 - z^2) toward the turn: worked out by hand.
TEST(RoadTracks, TheZoneFollowsTheCarsCurvedPath) {
    const struct {
        double z_m, yawRate_radps, speed_mps, offset_m;
    } cases[] = {
        {20.0, 0.1, 10.0, 2.020410},     // R 100 m to the right
        {30.0, -0.2, 20.0, -4.606080},   // R 100 m to the left
        {10.0, 0.05, 25.0, 0.100010},    // R 500 m
        {50.0, 0.0, 25.0, 0.0},          // straight
        {60.0, 0.5, 25.0, 50.0},         // beyond a quarter circle of R 50 m: R
    };
    for (const auto& c : cases) {
        const EgoMotion ego = EgoMotionOfRates(c.speed_mps, c.yawRate_radps, 0.1);
        EXPECT_NEAR(PathOffset(PathCurvature(ego), c.z_m), c.offset_m, 1e-6) << c.z_m << " m, " << c.yawRate_radps;
    }
    // A car 20 m ahead at 2.5 to 3.5 m right of the camera is out of the straight zone and inside
    // the one bent 2.02 m to the right; a car straight ahead then is out of it.
    const double curvature_pm = PathCurvature(EgoMotionOfRates(10.0, 0.1, 0.1));
    const DetectedObject right = MakeDetection(2.5, 3.5, BF_PIX / 20.0, 1.0, 60, 70);
    const DetectedObject ahead = MakeDetection(-1.0, -0.6, BF_PIX / 20.0, 1.0, 60, 70);
    EXPECT_FALSE(InDetectableArea(DEFAULT_CAMERA, right));
    EXPECT_TRUE(InDetectableArea(DEFAULT_CAMERA, right, curvature_pm));
    EXPECT_TRUE(InDetectableArea(DEFAULT_CAMERA, ahead));
    EXPECT_FALSE(InDetectableArea(DEFAULT_CAMERA, ahead, curvature_pm));
}
