// The street evaluator: predictions of static tracks from hand-made poses, worked out by hand; the
// road line fitted to a rendered flat road with an obstacle in front; and the real street's road,
// against the height and horizon its recording states.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <sstream>
#include <vector>

#include "CameraFile.h"
#include "Config.h"
#include "Evaluation.h"
#include "StreetEvaluation.h"
#include "StreetPictures.h"

namespace {

Pose Translated(double z, double yaw = 0.0) {
    const double c = std::cos(yaw), s = std::sin(yaw);
    return Pose{c, 0, s, 0, 0, 1, 0, 0, -s, 0, c, z};
}

TrackReport Track(int track, int count, double z, double x, double vz = 0.0) {
    return TrackReport{track, count, z, x, 1.8, vz, track};
}

FrameResult Frame(int frame, std::vector<TrackReport> tracks, bool accepted = true) {
    return FrameResult{frame, std::move(tracks), RoadReport{std::vector<int>(LUT_NUM, 0), accepted}};
}

const double NaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

TEST(StreetEvaluation, PredictsStaticTracksFromTheEgoMotion) {
    // The camera drives 1.2 m per frame at 10 frames per second (12 m/s), turning by 0.1 rad in frame 2.
    const double yaw = 0.1;
    const std::vector<Pose> poses = {Translated(0.0), Translated(1.2), Translated(2.4, yaw), Translated(3.6, yaw),
                                     Translated(4.8, yaw)};
    // A post at x = 3, z = 20 of frame 0 lies at (3, 18.8) in frame 1; frame 2 sees the world point
    // (3, 0, 20) from (0, 0, 2.4), turned by the yaw: z = 3 sin(yaw) + 17.6 cos(yaw).
    const double z2 = 3.0 * std::sin(yaw) + 17.6 * std::cos(yaw);
    const std::vector<FrameResult> results = {
        Frame(0, {Track(1, 3, 20.0, 3.0), Track(2, 2, 10.0, 0.0), Track(4, 3, 1.0, 0.0)}),
        Frame(1, {Track(1, 10, 18.8, 3.0, -12.0), Track(2, 3, 5.0, 0.0), Track(3, 5, 30.0, 0.0), Track(4, 4, 0.5, 0.0)}),
        Frame(2, {Track(1, 11, z2 * 1.04, 3.0 * std::cos(yaw) - 17.6 * std::sin(yaw), NaN)}, false),
        // Frame 3 is missing: frame 4 has nothing to be predicted from.
        Frame(4, {Track(1, 13, 1.0, 0.0, -12.0)}),
    };
    const StreetScores s = EvaluateStreet(poses, results, {}, 370, 0.1);
    // Samples: track 1 in frames 1 and 2; track 2 in frame 1, established now, its 10 m becoming 5.0
    // where 8.8 m is predicted; not track 3 (new), not track 4 (1 m ahead, passed by 1.2 m), not
    // frame 4 (after a gap).
    ASSERT_EQ(s.trackSamples, 3);
    EXPECT_NEAR(*s.distanceErrorMedian, 0.04, 1e-9);
    EXPECT_NEAR(*s.distanceErrorP95, 0.04 + 0.9 * ((8.8 - 5.0) / 8.8 - 0.04), 1e-9);
    EXPECT_NEAR(*s.withinFivePercent, 2.0 / 3.0, 1e-12);
    // vz of tracks with 10 updates: -12 m/s at 12 m/s is 1; a speed not given counts as 0.
    ASSERT_EQ(s.speedSamples, 2);
    EXPECT_NEAR(*s.speedRatioMedian, 0.5, 1e-9);
    EXPECT_EQ(s.frames, 4);
    EXPECT_NEAR(*s.acceptedShare, 0.75, 1e-12);
    EXPECT_FALSE(s.roadRowErrorMedian.has_value());

    // A frame beyond the poses is an error, not a silent score.
    EXPECT_THROW(EvaluateStreet(poses, {Frame(5, {})}, {}, 370, 0.1), EvaluationError);
    FrameResult noRoad = Frame(0, {});
    noRoad.road.ground.clear();
    EXPECT_THROW(EvaluateStreet(poses, {noRoad}, {}, 370, 0.1), EvaluationError);
}

TEST(StreetEvaluation, CountsTrajectoriesAndTheRoadPerProfileKindWithOrWithoutPoses) {
    // Trajectory 1 lasts three frames and is confirmed from frame 1; 2 and 4 last one frame each,
    // 4 confirmed by the results' own flag; 3 lasts two frames, never confirmed.
    TrackReport flagged = Track(4, 1, 30.0, 0.0);
    flagged.confirmed = true;
    std::vector<FrameResult> results = {
        Frame(0, {Track(1, 2, 20.0, 3.0), Track(2, 1, 10.0, 0.0)}),
        Frame(1, {Track(1, 3, 18.8, 3.0), Track(3, 1, 15.0, 1.0)}),
        Frame(2, {Track(1, 4, 17.6, 3.0), Track(3, 2, 13.8, 1.0), flagged}),
    };
    // Fitted road: row 170.5 + 3 d, inside 370 rows for d = 1 .. 66. Frame 0 on its own profile,
    // 1 row off; frame 1 keeps one 4 rows off; frame 2 re-seeded, 2 rows off.
    const ProfileKind kinds[] = {ProfileKind::OWN, ProfileKind::KEPT, ProfileKind::RESEEDED};
    const int offsets[] = {1, 4, 2};
    for (size_t k = 0; k < results.size(); ++k) {
        for (int d = 0; d < LUT_NUM; ++d) results[k].road.ground[d] = 170 + 3 * d + offsets[k];
        results[k].road.profile = kinds[k];
        results[k].road.accepted = kinds[k] != ProfileKind::KEPT;
    }
    const std::vector<std::optional<RoadLine>> roads(3, RoadLine{170.5, 3.0, 100});
    for (const bool withPoses : {false, true}) {
        const std::vector<Pose> poses =
            withPoses ? std::vector<Pose>{Translated(0.0), Translated(1.2), Translated(2.4)} : std::vector<Pose>{};
        const StreetScores s = EvaluateStreet(poses, results, roads, 370, 0.1);
        EXPECT_EQ(s.withPoses, withPoses);
        EXPECT_EQ(s.trackSamples, withPoses ? 2 : 0);  // trajectory 1 in frames 1 and 2
        EXPECT_EQ(s.trajectories, 4);
        EXPECT_EQ(s.oneFrameTrajectories, 2);
        EXPECT_DOUBLE_EQ(*s.oneFrameShare, 0.5);
        EXPECT_EQ(s.confirmedTrajectories, 2);
        EXPECT_TRUE(s.profilesGiven);
        EXPECT_EQ(s.own.frames, 1);
        EXPECT_EQ(s.kept.frames, 1);
        EXPECT_EQ(s.reseeded.frames, 1);
        EXPECT_DOUBLE_EQ(*s.own.roadRowErrorMedian, 1.0);
        EXPECT_DOUBLE_EQ(*s.kept.roadRowErrorMedian, 4.0);
        EXPECT_DOUBLE_EQ(*s.reseeded.roadRowErrorMedian, 2.0);
        EXPECT_DOUBLE_EQ(*s.roadRowErrorMedian, 2.0);
        EXPECT_NEAR(*s.acceptedShare, 2.0 / 3.0, 1e-12);
    }
    // Results of an older run say nothing of the profile: no figures per kind.
    for (FrameResult& frame : results) frame.road.profile.reset();
    const StreetScores older = EvaluateStreet({}, results, roads, 370, 0.1);
    EXPECT_FALSE(older.profilesGiven);
    EXPECT_FALSE(older.own.roadRowErrorMedian.has_value());
}

TEST(StreetEvaluation, ComparesRoadRowsWhereTheFittedRoadIsInThePicture) {
    // Fitted road: row 170.5 + 3 d; inside 370 rows for d = 1 .. 66 (d = 66 at row 368.5).
    FrameResult frame = Frame(0, {});
    for (int d = 0; d < LUT_NUM; ++d) frame.road.ground[d] = 170 + 3 * d + (d % 2 == 0 ? 2 : -1);
    const StreetScores s = EvaluateStreet({Translated(0.0)}, {frame}, {RoadLine{170.5, 3.0, 100}}, 370, 0.1);
    EXPECT_EQ(s.roadFrames, 1);
    EXPECT_EQ(s.roadLevels, 66);
    // Rows truncated as the detector's are: 33 levels 2 rows off, 33 levels 1 row off.
    EXPECT_DOUBLE_EQ(*s.roadRowErrorMedian, 1.5);
}

// Rows as far from the fitted road as an int allows are errors of that size, not an overflow:
// 2^31 + 170 + 3 d for d = 1 .. 66, whose median lies between d = 33 and 34.
TEST(StreetEvaluation, RoadRowsAtTheEndOfTheIntRangeAreFarOff) {
    FrameResult frame = Frame(0, {});
    for (int d = 0; d < LUT_NUM; ++d) frame.road.ground[d] = std::numeric_limits<int>::min();
    const StreetScores s = EvaluateStreet({Translated(0.0)}, {frame}, {RoadLine{170.5, 3.0, 100}}, 370, 0.1);
    EXPECT_EQ(s.roadLevels, 66);
    EXPECT_EQ(*s.roadRowErrorMedian, 2147483648.0 + 170.0 + 3.0 * 33.5);
}

TEST(StreetEvaluation, FitsTheRoadLineThroughObstaclesAndGaps) {
    // A flat road of KITTI's rig rendered into every pixel below the principal row, d = (v - 169.4) /
    // 3.07; a wall 9.5 m ahead (disparity 40, its foot at row 292) fills the central columns in rows
    // 250 .. 289, and rows 300 .. 309 hold disparities in a tenth of their columns only.
    const int cols = 1226, rows = 370;
    const double u0 = 601.9, v0 = 183.1, horizon = 169.4, slope = 3.07;
    std::vector<double> picture(static_cast<size_t>(cols) * rows, 0.0);
    for (int v = 184; v < rows; ++v) {
        for (int u = 0; u < cols; ++u) {
            double d = (v - horizon) / slope;
            if (v >= 250 && v < 290 && u > 450 && u < 760) d = 40.0;
            if (v >= 300 && v < 310 && u % 10 != 0) d = 0.0;
            picture[static_cast<size_t>(v) * cols + u] = d;
        }
    }
    const std::optional<RoadLine> line = FitRoadLine(picture.data(), cols, rows, u0, v0);
    ASSERT_TRUE(line.has_value());
    EXPECT_NEAR(line->horizonRow, horizon, 1e-6);
    EXPECT_NEAR(line->rowsPerLevel, slope, 1e-8);
    EXPECT_EQ(line->samples, (rows - 184) - 40 - 10);

    // Too few rows with a road: no line.
    std::vector<double> empty(static_cast<size_t>(cols) * rows, 0.0);
    EXPECT_FALSE(FitRoadLine(empty.data(), cols, rows, u0, v0).has_value());
}

TEST(StreetEvaluation, PosesAreTwelveFiniteNumbersALine) {
    std::istringstream good("1 0 0 0 0 1 0 0 0 0 1 0\n1 0 0 0.5 0 1 0 -0.1 0 0 1 1.2e+00\n");
    const std::vector<Pose> poses = ReadPoses(good, "poses.txt");
    ASSERT_EQ(poses.size(), 2u);
    EXPECT_DOUBLE_EQ(poses[1][3], 0.5);
    EXPECT_DOUBLE_EQ(poses[1][11], 1.2);
    const char* const bad[] = {
        "1 0 0 0 0 1 0 0 0 0 1\n",        // eleven numbers
        "1 0 0 0 0 1 0 0 0 0 1 0 7\n",    // thirteen
        "1 0 0 0 0 1 0 0 0 0 1 nan\n",    // not finite
        "1 0 0 0 0 1 0 0 0 0 1 0x\n",     // not a number
        "",                               // no pose
    };
    for (const char* text : bad) {
        std::istringstream in(std::string("1 0 0 0 0 1 0 0 0 0 1 0\n") + text);
        if (*text == '\0') in.str("");
        try {
            ReadPoses(in, "poses.txt");
            ADD_FAILURE() << "accepted: " << text;
        } catch (const InputError& e) {
            EXPECT_NE(std::string(e.what()).find(*text == '\0' ? "poses.txt: no poses" : "poses.txt:2: "),
                      std::string::npos)
                << e.what();
        }
    }
}

// The recording states its road: the camera 1.65 m above it, and, fitted every tenth frame, a
// height of 1.62 to 1.69 m and a horizon 13 to 17 rows above the principal point. The road is not
// quite flat: where it bends (frame 30) a line through every row's median disparity meets the
// horizon up to 5 rows lower than that, so the horizon is held to 8 to 17 rows.
TEST(StreetEvaluation, TheRealStreetsRoadIsTheOneItsRecordingStates) {
    const std::string street = std::string(KITTI_DIR) + "/residential";
    if (!std::filesystem::exists(street + "/calib.txt")) GTEST_SKIP() << "no KITTI recording at " << KITTI_DIR;
    CameraFile file;
    std::string error;
    ASSERT_TRUE(ReadCameraFile(street + "/calib.txt", file, error)) << error;
    Camera camera = file.camera;
    camera.width_pix = 1226;
    camera.height_pix = 370;
    std::vector<FrameResult> frames;
    for (int frame = 0; frame <= 50; frame += 10) frames.push_back(FrameResult{frame, {}});
    const auto lines = FitFrameRoads(camera, street + "/disp_sgbm/XXXXXX.png", std::nullopt, frames);
    ASSERT_EQ(lines.size(), frames.size());
    for (size_t k = 0; k < lines.size(); ++k) {
        ASSERT_TRUE(lines[k].has_value()) << "frame " << frames[k].frame;
        const double height_m = lines[k]->rowsPerLevel * camera.baseline_m;
        const double horizonAbove = camera.v0_pix - lines[k]->horizonRow;
        EXPECT_GE(height_m, 1.615) << "frame " << frames[k].frame;
        EXPECT_LE(height_m, 1.70) << "frame " << frames[k].frame;
        EXPECT_GE(horizonAbove, 8.0) << "frame " << frames[k].frame;
        EXPECT_LE(horizonAbove, 17.5) << "frame " << frames[k].frame;
    }
}

// A parked car's track coasting beside the camera (x = 3 m, 1.8 m ahead: through KITTI's camera,
// column 601.9 + 707.1 x 3 / 1.8 = 1780, beyond the picture's 1226) is out of view where the
// picture's columns are given, as a point behind the camera is; a post 18.8 m ahead (column 715)
// is in view. The errors beyond the 95th percentile are listed with their frame and trajectory.
TEST(StreetEvaluation, TracksBesideThePictureAreOutOfView) {
    const std::vector<Pose> poses = {Translated(0.0), Translated(1.2)};
    const std::vector<FrameResult> results = {
        Frame(0, {Track(1, 3, 20.0, 3.0), Track(2, 3, 3.0, 3.0)}),
        Frame(1, {Track(1, 4, 18.8 * 1.02, 3.0), Track(2, 4, 1.8 * 1.5, 3.0)}),
    };
    const struct {
        PictureColumns columns;
        int samples;
        double median;
        size_t worst;
    } cases[] = {{PictureColumns{}, 2, 0.26, 1}, {PictureColumns{1226, 707.0912, 601.8873}, 1, 0.02, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.columns.width_pix);
        const StreetScores s = EvaluateStreet(poses, results, {}, 370, 0.1, c.columns);
        EXPECT_EQ(s.trackSamples, c.samples);
        EXPECT_NEAR(*s.distanceErrorMedian, c.median, 1e-9);
        ASSERT_EQ(s.worstDistances.size(), c.worst);
        if (c.worst == 0) continue;
        const TrackFrameError& e = s.worstDistances[0];
        EXPECT_EQ(e.frame, 1);
        EXPECT_EQ(e.track, 2);
        EXPECT_NEAR(e.predicted_m, 1.8, 1e-9);
        EXPECT_NEAR(e.error, 0.5, 1e-9);
    }
}
