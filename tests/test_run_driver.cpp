#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "RunDriver.h"
#include "RunState.h"

TEST(Strchg, ReplacesEveryOccurrenceAndSearchesReplacedTextAgain) {
    char buf[64] = "a_XXXXX_b_XXXXX";
    EXPECT_TRUE(strchg(buf, sizeof buf, "XXXXX", "00410"));
    EXPECT_STREQ(buf, "a_00410_b_00410");

    char unchanged[16] = "no marker";
    EXPECT_TRUE(strchg(unchanged, sizeof unchanged, "XXXXX", "00410"));
    EXPECT_STREQ(unchanged, "no marker");

    // Overlapping occurrences: the first from the left is replaced, then the search restarts.
    char overlap[16] = "XXXXXXX";
    EXPECT_TRUE(strchg(overlap, sizeof overlap, "XXXXX", "12345"));
    EXPECT_STREQ(overlap, "12345XX");

    // A replacement can form a new occurrence with the text before it: aabb -> aab -> aa.
    char chain[16] = "aabb";
    EXPECT_TRUE(strchg(chain, sizeof chain, "ab", "a"));
    EXPECT_STREQ(chain, "aa");
}

TEST(Strchg, RefusesWhatWouldOverflowOrNeverEnd) {
    char small[12] = "id=XXXXX";
    EXPECT_FALSE(strchg(small, sizeof small, "XXXXX", "too-long-text"));
    EXPECT_STREQ(small, "id=XXXXX");
    // Exactly filling the buffer is allowed.
    EXPECT_TRUE(strchg(small, sizeof small, "XXXXX", "12345678"));
    EXPECT_STREQ(small, "id=12345678");

    char loop[16] = "aXa";
    EXPECT_FALSE(strchg(loop, sizeof loop, "X", "XX"));
    EXPECT_FALSE(strchg(loop, sizeof loop, "", "Y"));
    EXPECT_STREQ(loop, "aXa");
}

TEST(FrameNames, CarryTheZeroPaddedFrameNumber) {
    FrameNames names;
    InitialNames(names);
    FormFrameNames(names, 410);
    EXPECT_STREQ(names.iTmpBuf, "00410");
    EXPECT_STREQ(names.iFileD,
                 "..\\20141028_153309\\Disparity\\20141028_153309-L0001_00410_calib_disparity.bmp");
    EXPECT_STREQ(names.iFileOriginal, "..\\20141028_153309\\Rect\\20141028_153309-L0001_00410_calib.bmp");
    EXPECT_STREQ(names.outputFileTopview,
                 "..\\20141028_153309\\Output\\20141028_153309-L0001_00410_new_out.bmp");
    FormFrameNames(names, 7);
    EXPECT_STREQ(names.iTmpBuf, "00007");
    EXPECT_NE(std::strstr(names.iFileD, "-L0001_00007_calib"), nullptr);
}

TEST(RunTables, InitialRoadRowsFollowTheFlatRoadGeometry) {
    int pre_ground[LUT_NUM];
    InitialRoadRows(DEFAULT_CAMERA, pre_ground);
    const int first[8] = {117, 126, 135, 143, 152, 161, 170, 179};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(pre_ground[k], first[k]) << "k=" << k;
    EXPECT_EQ(pre_ground[27], 358);
    for (int k = 28; k < LUT_NUM; ++k) EXPECT_EQ(pre_ground[k], 360) << "k=" << k;
    for (int k = 1; k < 28; ++k) EXPECT_GT(pre_ground[k], pre_ground[k - 1]);
}

TEST(RunTables, ThresholdsAreResetEveryFrame) {
    double disparity[LUT_NUM];
    double threshold[LUT_NUM];
    ResetFrameTables(DefaultGeometry(), disparity, threshold);
    threshold[16] *= 1.5;
    threshold[17] *= 2.0;
    ResetFrameTables(DefaultGeometry(), disparity, threshold);
    EXPECT_EQ(threshold[0], 12.0);
    EXPECT_EQ(threshold[16], 12.0);
    EXPECT_DOUBLE_EQ(threshold[17], 25.7);
    EXPECT_DOUBLE_EQ(threshold[39], 27.9);
    EXPECT_EQ(threshold[40], 28.0);
    EXPECT_EQ(threshold[99], 28.0);
    for (int i = 0; i < LUT_NUM; ++i) EXPECT_EQ(disparity[i], i);
}
