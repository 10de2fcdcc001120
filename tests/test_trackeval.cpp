// obstacle-track's MOT and KITTI tracking files read by the real evaluator, TrackEval, exactly as
// written, and scored against the truth of rendered scenes (tools/eval/trackeval-scene.py puts
// the truth into each evaluator's ground-truth layout). TrackEval's folder is TRACKEVAL_DIR (in the
// environment, else beside the repository); it runs on a python3 with numpy and scipy
// (TRACKEVAL_PYTHON, else python3 or /usr/bin/python3). Skipped with a message where either is
// missing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "ProgramRunner.h"

namespace fs = std::filesystem;

namespace {

std::string TrackEvalDir() {
    const char* given = std::getenv("TRACKEVAL_DIR");
    return given != nullptr ? given : std::string(SOURCE_DIR) + "/../shared/tools/trackeval";
}

// A python3 that imports numpy and scipy, or an empty text.
std::string PythonWithNumpy() {
    const char* given = std::getenv("TRACKEVAL_PYTHON");
    for (const std::string& python : {given != nullptr ? std::string(given) : "python3", std::string("/usr/bin/python3")}) {
        const std::string check = python + " -c 'import numpy, scipy' >/dev/null 2>&1";
        if (std::system(check.c_str()) == 0) return python;
    }
    return "";
}

}  // namespace

// An easy scene (one car in our lane, closing in) and a harder one (a car cutting in hides the one
// ahead): both files parse, every truth box is counted, and the scores are those of a tracker that
// follows what it sees. The misses of the easy scene are the frames before its track is confirmed.
TEST(TrackEval, ScoresTheMotAndKittiFilesOfRenderedScenes) {
#ifndef WITH_OBSTACLE_TRACK
    GTEST_SKIP() << "obstacle-track is not built";
#else
    const std::string trackeval = TrackEvalDir();
    if (!fs::exists(trackeval + "/trackeval/__init__.py")) GTEST_SKIP() << "no TrackEval at " << trackeval;
    const std::string python = PythonWithNumpy();
    if (python.empty()) GTEST_SKIP() << "no python3 with numpy and scipy (Debian's python3-numpy, python3-scipy)";

    const struct {
        const char* scene;
        double minHota;
        double minMota;
        double minIdf1;
    } cases[] = {
        {"approach", 0.8, 0.95, 0.95},
        {"cut_in", 0.6, 0.7, 0.8},
    };
    const std::string dir = (fs::temp_directory_path() / ("trackeval_" + std::to_string(getpid()))).string();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scene);
        const std::string out = dir + "/" + c.scene;
        fs::create_directories(out + "/frames");
        ASSERT_EQ(RunProgram(SCENE_RENDER_EXE, "--scene " + std::string(SOURCE_DIR) + "/data/scenes/" + c.scene +
                                                   ".txt --sequence " + out + "/frames/dXXXXX.bmp --truth " + out +
                                                   "/truth.csv").status,
                  0);
        ASSERT_EQ(RunProgram(OBSTACLE_TRACK_EXE, "--disparity " + out + "/frames/dXXXXX.bmp --quiet --mot " + out +
                                                     "/run.mot --kitti-tracking " + out + "/run.kitti --camera-out " +
                                                     out + "/camera.txt 2>/dev/null")
                      .status,
                  0);
        const ProgramResult scored =
            RunHostCommand(python + " " + SOURCE_DIR + "/tools/eval/trackeval-scene.py --trackeval " + trackeval +
                    " --truth " + out + "/truth.csv --camera " + out + "/camera.txt --mot " + out + "/run.mot --kitti " +
                    out + "/run.kitti");
        ASSERT_EQ(scored.status, 0) << scored.output;
        const nlohmann::json scores = nlohmann::json::parse(scored.output);
        int visible = 0;  // the truth's rows of boxes seen, the last field 1
        std::ifstream truth(out + "/truth.csv");
        for (std::string row; std::getline(truth, row);) visible += row.size() > 2 && row.substr(row.size() - 2) == ",1";
        ASSERT_GT(visible, 0);
        for (const char* file : {"mot", "kitti"}) {
            SCOPED_TRACE(file);
            const nlohmann::json& s = scores.at(file);
            EXPECT_EQ(s["truth_boxes"], visible);
            EXPECT_GT(s["tracker_boxes"], 0);
            EXPECT_GE(s["HOTA"], c.minHota);
            EXPECT_GE(s["MOTA"], c.minMota);
            EXPECT_GE(s["IDF1"], c.minIdf1);
            EXPECT_LE(s["MOTA"], 1.0);
        }
    }
    fs::remove_all(dir);
#endif
}
