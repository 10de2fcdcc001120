// scene-render as a program: what it refuses, before any rendering, and its exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
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
        {"--scene /dev/zero" + out, "/dev/zero: not a regular file"},
        {"--scene " + inFifo + out, inFifo + ": not a regular file"},
        {"--scene " + good + " --embedded " + outFifo, outFifo + ": exists and is not a regular file"},
        {"--scene " + good + " --sequence " + DIR + "render_d.bmp --truth " + DIR + "render_t.csv",
         "--sequence: '" + DIR + "render_d.bmp' has no XXXXX for the frame number"},
        {"--scene " + good, "nothing to write: give --embedded, --bmp or --sequence"},
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
