#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "Builders.h"
#include "Geometry.h"
#include "GridSearch.h"
#include "OccupancyGrid.h"

namespace {

void RemoveOverheadBlocksEverywhere(const int* ground, DisparityBuffer& buf) {
    for (int u0 = 0; u0 < TOTAL_U; u0 += SHIFT_PITCH) RemoveStripOverheadBlocks(DefaultGeometry(), ground, u0, buf.values.data());
}

// Per-disparity tables with one extra entry past the end holding a value that would change the
// result if it were read.
struct Tables {
    int ground[LUT_NUM + 1];
    int ceiling[LUT_NUM + 1];
    double disparity[LUT_NUM];
    double threshold[LUT_NUM];
    explicit Tables(int groundRow, int pastEnd) {
        for (int d = 0; d <= LUT_NUM; ++d) {
            ground[d] = d < LUT_NUM ? groundRow : pastEnd;
            ceiling[d] = 0;
        }
        for (int d = 0; d < LUT_NUM; ++d) {
            disparity[d] = d;
            threshold[d] = 10.0;  // empty below 20 pixels, weak below 50, occupied from 50
        }
    }
};

std::vector<Grid> ClassifiedGrid(const DisparityBuffer& buf, const Tables& tables) {
    std::vector<Grid> grid;
    InitializeGrid(DefaultGeometry(), grid);
    std::vector<double> strip(SHIFT_PITCH * TOTAL_V);
    for (int uBl = 0; uBl < totalBlkNumU; ++uBl) {
        ClassifyStrip(DefaultGeometry(), buf.values.data(), uBl, tables.disparity, tables.threshold, strip.data(),
                      grid.data());
    }
    return grid;
}

// A row of cells: occupied ones with the disparity that sets their promotion window, weak ones.
void SetOccupied(std::vector<Grid>& grid, int uBl, int d, double aveD) {
    Cell(grid, uBl, d).exist = 10;
    Cell(grid, uBl, d).aveD = aveD;
}
void SetWeak(std::vector<Grid>& grid, int uBl, int d) { Cell(grid, uBl, d).exist = 1; }

}  // namespace

TEST(GridOccupancy, TableLevelStaysInsideTheTables) {
    EXPECT_EQ(TableLevel(0.0), 0);
    EXPECT_EQ(TableLevel(0.7), 0);
    EXPECT_EQ(TableLevel(17.99), 17);
    EXPECT_EQ(TableLevel(98.99), 98);
    EXPECT_EQ(TableLevel(99.0), 99);
    EXPECT_EQ(TableLevel(99.5), 99);
    EXPECT_EQ(TableLevel(100.0), 99);  // the largest decodable disparity
    EXPECT_EQ(TableLevel(100.5), 99);  // rounded 100.0
    EXPECT_EQ(TableLevel(1e300), 99);
    EXPECT_EQ(TableLevel(-0.5), 0);
    EXPECT_EQ(TableLevel(-7.0), 0);
    EXPECT_EQ(TableLevel(std::nan("")), 0);
}

TEST(GridOccupancy, OverheadBlocksWithMoreThanFiveFartherBlocksAreBlanked) {
    Tables tables(300, 300);
    DisparityBuffer buf;
    // Block tops at row 0 with disparity 20: (300 - 0) x 0.15 / 20 = 2.25 m above the road.
    buf.FillBlock(40, 0, 20.0);  // five farther blocks below: kept
    buf.FillBlock(44, 0, 20.0);  // six: blanked
    for (int k = 0; k < 5; ++k) buf.FillBlock(40, 100 + 4 * k, 5.0);
    for (int k = 0; k < 6; ++k) buf.FillBlock(44, 100 + 4 * k, 5.0);
    // Row 60 at disparity 20 is only 1.8 m above the road: kept despite the far blocks below.
    buf.FillBlock(44, 60, 20.0);
    // Far blocks in the bottom block row and at exactly d - 1 do not count.
    buf.FillBlock(48, 0, 20.0);
    for (int k = 0; k < 5; ++k) buf.FillBlock(48, 100 + 4 * k, 5.0);
    buf.FillBlock(48, 300, 19.0);
    buf.FillBlock(48, 356, 5.0);
    // The block's height uses its first pixel and the road row of the rounded disparity: 19.6
    // rounds to 20 (road row 300); with level 19's road row at 0 it would be below the road.
    tables.ground[19] = 0;
    buf.FillBlock(52, 0, 19.6);
    for (int k = 0; k < 6; ++k) buf.FillBlock(52, 100 + 4 * k, 5.0);
    buf.at(56, 0) = 20.0;  // first pixel 20 at row 0, the rest of the block nearer
    buf.at(57, 0) = 60.0;
    for (int k = 0; k < 6; ++k) buf.FillBlock(56, 100 + 4 * k, 5.0);

    RemoveOverheadBlocksEverywhere(tables.ground, buf);
    EXPECT_FALSE(buf.BlockIsEmpty(40, 0));
    EXPECT_TRUE(buf.BlockIsEmpty(44, 0));
    EXPECT_FALSE(buf.BlockIsEmpty(44, 60));
    EXPECT_FALSE(buf.BlockIsEmpty(44, 100));  // the far blocks themselves stay
    EXPECT_FALSE(buf.BlockIsEmpty(48, 0));
    EXPECT_TRUE(buf.BlockIsEmpty(52, 0));
    EXPECT_TRUE(buf.BlockIsEmpty(56, 0));
    EXPECT_EQ(buf.at(57, 0), 0.0);
}

TEST(GridOccupancy, BlockRoundingToLevel100UsesTheRoadRowOfLevel99) {
    // Past the table lies a road row that would make the block 100 m high.
    Tables tables(359, 100000);
    DisparityBuffer buf;
    buf.FillBlock(0, 0, 99.6);
    buf.FillBlock(4, 0, 100.0);
    for (int u : {0, 4}) {
        for (int k = 0; k < 6; ++k) buf.FillBlock(u, 100 + 4 * k, 5.0);
    }
    RemoveOverheadBlocksEverywhere(tables.ground, buf);
    EXPECT_FALSE(buf.BlockIsEmpty(0, 0));  // 359 x 0.15 / 99.6 = 0.54 m
    EXPECT_FALSE(buf.BlockIsEmpty(4, 0));
    // The entry of level 99 is the one compared.
    tables.ground[99] = 100000;
    RemoveOverheadBlocksEverywhere(tables.ground, buf);
    EXPECT_TRUE(buf.BlockIsEmpty(0, 0));
    EXPECT_TRUE(buf.BlockIsEmpty(4, 0));
}

TEST(GridOccupancy, InitialGrid) {
    std::vector<Grid> grid(gridNum, Grid{});
    for (Grid& cell : grid) cell = Grid{1, 12, 16, 3.0, 7, 9, 1.5, 20.0, 0.8, 4, 3.1, 2.9};
    InitializeGrid(DefaultGeometry(), grid);
    ASSERT_EQ(grid.size(), static_cast<size_t>(gridNum));
    for (int i = 0; i < gridNum; ++i) {
        const Grid& c = grid[i];
        EXPECT_EQ(c.exist, i < 2 * totalBlkNumU ? 0 : 10) << i;
        EXPECT_EQ(c.ref, i);
        EXPECT_TRUE(c.h_pix == 0 && c.hl_pix == 0 && c.id == 0 && c.count == 0) << i;
        EXPECT_TRUE(c.aveD == 0.0 && c.x_m == 0.0 && c.z_m == 0.0 && c.h_m == 0.0 && c.nowAveD == 0.0 &&
                    c.preAveD == 0.0)
            << i;
    }
    std::vector<Grid> fresh;
    InitializeGrid(DefaultGeometry(), fresh);
    EXPECT_EQ(fresh.size(), static_cast<size_t>(gridNum));
}

TEST(GridOccupancy, StripCountsAgainstTheThresholds) {
    const Tables tables(300, 300);
    DisparityBuffer buf;
    buf.FillStrip(1, 19, 30.2);
    buf.FillStrip(2, 20, 30.2);
    buf.FillStrip(3, 49, 30.2);
    buf.FillStrip(4, 50, 30.2);
    buf.FillStrip(5, 50, 29.5);    // bin 30 holds [29.5, 30.5)
    buf.FillStrip(6, 50, 30.5);    // bin 31
    for (int u = 28; u < 32; ++u) {  // 13 pixels in each column of strip 7: 52 in all
        for (int v = 0; v < 13; ++v) buf.at(u, v) = 40.2;
    }
    for (int v = 0; v < 60; ++v) buf.at(32, v) = 45.2;  // strip 8, not strip 7
    buf.FillStrip(8, 60, 100.0, 100);  // the largest decodable disparity lies beyond the last bin
    buf.FillStrip(9, 60, 99.23);
    std::vector<Grid> grid = ClassifiedGrid(buf, tables);

    EXPECT_EQ(Cell(grid, 1, 30).exist, 0);
    EXPECT_EQ(Cell(grid, 2, 30).exist, 1);
    EXPECT_EQ(Cell(grid, 3, 30).exist, 1);
    EXPECT_EQ(Cell(grid, 4, 30).exist, 10);
    EXPECT_EQ(Cell(grid, 5, 30).exist, 10);
    EXPECT_EQ(Cell(grid, 5, 29).exist, 0);
    EXPECT_EQ(Cell(grid, 6, 30).exist, 0);
    EXPECT_EQ(Cell(grid, 6, 31).exist, 10);
    EXPECT_EQ(Cell(grid, 7, 40).exist, 10);
    EXPECT_EQ(Cell(grid, 7, 45).exist, 0);
    for (int d = 2; d < LUT_NUM; ++d) {
        EXPECT_EQ(Cell(grid, 8, d).exist, d == 45 ? 10 : 0) << d;
        EXPECT_EQ(Cell(grid, 0, d).exist, 0) << d;  // an empty strip
    }
    EXPECT_EQ(Cell(grid, 9, 99).exist, 10);
    EXPECT_NEAR(Cell(grid, 9, 99).aveD, 99.3, 1e-9);  // window (98, 101): bin [99.2, 99.3)
    for (int d : {0, 1}) EXPECT_EQ(Cell(grid, 4, d).exist, 0);
    // Empty cells keep the initial measurements.
    EXPECT_EQ(Cell(grid, 1, 30).aveD, 0.0);
    EXPECT_EQ(Cell(grid, 1, 30).z_m, 0.0);
}

TEST(GridOccupancy, FineDisparityIsTheUpperEdgeOfTheFullestTenthBin) {
    const Tables tables(300, 300);
    DisparityBuffer buf;
    // Strip 6: 60 pixels at 20.33 and 80 at exactly 19.0, which lies outside the open window (19, 22).
    buf.FillStrip(6, 60, 20.33);
    buf.FillStrip(6, 80, 19.0, 100);
    // Strip 7: equal counts in two bins: the lower one wins.
    buf.FillStrip(7, 60, 20.33);
    buf.FillStrip(7, 60, 20.47, 100);
    // Strip 8: one more pixel in the upper bin.
    buf.FillStrip(8, 60, 20.33);
    buf.FillStrip(8, 61, 20.47, 100);
    // Strip 9: the neighbouring level's pixels inside the window outnumber the cell's own.
    buf.FillStrip(9, 50, 20.25);
    buf.FillStrip(9, 100, 21.73, 100);
    // Strip 58 holds the optical axis in its left column.
    buf.FillStrip(58, 50, 20.25);
    std::vector<Grid> grid = ClassifiedGrid(buf, tables);

    EXPECT_NEAR(Cell(grid, 6, 20).aveD, 20.4, 1e-9);
    EXPECT_NEAR(Cell(grid, 6, 19).aveD, 19.1, 1e-9);  // window (18, 21): bin [19.0, 19.1)
    EXPECT_NEAR(Cell(grid, 7, 20).aveD, 20.4, 1e-9);
    EXPECT_NEAR(Cell(grid, 8, 20).aveD, 20.5, 1e-9);
    EXPECT_NEAR(Cell(grid, 9, 20).aveD, 21.8, 1e-9);
    EXPECT_NEAR(Cell(grid, 9, 22).aveD, 21.8, 1e-9);

    const Grid& cell = Cell(grid, 6, 20);
    EXPECT_DOUBLE_EQ(cell.z_m, BF_PIX / 20.4);
    EXPECT_NEAR(cell.x_m, (24 - 232) * (BF_PIX / 20.4) / 949.1, 1e-12);  // left column 24
    EXPECT_NEAR(Cell(grid, 58, 20).aveD, 20.3, 1e-9);
    EXPECT_EQ(Cell(grid, 58, 20).x_m, 0.0);
    EXPECT_EQ(Cell(grid, 6, 20).count, 0);
    EXPECT_EQ(Cell(grid, 6, 20).ref, GRID(6, 20));
}

TEST(GridOccupancy, PromotionWindowEndsAtItsLastOccupiedCell) {
    std::vector<Grid> grid = BlankGrid();
    const int d = 10;
    // Windows of 3 blocks from block 0 (1.4 x 1.5 / 0.6 = 3.5) and 4 blocks from block 2 (4.5).
    SetOccupied(grid, 0, d, 1.4);
    SetWeak(grid, 1, d);
    SetOccupied(grid, 2, d, 1.8);
    for (int b : {3, 4, 5}) SetWeak(grid, b, d);
    SetOccupied(grid, 6, d, 1.4);
    SetWeak(grid, 7, d);
    SetWeak(grid, 8, d);
    // A longer window (4.0 x 2.5 = 10 blocks) spanning several occupied cells.
    SetOccupied(grid, 20, d, 4.0);
    for (int b : {21, 23, 24, 26, 27}) SetWeak(grid, b, d);
    SetOccupied(grid, 22, d, 0.3);
    SetOccupied(grid, 25, d, 0.3);
    // Weak cells of another row are not promoted by this row's windows.
    SetWeak(grid, 1, d + 1);

    PromoteWeakRuns(DefaultGeometry(), grid.data());
    EXPECT_EQ(Cell(grid, 1, d).exist, 10);
    for (int b : {3, 4, 5, 7, 8}) EXPECT_EQ(Cell(grid, b, d).exist, 1) << b;
    for (int b : {21, 23, 24}) EXPECT_EQ(Cell(grid, b, d).exist, 10) << b;
    for (int b : {26, 27}) EXPECT_EQ(Cell(grid, b, d).exist, 1) << b;
    EXPECT_EQ(Cell(grid, 1, d + 1).exist, 1);
    EXPECT_EQ(Cell(grid, 9, d).exist, 0);  // empty cells stay empty
}

TEST(GridOccupancy, PromotionWindowStopsAtTheLastBlock) {
    // One row more than the grid, so that a window running past block 139 of the last level
    // would find cells to promote.
    std::vector<Grid> grid = BlankGrid(gridNum + totalBlkNumU);
    SetOccupied(grid, 137, 50, 10.0);  // 25 blocks
    SetWeak(grid, 138, 50);
    SetOccupied(grid, 139, 50, 0.3);
    SetWeak(grid, 0, 51);               // the cells following block 139 in memory
    SetOccupied(grid, 1, 51, 0.3);
    SetOccupied(grid, 130, 99, 10.0);
    SetWeak(grid, 0, LUT_NUM);
    SetOccupied(grid, 1, LUT_NUM, 0.3);

    PromoteWeakRuns(DefaultGeometry(), grid.data());
    EXPECT_EQ(Cell(grid, 138, 50).exist, 10);
    EXPECT_EQ(Cell(grid, 0, 51).exist, 1);
    EXPECT_EQ(Cell(grid, 0, LUT_NUM).exist, 1);
    // Rows 0 and 1 are never promoted.
    std::vector<Grid> low = BlankGrid();
    SetOccupied(low, 0, 1, 10.0);
    SetWeak(low, 1, 1);
    SetOccupied(low, 2, 1, 10.0);
    PromoteWeakRuns(DefaultGeometry(), low.data());
    EXPECT_EQ(Cell(low, 1, 1).exist, 1);
}

TEST(GridOccupancy, LowCellsAndCellsWithoutAMatchingRowAreDropped) {
    Tables tables(300, 300);
    tables.ground[30] = 250;
    DisparityBuffer buf;
    std::vector<Grid> grid = BlankGrid();
    const int d = 20;
    auto occupied = [&](int uBl, int from, int to) {
        SetOccupied(grid, uBl, d, 20.0);
        Cell(grid, uBl, d).z_m = BF_PIX / 20.0;
        for (int v = from; v <= to; ++v) buf.at(uBl * SHIFT_PITCH, v) = 20.0;
    };
    occupied(10, 100, 310);  // 200 rows above the road: 1.5 m
    occupied(11, 1, 0);      // nothing matches
    occupied(12, 300, 310);  // first match on the road row
    occupied(13, 234, 310);  // 66 rows: 0.495 m
    occupied(14, 233, 310);  // 67 rows: 0.5025 m
    SetWeak(grid, 15, d);
    for (int v = 0; v < 300; ++v) buf.at(60, v) = 20.0;
    // Level 30 has its own road row, 250: the run from 200 is 0.25 m high there.
    SetOccupied(grid, 16, 30, 30.0);
    Cell(grid, 16, 30).z_m = BF_PIX / 30.0;
    for (int v = 200; v <= 310; ++v) buf.at(64, v) = 30.0;

    MeasureHeights(DefaultGeometry(), buf.values.data(), tables.ground, tables.ceiling, grid.data());
    EXPECT_EQ(Cell(grid, 10, d).exist, 10);
    EXPECT_EQ(Cell(grid, 10, d).h_pix, 100);
    EXPECT_EQ(Cell(grid, 10, d).hl_pix, 304);  // the road row is the last one examined
    EXPECT_DOUBLE_EQ(Cell(grid, 10, d).h_m, 1.5);
    EXPECT_EQ(Cell(grid, 11, d).exist, 0);
    EXPECT_EQ(Cell(grid, 11, d).h_pix, 300);
    EXPECT_EQ(Cell(grid, 12, d).exist, 0);
    EXPECT_EQ(Cell(grid, 13, d).exist, 0);
    EXPECT_EQ(Cell(grid, 14, d).exist, 10);
    EXPECT_EQ(Cell(grid, 15, d).exist, 0);  // weak cells do not survive
    EXPECT_EQ(Cell(grid, 16, 30).exist, 0);
    EXPECT_EQ(Cell(grid, 16, 30).h_pix, 200);
}

// The counts are compared with whole-pixel limits taken once per frame; a cell must still be empty
// below 2 x threshold pixels and weak below 5 x threshold at any threshold: fractions just past a
// whole count, none, below zero, not a number (no count is below it) or beyond any count.
TEST(GridOccupancy, TenPixelsAgainstEveryKindOfThreshold) {
    struct Case {
        double threshold;
        int exist;  // of a cell holding 10 pixels
    };
    const Case cases[] = {
        {5.0, 1},         // 10 reaches 10; below 25
        {5.0000001, 0},   // below 10.0000002
        {4.9, 1},         // reaches 9.8; below 24.5
        {2.0, 10},        // reaches 10
        {2.0000001, 1},   // below 10.0000005
        {0.0, 10},
        {-3.0, 10},
        {std::nan(""), 10},
        {1e300, 0},
        {INFINITY, 0},
    };
    Tables tables(300, 300);
    DisparityBuffer buf;
    int uBl = 1;
    for (const Case& c : cases) {
        const int level = 10 + 8 * uBl;  // a level and a strip of its own for each case
        tables.threshold[level] = c.threshold;
        buf.FillStrip(uBl++, 10, level + 0.2);
    }
    const std::vector<Grid> grid = ClassifiedGrid(buf, tables);
    uBl = 1;
    for (const Case& c : cases) {
        EXPECT_EQ(grid[GRID(uBl, 10 + 8 * uBl)].exist, c.exist) << "threshold " << c.threshold;
        ++uBl;
    }
}

// Random strips against the rule itself, at the default camera (blocks of four rows, five farther
// blocks allowed) and at one of a wide baseline (blocks of one row, fewer allowed): a block is
// blanked when its first disparity lies more than 2 m above the road and more than farBlocks
// blocks below it, the bottom block row aside, hold a disparity below it by more than 1, judged on
// the strip before any blanking. Few distinct values, so ties and equal neighbours are common.
TEST(GridOccupancy, OverheadBlocksOfRandomStripsFollowTheRule) {
    Camera wide = DEFAULT_CAMERA;
    wide.baseline_m = 0.54;
    wide.bf_pix = wide.f_pix * wide.baseline_m;
    for (const Camera& camera : {DEFAULT_CAMERA, wide}) {
        const StageGeometry g(camera);
        SCOPED_TRACE("block rows " + std::to_string(g.blockRows));
        int ground[LUT_NUM];
        for (int d = 0; d < LUT_NUM; ++d) ground[d] = std::min(g.height - 1, 150 + 2 * d);
        unsigned seed = 12345;
        const auto next = [&seed]() { return (seed = seed * 1103515245u + 12345u) >> 16; };
        const double values[] = {0.0, 0.0, 0.0, 2.0, 3.0, 3.5, 4.0, 9.0, 20.0, 40.0};
        for (int trial = 0; trial < 40; ++trial) {
            std::vector<double> before(static_cast<size_t>(g.pixels));
            for (double& m : before) m = values[next() % 10];
            std::vector<double> after = before;
            const int u0 = SHIFT_PITCH * static_cast<int>(next() % static_cast<unsigned>(g.blocksU));
            RemoveStripOverheadBlocks(g, ground, u0, after.data());
            for (int v = 0; v + g.blockRows <= g.height; v += g.blockRows) {
                const double d = FindDisparityInBlock(g, u0, v, before.data());
                const bool high = d != 0.0 && ComputeHeight(camera, d, v, ground[TableLevel(d + 0.5)]) > 2.0;
                const bool blanked = high && CountFarBlock(g, u0, v, d, before.data()) > g.farBlocks;
                for (int j = 0; j < g.blockRows; ++j) {
                    for (int i = 0; i < SHIFT_PITCH; ++i) {
                        const size_t p = static_cast<size_t>(PIXEL(u0 + i, v + j, g.width));
                        ASSERT_EQ(after[p], blanked ? 0.0 : before[p]) << "trial " << trial << " row " << v + j;
                    }
                }
            }
        }
    }
}
