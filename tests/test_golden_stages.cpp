// The fast stages against their straightforward forms on many random inputs: pictures, disparity
// buffers and grids that the two scenes of the golden record never show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "Geometry.h"
#include "GoldenRun.h"
#include "GroupObjects.h"
#include "Histogram.h"
#include "OccupancyGrid.h"
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

// A value at, or one step beside, an edge of a fine or strip bin of level d, or of its window.
double EdgeValue(scene::Random& random, int d) {
    double edge;
    switch (random.Below(4)) {
        case 0: edge = (d - 1) + 0.1 * random.Below(31); break;  // a fine bin edge
        case 1: edge = d - 0.5; break;                                      // a strip bin edge
        case 2: edge = d + 2; break;                                        // the window's top
        default: edge = d - 1; break;                                       // the window's bottom
    }
    const int side = random.Below(3);
    return side == 0 ? edge : std::nextafter(edge, side == 1 ? 0.0 : 1000.0);
}

// A disparity buffer whose strips see a few surfaces each, each with its own spread, with empty
// pixels between them and a share of values placed on bin edges.
std::vector<double> RandomDisparities(scene::Random& random) {
    std::vector<double> buffer(TOTAL_PIXELS, 0.0);
    for (int uBl = 0; uBl < totalBlkNumU; ++uBl) {
        double surfaces[4];
        double spreads[4];
        const int count = random.Below(5);
        for (int s = 0; s < count; ++s) {
            surfaces[s] = 101.0 * random.Uniform();
            spreads[s] = 0.05 + 0.8 * random.Uniform();
        }
        for (int v = 0; v < TOTAL_V; ++v) {
            for (int u = uBl * SHIFT_PITCH; u < (uBl + 1) * SHIFT_PITCH; ++u) {
                if (count == 0 || random.Uniform() < 0.4) continue;
                const int s = random.Below(count);
                const double value = random.Uniform() < 0.2 ? EdgeValue(random, static_cast<int>(surfaces[s]))
                                                            : surfaces[s] + spreads[s] * random.Normal();
                buffer[PIXEL(u, v)] = std::max(value, 0.0);
            }
        }
    }
    return buffer;
}

}  // namespace

TEST(GoldenStages, HistogramBinIsTheBinTheSearchFromTheFirstFinds) {
    scene::Random random(3);
    const double widths[] = {0.1, 1.0, 0.3, 0.0, -0.5, 1e-300};
    for (int n = 0; n < 200000; ++n) {
        const double width = random.Uniform() < 0.7 ? widths[random.Below(6)] : 3.0 * random.Normal();
        const double first = random.Below(3) == 0 ? random.Below(100) : 100.0 * random.Normal();
        const int bins = random.Below(120);
        double x = first + width * (random.Below(bins + 3) - 1);  // on an edge
        if (random.Below(3) == 0) x = std::nextafter(x, random.Below(2) == 0 ? -1e300 : 1e300);
        if (random.Below(4) == 0) x = first + (bins + 2) * std::fabs(width) * random.Normal();
        ASSERT_EQ(HistogramBin(x, first, width, bins), reference::LinearBin(x, first, width, bins))
            << "x " << x << ", first " << first << ", width " << width << ", bins " << bins;
    }
}

TEST(GoldenStages, StripClassificationMatchesTheStraightforwardFormOnRandomBuffers) {
    scene::Random random(11);
    for (int n = 0; n < RANDOM_CASES / 2; ++n) {
        const std::vector<double> buffer = RandomDisparities(random);
        double disparity[LUT_NUM];
        double threshold[LUT_NUM];
        const bool shifted = n % 3 == 2;  // fine histograms that start off the integer levels
        for (int d = 0; d < LUT_NUM; ++d) {
            disparity[d] = shifted ? d + 0.2 * random.Normal() : d;
            threshold[d] = 2.0 + 30.0 * random.Uniform();
        }
        std::vector<Grid> fast;
        std::vector<Grid> straight;
        InitializeGrid(fast);
        InitializeGrid(straight);
        ClassifyStrips(buffer.data(), disparity, threshold, fast.data());
        reference::ClassifyStrips(buffer.data(), disparity, threshold, straight.data());
        ASSERT_EQ(GridDigest(fast), GridDigest(straight)) << "buffer " << n;
    }
}

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
