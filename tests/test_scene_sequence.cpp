// Moving scenes: the description's velocities and frames, motion, visibility, speckles,
// per-frame noise, the ground-truth CSV and the sequence files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Config.h"
#include "Scene.h"

namespace {

namespace fs = std::filesystem;

scene::Scene Parse(const std::string& text) {
    std::istringstream in(text);
    scene::Scene s;
    std::string error;
    EXPECT_TRUE(scene::ParseScene(in, "test", s, error)) << error;
    return s;
}

std::string ParseError(const std::string& text) {
    std::istringstream in(text);
    scene::Scene s;
    std::string error;
    EXPECT_FALSE(scene::ParseScene(in, "test", s, error)) << text;
    return error;
}

scene::Box MakeBox(double left, double right, double z, double height) {
    scene::Box b;
    b.name = "b";
    b.left_m = left;
    b.right_m = right;
    b.z_m = z;
    b.height_m = height;
    return b;
}

}  // namespace

TEST(SceneSequenceFile, ReadsVelocitiesFramesAndSpeckles) {
    const scene::Scene s = Parse("frames 90\nspeckles 0.01\nbox car -1 1 30 1.5 -5 0.5\nbox still 2 3 20 1\n");
    EXPECT_EQ(s.frames, 90);
    EXPECT_EQ(s.speckles, 0.01);
    ASSERT_EQ(s.boxes.size(), 2u);
    EXPECT_EQ(s.boxes[0].vz_mps, -5.0);
    EXPECT_EQ(s.boxes[0].vx_mps, 0.5);
    EXPECT_EQ(s.boxes[1].vz_mps, 0.0);
    EXPECT_EQ(s.boxes[1].vx_mps, 0.0);
    EXPECT_EQ(Parse("# still\n").frames, 1);

    EXPECT_EQ(ParseError("box a -1 1 15 1 2\n"), "test:1: box needs NAME LEFT RIGHT DISTANCE HEIGHT [VZ VX]");
    EXPECT_EQ(ParseError("box a -1 1 15 1 2 fast\n"), "test:1: 'fast' is not a number");
    EXPECT_EQ(ParseError("box a -1 1 15 1 -101 0\n"), "test:1: box a: VZ and VX must lie within 100 m/s");
    EXPECT_EQ(ParseError("frames 0\n"), "test:1: frames must lie between 1 and 10000");
    EXPECT_EQ(ParseError("frames 10001\n"), "test:1: frames must lie between 1 and 10000");
    EXPECT_EQ(ParseError("frames 2\nframes 3\n"), "test:2: frames is given twice");
    EXPECT_EQ(ParseError("speckles 0.3\n"), "test:1: speckles must lie between 0 and 0.2");
    // 10 m at -10 m/s: frame k = 26 would be at 1.33 m, k = 25 at 1.67 m. The fault is found
    // whichever comes first, the box or the frames, and named at the box's line.
    EXPECT_EQ(ParseError("seed 1\nbox a -1 1 10 1 -10 0\nframes 27\n"),
              "test:2: box a: DISTANCE must lie between 1.5 and 1000 m by the last frame");
    EXPECT_EQ(ParseError("frames 301\nbox a 990 999 10 1 0 1\n"),
              "test:2: box a: LEFT and RIGHT must lie within 1000 m by the last frame");
    EXPECT_EQ(Parse("frames 26\nbox a -1 1 10 1 -10 0\n").frames, 26);
}

// Through a camera of another frame rate a description keeps its span of time: frames 150 are 5 s,
// 50 frames at 10 per second; the bounds are those of that camera's last frame.
TEST(SceneSequenceFile, FramesSpanTheDescriptionsTimeThroughAnyCamera) {
    Camera tenHz = DEFAULT_CAMERA;
    tenHz.frameInterval_s = 0.1;
    Camera fast = DEFAULT_CAMERA;
    fast.frameInterval_s = 0.0001;
    const auto through = [](const Camera& camera, const std::string& text, std::string& error) {
        std::istringstream in(text);
        scene::Scene s;
        return scene::ParseScene(in, "test", camera, s, error) ? s.frames : -1;
    };
    std::string error;
    EXPECT_EQ(through(tenHz, "frames 150\n", error), 50) << error;
    EXPECT_EQ(through(tenHz, "frames 4\n", error), 1) << error;        // 0.13 s: one frame
    EXPECT_EQ(through(tenHz, "box a -1 1 10 1\n", error), 1) << error;  // a still scene
    EXPECT_EQ(through(DEFAULT_CAMERA, "frames 150\n", error), 150) << error;
    // 10 m at -10 m/s: the default camera's 28th frame (0.9 s) is at 1 m, too near; at 10 per
    // second 28 frames are 9.33, 9 frames, the last at 0.8 s and 2 m.
    const std::string closing = "frames 28\nbox a -1 1 10 1 -10 0\n";
    EXPECT_EQ(through(tenHz, closing, error), 9) << error;
    EXPECT_EQ(through(DEFAULT_CAMERA, closing, error), -1);
    EXPECT_EQ(error, "test:2: box a: DISTANCE must lie between 1.5 and 1000 m by the last frame");
    EXPECT_EQ(through(fast, "seed 1\nframes 31\n", error), -1);  // 31/30 s are 10333.3 frames of 0.1 ms
    EXPECT_EQ(error, "test:2: frames: 10333 frames of the camera, more than 10000");

    scene::Scene moving;
    std::string loadError;
    ASSERT_TRUE(scene::LoadScene(std::string(SOURCE_DIR) + "/data/scenes/approach.txt", tenHz, moving, loadError)) << loadError;
    EXPECT_EQ(moving.frames, 50);
    EXPECT_EQ(moving.camera.frameInterval_s, 0.1);
    EXPECT_NEAR(scene::SceneAtFrame(moving, moving.frames - 1).boxes[0].z_m, 42.0 - 6.4 * 4.9, 1e-9);
}

TEST(SceneSequence, BoxesMoveAtConstantVelocity) {
    scene::Box b = MakeBox(-1.0, 1.0, 30.0, 1.5);
    b.vz_mps = -6.0;
    b.vx_mps = 1.5;
    const scene::Box later = scene::BoxAtFrame(DEFAULT_CAMERA, b, 60);  // two seconds
    EXPECT_NEAR(later.z_m, 18.0, 1e-12);
    EXPECT_NEAR(later.left_m, 2.0, 1e-12);
    EXPECT_NEAR(later.right_m, 4.0, 1e-12);
    EXPECT_EQ(later.height_m, 1.5);
    EXPECT_EQ(later.vz_mps, -6.0);
    EXPECT_EQ(scene::BoxAtFrame(DEFAULT_CAMERA, b, 0).z_m, 30.0);

    scene::Scene s;
    s.boxes = {b};
    const scene::Scene third = scene::SceneAtFrame(s, 3);
    EXPECT_NEAR(third.boxes[0].z_m, 29.4, 1e-12);
    EXPECT_NE(third.seed, s.seed);
    EXPECT_NE(third.seed, scene::SceneAtFrame(s, 4).seed);
    EXPECT_EQ(third.seed, scene::SceneAtFrame(s, 3).seed);
}

TEST(SceneSequence, VisibleShareCountsTheFaceSeenInThePicture) {
    // At 9.491 m a metre spans 100 columns. Edges at 2.805 and 3.805 m give columns 513..612,
    // of which 513..559 (47 of 100) lie in the picture.
    scene::Scene s;
    s.boxes = {MakeBox(2.805, 3.805, 9.491, 1.0)};
    EXPECT_NEAR(scene::VisibleShare(s, 0), 0.47, 1e-12);
    s.boxes = {MakeBox(-0.5, 0.5, 9.491, 1.0)};
    EXPECT_EQ(scene::VisibleShare(s, 0), 1.0);

    // A box 2 m high at 10 m (columns 137..326) in front of one 1.5 m high at 20 m: from x 0 to
    // 4 m the far one spans columns 232..421, of which 327..421 show (95 of 190); from -0.5 to
    // 0.5 m it is hidden.
    s.boxes = {MakeBox(-1.0, 1.0, 10.0, 2.0), MakeBox(0.0, 4.0, 20.0, 1.5)};
    EXPECT_EQ(scene::VisibleShare(s, 0), 1.0);
    EXPECT_EQ(scene::VisibleShare(s, 1), 0.5);
    s.boxes[1] = MakeBox(-0.5, 0.5, 20.0, 1.5);
    EXPECT_EQ(scene::VisibleShare(s, 1), 0.0);
    // Entirely beside the picture.
    s.boxes = {MakeBox(30.0, 32.0, 10.0, 1.5)};
    EXPECT_EQ(scene::VisibleShare(s, 0), 0.0);
}

TEST(SceneSequence, TruthCsvHasOneRowPerFramePerBox) {
    // The near box moves left by 1 m per frame and uncovers the far one: hidden at frame 1,
    // half hidden at frame 2 (visible), uncovered from frame 3 on.
    scene::Scene s;
    s.frames = 4;
    s.boxes = {MakeBox(-1.0, 1.0, 10.0, 2.0), MakeBox(-0.4, 0.4, 20.0, 1.5)};
    s.boxes[0].vx_mps = -30.0;  // 1 m per frame
    const std::string truth = scene::TruthCsv(s);
    std::istringstream lines(truth);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);) rows.push_back(line);
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[0], "frame,id,z_m,x_left_m,x_right_m,x_center_m,height_m,vz_mps,vx_mps,visible");
    EXPECT_EQ(rows[1], "1,1,10.000000,-1.000000,1.000000,0.000000,2.000000,0.000000,-30.000000,1");
    EXPECT_EQ(rows[2], "1,2,20.000000,-0.400000,0.400000,0.000000,1.500000,0.000000,0.000000,0");
    EXPECT_EQ(rows[3], "2,1,10.000000,-2.000000,0.000000,-1.000000,2.000000,0.000000,-30.000000,1");
    // Frame 2: the near box covers the far one's left half (x < 0 at 20 m, since its right edge
    // is at 0): share about 0.5, visible.
    EXPECT_EQ(rows[4], "2,2,20.000000,-0.400000,0.400000,0.000000,1.500000,0.000000,0.000000,1");
    EXPECT_EQ(rows[8], "4,2,20.000000,-0.400000,0.400000,0.000000,1.500000,0.000000,0.000000,1");
}

TEST(SceneSequence, NoiseDiffersBetweenFramesAndRepeats) {
    scene::Scene s;
    s.noise_pix = 0.1;
    s.holes = 0.05;
    s.boxes = {MakeBox(-1.0, 1.0, 15.0, 1.5)};
    const std::vector<double> first = scene::RenderDisparity(scene::SceneAtFrame(s, 0));
    EXPECT_EQ(first, scene::RenderDisparity(scene::SceneAtFrame(s, 0)));
    EXPECT_NE(first, scene::RenderDisparity(scene::SceneAtFrame(s, 1)));
    // Without noise a still scene renders the same at every frame.
    s.noise_pix = 0.0;
    s.holes = 0.0;
    EXPECT_EQ(scene::RenderDisparity(scene::SceneAtFrame(s, 0)), scene::RenderDisparity(scene::SceneAtFrame(s, 7)));
}

TEST(SceneSequence, SpecklesAreFarAndAsFrequentAsAsked) {
    // Above the horizon (rows 0..108) only speckles carry a disparity.
    scene::Scene s;
    s.speckles = 0.05;
    const std::vector<double> d = scene::RenderDisparity(s);
    int speckled = 0;
    for (int v = 0; v <= 108; ++v) {
        for (int u = 0; u < TOTAL_U; ++u) {
            const double value = d[static_cast<size_t>(PIXEL(u, v))];
            if (value == 0.0) continue;
            ++speckled;
            EXPECT_TRUE(value >= 0.5 && value < 3.0) << value;
        }
    }
    const double share = speckled / (109.0 * TOTAL_U);
    EXPECT_GT(share, 0.04);  // overlapping squares make it a little less than 0.05
    EXPECT_LT(share, 0.055);
    s.speckles = 0.0;
    const std::vector<double> clean = scene::RenderDisparity(s);
    for (int v = 0; v <= 108; ++v) EXPECT_EQ(clean[static_cast<size_t>(PIXEL(100, v))], 0.0);
}

TEST(SceneSequence, WritesOneBmpPerFrameAndTheTruth) {
    EXPECT_EQ(scene::SequenceFramePath("seq/dXXXXX.bmp", 7), "seq/d00007.bmp");
    EXPECT_EQ(scene::SequenceFramePath("XXXXX", 12345), "12345");

    const fs::path dir = fs::path(::testing::TempDir()) / "scene_sequence";
    fs::remove_all(dir);
    fs::create_directories(dir);
    scene::Scene s;
    s.frames = 3;
    s.boxes = {MakeBox(-1.0, 1.0, 15.0, 1.5)};
    const std::string truth = (dir / "truth.csv").string();
    ASSERT_TRUE(scene::WriteSequence(s, (dir / "fXXXXX.bmp").string(), truth));
    for (const char* name : {"f00001.bmp", "f00002.bmp", "f00003.bmp"}) {
        EXPECT_EQ(fs::file_size(dir / name), 54u + 560u * 3u * 360u) << name;
    }
    EXPECT_FALSE(fs::exists(dir / "f00004.bmp"));
    std::ifstream in(truth);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, scene::TruthCsv(s));
    EXPECT_FALSE(scene::WriteSequence(s, (dir / "f.bmp").string(), truth));  // no frame mark
    fs::remove_all(dir);
}
