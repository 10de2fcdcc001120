// obstacle-track's frame loop: frames of uneven spacing through --times, the progress a person
// reads, and a run that cannot start.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ProgramRunner.h"
#include "TrackRun.h"

namespace {

namespace fs = std::filesystem;

// The scene "approach" (a car 42 m ahead closing in at 6.4 m/s) is rendered at 30 frames a second.
constexpr double RENDERED_INTERVAL_S = 1.0 / 30.0;
constexpr int LAST_RENDERED = 100;
// Every second frame of these is dropped: the intervals double there.
constexpr int FIRST_DROPPED = 31;
constexpr int LAST_DROPPED = 89;
// The tracker's tolerance on this scene: its confirmed track's distance within 0.2 m and its
// closing speed within 0.5 m/s (8 % of 6.4 m/s) of the truth, on average over the frames from
// SETTLED_FRAME on, when the filters have had 2/3 s to find the speed from standing still.
constexpr int SETTLED_FRAME = 21;
constexpr double DISTANCE_TOLERANCE_M = 0.2;
constexpr double SPEED_TOLERANCE_MPS = 0.5;

struct Truth {
    double z_m;
    double vz_mps;
};

// The rendered frames' truth by frame number, from the renderer's truth.csv (one object).
std::map<int, Truth> ReadTruth(const std::string& path) {
    std::map<int, Truth> truth;
    std::ifstream in(path);
    std::string row;
    std::getline(in, row);  // header: frame,id,z_m,x_left_m,x_right_m,x_center_m,height_m,vz_mps,vx_mps,visible
    while (std::getline(in, row)) {
        std::vector<std::string> fields;
        std::istringstream line(row);
        for (std::string field; std::getline(line, field, ',');) fields.push_back(field);
        truth[std::stoi(fields.at(0))] = {std::stod(fields.at(2)), std::stod(fields.at(7))};
    }
    return truth;
}

struct TrackErrors {
    std::set<int> trajectories;  // the confirmed ones
    double distance_m = 0.0;     // mean absolute errors of the confirmed tracks
    double speed_mps = 0.0;
};

// The confirmed tracks of a run's JSON against the truth, from SETTLED_FRAME on; run frame f shows
// rendered frame rendered[f].
TrackErrors Score(const std::string& jsonPath, const std::map<int, int>& rendered, const std::map<int, Truth>& truth) {
    TrackErrors errors;
    int count = 0;
    std::ifstream in(jsonPath);
    for (std::string line; std::getline(in, line);) {
        const nlohmann::json frame = nlohmann::json::parse(line);
        const int shown = rendered.at(frame["frame"].get<int>());
        if (shown < SETTLED_FRAME) continue;
        const Truth& t = truth.at(shown);
        for (const nlohmann::json& track : frame["tracks"]) {
            if (!track["confirmed"].get<bool>()) continue;
            errors.trajectories.insert(track["track"].get<int>());
            errors.distance_m += std::fabs(track["z_m"].get<double>() - t.z_m);
            errors.speed_mps += std::fabs(track["vz_mps"].get<double>() - t.vz_mps);
            ++count;
        }
    }
    EXPECT_GT(count, 0) << jsonPath;
    errors.distance_m /= count;
    errors.speed_mps /= count;
    return errors;
}

std::string Track(const std::string& arguments) {
    const ProgramResult r = RunProgram(OBSTACLE_TRACK_EXE, arguments + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.output;
    return r.output;
}

std::string Scratch(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() / (name + "_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

}  // namespace

// The scene with frames dropped and renumbered, given the true times, is tracked within the
// tolerance the full scene is tracked in; without its times (every interval taken for the
// camera's) the closing speed is about twice the truth where frames are dropped.
TEST(TrackTimes, DroppedFramesAreTrackedAsTheFullSceneWithTheirTimes) {
    const std::string dir = Scratch("track_times");
    ASSERT_EQ(RunProgram(SCENE_RENDER_EXE, "--scene " + std::string(SOURCE_DIR) + "/data/scenes/approach.txt --sequence " +
                                               dir + "/dXXXXX.bmp --truth " + dir + "/truth.csv >/dev/null 2>&1")
                  .status,
              0);
    const std::map<int, Truth> truth = ReadTruth(dir + "/truth.csv");
    std::map<int, int> full, dropped;  // run frame -> rendered frame
    fs::create_directories(dir + "/dropped");
    std::ofstream times(dir + "/times.txt");
    for (int k = 1; k <= LAST_RENDERED; ++k) {
        full[k] = k;
        if (k >= FIRST_DROPPED && k <= LAST_DROPPED && k % 2 == 1) continue;
        const int renumbered = static_cast<int>(dropped.size());
        dropped[renumbered] = k;
        char from[32], to[32];
        std::snprintf(from, sizeof from, "/d%05d.bmp", k);
        std::snprintf(to, sizeof to, "/dropped/d%05d.bmp", renumbered);
        fs::copy_file(dir + from, dir + to);
        times << (k - 1) * RENDERED_INTERVAL_S << '\n';
    }
    times.close();

    Track("--disparity " + dir + "/dXXXXX.bmp --first 1 --last " + std::to_string(LAST_RENDERED) + " --quiet --json " +
          dir + "/full.jsonl");
    const std::string droppedRun = "--disparity " + dir + "/dropped/dXXXXX.bmp --quiet --json ";
    Track(droppedRun + dir + "/timed.jsonl --times " + dir + "/times.txt");
    Track(droppedRun + dir + "/untimed.jsonl");
    const TrackErrors fullErrors = Score(dir + "/full.jsonl", full, truth);
    const TrackErrors timed = Score(dir + "/timed.jsonl", dropped, truth);
    const TrackErrors untimed = Score(dir + "/untimed.jsonl", dropped, truth);
    std::cout << "mean distance and speed errors: full " << fullErrors.distance_m << " m, " << fullErrors.speed_mps
              << " m/s; dropped with --times " << timed.distance_m << " m, " << timed.speed_mps << " m/s; without "
              << untimed.distance_m << " m, " << untimed.speed_mps << " m/s\n";

    for (const TrackErrors* run : {&fullErrors, &timed}) {
        EXPECT_EQ(run->trajectories.size(), 1u);
        EXPECT_LE(run->distance_m, DISTANCE_TOLERANCE_M);
        EXPECT_LE(run->speed_mps, SPEED_TOLERANCE_MPS);
    }
    EXPECT_TRUE(untimed.speed_mps > SPEED_TOLERANCE_MPS || untimed.trajectories.size() > 1u);
    fs::remove_all(dir);
}

// A times file that cannot give every frame of the range its time is refused, naming the file and
// the line, before any frame is run.
TEST(TrackTimes, FilesThatCannotTimeTheRangeAreRefused) {
    const std::string dir = Scratch("track_times_refused");
    const struct {
        const char* text;
        const char* message;  // after "--times: FILE"
    } table[] = {
        {"0\n0.1\n0.1\n0.3\n", ":3: 0.1 s is not later than the line before's time: the times must increase"},
        {"0\n0.1\n0.2\n0.15\n", ":4: 0.15 s is not later than the line before's time: the times must increase"},
        {"0\n0.1\nsoon\n0.3\n", ":3: \"soon\" is not a finite number"},
        {"0\n0.1 0.2\n", ":2: more than one number"},
        {"0\n0.1\n0.2\n", ": 3 times cover frames 0 to 2, not the run's last frame 3"},
        {"", ": no times"},
    };
    for (const auto& c : table) {
        SCOPED_TRACE(c.text);
        const std::string path = dir + "/times.txt";
        std::ofstream(path) << c.text;
        const ProgramResult r = RunProgram(OBSTACLE_TRACK_EXE, "--first 0 --last 3 --times " + path + " 2>&1");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.output, "obstacle-track: --times: " + path + c.message + "\n");
    }
    fs::remove_all(dir);
}

// A run that cannot start says why and nothing else on standard error: no summary of 0 frames.
TEST(TrackProgress, ARunThatCannotStartGivesItsErrorAlone) {
    const std::string dir = Scratch("track_start");
    std::ofstream(dir + "/bad_camera.txt") << "f_pix = many\n";
    const struct {
        std::string arguments;
        std::string error;  // the start of the one line on standard error
    } table[] = {
        {"--disparity " + dir + "/dXXXXX.bmp --first 1 --last 2",
         "obstacle-track: --disparity: " + dir + "/d00001.bmp: "},
        {"--camera " + dir + "/bad_camera.txt --first 1 --last 2", "obstacle-track: --camera: " + dir + "/bad_camera.txt"},
    };
    for (const auto& c : table) {
        SCOPED_TRACE(c.arguments);
        const ProgramResult r = RunProgram(OBSTACLE_TRACK_EXE, c.arguments + " 2>&1 >/dev/null");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.output.rfind(c.error, 0), 0u) << r.output;
        EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
        EXPECT_EQ(r.output.find("frames processed"), std::string::npos) << r.output;
    }
    fs::remove_all(dir);
}

// The terminal's line: frame i of n, and once a frame is done the rate so far and the time left
// at it (hand-computed: 50 frames in 2 s are 25 a second, and 150 more take 6 s).
TEST(TrackProgress, TheTerminalLineGivesTheFrameTheRateAndTheTimeLeft) {
    const struct {
        int done, total;
        double elapsed_s;
        const char* line;
    } table[] = {
        {0, 201, 0.0, "Frame 1 of 201"},
        {50, 200, 2.0, "Frame 51 of 200, 25.0 frames/s, 0:06 left"},
        {100, 1000, 10.0, "Frame 101 of 1000, 10.0 frames/s, 1:30 left"},
        {3, 3, 0.4, "Frame 3 of 3, 7.5 frames/s, 0:00 left"},
    };
    for (const auto& c : table) EXPECT_EQ(ProgressLine(c.done, c.total, c.elapsed_s), c.line);
}

// Not on a terminal: one Frame=N line per frame as before. On one (a pseudo-terminal through
// `script`): the line rewritten in place, then ended before the summary.
TEST(TrackProgress, LinesOffATerminalOneLineInPlaceOnIt) {
    const ProgramResult piped = RunProgram(OBSTACLE_TRACK_EXE, "--first 410 --last 412 2>/dev/null");
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.output, "Frame=410\nFrame=411\nFrame=412\n");

    if (RunHostCommand("script --version >/dev/null 2>&1").status != 0) GTEST_SKIP() << "no script (util-linux)";
    const std::string emulator = EMULATOR;
    const std::string command = (emulator.empty() ? "" : emulator + " ") + OBSTACLE_TRACK_EXE + " --first 410 --last 412";
    const ProgramResult terminal = RunHostCommand("script -qec '" + command + " 2>/dev/null' /dev/null");
    EXPECT_EQ(terminal.status, 0);
    EXPECT_EQ(terminal.output.find("Frame="), std::string::npos) << terminal.output;
    EXPECT_EQ(terminal.output.rfind("\rFrame 1 of 3", 0), 0u) << terminal.output;
    EXPECT_NE(terminal.output.find("\rFrame 3 of 3, "), std::string::npos) << terminal.output;
    EXPECT_EQ(std::count(terminal.output.begin(), terminal.output.end(), '\r'), 3 + 1) << terminal.output;  // + the pty's line end
}
