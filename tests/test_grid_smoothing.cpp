#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "Builders.h"
#include "GridSmoothing.h"
#include "OccupancyGrid.h"

namespace {

void Measure(std::vector<Grid>& grid, int uBl, int d, double aveD) {
    Grid& cell = Cell(grid, uBl, d);
    cell.exist = 10;
    cell.aveD = aveD;
    cell.z_m = BF_PIX / aveD;
    cell.x_m = 0.25 * uBl;
    cell.h_m = 1.0;
    cell.h_pix = 150;
    cell.hl_pix = 200;
}

// A previous-frame cell with its persistence and its last two measurements.
void Previous(std::vector<Grid>& grid, int uBl, int d, int count, double nowAveD, double preAveD) {
    Measure(grid, uBl, d, nowAveD);
    Cell(grid, uBl, d).count = count;
    Cell(grid, uBl, d).nowAveD = nowAveD;
    Cell(grid, uBl, d).preAveD = preAveD;
}

// One frame of smoothing and the hand-over, as the frame loop runs it.
void NextFrame(std::vector<Grid> measured, std::vector<Grid>& grid, bool& firstFrame) {
    LinkToPreviousGrid(DefaultGeometry(), measured.data(), grid.data(), firstFrame);
    grid = measured;
    firstFrame = false;
}

}  // namespace

TEST(GridSmoothing, FirstFrameStartsEveryOccupiedCell) {
    std::vector<Grid> grid = UnlabelledGrid();
    Measure(grid, 0, 2, 2.3);
    Measure(grid, 139, 99, 99.3);
    Measure(grid, 70, 50, 50.4);
    const std::vector<Grid> unused(gridNum, Grid{});
    LinkToPreviousGrid(DefaultGeometry(), grid.data(), unused.data(), true);
    EXPECT_EQ(Cell(grid, 0, 2).count, 1);
    EXPECT_EQ(Cell(grid, 139, 99).count, 1);
    EXPECT_EQ(Cell(grid, 139, 99).nowAveD, 99.3);
    EXPECT_EQ(Cell(grid, 70, 50).nowAveD, 50.4);
    EXPECT_EQ(Cell(grid, 70, 50).aveD, 50.4);
    EXPECT_EQ(Cell(grid, 70, 50).preAveD, 0.0);
    EXPECT_EQ(Cell(grid, 70, 51).count, 0);
}

TEST(GridSmoothing, PredecessorIsTheLargestCountPreferringTheSameLevel) {
    std::vector<Grid> previous = UnlabelledGrid();
    std::vector<Grid> now = UnlabelledGrid();
    const int d = 30;
    // Block 0: equal counts at d - 1, d, d + 1: the same level wins.
    Previous(previous, 0, d - 1, 2, 29.0, 29.0);
    Previous(previous, 0, d, 2, 30.0, 30.0);
    Previous(previous, 0, d + 1, 2, 31.0, 31.0);
    // Block 1: d - 1 and d + 1 both above d and equal: d - 1 wins.
    Previous(previous, 1, d - 1, 3, 29.0, 29.0);
    Previous(previous, 1, d, 2, 30.0, 30.0);
    Previous(previous, 1, d + 1, 3, 31.0, 31.0);
    // Block 2: d + 1 strictly larger than both.
    Previous(previous, 2, d - 1, 3, 29.0, 29.0);
    Previous(previous, 2, d, 1, 30.0, 0.0);
    Previous(previous, 2, d + 1, 4, 31.0, 31.0);
    // Block 3: the empty levels around a cell have count 0 and do not take over.
    Previous(previous, 3, d, 1, 30.6, 0.0);
    // Block 4: nothing before: a new cell.
    for (int b = 0; b < 5; ++b) Measure(now, b, d, 30.3);

    LinkToPreviousGrid(DefaultGeometry(), now.data(), previous.data(), false);
    EXPECT_EQ(Cell(now, 0, d).count, 3);
    EXPECT_EQ(Cell(now, 0, d).preAveD, 30.0);
    EXPECT_EQ(Cell(now, 1, d).count, 4);
    EXPECT_EQ(Cell(now, 1, d).preAveD, 29.0);
    EXPECT_EQ(Cell(now, 2, d).count, 5);
    EXPECT_EQ(Cell(now, 2, d).preAveD, 31.0);
    EXPECT_EQ(Cell(now, 3, d).count, 2);
    EXPECT_EQ(Cell(now, 3, d).preAveD, 30.6);
    EXPECT_EQ(Cell(now, 4, d).count, 1);
    EXPECT_EQ(Cell(now, 4, d).preAveD, 0.0);
}

TEST(GridSmoothing, DisparityIsAveragedOverUpToThreeFrames) {
    std::vector<Grid> previous = UnlabelledGrid();
    std::vector<Grid> now = UnlabelledGrid();
    const int d = 20;
    Previous(previous, 5, d, 1, 20.2, 0.0);   // second frame: mean of two
    Previous(previous, 6, d, 2, 20.2, 19.9);  // third frame: mean of three
    Previous(previous, 7, d, 5, 20.2, 19.9);  // count stays at 5, still three measurements
    Previous(previous, 8, d, 0, 20.2, 19.9);  // a held cell at count 0: restarts, no average
    for (int b = 5; b <= 8; ++b) Measure(now, b, d, 20.6);

    LinkToPreviousGrid(DefaultGeometry(), now.data(), previous.data(), false);
    EXPECT_EQ(Cell(now, 5, d).count, 2);
    EXPECT_DOUBLE_EQ(Cell(now, 5, d).aveD, 20.4);
    EXPECT_DOUBLE_EQ(Cell(now, 5, d).z_m, BF_PIX / 20.4);
    EXPECT_EQ(Cell(now, 5, d).nowAveD, 20.6);
    EXPECT_EQ(Cell(now, 5, d).preAveD, 20.2);
    EXPECT_EQ(Cell(now, 6, d).count, 3);
    EXPECT_DOUBLE_EQ(Cell(now, 6, d).aveD, 20.233333333333334);
    EXPECT_DOUBLE_EQ(Cell(now, 6, d).z_m, BF_PIX / 20.233333333333334);
    EXPECT_EQ(Cell(now, 7, d).count, 5);
    EXPECT_DOUBLE_EQ(Cell(now, 7, d).aveD, 20.233333333333334);
    EXPECT_EQ(Cell(now, 8, d).count, 1);
    EXPECT_EQ(Cell(now, 8, d).aveD, 20.6);
    EXPECT_EQ(Cell(now, 8, d).z_m, BF_PIX / 20.6);
    EXPECT_EQ(Cell(now, 8, d).preAveD, 20.2);
    EXPECT_EQ(Cell(now, 5, d).x_m, 0.25 * 5);  // the lateral position is not recomputed
}

TEST(GridSmoothing, SixConsecutiveFramesKeepCountFiveAndTheLatestThreeMeasurements) {
    std::vector<Grid> grid(gridNum, Grid{});
    bool firstFrame = true;
    const double measurements[6] = {10.0, 10.3, 10.6, 10.9, 11.2, 11.5};
    for (int frame = 0; frame < 6; ++frame) {
        std::vector<Grid> measured = UnlabelledGrid();
        // The obstacle moves one level nearer in the fourth frame: still the same cell's history.
        Measure(measured, 40, frame < 3 ? 10 : 11, measurements[frame]);
        NextFrame(measured, grid, firstFrame);
    }
    const Grid& cell = Cell(grid, 40, 11);
    EXPECT_EQ(cell.count, 5);
    EXPECT_DOUBLE_EQ(cell.aveD, (10.9 + 11.2 + 11.5) / 3.0);
    EXPECT_EQ(cell.nowAveD, 11.5);
    EXPECT_EQ(cell.preAveD, 11.2);
}

TEST(GridSmoothing, LostCellsAreHeldForTheirCountThenCleared) {
    std::vector<Grid> grid(gridNum, Grid{});
    bool firstFrame = true;
    for (int frame = 0; frame < 3; ++frame) {
        std::vector<Grid> measured = UnlabelledGrid();
        Measure(measured, 12, 25, 25.2);
        NextFrame(measured, grid, firstFrame);
    }
    ASSERT_EQ(Cell(grid, 12, 25).count, 3);
    Cell(grid, 12, 25).id = 4;  // a label of the grouping
    const Grid last = Cell(grid, 12, 25);

    // Held for three frames with counts 2, 1, 0, unchanged otherwise; cleared in the fourth.
    for (int expected : {2, 1, 0}) {
        NextFrame(UnlabelledGrid(), grid, firstFrame);
        const Grid& held = Cell(grid, 12, 25);
        EXPECT_EQ(held.exist, 10);
        EXPECT_EQ(held.count, expected);
        EXPECT_EQ(held.id, 0);
        EXPECT_EQ(held.ref, GRID(12, 25));
        EXPECT_EQ(held.aveD, last.aveD);
        EXPECT_EQ(held.nowAveD, last.nowAveD);
        EXPECT_EQ(held.x_m, last.x_m);
        EXPECT_EQ(held.z_m, last.z_m);
        EXPECT_EQ(held.h_m, last.h_m);
        EXPECT_EQ(held.h_pix, last.h_pix);
        EXPECT_EQ(held.hl_pix, last.hl_pix);
    }
    NextFrame(UnlabelledGrid(), grid, firstFrame);
    EXPECT_EQ(Cell(grid, 12, 25).exist, 0);
    EXPECT_EQ(Cell(grid, 12, 25).count, 0);
}

TEST(GridSmoothing, HoldsYieldToOccupiedNeighbourLevels) {
    std::vector<Grid> previous = UnlabelledGrid();
    Previous(previous, 3, 40, 2, 40.1, 40.0);  // next to a measured cell one level nearer
    Previous(previous, 4, 40, 2, 40.1, 40.0);  // next to a measured cell one level farther
    Previous(previous, 5, 40, 2, 40.1, 40.0);  // two lost levels: the lower one's hold blocks the upper
    Previous(previous, 5, 41, 2, 41.1, 41.0);
    Previous(previous, 6, 40, 2, 40.1, 40.0);  // two levels apart: both held
    Previous(previous, 6, 42, 2, 42.1, 42.0);
    std::vector<Grid> now = UnlabelledGrid();
    Measure(now, 3, 41, 40.6);
    Measure(now, 4, 39, 39.6);
    LinkToPreviousGrid(DefaultGeometry(), now.data(), previous.data(), false);
    EXPECT_EQ(Cell(now, 3, 40).exist, 0);
    EXPECT_EQ(Cell(now, 3, 41).count, 3);  // the measured neighbour continues the lost cell
    EXPECT_EQ(Cell(now, 4, 40).exist, 0);
    EXPECT_EQ(Cell(now, 5, 40).exist, 10);
    EXPECT_EQ(Cell(now, 5, 40).count, 1);
    EXPECT_EQ(Cell(now, 5, 41).exist, 0);
    EXPECT_EQ(Cell(now, 6, 40).exist, 10);
    EXPECT_EQ(Cell(now, 6, 42).exist, 10);
}

TEST(GridSmoothing, LevelsZeroOneAndNinetyNineAreLeftAsMeasuredAfterTheFirstFrame) {
    std::vector<Grid> previous = UnlabelledGrid();
    Previous(previous, 9, 99, 3, 99.1, 99.0);
    Previous(previous, 10, 99, 3, 99.1, 99.0);
    Previous(previous, 9, 98, 2, 98.1, 98.0);
    Previous(previous, 11, 2, 3, 2.1, 2.0);
    std::vector<Grid> now = UnlabelledGrid();
    Measure(now, 9, 99, 99.3);
    Cell(now, 0, 1).exist = 10;  // levels 0 and 1 are never occupied; they are not looked at either
    Cell(now, 0, 0).exist = 10;
    LinkToPreviousGrid(DefaultGeometry(), now.data(), previous.data(), false);
    EXPECT_EQ(Cell(now, 9, 99).count, 0);
    EXPECT_EQ(Cell(now, 9, 99).nowAveD, 0.0);
    EXPECT_EQ(Cell(now, 9, 99).aveD, 99.3);
    EXPECT_EQ(Cell(now, 10, 99).exist, 0);  // not held
    EXPECT_EQ(Cell(now, 9, 98).exist, 0);   // its neighbour at 99 is measured: not held
    EXPECT_EQ(Cell(now, 11, 2).exist, 10);  // level 2 is held
    EXPECT_EQ(Cell(now, 11, 2).count, 2);
    EXPECT_EQ(Cell(now, 0, 1).count, 0);
    EXPECT_EQ(Cell(now, 0, 0).count, 0);
}

// Persistence and averaging span the default camera's time: five and three frames of 1/30 s. A
// camera of the default picture at another frame rate (the grid helpers above keep their sizes)
// counts as many of its own frames as cover that time, rounded by hand: 5 x 0.03333 / 0.05 =
// 3.33, 3 x 0.03333 / 0.05 = 2.00; at 0.1 s 1.67 and 1.00; at 1/60 s 10.0 and 6.0, three kept.
TEST(GridSmoothing, PersistenceAndAveragingSpanTheDefaultCamerasTimeAtOtherFrameRates) {
    struct Case {
        double interval_s;
        int maxPersistence;
        int averaged;
        double aveD;  // the cell's disparity after a fourth frame of 20.6, before 20.2 and 19.9
    };
    const Case cases[] = {{DELTA_T, 5, 3, (20.2 + 20.6 + 19.9) / 3.0},
                          {0.05, 3, 2, (20.2 + 20.6) * 0.5},
                          {0.1, 2, 1, 20.6},
                          {1.0 / 60.0, 10, 3, (20.2 + 20.6 + 19.9) / 3.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.interval_s);
        Camera camera = DEFAULT_CAMERA;
        camera.frameInterval_s = c.interval_s;
        const StageGeometry g(camera);
        EXPECT_EQ(g.maxPersistence, c.maxPersistence);
        EXPECT_EQ(g.averagedMeasurements, c.averaged);

        std::vector<Grid> previous = UnlabelledGrid();
        std::vector<Grid> now = UnlabelledGrid();
        Previous(previous, 7, 20, 3, 20.2, 19.9);  // three frames measured so far
        Measure(now, 7, 20, 20.6);
        LinkToPreviousGrid(g, now.data(), previous.data(), false);
        EXPECT_EQ(Cell(now, 7, 20).count, std::min(4, c.maxPersistence));
        EXPECT_DOUBLE_EQ(Cell(now, 7, 20).aveD, c.aveD);

        // Lost from here on: held as many frames as its capped count, then cleared.
        std::vector<Grid> grid = now;
        bool firstFrame = false;
        int heldFrames = 0;
        for (int frame = 0; frame < 12 && Cell(grid, 7, 20).exist == 10; ++frame) {
            std::vector<Grid> measured = UnlabelledGrid();
            LinkToPreviousGrid(g, measured.data(), grid.data(), firstFrame);
            grid = measured;
            heldFrames += Cell(grid, 7, 20).exist == 10 ? 1 : 0;
        }
        EXPECT_EQ(heldFrames, std::min(4, c.maxPersistence));
    }
}
