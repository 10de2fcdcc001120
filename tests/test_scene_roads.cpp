// The renderer's real roads against values worked out by hand through the KITTI-like camera,
// which is level (tanPitch 0), so the road row at distance z is v0 + f (h - rise(z)) / z: grade
// changes, the car's pitching, its own motion on a bend, the poses it writes, and the scene
// reader's refusals of the statements' bad values.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "Scene.h"

namespace {

constexpr Camera KITTI_LIKE = {707.09, 0.537, 707.09 * 0.537, 601.9, 183.1, 1226, 370, 1.65, 0.0, 0.1, -1.5, 1.5};

scene::Scene Parse(const std::string& text, const Camera& camera = KITTI_LIKE) {
    std::istringstream in(text);
    scene::Scene s;
    std::string error;
    EXPECT_TRUE(scene::ParseScene(in, "test", camera, s, error)) << error;
    return s;
}

scene::Box BoxAt(double left_m, double right_m, double z_m, double height_m = 1.5) {
    scene::Box box;
    box.name = "b";
    box.left_m = left_m;
    box.right_m = right_m;
    box.z_m = z_m;
    box.height_m = height_m;
    return box;
}

std::vector<double> Numbers(const std::string& line) {
    std::istringstream in(line);
    std::vector<double> values;
    for (double value; in >> value;) values.push_back(value);
    return values;
}

}  // namespace

// A box stands on the road at its distance: its bottom row is the road row there, truncated.
// Dip: level to 15 m, then +6 %; crest: level to 20 m, then -5 %.
TEST(SceneRoads, BoxesStandOnTheGradedRoad) {
    struct Case {
        const char* grade;
        double z_m;
        int vBottom;  // v0 + f (h - rise) / z
    };
    const Case cases[] = {
        {"grade 15 0.06", 10.0, 299},  // before the change: 183.1 + 707.09 x 1.65 / 10 = 299.77
        {"grade 15 0.06", 40.0, 185},  // rise 1.5 m: 183.1 + 707.09 x 0.15 / 40 = 185.75
        {"grade 20 -0.05", 30.0, 233}, // rise -0.5 m: 183.1 + 707.09 x 2.15 / 30 = 233.77
        {"grade 15 0.06\ngrade 40 0", 60.0, 184},  // level again beyond 40 m, 1.5 m up: 184.87
    };
    for (const Case& c : cases) {
        const scene::Scene s = Parse(std::string(c.grade) + "\n");
        EXPECT_EQ(scene::Extent(s, BoxAt(-1, 1, c.z_m)).vBottom, c.vBottom) << c.grade << " at " << c.z_m;
    }
}

// Row by row the road's disparity is that of the nearest road the row's ray meets; on the dip's
// climb, row v's centre lies t = v + 0.5 - v0 rows below the horizon and
// t z = f (h - 0.06 (z - 15)) gives z = f (h + 0.9) / (t + 0.06 f).
TEST(SceneRoads, RowsSeeTheNearestRoad) {
    const scene::Scene dip = Parse("grade 15 0.06\n");
    const double bf = KITTI_LIKE.bf_pix;
    EXPECT_DOUBLE_EQ(scene::RoadDisparity(dip, 300), scene::RoadDisparity(KITTI_LIKE, 300));  // 14.8 m: level
    EXPECT_NEAR(scene::RoadDisparity(dip, 186), bf / (707.09 * 2.55 / (3.4 + 0.06 * 707.09)), 1e-9);
    EXPECT_NEAR(scene::RoadDisparity(dip, 150), bf / (707.09 * 2.55 / (-32.6 + 0.06 * 707.09)), 1e-9);  // above the horizon
    EXPECT_EQ(scene::RoadDisparity(Parse(""), 150), 0.0);
    // A crest at 10 m falling at 20 %: the road beyond falls away faster than any ray, so rows
    // whose centre lies above the crest's row (299.77) see no road, and a box at 20 m (foot 3.65 m below the
    // camera: rows 259.1 to 312.1) shows only above it, (299.77 - 259.1) / (312.1 - 259.1) of its face.
    scene::Scene crest = Parse("grade 10 -0.2\n");
    EXPECT_NEAR(scene::RoadDisparity(crest, 300), bf / (707.09 * 1.65 / (300.5 - 183.1)), 1e-9);
    EXPECT_EQ(scene::RoadDisparity(crest, 299), 0.0);
    crest.boxes.push_back(BoxAt(-1, 1, 20.0));
    EXPECT_NEAR(scene::VisibleShare(crest, 0), (299.77 - 259.1) / (312.14 - 259.1), 0.02);
    EXPECT_DOUBLE_EQ(scene::RoadRise(crest, 20.0), -2.0);
}

// Pitching by 1 degree at 1.5 Hz: the camera's pitch at frame k (t = k / 10 s) is
// tan(mounting + 1 deg x sin(2 pi 1.5 t)); the default camera's mounting is atan(0.075).
TEST(SceneRoads, TheCameraPitchesFrameByFrame) {
    struct Case {
        int k;
        double level;     // through the level KITTI-like camera
        double mounted;   // through a camera mounted as the default one, at 10 frames per second
    };
    const Case cases[] = {
        {0, 0.0, 0.075},
        {1, 0.014120948722161412, 0.0892154342150446},
        {2, 0.016600592258345447, 0.09171478123489624},
        {3, 0.0053934162917999426, 0.08042594908860728},
        {5, -0.017455064928217585, 0.057469699771214036},
    };
    Camera mounted = KITTI_LIKE;
    mounted.tanPitch = 0.075;
    const scene::Scene level = Parse("pitch 1 1.5\n");
    const scene::Scene pitched = Parse("pitch 1 1.5\n", mounted);
    for (const Case& c : cases) {
        EXPECT_NEAR(scene::PitchAtFrame(level, c.k), c.level, 1e-12) << c.k;
        EXPECT_NEAR(scene::PitchAtFrame(pitched, c.k), c.mounted, 1e-12) << c.k;
        EXPECT_EQ(scene::SceneAtFrame(level, c.k).camera.tanPitch, scene::PitchAtFrame(level, c.k));
    }
    EXPECT_EQ(scene::PitchAtFrame(Parse(""), 3), 0.0);
}

// On a bend at 10 m/s turning right at 0.1 rad/s, after 10 frames (1 s) the car has turned
// 0.1 rad and lies on its 100 m circle at (100 (1 - cos 0.1), 100 sin 0.1); a box's place over
// ground, less the car's, turned by -0.1 rad, is where the camera sees it. Its velocity relative
// to the camera at the first frame: a box standing 30 m ahead comes nearer at the car's speed and
// sweeps left at 0.1 x 30 m/s.
TEST(SceneRoads, BoxesOnABendMoveAlongArcsInTheCamerasAxes) {
    const scene::Scene s = Parse("frames 30\nego 10 0.1\nbox post -0.5 0.5 30 2\nbox car 2.5 3.5 20 1.5 5 0\n");
    struct Case {
        size_t box;
        double x_m;
        double z_m;
    };
    const Case cases[] = {
        {0, -2.495419027207416, 19.866783293657956},
        {1, 0.9887605518608025, 15.191262717208316},
    };
    for (const Case& c : cases) {
        const scene::Box seen = scene::BoxAtFrame(s, s.boxes[c.box], 10);
        EXPECT_NEAR((seen.left_m + seen.right_m) / 2.0, c.x_m, 1e-9) << c.box;
        EXPECT_NEAR(seen.right_m - seen.left_m, 1.0, 1e-12) << c.box;
        EXPECT_NEAR(seen.z_m, c.z_m, 1e-9) << c.box;
    }
    const scene::Box first = scene::BoxAtFrame(s, s.boxes[0], 0);
    EXPECT_NEAR(first.vz_mps, -10.0, 1e-12);
    EXPECT_NEAR(first.vx_mps, -3.0, 1e-12);
    // The truth's velocities are the rates of change of the camera's coordinates.
    const scene::Box before = scene::BoxAtFrame(s, s.boxes[1], 9);
    const scene::Box after = scene::BoxAtFrame(s, s.boxes[1], 11);
    const scene::Box now = scene::BoxAtFrame(s, s.boxes[1], 10);
    EXPECT_NEAR(now.vz_mps, (after.z_m - before.z_m) / 0.2, 0.01);
    EXPECT_NEAR(now.vx_mps, (after.left_m - before.left_m) / 0.2, 0.01);
}

// Line n is the car's motion over n frame intervals, line 0 the identity; the rotation turns the
// camera right by the yaw rate's angle (x axis to (cos, 0, -sin) over ground).
TEST(SceneRoads, PosesAreKittisLayoutFromFrameNumberZero) {
    const scene::Scene bend = Parse("frames 30\nego 10 0.1\n");
    std::istringstream lines(scene::PosesText(bend));
    std::vector<std::vector<double>> poses;
    for (std::string line; std::getline(lines, line);) poses.push_back(Numbers(line));
    ASSERT_EQ(poses.size(), 11u);  // 1 s at 10 frames per second: frame numbers 0 to 10
    for (const auto& pose : poses) ASSERT_EQ(pose.size(), 12u);
    const std::vector<double> identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    EXPECT_EQ(poses[0], identity);
    const double c = std::cos(0.1);
    const double s = std::sin(0.1);
    const std::vector<double> last = {c, 0, s, 100.0 * (1.0 - c), 0, 1, 0, 0, -s, 0, c, 100.0 * s};
    for (size_t i = 0; i < 12; ++i) EXPECT_NEAR(poses[10][i], last[i], 1e-10) << i;
    // Straight on at 25 m/s: 2.5 m per frame number; a camera standing still stays at the identity.
    std::istringstream straight(scene::PosesText(Parse("frames 6\nego 25 0\n")));
    std::string line;
    for (int n = 0; std::getline(straight, line); ++n) EXPECT_NEAR(Numbers(line)[11], 2.5 * n, 1e-12) << n;
    std::istringstream still(scene::PosesText(Parse("frames 6\npitch 1 1.5\n")));
    while (std::getline(still, line)) EXPECT_EQ(Numbers(line), identity);
}

TEST(SceneRoads, TheReaderRefusesBadValues) {
    struct Case {
        std::string text;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"grade 20\n", "test:1: grade needs two values"},
        {"grade 20 steep\n", "test:1: 'steep' is not a number"},
        {"grade 20 0.3\n", "test:1: grade: DISTANCE must lie within 1000 m and GRADE within 0.2"},
        {"grade 1001 0.1\n", "test:1: grade: DISTANCE must lie within 1000 m and GRADE within 0.2"},
        {"grade 0 0.1\n", "test:1: grade: DISTANCE must lie ahead of the camera"},
        {"grade 30 0.1\ngrade 30 0\n", "test:2: grade: DISTANCE must lie beyond the previous change"},
        {"pitch 6 1\n", "test:1: pitch: AMPLITUDE must lie within 5 degrees and FREQUENCY within 10 Hz"},
        {"pitch 1 11\n", "test:1: pitch: AMPLITUDE must lie within 5 degrees and FREQUENCY within 10 Hz"},
        {"pitch 0 1\n", "test:1: pitch: AMPLITUDE and FREQUENCY must lie above 0"},
        {"pitch 1 -1\n", "test:1: pitch: AMPLITUDE and FREQUENCY must lie above 0"},
        {"pitch 1 1\npitch 1 2\n", "test:2: pitch is given twice"},
        {"ego 101 0\n", "test:1: ego: SPEED must lie within 100 m/s and YAWRATE within 1 rad/s"},
        {"ego 20 -1.5\n", "test:1: ego: SPEED must lie within 100 m/s and YAWRATE within 1 rad/s"},
        {"ego -5 0\n", "test:1: ego: SPEED must not be negative"},
        {"ego 25\n", "test:1: ego needs two values"},
        {"ego 1 0\nego 2 0\n", "test:2: ego is given twice"},
        // A box passed by the car: 10 m ahead at 25 m/s, 0.4 s later 0 m.
        {"frames 30\nego 25 0\nbox a -1 1 10 1\n", "test:3: box a: DISTANCE must lie between 1.5 and 1000 m at frame 5"},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.text);
        scene::Scene s;
        std::string error;
        EXPECT_FALSE(scene::ParseScene(in, "test", KITTI_LIKE, s, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
    std::string text;
    for (int i = 1; i <= 17; ++i) text += "grade " + std::to_string(10 * i) + " 0.01\n";
    std::istringstream in(text);
    scene::Scene s;
    std::string error;
    EXPECT_FALSE(scene::ParseScene(in, "test", KITTI_LIKE, s, error));
    EXPECT_EQ(error, "test:17: more than 16 grade changes");
}
