#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "Builders.h"
#include "CodeTables.h"
#include "DisparityCodes.h"
#include "GridSearch.h"

namespace {

Grid CellAt(double aveD) {
    Grid cell{};
    cell.aveD = aveD;
    cell.z_m = BF_PIX / aveD;
    return cell;
}

}  // namespace

TEST(GridSearch, FirstDisparityOfABlockRowByRow) {
    DisparityBuffer buf;
    EXPECT_EQ(FindDisparityInBlock(DefaultGeometry(), 40, 80, buf.data()), 0.0);
    buf.at(43, 83) = 7.25;  // bottom-right pixel only
    EXPECT_EQ(FindDisparityInBlock(DefaultGeometry(), 40, 80, buf.data()), 7.25);
    buf.at(40, 82) = 9.5;  // an earlier row wins over a later one
    EXPECT_EQ(FindDisparityInBlock(DefaultGeometry(), 40, 80, buf.data()), 9.5);
    buf.at(43, 81) = 11.0;  // the last column of an earlier row wins over the first of a later one
    EXPECT_EQ(FindDisparityInBlock(DefaultGeometry(), 40, 80, buf.data()), 11.0);
    buf.at(44, 80) = 3.0;  // neighbouring blocks are not looked at
    buf.at(40, 79) = 3.0;
    EXPECT_EQ(FindDisparityInBlock(DefaultGeometry(), 40, 80, buf.data()), 11.0);
    EXPECT_EQ(FindDisparityInBlock(DefaultGeometry(), 556, 356, buf.data()), 0.0);  // the last block of the picture
}

TEST(GridSearch, FarBlocksBelowInTheSameStrip) {
    DisparityBuffer buf;
    const int u = 100;
    buf.FillBlock(u, 40, 20.0);         // the examined block
    buf.FillBlock(u, 60, 10.0);         // farther: counted
    buf.FillBlock(u, 64, 18.99);        // just below d - 1: counted
    buf.FillBlock(u, 68, 19.0);         // exactly d - 1: not counted
    buf.FillBlock(u, 72, 25.0);         // nearer: not counted
    buf.FillBlock(u, 36, 5.0);          // above the block: not examined
    buf.FillBlock(u + 4, 80, 5.0);      // next strip: not examined
    buf.FillBlock(u, 356, 5.0);         // bottom block row: never examined
    EXPECT_EQ(CountFarBlock(DefaultGeometry(), u, 40, 20.0, buf.data()), 2);
    EXPECT_EQ(CountFarBlock(DefaultGeometry(), u, 64, 20.0, buf.data()), 0);  // only strictly lower blocks
    EXPECT_EQ(CountFarBlock(DefaultGeometry(), u, 0, 20.0, buf.data()), 3);  // the block at row 36 too
    buf.FillBlock(u, 352, 5.0);
    EXPECT_EQ(CountFarBlock(DefaultGeometry(), u, 40, 20.0, buf.data()), 3);
    EXPECT_EQ(CountFarBlock(DefaultGeometry(), u, 348, 20.0, buf.data()), 1);
    EXPECT_EQ(CountFarBlock(DefaultGeometry(), u, 352, 20.0, buf.data()), 0);
    EXPECT_EQ(CountFarBlock(DefaultGeometry(), u, 356, 20.0, buf.data()), 0);
}

TEST(GridSearch, HeightOfTheMatchingRun) {
    DisparityBuffer buf;
    const int u = 80;
    buf.FillColumn(u, 100, 150, 10.3);  // within 0.5 of the cell's 10.0
    buf.at(u, 60) = 10.0;               // a stray pixel: the pixel four rows lower does not match
    buf.at(u + 1, 40) = 10.0;           // other columns of the strip are not examined
    buf.at(u + 1, 44) = 10.0;
    Grid cell = CellAt(10.0);
    SearchHeightPixel(DefaultGeometry(), &cell, buf.data(), u, 200, 0);
    EXPECT_EQ(cell.h_pix, 100);
    EXPECT_EQ(cell.hl_pix, 150);  // last matching row 146 + 4
    EXPECT_DOUBLE_EQ(cell.h_m, 1.5);  // 100 rows x 0.15 / 10

    // Rows lower than the road row are not examined: the road row itself is.
    Grid cut = CellAt(10.0);
    SearchHeightPixel(DefaultGeometry(), &cut, buf.data(), u, 120, 0);
    EXPECT_EQ(cut.h_pix, 100);
    EXPECT_EQ(cut.hl_pix, 124);
    Grid atRoad = CellAt(10.0);
    SearchHeightPixel(DefaultGeometry(), &atRoad, buf.data(), u, 100, 0);
    EXPECT_EQ(atRoad.h_pix, 100);
    EXPECT_EQ(atRoad.h_m, 0.0);

    // 10.3 is 0.6 away from 10.9 in disparity and 0.76 m in distance: no match.
    Grid off = CellAt(10.9);
    SearchHeightPixel(DefaultGeometry(), &off, buf.data(), u, 200, 0);
    EXPECT_EQ(off.h_pix, 200);
    EXPECT_EQ(off.hl_pix, 200);
    EXPECT_EQ(off.h_m, 0.0);
}

TEST(GridSearch, HeightMatchesByDistanceAndIgnoresEmptyPixels) {
    DisparityBuffer buf;
    const int u = 12;
    // At 30 pixels (4.75 m) a value of 31 is 1 pixel but only 0.15 m away.
    buf.FillColumn(u, 200, 230, 31.0);
    Grid near = CellAt(30.0);
    SearchHeightPixel(DefaultGeometry(), &near, buf.data(), u, 300, 0);
    EXPECT_EQ(near.h_pix, 200);
    EXPECT_EQ(near.hl_pix, 230);
    // 33 is 0.43 m nearer than 30: neither test passes.
    DisparityBuffer farther;
    farther.FillColumn(u, 200, 230, 33.0);
    Grid tooFar = CellAt(30.0);
    SearchHeightPixel(DefaultGeometry(), &tooFar, farther.data(), u, 300, 0);
    EXPECT_EQ(tooFar.h_pix, 300);

    // An empty pixel matches only a cell whose disparity is at most 0.5.
    DisparityBuffer empty;
    Grid one = CellAt(0.6);
    SearchHeightPixel(DefaultGeometry(), &one, empty.data(), u, 50, 0);
    EXPECT_EQ(one.h_pix, 50);
    Grid tiny = CellAt(0.5);
    SearchHeightPixel(DefaultGeometry(), &tiny, empty.data(), u, 50, 0);
    EXPECT_EQ(tiny.h_pix, 0);
    EXPECT_EQ(tiny.hl_pix, 54);

    // A road row above the picture examines nothing; one below it stops at row 355 (+4 = 359).
    Grid above = CellAt(0.5);
    SearchHeightPixel(DefaultGeometry(), &above, empty.data(), u, -3, 0);
    EXPECT_EQ(above.h_pix, -3);
    EXPECT_EQ(above.h_m, 0.0);
    Grid below = CellAt(0.5);
    SearchHeightPixel(DefaultGeometry(), &below, empty.data(), u, 5000, 0);
    EXPECT_EQ(below.h_pix, 0);
    EXPECT_EQ(below.hl_pix, 359);
}

// Every cell mean the grid stage gives (level d - 1 plus a whole number of 0.1-wide fine bins)
// under three cameras, against every code of both code sets the grid stage ranks (the colour
// coding's, and a 16-bit picture's raw values at sixteenths of a pixel): the codes found by binary
// search in the set's own ranking are exactly those whose values MatchesCell accepts, and with the
// cell's distance taken from its disparity, as the grid stage takes it, they form one range. A
// cell whose distance is not its disparity's (no range of codes then joins its two tests) is
// matched exactly too.
TEST(GridSearch, CodesMatchingACellAreTheCodesWhoseValuesMatch) {
    const Fixed16Codes sixteenths(1.0 / 16.0);
    const struct {
        const char* name;
        const double* value;
        int codes;
        const CodeRanking& ranking;
    } codeSets[] = {
        {"colour", DisparityCodes().value, DISPARITY_CODES, ColourCodeTables().grid->ranking},
        {"16-bit", sixteenths.value.data(), static_cast<int>(sixteenths.value.size()), sixteenths.grid.ranking},
    };
    ASSERT_EQ(sixteenths.value.size(), 100u * 16u + 1u);  // codes 0 .. 1600, the last at disparity 100
    for (const auto& set : codeSets) {
        SCOPED_TRACE(set.name);
        const double* value = set.value;
        const CodeRanking& ranking = set.ranking;
        for (int c = 0; c < set.codes; ++c) ASSERT_EQ(ranking.rankedValue[ranking.rank[c]], value[c]) << c;
        ASSERT_TRUE(std::is_sorted(ranking.rankedValue.begin(), ranking.rankedValue.end()));
        int wrongCodes = 0;
        int splitRanges = 0;    // cells of the grid stage whose matching values are not one range
        int disjointCells = 0;  // cells whose two tests hold on separate ranges
        int cells = 0;
        for (const double bf_pix : {BF_PIX, 721.5377 * 0.5372, 100.25}) {
            for (int d = FIRST_GRID_LEVEL; d < LUT_NUM; ++d) {
                for (int bin = 0; bin < 30; ++bin) {
                    Grid cell{};
                    cell.aveD = (d - 1) + bin * 0.1;
                    for (const double z_m : {bf_pix / cell.aveD, bf_pix / (cell.aveD + 7.0)}) {
                        cell.z_m = z_m;
                        const MatchingCodes matching = CodesMatchingCell(cell, bf_pix, ranking);
                        for (int c = 0; c < set.codes; ++c) {
                            wrongCodes += matching(static_cast<uint16_t>(c)) != MatchesCell(cell, value[c], bf_pix);
                        }
                        int runs = 0;
                        bool previous = false;
                        for (const double m : ranking.rankedValue) {
                            const bool matches = MatchesCell(cell, m, bf_pix);
                            runs += matches && !previous;
                            previous = matches;
                        }
                        (z_m == bf_pix / cell.aveD ? splitRanges : disjointCells) += runs > 1;
                        ++cells;
                    }
                }
            }
        }
        EXPECT_EQ(cells, 3 * 98 * 30 * 2);
        EXPECT_EQ(wrongCodes, 0);
        EXPECT_EQ(splitRanges, 0);
        EXPECT_GT(disjointCells, 0);
    }
}
