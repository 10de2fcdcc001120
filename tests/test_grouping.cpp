#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Builders.h"
#include "Config.h"
#include "GridSearch.h"
#include "GroupObjects.h"

namespace {

Grid& Occupy(std::vector<Grid>& grid, int uBl, int d, double aveD, double x, double h = 1.0, int h_pix = 100) {
    Grid& c = grid[GRID(uBl, d)];
    c.exist = 10;
    c.count = 1;
    c.aveD = aveD;
    c.z_m = BF_PIX / aveD;
    c.x_m = x;
    c.h_m = h;
    c.h_pix = h_pix;
    return c;
}

// The raw label's final group after renumbering, read back through one of its cells.
int GroupOfCell(const std::vector<Grid>& grid, int uBl, int d) { return grid[GRID(uBl, d)].id; }

}  // namespace

TEST(ReferGroup, ClosenessTestsAtTheirLimits) {
    // Non-adjacent blocks: only the lateral distance can join them.
    auto joined = [](double xr, double zr, int h_pixR, double hR) {
        std::vector<Grid> grid = UnlabelledGrid();
        Occupy(grid, 10, 20, 7.1183, 0.0, 0.8, 100).id = 1;
        Grid& r = Occupy(grid, 20, 21, BF_PIX / zr, xr, hR, h_pixR);
        r.z_m = zr;
        grid[GRID(10, 20)].z_m = 20.0;
        ReferGroup(DefaultGeometry(), grid.data(), 10, 20, 20, 21);
        return r.id == 1;
    };
    EXPECT_TRUE(joined(0.4, 21.0, 129, 1.6));
    EXPECT_FALSE(joined(0.41, 21.0, 129, 1.6));
    EXPECT_FALSE(joined(0.4, 21.01, 129, 1.6));
    EXPECT_FALSE(joined(0.4, 21.0, 130, 1.6));
    EXPECT_TRUE(joined(0.4, 21.0, 130, 1.59));

    // Adjacent blocks join whatever the lateral distance; disparities 0.3 apart join at any distance.
    std::vector<Grid> grid = UnlabelledGrid();
    Occupy(grid, 10, 5, 5.0, 0.0).id = 3;
    Occupy(grid, 11, 5, 5.3, 9.0);
    ReferGroup(DefaultGeometry(), grid.data(), 10, 5, 11, 5);
    EXPECT_EQ(grid[GRID(11, 5)].id, 3);

    // A candidate already in the base's label changes no entry.
    ReferGroup(DefaultGeometry(), grid.data(), 10, 5, 11, 5);
    EXPECT_EQ(grid[3].ref, 3);
}

// A row of candidates is passed over only when every cell of it lies more than 0.3 in disparity
// and more than 1.0 m in distance from the base (disparity 10, distance 20 m), on either side.
TEST(ReferGroup, DepthRangesRuleOutOnlyRowsWhereNoCellCanBeClose) {
    Grid b{};
    b.aveD = 10.0;
    b.z_m = 20.0;
    struct Case {
        DepthRange range;
        bool mayBeClose;
    };
    const Case cases[] = {
        {{10.5, 12.0, 21.5, 30.0}, false},   // nearer in disparity by 0.5, farther by 1.5 m
        {{8.0, 9.5, 10.0, 18.5}, false},     // the other sides: 0.5 and 1.5 m
        {{10.5, 12.0, 10.0, 18.5}, false},   // mixed sides
        {{10.25, 12.0, 21.5, 30.0}, true},   // 0.25 in disparity
        {{8.0, 9.75, 21.5, 30.0}, true},     // 0.25 below
        {{10.5, 12.0, 20.75, 30.0}, true},   // 0.75 m in distance
        {{10.5, 12.0, 10.0, 19.5}, true},    // 0.5 m nearer
        {{8.0, 12.0, 30.0, 40.0}, true},     // the disparities straddle the base's
        {{12.0, 14.0, 10.0, 30.0}, true},    // the distances straddle the base's
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MayBeCloseInDepth(b, c.range), c.mayBeClose)
            << c.range.minD << ".." << c.range.maxD << ", " << c.range.minZ << ".." << c.range.maxZ;
    }
}

// A chunk of candidates is passed over laterally only when every cell of it lies more than one
// column block and more than 0.4 m sideways from the base (block 50, 2.0 m), on either side.
TEST(ReferGroup, LateralRangesRuleOutOnlyChunksWhereNoCellCanBeClose) {
    Grid b{};
    b.x_m = 2.0;
    struct Case {
        LateralRange range;
        bool mayBeClose;
    };
    const Case cases[] = {
        {{52, 60, 2.5, 4.0}, false},   // two blocks to the right, 0.5 m beyond
        {{40, 48, 0.0, 1.5}, false},   // two blocks to the left, 0.5 m short
        {{52, 60, 0.0, 1.5}, false},   // mixed sides
        {{51, 60, 2.5, 4.0}, true},    // the next block
        {{40, 49, 0.0, 1.5}, true},    // the block before
        {{52, 60, 2.25, 4.0}, true},   // 0.25 m beyond
        {{40, 48, 0.0, 1.75}, true},   // 0.25 m short
        {{40, 60, 2.5, 4.0}, true},    // the blocks straddle the base's
        {{52, 60, 0.0, 4.0}, true},    // the positions straddle the base's
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MayBeCloseLaterally(b, 50, c.range), c.mayBeClose)
            << c.range.firstU << ".." << c.range.lastU << ", " << c.range.minX << ".." << c.range.maxX;
    }
}

TEST(ReferGroup, MeetingLabelsJoinTheirWholeClasses) {
    std::vector<Grid> grid = UnlabelledGrid();
    for (int label = 1; label <= 5; ++label) Occupy(grid, 10 * label, 50, 20.0, 0.0).id = label;
    Occupy(grid, 60, 50, 20.0, 0.0).id = 5;

    // Label 5 already equivalent to 3; then a cell of 5 meets a cell of 2 (adjacent blocks).
    grid[5].ref = 3;
    Occupy(grid, 61, 50, 20.0, 0.0).id = 2;
    ReferGroup(DefaultGeometry(), grid.data(), 60, 50, 61, 50);

    EXPECT_EQ(RenumberGroups(DefaultGeometry(), grid.data(), 6), 4);
    EXPECT_EQ(GroupOfCell(grid, 10, 50), 1);
    EXPECT_EQ(GroupOfCell(grid, 20, 50), 2);
    EXPECT_EQ(GroupOfCell(grid, 30, 50), 2);
    EXPECT_EQ(GroupOfCell(grid, 50, 50), 2);
    EXPECT_EQ(GroupOfCell(grid, 60, 50), 2);
    EXPECT_EQ(GroupOfCell(grid, 61, 50), 2);
    EXPECT_EQ(GroupOfCell(grid, 40, 50), 3);
}

TEST(ReferGroup, ChainsResolveToTheSmallestLabel) {
    std::vector<Grid> grid = UnlabelledGrid();
    Occupy(grid, 10, 40, 20.0, 0.0).id = 1;
    Occupy(grid, 11, 40, 20.0, 0.0).id = 3;
    Occupy(grid, 30, 40, 20.0, 0.0).id = 2;
    Occupy(grid, 50, 40, 20.0, 0.0).id = 5;
    Occupy(grid, 51, 40, 20.0, 0.0).id = 3;
    Occupy(grid, 70, 40, 20.0, 0.0).id = 4;

    ReferGroup(DefaultGeometry(), grid.data(), 50, 40, 51, 40);  // 5 with 3
    ReferGroup(DefaultGeometry(), grid.data(), 11, 40, 10, 40);  // then 3 with 1
    EXPECT_EQ(RenumberGroups(DefaultGeometry(), grid.data(), 6), 4);
    EXPECT_EQ(GroupOfCell(grid, 10, 40), 1);
    EXPECT_EQ(GroupOfCell(grid, 11, 40), 1);
    EXPECT_EQ(GroupOfCell(grid, 50, 40), 1);
    EXPECT_EQ(GroupOfCell(grid, 30, 40), 2);
    EXPECT_EQ(GroupOfCell(grid, 70, 40), 3);

    // Two steps deep: 7 -> 5 -> 3, then a cell of 7 meets a cell of 1.
    std::vector<Grid> deep = UnlabelledGrid();
    for (int label = 1; label <= 7; ++label) Occupy(deep, 10 * label, 40, 20.0, 0.0).id = label;
    deep[5].ref = 3;
    deep[7].ref = 5;
    Occupy(deep, 71, 40, 20.0, 0.0).id = 1;
    ReferGroup(DefaultGeometry(), deep.data(), 70, 40, 71, 40);
    EXPECT_EQ(RenumberGroups(DefaultGeometry(), deep.data(), 8), 5);
    for (int label : {1, 3, 5, 7}) EXPECT_EQ(GroupOfCell(deep, 10 * label, 40), 1) << "label " << label;
    EXPECT_EQ(GroupOfCell(deep, 20, 40), 2);
    EXPECT_EQ(GroupOfCell(deep, 40, 40), 3);
    EXPECT_EQ(GroupOfCell(deep, 60, 40), 4);
}

TEST(Grouping, EmptyGridGivesNothing) {
    std::vector<Grid> grid = UnlabelledGrid();
    EXPECT_EQ(LabelCells(DefaultGeometry(), grid.data()), 1);
    EXPECT_EQ(RenumberGroups(DefaultGeometry(), grid.data(), 1), 1);

    // An occupied cell that is only held at count 0 takes no part.
    Occupy(grid, 30, 20, 20.0, 0.0).count = 0;
    Occupy(grid, 31, 20, 20.0, 0.5).count = 0;
    EXPECT_TRUE(ExtractObjects(DefaultGeometry(), grid.data()).empty());
    EXPECT_EQ(grid[GRID(30, 20)].id, 0);
}

TEST(Grouping, ObjectFieldsComeFromTheGroupsCells) {
    std::vector<Grid> grid = UnlabelledGrid();
    Occupy(grid, 30, 20, 20.0, -0.2, 1.0);
    Occupy(grid, 31, 20, 20.2, 0.1, 1.5);
    Occupy(grid, 90, 10, 10.0, 2.0, 1.0);
    Occupy(grid, 91, 10, 10.0, 2.5, 1.0);

    const std::vector<DetectedObject> objects = ExtractObjects(DefaultGeometry(), grid.data());
    ASSERT_EQ(objects.size(), 2u);
    const DetectedObject& o = objects[0];
    EXPECT_DOUBLE_EQ(o.d_pix, 20.1);
    EXPECT_EQ(o.lX_m, -0.2);
    EXPECT_EQ(o.rX_m, 0.1);
    EXPECT_EQ(o.h_m, 1.5);
    EXPECT_EQ(o.S_u, 30);
    EXPECT_EQ(o.E_u, 31);
    EXPECT_EQ(o.iN, 2);
    EXPECT_EQ(o.sigmaU, 61.0);
    EXPECT_EQ(o.sigmaUU, 1861.0);
    EXPECT_DOUBLE_EQ(o.sigmaD, 40.2);
    EXPECT_DOUBLE_EQ(o.sigmaUD, 1226.2);
    // The line through (30, 20.0) and (31, 20.2).
    EXPECT_NEAR(o.a, 0.2, 1e-9);
    EXPECT_NEAR(o.b, 14.0, 1e-7);
    EXPECT_FALSE(o.bUsed);
    EXPECT_FALSE(o.inRange);
    EXPECT_EQ(objects[1].d_pix, 10.0);
    EXPECT_EQ(objects[1].S_u, 90);
}

// Labels in column order: A (block 0) 1, B (block 10) 2, C (block 20) 3. C lies within 0.4 m of
// both A and B, which are 0.7 m apart; only C, the last labelled, sees both.
TEST(Grouping, CellFoundCloseToTwoGroupsJoinsThemAll) {
    std::vector<Grid> grid = UnlabelledGrid();
    Occupy(grid, 0, 62, 62.0, 0.0);
    Occupy(grid, 10, 61, 61.0, 0.7);
    Occupy(grid, 20, 60, 60.0, 0.35);

    EXPECT_EQ(LabelCells(DefaultGeometry(), grid.data()), 4);
    EXPECT_EQ(RenumberGroups(DefaultGeometry(), grid.data(), 4), 2);

    std::vector<Grid> again = UnlabelledGrid();
    Occupy(again, 0, 62, 62.0, 0.0);
    Occupy(again, 10, 61, 61.0, 0.7);
    Occupy(again, 20, 60, 60.0, 0.35);
    const std::vector<DetectedObject> objects = ExtractObjects(DefaultGeometry(), again.data());
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0].lX_m, 0.0);
    EXPECT_EQ(objects[0].rX_m, 0.7);
    EXPECT_EQ(objects[0].iN, 3);
}

TEST(Grouping, NarrowGroupsAreRejected) {
    std::vector<Grid> grid = UnlabelledGrid();
    Occupy(grid, 10, 30, 30.0, -2.0);  // a single cell: width 0
    Occupy(grid, 40, 25, 25.0, 0.0);
    Occupy(grid, 41, 25, 25.0, 0.29);  // 0.29 m
    Occupy(grid, 80, 20, 20.0, 0.0);
    Occupy(grid, 81, 20, 20.0, 0.3);  // 0.3 m
    const std::vector<DetectedObject> objects = ExtractObjects(DefaultGeometry(), grid.data());
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0].S_u, 80);
}

// A narrow group (0.2 m between its outer cells) through KITTI's rig (f 707.09 px, B 0.537 m, so a
// column block is 4 x 0.537 / d m wide) and through the default camera (f 949.1 px). A cyclist is
// 0.6 m wide: where a block is wider than (0.6 - 0.3) / 2 = 0.15 m, beyond 4 x 0.537 / 0.15 = 14.3
// pixels of disparity (26.5 m), losing a block on each side leaves it below the 0.3 m rule.
TEST(Grouping, ThinObstaclesAsTallAsAPersonAreKeptWhereBlocksHideTheirWidth) {
    Camera kitti = DEFAULT_CAMERA;
    kitti.f_pix = 707.09;
    kitti.baseline_m = 0.537;
    kitti.bf_pix = kitti.f_pix * kitti.baseline_m;
    kitti.width_pix = 1226;
    kitti.height_pix = 370;
    const StageGeometry kittiGeometry(kitti);
    struct Row {
        const char* what;
        const StageGeometry& geometry;
        double d_pix;
        int blocks;
        double h_m;
        bool kept;
    };
    const Row rows[] = {
        {"cyclist at 35 m, 3 blocks", kittiGeometry, 380.0 / 35.0, 3, 1.9, true},
        {"cyclist at 27.5 m (block 0.156 m)", kittiGeometry, 14.0, 3, 1.9, true},
        {"cyclist at 25.7 m (block 0.143 m): wide enough if seen whole", kittiGeometry, 15.0, 3, 1.9, false},
        {"two blocks, just a person's height", kittiGeometry, 10.0, 2, 1.7, true},
        {"one block", kittiGeometry, 10.0, 1, 1.9, false},
        {"piece of a car's body", kittiGeometry, 10.0, 3, 1.6, false},
        {"pole", kittiGeometry, 10.0, 3, 5.0, false},
        {"above a person's height with its error", kittiGeometry, 10.0, 3, 2.7, false},
        {"cyclist at 40 m through the default camera", DefaultGeometry(), BF_PIX / 40.0, 4, 1.9, false},
    };
    for (const Row& row : rows) {
        DetectedObject gr{};
        gr.lX_m = 11.0;
        gr.rX_m = 11.2;
        gr.d_pix = row.d_pix;
        gr.h_m = row.h_m;
        gr.S_u = 200;
        gr.E_u = 200 + row.blocks - 1;
        EXPECT_EQ(KeptAsObstacle(row.geometry, gr), row.kept) << row.what;
        gr.rX_m = 11.3;  // 0.3 m: kept by the width rule whatever its height
        EXPECT_TRUE(KeptAsObstacle(row.geometry, gr)) << row.what;
    }
}

TEST(Grouping, SingleColumnGroupGetsAFlatLine) {
    std::vector<Grid> grid = UnlabelledGrid();
    Occupy(grid, 50, 40, 40.0, 1.0);
    Occupy(grid, 50, 41, 40.2, 1.3);
    const std::vector<DetectedObject> objects = ExtractObjects(DefaultGeometry(), grid.data());
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0].S_u, objects[0].E_u);
    EXPECT_TRUE(std::isfinite(objects[0].a));
    EXPECT_EQ(objects[0].a, 0.0);
    EXPECT_EQ(objects[0].b, objects[0].d_pix);
    EXPECT_DOUBLE_EQ(objects[0].d_pix, 40.1);
}

TEST(Grouping, GroupsFartherThanTheLimitAreNotReported) {
    std::vector<Grid> grid = UnlabelledGrid();
    Occupy(grid, 10, 2, MIN_D, 0.0);
    Occupy(grid, 11, 2, MIN_D, 1.0);
    Occupy(grid, 60, 2, 2.36, 5.0);
    Occupy(grid, 61, 2, 2.36, 6.0);
    Occupy(grid, 100, 30, 30.0, 0.0);
    Occupy(grid, 101, 30, 30.0, 0.5);
    const std::vector<DetectedObject> objects = ExtractObjects(DefaultGeometry(), grid.data());
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0].d_pix, 30.0);
    EXPECT_EQ(objects[1].d_pix, MIN_D);
}
