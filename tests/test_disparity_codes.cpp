#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "ColorMap.h"
#include "DisparityCodes.h"
#include "OccupancyGrid.h"
#include "RunState.h"

namespace {

const double* CodeValue() { return DisparityCodes().value; }

// The cells' fields, compared one by one (a record's padding is not part of it).
void ExpectSameGrid(const std::vector<Grid>& a, const std::vector<Grid>& b, const char* what) {
    ASSERT_EQ(a.size(), b.size());
    int differing = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const Grid& x = a[i];
        const Grid& y = b[i];
        differing += !(x.exist == y.exist && x.h_pix == y.h_pix && x.hl_pix == y.hl_pix && x.aveD == y.aveD &&
                       x.x_m == y.x_m && x.z_m == y.z_m && x.h_m == y.h_m);
    }
    EXPECT_EQ(differing, 0) << what;
}

std::vector<double> ValuesOf(const std::vector<DisparityCode>& codes) {
    std::vector<double> values;
    for (const DisparityCode c : codes) values.push_back(CodeValue()[c]);
    return values;
}

}  // namespace

// Every one of the 2^24 colours: its code stands for the value ColorToValue gives the colour, and
// only colours of no disparity get code 0.
TEST(DisparityCodes, EveryColourCodesItsOwnValue) {
    const DisparityCodeTables& codes = DisparityCodes();
    int wrongValues = 0;
    int wrongZeros = 0;
    int outOfRange = 0;
    for (int colour = 0; colour < (1 << 24); ++colour) {
        const uchar pixel[3] = {static_cast<uchar>(colour), static_cast<uchar>(colour >> 8),
                                static_cast<uchar>(colour >> 16)};
        const int code = ColourCode(pixel, codes.segment);
        if (code < 0 || code >= DISPARITY_CODES) {
            ++outOfRange;
            continue;
        }
        const ColorSet rgb{pixel[2], pixel[1], pixel[0]};
        const double value = ColorToValue(&rgb, 2);
        wrongValues += codes.value[code] != value;
        wrongZeros += (code == NO_DISPARITY_CODE) != (value == 0.0);
    }
    EXPECT_EQ(outOfRange, 0);
    EXPECT_EQ(wrongValues, 0);
    EXPECT_EQ(wrongZeros, 0);
}

// Each strip holds one code only, at every level examined (threshold 0): a cell of a level whose
// window holds the value takes the upper edge of the value's fine bin as its disparity, any other
// the window's lower edge. So every code's fine bin in every level is compared with the one the
// values' path finds by HistogramBin.
TEST(DisparityCodes, EachCodesFineBinsAreTheValuesBins) {
    const StageGeometry& g = DefaultGeometry();
    double disparity[LUT_NUM];
    double threshold[LUT_NUM];
    for (int d = 0; d < LUT_NUM; ++d) {
        disparity[d] = d;
        threshold[d] = 0.0;
    }
    std::vector<double> stripValues(static_cast<size_t>(SHIFT_PITCH) * g.height);
    for (int first = 1; first < DISPARITY_CODES; first += g.blocksU) {
        std::vector<DisparityCode> codes(static_cast<size_t>(g.pixels), NO_DISPARITY_CODE);
        for (int uBl = 0; uBl < g.blocksU && first + uBl < DISPARITY_CODES; ++uBl) {
            for (int v = 0; v < g.height; v += 3) codes[PIXEL(uBl * SHIFT_PITCH + v % SHIFT_PITCH, v, g.width)] =
                static_cast<DisparityCode>(first + uBl);
        }
        const std::vector<double> values = ValuesOf(codes);
        std::vector<Grid> byCodes;
        std::vector<Grid> byValues;
        InitializeGrid(g, byCodes);
        InitializeGrid(g, byValues);
        for (int uBl = 0; uBl < g.blocksU; ++uBl) {
            ClassifyStrip(g, codes.data(), uBl, disparity, threshold, byCodes.data());
            ClassifyStrip(g, values.data(), uBl, disparity, threshold, stripValues.data(), byValues.data());
        }
        ExpectSameGrid(byCodes, byValues, "one code per strip");
    }
}

// The grid stage run on a frame's codes, and on their values as a value source gives them.
std::vector<Grid> StageGrid(const std::vector<DisparityCode>& codes, const int* blind, const int* ground,
                            const double* threshold, bool asValues) {
    RunState run;
    run.disparityValuesGiven = asValues;
    run.disparityCodes = codes;
    run.measuredDisparity = ValuesOf(codes);
    std::copy(blind, blind + LUT_NUM, run.blind);
    std::copy(ground, ground + LUT_NUM, run.ground);
    std::copy(threshold, threshold + LUT_NUM, run.threshold);
    OccupancyGrid(run);
    return run.newGrid;
}

// Random pictures of codes through the steps of the grid stage one after the other, blind rows,
// overhead blocks, counts, promotion and heights, give the grid their values give, and so does the
// stage itself on either.
TEST(DisparityCodes, CodesGiveTheGridOfTheirValues) {
    const StageGeometry& g = DefaultGeometry();
    std::mt19937 random(7);
    struct Case {
        int zeroShare;  // percent of pixels without disparity
        int rowSpread;  // rows of the blind and road tables around the picture's middle
    };
    for (const Case& c : {Case{50, 40}, Case{80, 200}, Case{20, 400}}) {
        std::vector<DisparityCode> codes(static_cast<size_t>(g.pixels));
        for (DisparityCode& code : codes) {
            const bool none = static_cast<int>(random() % 100) < c.zeroShare;
            code = none ? NO_DISPARITY_CODE : static_cast<DisparityCode>(random() % DISPARITY_CODES);
            if (CodeValue()[code] == 0.0) code = NO_DISPARITY_CODE;  // a code no colour has
        }
        const std::vector<DisparityCode> frame = codes;
        std::vector<double> values = ValuesOf(codes);
        int blind[LUT_NUM];
        int ground[LUT_NUM];
        double disparity[LUT_NUM];
        double threshold[LUT_NUM];
        for (int d = 0; d < LUT_NUM; ++d) {
            ground[d] = g.height / 2 + static_cast<int>(random() % c.rowSpread) - c.rowSpread / 2;
            blind[d] = ground[d] - static_cast<int>(random() % 20);
            disparity[d] = d;
            threshold[d] = static_cast<double>(random() % 4);
        }
        std::vector<double> stripValues(static_cast<size_t>(SHIFT_PITCH) * g.height);
        std::vector<Grid> byCodes;
        std::vector<Grid> byValues;
        InitializeGrid(g, byCodes);
        InitializeGrid(g, byValues);
        for (int uBl = 0; uBl < g.blocksU; ++uBl) {
            const int u0 = uBl * SHIFT_PITCH;
            DropStripBelowBlind(g, blind, u0, codes.data());
            DropStripBelowBlind(g, blind, u0, values.data());
            RemoveStripOverheadBlocks(g, ground, u0, codes.data());
            RemoveStripOverheadBlocks(g, ground, u0, values.data());
            ClassifyStrip(g, codes.data(), uBl, disparity, threshold, byCodes.data());
            ClassifyStrip(g, values.data(), uBl, disparity, threshold, stripValues.data(), byValues.data());
        }
        EXPECT_EQ(ValuesOf(codes), values) << "pixels left, " << c.zeroShare << " % none";
        PromoteWeakRuns(g, byCodes.data());
        PromoteWeakRuns(g, byValues.data());
        MeasureHeights(g, codes.data(), ground, blind, byCodes.data());
        MeasureHeights(g, values.data(), ground, blind, byValues.data());
        ExpectSameGrid(byCodes, byValues, "steps one after the other");
        ExpectSameGrid(StageGrid(frame, blind, ground, threshold, false), byValues, "the stage on codes");
        ExpectSameGrid(StageGrid(frame, blind, ground, threshold, true), byValues, "the stage on values");
    }
}
