#include <gtest/gtest.h>

#include "Histogram.h"

TEST(Histogram, BinsAreLabelledByTheirUpperEdge) {
    Histogram h(100, 1.0, 1.0);
    h.AddData(1.0);           // equal to the first edge: bin 1
    h.AddData(0.9999999);     // below the first edge: ignored
    h.AddData(1.9999999);     // still bin 1
    h.AddData(2.0);           // bin 2
    h.AddData(99.0 - 1e-9);   // bin 98
    h.AddData(99.9);          // the last bin, 99, ends just below 100
    h.AddData(100.0);         // would need bin 100: not counted
    EXPECT_EQ(h.GetFreqOfBin(0), 0);
    EXPECT_EQ(h.GetFreqOfBin(1), 2);
    EXPECT_EQ(h.GetFreqOfBin(2), 1);
    EXPECT_EQ(h.GetFreqOfBin(98), 1);
    EXPECT_EQ(h.GetFreqOfBin(99), 1);
    EXPECT_EQ(h.GetTotalData(), 5);
    EXPECT_EQ(h.GetSize(), 7);
}

TEST(Histogram, StripRuleCountsDisparitiesAroundEachLevel) {
    // Values d + 0.5 with first bin 1.0 and width 1.0: bin j counts d in [j - 0.5, j + 0.5).
    Histogram h(100, 1.0, 1.0);
    for (double d : {9.5, 9.9, 10.49, 10.5, 0.0}) h.AddData(d + 0.5);
    EXPECT_EQ(h.GetFreqOfBin(10), 3);
    EXPECT_EQ(h.GetFreqOfBin(11), 1);
    EXPECT_EQ(h.GetFreqOfBin(1), 0);  // zero pixels fall below the first bin
}

TEST(Histogram, ModeTakesTheLowestOfEqualBins) {
    Histogram empty(30, 0.1, 9.0);
    EXPECT_EQ(empty.GetNumOfMax(), 0);

    Histogram h(30, 0.1, 9.0);
    for (double v : {9.25, 9.26, 9.55, 9.56, 9.05}) h.AddData(v);
    EXPECT_EQ(h.GetNumOfMax(), 3);  // [9.2, 9.3) ties with [9.5, 9.6); the lower wins
}

TEST(Histogram, ClearAndRecountStartFromEmptyBins) {
    Histogram h(10, 1.0, 0.0);
    h.AddData(3.5);
    EXPECT_EQ(h.GetFreqOfBin(4), 1);
    // More data after a count is counted once, not on top of the earlier count.
    h.AddData(3.6);
    EXPECT_EQ(h.GetFreqOfBin(4), 2);
    EXPECT_EQ(h.GetTotalData(), 2);

    h.Clear();
    h.AddData(5.5);
    EXPECT_EQ(h.GetFreqOfBin(4), 0);
    EXPECT_EQ(h.GetFreqOfBin(6), 1);

    // Deleting a value does not change the bins until something makes them stale.
    h.DeleteData(0);
    EXPECT_EQ(h.GetFreqOfBin(6), 1);
    EXPECT_EQ(h.GetSize(), 0);
}

namespace {

// A histogram of 10 bins of width 1.0 from 0.0, the steps of a case, and the total they leave.
struct TotalCase {
    const char* name;
    void (*steps)(Histogram& h);
    int total;
};

void AddTwoAndCount(Histogram& h) {
    h.AddData(1.5);
    h.AddData(2.5);
    h.GetFreqOfBin(0);
}

const TotalCase TOTAL_CASES[] = {
    {"a recount after more values counts each value once",
     [](Histogram& h) { AddTwoAndCount(h); h.AddData(3.5); h.GetFreqOfBin(0); }, 3},
    {"Initialize starts the total afresh and the next count places all four stored values",
     [](Histogram& h) { AddTwoAndCount(h); h.Initialize(); h.AddData(3.5); h.AddData(4.5); h.GetFreqOfBin(0); }, 4},
    {"a count after deleting every value and Initialize places nothing",
     [](Histogram& h) { AddTwoAndCount(h); h.DeleteData(0); h.DeleteData(0); h.Initialize(); h.GetNumOfMax(); }, 0},
    {"values cleared away stay counted",
     [](Histogram& h) { AddTwoAndCount(h); h.Clear(); h.AddData(5.5); h.GetFreqOfBin(0); }, 3},
    {"values outside the bins are never placed",
     [](Histogram& h) { h.AddData(-1.0); h.AddData(9.5); h.AddData(0.5); h.GetFreqOfBin(0); }, 1},
};

}  // namespace

TEST(Histogram, TotalCountsTheValuesPlacedSinceTheLastInitialize) {
    for (const TotalCase& c : TOTAL_CASES) {
        Histogram h(10, 1.0, 0.0);
        c.steps(h);
        EXPECT_EQ(h.GetTotalData(), c.total) << c.name;
    }
}
