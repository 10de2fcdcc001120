// tools/plot-run.py on a rendered scene with ego motion (the bend: a lead car and a static obstacle
// beside the curve): it writes its two pictures as PNG files of the figure's size, and refuses a
// file that is not obstacle-track's JSON Lines with a message and exit status 2. Skipped where
// matplotlib is missing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ProgramRunner.h"

namespace {

namespace fs = std::filesystem;

const std::string PLOT = std::string(SOURCE_DIR) + "/tools/plot-run.py";

// The width and height a PNG file's header declares, or 0 x 0 where it is no PNG file.
std::pair<uint32_t, uint32_t> PngSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0) return {0, 0};
    const auto word = [&](size_t at) {
        uint32_t value = 0;
        for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    return {word(16), word(20)};
}

}  // namespace

TEST(PlotRun, DrawsTheTracksAndTheRoadOfARenderedSceneAsPngFiles) {
    if (!std::string(EMULATOR).empty()) {
        GTEST_SKIP() << "the plots are drawn on the build machine: the native build tests them";
    }
    if (RunHostCommand("/usr/bin/python3 -c 'import matplotlib' 2>/dev/null").status != 0) {
        GTEST_SKIP() << "no matplotlib for /usr/bin/python3 (Debian: python3-matplotlib)";
    }
    const std::string dir = fs::temp_directory_path() / ("obstacle_plot_run_" + std::to_string(getpid()));
    fs::create_directories(dir + "/frames");
    ASSERT_EQ(RunProgram(SCENE_RENDER_EXE, "--scene " + std::string(SOURCE_DIR) + "/data/scenes/bend.txt --sequence " +
                                               dir + "/frames/dXXXXX.bmp --truth " + dir + "/truth.csv --poses-out " +
                                               dir + "/poses.txt").status, 0);
    ASSERT_EQ(RunProgram(OBSTACLE_TRACK_EXE, "--disparity " + dir + "/frames/dXXXXX.bmp --poses " + dir +
                                                 "/poses.txt --last 60 --quiet --json " + dir + "/run.jsonl 2>/dev/null").status, 0);
    const ProgramResult plot =
        RunHostCommand(PLOT + " " + dir + "/run.jsonl " + dir + "/plots --poses " + dir + "/poses.txt --fps 30 2>&1");
    EXPECT_EQ(plot.status, 0) << plot.output;
    // The figures are 10 x 8 and 10 x 3 inches at 100 dots an inch.
    EXPECT_EQ(PngSize(dir + "/plots/tracks.png"), std::make_pair(1000u, 800u));
    EXPECT_EQ(PngSize(dir + "/plots/road.png"), std::make_pair(1000u, 300u));

    std::ofstream(dir + "/other.jsonl") << "not a frame\n";
    const ProgramResult refused = RunHostCommand(PLOT + " " + dir + "/other.jsonl " + dir + "/plots 2>&1");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.output.find("line 1 is not an obstacle-track frame"), std::string::npos) << refused.output;
    fs::remove_all(dir);
}
