// Hostile pictures handed to obstacle-track as files, as a user might: every run must end normally
// with every frame's JSON line, MOT lines and overlay pictures complete.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "BmpWriter.h"
#include "ColorMap.h"
#include "FileFrames.h"
#include "NoiseBytes.h"
#include "ProgramRunner.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr int FRAMES = 3;

// Bytes of one frame's picture, bottom row first, blue, green, red.
using Picture = std::function<std::vector<unsigned char>(int frame)>;

std::vector<unsigned char> Coded(const std::function<double(int u, int v)>& disparityAt) {
    std::vector<unsigned char> bytes;
    bytes.reserve(static_cast<size_t>(TOTAL_PIXELS) * 3);
    for (int v = TOTAL_V - 1; v >= 0; --v) {
        for (int u = 0; u < TOTAL_U; ++u) {
            ColorSet c{0, 0, 0};
            SetColorMap(&c, disparityAt(u, v));
            bytes.insert(bytes.end(), {static_cast<unsigned char>(c.blue), static_cast<unsigned char>(c.green),
                                       static_cast<unsigned char>(c.red)});
        }
    }
    return bytes;
}

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(HardeningTrackFiles, HostilePicturesRunToTheEndWithCompleteOutput) {
    char pattern[] = "/tmp/obstacle-hostile-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const struct {
        const char* name;
        Picture picture;
    } cases[] = {
        {"random", [](int frame) { return Noise(static_cast<size_t>(TOTAL_PIXELS) * 3, 77u + frame); }},
        {"largest", [](int) { return Coded([](int, int) { return 100.0; }); }},
        {"checkerboard", [](int frame) { return Coded([frame](int u, int v) { return (u + v + frame) % 2 ? 60.0 : 3.0; }); }},
        {"columns", [](int frame) { return Coded([frame](int u, int) { return 1.0 + (u + frame) % 100; }); }},
    };
    const std::vector<unsigned char> grey = Noise(static_cast<size_t>(CAMERA_COLS) * CAMERA_ROWS, 5u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string base = dir + "/" + c.name;
        fs::create_directories(base + "/overlays");
        for (int frame = 1; frame <= FRAMES; ++frame) {
            ASSERT_TRUE(WriteBmp(FramePath(base + "/d_XXXXX.bmp", frame), c.picture(frame).data(), TOTAL_U, TOTAL_V, 24));
            ASSERT_TRUE(WriteBmp(FramePath(base + "/g_XXXXX.bmp", frame), grey.data(), CAMERA_COLS, CAMERA_ROWS, 8));
        }
        const ProgramResult result = RunProgram(
            OBSTACLE_TRACK_EXE, "--disparity " + base + "/d_XXXXX.bmp --grey " + base + "/g_XXXXX.bmp --first 1 --last " +
                                    std::to_string(FRAMES) + " --quiet --grid --json " + base + "/run.jsonl --mot " + base +
                                    "/run.mot --overlay " + base + "/overlays 2>/dev/null");
        EXPECT_EQ(result.status, 0);
        const std::vector<std::string> lines = Lines(base + "/run.jsonl");
        ASSERT_EQ(lines.size(), static_cast<size_t>(FRAMES));
        for (int frame = 1; frame <= FRAMES; ++frame) {
            const json parsed = json::parse(lines[frame - 1]);
            EXPECT_EQ(parsed["frame"], frame);
            EXPECT_EQ(parsed["road"]["ground"].size(), static_cast<size_t>(LUT_NUM));
            EXPECT_TRUE(fs::exists(FramePath(base + "/overlays/overlay_XXXXX.bmp", frame)));
            EXPECT_TRUE(fs::exists(FramePath(base + "/overlays/topview_XXXXX.bmp", frame)));
        }
        for (const std::string& line : Lines(base + "/run.mot")) {
            EXPECT_GE(std::atoi(line.c_str()), 1) << line;
            EXPECT_LE(std::atoi(line.c_str()), FRAMES) << line;
        }
    }
    fs::remove_all(dir);
}
