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
