// scene-render as a program: what it refuses, before any rendering, and its exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <fstream>
#include <string>
#include <vector>

#include "ProgramRunner.h"

namespace {

const std::string DIR = testing::TempDir();

std::string Write(const std::string& name, const std::string& text) {
    const std::string path = DIR + name;
    std::ofstream(path) << text;
    return path;
}

std::string Fifo(const std::string& name) {
    const std::string path = DIR + name;
    std::remove(path.c_str());
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    return path;
}

bool IsFifo(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

std::string Boxes(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "box b" + std::to_string(i) + " -1 1 " + std::to_string(10 + i) + " 1.5\n";
    return text;
}

}  // namespace

TEST(SceneRenderProgram, RefusesBadInputWithStatusTwoBeforeRendering) {
    const std::string good = Write("render_good.txt", Boxes(1));
    const std::string out = " --embedded " + DIR + "render_out.cpp";
    const std::string inFifo = Fifo("render_scene.fifo");
    const std::string outFifo = Fifo("render_out.fifo");
    const std::string rest = " 0 707.09 183.1 0 0 0 1 0\n";
    const std::string kitti = Write("render_calib.txt", "P0: 707.09 0 601.9 0" + rest + "P1: 707.09 0 601.9 -379.7" + rest);
    struct Case {
        std::string arguments;
        std::string message;  // the first line of standard error
    };
    const std::vector<Case> cases = {
        {"--scene " + Write("render_bad.txt", "road 1\n") + out, DIR + "render_bad.txt:1: road needs LEFT RIGHT"},
        {"--scene " + Write("render_many.txt", Boxes(65)) + out, DIR + "render_many.txt:65: more than 64 boxes"},
        {"--scene " + Write("render_long.txt", "# " + std::string(5000, '-') + "\n") + out,
         DIR + "render_long.txt:1: line longer than 4096 bytes"},
        {"--scene " + Write("render_huge.txt", std::string(1100000, '\n')) + out,
         DIR + "render_huge.txt: longer than 1048576 bytes"},
        {"--scene /dev/zero" + out, "/dev/zero: is not a regular file (a device)"},
        {"--scene " + inFifo + out, inFifo + ": is not a regular file (a FIFO)"},
        {"--scene " + good + " --embedded " + outFifo, outFifo + ": exists and is not a regular file"},
        {"--scene " + good + " --sequence " + DIR + "render_d.bmp --truth " + DIR + "render_t.csv",
         "--sequence: '" + DIR + "render_d.bmp' has no XXXXX for the frame number"},
        {"--scene " + good, "nothing to write: give --embedded, --bmp or --sequence"},
        {"--scene " + good + " --bmp " + DIR + "render_still --poses-out " + DIR + "render_poses.txt", "--poses-out goes with --sequence"},
        {"--scene " + good + " --camera " + kitti + out, "--embedded renders the default camera's pictures: it takes no --camera"},
        {"--scene " + good + " --camera " + kitti + " --bmp " + DIR + "render_kitti",
         "--camera: " + kitti + ": a calibration without a picture size: give the camera in the own key = value format"},
        {"--scene " + good + " --camera " + DIR + "render_absent.txt --bmp " + DIR + "render_kitti",
         "--camera: " + DIR + "render_absent.txt: cannot be opened (missing or unreadable)"},
        {"--scene=" + good + " --bogus", "'--bogus': unknown option"},
        {"--scene", "--scene: needs a value"},
    };
    for (const Case& c : cases) {
        const ProgramResult r = RunProgram(SCENE_RENDER_EXE, "2>&1 >/dev/null " + c.arguments, "", 60);
        EXPECT_EQ(r.status, 2) << c.arguments;
        EXPECT_EQ(r.output.substr(0, r.output.find('\n')), "scene-render: " + c.message) << c.arguments;
    }
    // The refused outputs are still what they were.
    EXPECT_TRUE(IsFifo(outFifo));
    std::remove(inFifo.c_str());
    std::remove(outFifo.c_str());
    EXPECT_EQ(RunProgram(SCENE_RENDER_EXE, "--help").status, 0);
}

// What scene-render cannot render truly is refused before anything is written: a frame interval
// so short that a scene's 10 s hold more frames than a 64-bit count, a focal length whose columns
// leave every integer, and a truth file that is the scene itself.
TEST(SceneRenderProgram, RefusesCamerasAndOutputsItCannotRenderTruly) {
    const std::string scene = Write("render_self.txt", "frames 6\nbox car -1 1 20 1.5 -5 0\n");
    const std::string rig = "f_pix = 707.09\nbaseline_m = 0.537\nu0_pix = 601.9\nv0_pix = 183.1\nwidth_pix = 1226\n"
                            "height_pix = 370\n";
    const std::string fast = Write("render_fast.cam", rig + "frameInterval_s = 1e-19\n");
    const std::string still = Write("render_still.txt", "frames 300\nbox car -1 1 20 1.5\n");  // 10 s: 1e20 frames
    const std::string wide = Write("render_wide.cam", "f_pix = 1e300\n" + rig.substr(rig.find('\n') + 1));
    const std::string sequence = " --sequence " + DIR + "render_self_dXXXXX.bmp --truth ";
    const struct {
        std::string arguments;
        std::string start;  // of the first line of standard error
        std::string end;
    } cases[] = {
        {"--scene " + still + " --camera " + fast + sequence + DIR + "render_self.csv", still + ":1: frames: ",
         " frames of the camera, more than 10000"},
        {"--scene " + scene + " --camera " + wide + sequence + DIR + "render_self.csv",
         "--camera: " + wide + ": the road scan's columns, which grow with f_pix is ", ": the stages cannot see through this camera"},
        {"--scene " + scene + sequence + scene, "--truth " + scene + ": is the same file as --scene " + scene, ""},
    };
    std::remove((DIR + "render_self_d00001.bmp").c_str());
    for (const auto& c : cases) {
        const ProgramResult r = RunProgram(SCENE_RENDER_EXE, "2>&1 >/dev/null " + c.arguments, "", 60);
        EXPECT_EQ(r.status, 2) << c.arguments;
        const std::string line = r.output.substr(0, r.output.find('\n'));
        EXPECT_EQ(line.substr(0, 14 + c.start.size()), "scene-render: " + c.start) << c.arguments;
        EXPECT_EQ(line.substr(line.size() - std::min(line.size(), c.end.size())), c.end) << c.arguments;
    }
    // The scene is still what it was, and no frame was written.
    std::ifstream kept(scene);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "frames 6\nbox car -1 1 20 1.5 -5 0\n");
    EXPECT_FALSE(std::ifstream(DIR + "render_self_d00001.bmp").good());
}

// Through a camera file: pictures of the camera's size, and a moving scene's 0.2 s (6 frames of
// the default camera) in two frames at 10 per second, the second 0.1 s on: 20 m - 0.5 m; the
// camera's poses at frame numbers 0 to 2, standing still.
TEST(SceneRenderProgram, RendersThroughTheCameraOfACameraFile) {
    const std::string scene = Write("render_moving.txt", "frames 6\nbox car -1 1 20 1.5 -5 0\n");
    const std::string frames = DIR + "render_kitti_dXXXXX.bmp";
    const std::string truth = DIR + "render_kitti_truth.csv";
    const std::string poses = DIR + "render_kitti_poses.txt";
    std::remove((DIR + "render_kitti_d00003.bmp").c_str());
    const ProgramResult r = RunProgram(SCENE_RENDER_EXE, "--scene " + scene + " --camera " + SOURCE_DIR +
                                                             "/data/cameras/kitti_like.txt --sequence " + frames + " --truth " + truth +
                                                             " --poses-out " + poses);
    ASSERT_EQ(r.status, 0) << r.output;
    for (const char* name : {"render_kitti_d00001.bmp", "render_kitti_d00002.bmp"}) {
        std::ifstream bmp(DIR + name, std::ios::binary);
        unsigned char header[26] = {};
        ASSERT_TRUE(bmp.read(reinterpret_cast<char*>(header), sizeof header)) << name;
        const auto le32 = [&](int at) { return header[at] | header[at + 1] << 8 | header[at + 2] << 16 | header[at + 3] << 24; };
        EXPECT_EQ(le32(18), 1226) << name;
        EXPECT_EQ(le32(22), 370) << name;
    }
    EXPECT_FALSE(std::ifstream(DIR + "render_kitti_d00003.bmp").good());
    std::ifstream csv(truth);
    std::string header, first, second, more;
    std::getline(csv, header);
    std::getline(csv, first);
    std::getline(csv, second);
    EXPECT_EQ(first.substr(0, first.find(',', 4)), "1,1,20.000000");
    EXPECT_EQ(second.substr(0, second.find(',', 4)), "2,1,19.500000");
    EXPECT_FALSE(std::getline(csv, more));
    std::ifstream posesFile(poses);
    int lines = 0;
    for (std::string line; std::getline(posesFile, line); ++lines) {
        EXPECT_EQ(line, "1.000000000000e+00 0.000000000000e+00 0.000000000000e+00 0.000000000000e+00 "
                        "0.000000000000e+00 1.000000000000e+00 0.000000000000e+00 0.000000000000e+00 "
                        "0.000000000000e+00 0.000000000000e+00 1.000000000000e+00 0.000000000000e+00");
    }
    EXPECT_EQ(lines, 3);
}
