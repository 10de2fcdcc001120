// The real street (KITTI's residential recording, read from KITTI_DIR) through obstacle-track with
// KITTI's camera at its native 1226 x 370 pictures, on both targets: the road profile is taken in
// nearly every frame, the static obstacles' distances shrink by the car's own recorded motion, and
// the parked car along the right keeps one trajectory from 35 m until it leaves the view.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include <unistd.h>

#include "ProgramRunner.h"

using nlohmann::json;

namespace {

const std::string STREET = std::string(KITTI_DIR) + "/residential";

// The forward position (t_z) of the camera in each frame, from poses.txt.
std::vector<double> ForwardPositions() {
    std::ifstream in(STREET + "/poses.txt");
    std::vector<double> forward;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        double value[12] = {};
        for (double& v : value) fields >> v;
        forward.push_back(value[11]);
    }
    return forward;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? NAN : values[values.size() / 2];
}

}  // namespace

TEST(RealStreet, KittiCameraKeepsTheRoadAndFollowsTheStaticStreet) {
    if (!std::filesystem::exists(STREET + "/poses.txt")) GTEST_SKIP() << "no KITTI recording at " << KITTI_DIR;
    // A name of this process's own: runs of the suite side by side must not write into each other's file.
    const std::string out =
        std::filesystem::temp_directory_path() / ("obstacle_real_street_" + std::to_string(getpid()) + ".jsonl");
    const ProgramResult run =
        RunProgram(OBSTACLE_TRACK_EXE, "--disparity " + STREET + "/disp_sgbm/XXXXXX.png --camera " + STREET +
                                           "/calib.txt --camera-height 1.65 --pitch 0.02 --fps 10 --zone -4,4 --quiet"
                                           " --json " + out + " 2>/dev/null");
    ASSERT_EQ(run.status, 0);
    std::vector<json> frames;
    std::ifstream in(out);
    for (std::string line; std::getline(in, line);) frames.push_back(json::parse(line));
    std::filesystem::remove(out);
    const std::vector<double> forward = ForwardPositions();
    ASSERT_EQ(frames.size(), 51u);
    ASSERT_EQ(forward.size(), 51u);

    int accepted = 0;
    std::vector<double> closingErrors;   // |closing - travel| / distance of established tracks
    std::map<int, std::vector<double>> parkedRight;  // trajectory -> distances, x in 2..4 m, nearer than 30 m
    std::map<int, double> previous;      // trajectory -> distance in the frame before
    for (size_t k = 0; k < frames.size(); ++k) {
        accepted += frames[k]["road"]["accepted"].get<bool>() ? 1 : 0;
        std::map<int, double> now;
        for (const json& t : frames[k]["tracks"]) {
            if (t["count"].get<int>() < 3 || !t["z_m"].is_number()) continue;
            const int trajectory = t["track"].get<int>();
            const double z = t["z_m"].get<double>();
            now[trajectory] = z;
            const auto before = previous.find(trajectory);
            if (before != previous.end()) {
                closingErrors.push_back(std::fabs((before->second - z) - (forward[k] - forward[k - 1])) / z);
            }
            const double x = t["x_m"].get<double>();
            if (x > 2.0 && x < 4.0 && z < 30.0 && z > 3.8) parkedRight[trajectory].push_back(z);
        }
        previous = now;
    }
    // The car drives about 1.2 m a frame, nearly straight: a static obstacle comes that much nearer.
    ASSERT_GE(closingErrors.size(), 150u);
    EXPECT_LT(Median(closingErrors), 0.03);
    EXPECT_GE(accepted, 48) << "road profile accepted in " << accepted << " of 51 frames";
    // The parked car first seen at 35 m is one trajectory from below 30 m down to the nearest
    // distance the disparity levels measure (f B / 99 = 3.8 m).
    ASSERT_FALSE(parkedRight.empty());
    const auto longest = std::max_element(parkedRight.begin(), parkedRight.end(),
                                          [](const auto& a, const auto& b) { return a.second.size() < b.second.size(); });
    EXPECT_GE(longest->second.size(), 18u);
    EXPECT_GT(longest->second.front(), 28.0);
    EXPECT_LT(longest->second.back(), 6.0);
}
