#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "ProgramRunner.h"

TEST(ObstacleDetectionProgram, PrintsOneLinePerFrameAndExitsCleanly) {
    const ProgramResult result = RunProgram(OBSTACLE_DETECTION_EXE, "ignored arguments");
    EXPECT_EQ(result.status, 0);
    std::istringstream lines(result.output);
    std::vector<std::string> frames;
    for (std::string line; std::getline(lines, line);) frames.push_back(line);
    ASSERT_EQ(frames.size(), 201u);
    for (int i = 0; i < 201; ++i) EXPECT_EQ(frames[i], "Frame=" + std::to_string(410 + i));
}

// Lines that standard output did not take are a failure, named on standard error: a full device,
// a closed descriptor.
TEST(ObstacleDetectionProgram, FailsWhereStandardOutputTakesNoLine) {
    for (const std::string output : {">/dev/full", ">&-"}) {
        const ProgramResult result = RunProgram(OBSTACLE_DETECTION_EXE, "2>&1 " + output);
        EXPECT_EQ(result.status, 2) << output;
        EXPECT_EQ(result.output, "obstacle-detection: standard output: cannot be written (closed or full)\n") << output;
    }
}
