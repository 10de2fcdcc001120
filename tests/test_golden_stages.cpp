// The fast stages against their straightforward forms on many random inputs: pictures, disparity
// buffers and grids that the two scenes of the golden record never show.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "Geometry.h"
#include "GoldenRun.h"
#include "GroupObjects.h"
#include "Random.h"
#include "ReferenceStages.h"

namespace {

constexpr int RANDOM_CASES = 40;

uint64_t GridDigest(const std::vector<Grid>& grid) {
    golden::Digest digest;
    golden::AddGrid(digest, grid);
    return digest.Value();
}

uint64_t DetectionsDigest(const std::vector<DetectedObject>& detections) {
    golden::Digest digest;
    golden::AddDetections(digest, detections);
    return digest.Value();
}

// A grid as grouping receives it (no labels, every entry its own index) with obstacles of a few
// blocks over a few levels: cells measured or held with count 0, weak cells, spread heights and
// disparities, now and then in rows 0 and 1 or at the grid's edges, where no cell may take part.
std::vector<Grid> RandomGrid(scene::Random& random) {
    std::vector<Grid> grid(gridNum, Grid{});
    for (int i = 0; i < gridNum; ++i) grid[i].ref = i;
    const int obstacles = 1 + random.Below(14);
    for (int o = 0; o < obstacles; ++o) {
        const int d0 = random.Below(LUT_NUM);
        const int u0 = random.Below(totalBlkNumU);
        const int lastU = std::min(u0 + random.Below(24), totalBlkNumU - 1);
        const double h_m = 3.0 * random.Uniform();
        const int h_pix = random.Below(TOTAL_V);
        for (int uBl = u0; uBl <= lastU; ++uBl) {
            for (int d = d0; d < std::min(d0 + 3, LUT_NUM); ++d) {
                if (random.Uniform() < 0.3) continue;
                Grid& c = grid[GRID(uBl, d)];
                c.exist = random.Uniform() < 0.9 ? 10 : 1;
                c.count = random.Below(6);
                c.aveD = d - 1 + 3.0 * random.Uniform();
                c.z_m = BF_PIX / c.aveD;
                c.x_m = Img2RealX(uBl * SHIFT_PITCH, c.z_m) + 0.2 * random.Normal();
                c.h_m = h_m + 0.4 * random.Normal();
                c.h_pix = h_pix + random.Below(61) - 30;
            }
        }
    }
    return grid;
}

}  // namespace

TEST(GoldenStages, GroupingMatchesTheStraightforwardFormOnRandomGrids) {
    scene::Random random(7);
    for (int n = 0; n < RANDOM_CASES; ++n) {
        const std::vector<Grid> grid = RandomGrid(random);
        std::vector<Grid> fast = grid;
        std::vector<Grid> straight = grid;
        ASSERT_EQ(LabelCells(fast.data()), reference::LabelCells(straight.data())) << "grid " << n;
        ASSERT_EQ(GridDigest(fast), GridDigest(straight)) << "labels of grid " << n;

        fast = grid;
        straight = grid;
        const std::vector<DetectedObject> fastObjects = ExtractObjects(fast.data());
        const std::vector<DetectedObject> straightObjects = reference::ExtractObjects(straight.data());
        ASSERT_EQ(DetectionsDigest(fastObjects), DetectionsDigest(straightObjects)) << "detections of grid " << n;
        ASSERT_EQ(GridDigest(fast), GridDigest(straight)) << "groups of grid " << n;
    }
}
