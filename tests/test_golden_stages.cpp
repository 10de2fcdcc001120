// The fast stages against their straightforward forms on many random inputs: pictures, disparity
// buffers and grids that the two scenes of the golden record never show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "Builders.h"
#include "ColorMap.h"
#include "DisparityCodes.h"
#include "Geometry.h"
#include "GoldenRun.h"
#include "GroupObjects.h"
#include "Histogram.h"
#include "Imageread.h"
#include "OccupancyGrid.h"
#include "Random.h"
#include "ReferenceStages.h"
#include "RoadDisparityMap.h"
#include "RunDriver.h"
#include "StageCompare.h"

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
    std::vector<Grid> grid = UnlabelledGrid();
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
                c.x_m = Img2RealX(DEFAULT_CAMERA, uBl * SHIFT_PITCH, c.z_m) + 0.2 * random.Normal();
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

// The disparities a buffer of a colour picture's codes stands for.
std::vector<double> CodeValues(const std::vector<DisparityCode>& codes) {
    std::vector<double> values;
    for (const DisparityCode c : codes) values.push_back(DisparityCodes().value[c]);
    return values;
}

uint64_t BufferDigest(const std::vector<double>& buffer) {
    golden::Digest digest;
    for (double v : buffer) digest.Add(v);
    return digest.Value();
}

// Obstacles of random size, distance and speed on a road of random width, with random noise,
// holes and speckles, over a few frames.
scene::Scene RandomScene(scene::Random& random) {
    scene::Scene s;
    s.seed = random.Next();
    s.noise_pix = 0.3 * random.Uniform();
    s.holes = 0.2 * random.Uniform();
    s.speckles = 0.05 * random.Uniform();
    s.roadLeft_m = -2.0 - 8.0 * random.Uniform();
    s.roadRight_m = 2.0 + 8.0 * random.Uniform();
    s.frames = 4;
    const int boxes = 1 + random.Below(6);
    for (int b = 0; b < boxes; ++b) {
        scene::Box box;
        box.name = "box" + std::to_string(b);
        box.left_m = -8.0 + 14.0 * random.Uniform();
        box.right_m = box.left_m + 0.3 + 2.7 * random.Uniform();
        box.z_m = 3.0 + 77.0 * random.Uniform();
        box.height_m = 0.5 + 3.5 * random.Uniform();
        box.vz_mps = -10.0 + 15.0 * random.Uniform();
        box.vx_mps = -2.0 + 4.0 * random.Uniform();
        s.boxes.push_back(box);
    }
    return s;
}

// A colour-coded picture of one of four kinds: random bytes (every branch of the colour decoding),
// coloured rectangles on black, a rendered random scene, or a grey picture; now and then smaller or
// larger than the frame.
void RandomPicture(scene::Random& random, qim::Image& image) {
    const int kind = random.Below(4);
    const bool resized = random.Below(4) == 0;
    const int rows = resized ? 1 + random.Below(2 * TOTAL_V) : TOTAL_V;
    const int cols = resized ? 1 + random.Below(2 * TOTAL_U) : TOTAL_U;
    image.create(rows, cols, kind == 3 ? SGBM_8UC1 : SGBM_8UC3);
    const int channels = image.channels();
    for (int v = 0; v < rows; ++v) {
        for (int i = 0; i < cols * channels; ++i) image.ptr(v)[i] = kind == 1 ? 0 : static_cast<uchar>(random.Below(256));
    }
    if (kind == 1) {
        for (int r = random.Below(40); r > 0; --r) {
            ColorSet color{0, 0, 0};
            SetColorMap(&color, 100.0 * random.Uniform());
            const int v0 = random.Below(rows);
            const int u0 = random.Below(cols);
            for (int v = v0; v < std::min(rows, v0 + random.Below(200)); ++v) {
                for (int u = u0; u < std::min(cols, u0 + 1 + random.Below(100)); ++u) {
                    uchar* pixel = image.ptr(v) + 3 * u;
                    pixel[0] = static_cast<uchar>(color.blue);
                    pixel[1] = static_cast<uchar>(color.green);
                    pixel[2] = static_cast<uchar>(color.red);
                }
            }
        }
    }
    if (kind == 2 && !resized) {
        const std::vector<unsigned char> bgra = golden::ScenePicture(RandomScene(random), 0);
        StoreBottomUpRows(bgra.data(), TOTAL_V, TOTAL_U, 32, image);
    }
}

// Road tables as the road stage makes them, or arbitrary rows, some outside the picture.
void RandomRoadTables(scene::Random& random, RunState& run) {
    const bool arbitrary = random.Below(3) == 0;
    for (int d = 0; d < LUT_NUM; ++d) {
        run.ground[d] = arbitrary ? random.Below(420) - 30 : std::min(180 + 4 * d, TOTAL_V);
        run.blind[d] = arbitrary ? random.Below(420) - 30 : run.ground[d] - (3 * d) / 10;
        run.ceiling[d] = arbitrary ? random.Below(420) - 30 : run.ground[d] - 2 * d;
        run.disparity[d] = d;
        run.threshold[d] = 2.0 + 30.0 * random.Uniform();
    }
}

void CopyRoadTables(const RunState& from, RunState& to) {
    std::copy(from.ground, from.ground + LUT_NUM, to.ground);
    std::copy(from.blind, from.blind + LUT_NUM, to.blind);
    std::copy(from.ceiling, from.ceiling + LUT_NUM, to.ceiling);
    std::copy(from.disparity, from.disparity + LUT_NUM, to.disparity);
    std::copy(from.threshold, from.threshold + LUT_NUM, to.threshold);
}

}  // namespace

TEST(GoldenStages, RoadAndGridStagesMatchTheStraightforwardFormsOnRandomPictures) {
    scene::Random random(5);
    RunState fast;
    RunState straight;
    for (int n = 0; n < RANDOM_CASES / 2; ++n) {
        RandomPicture(random, fast.src_img_colorD);
        straight.src_img_colorD = fast.src_img_colorD;  // shares the pixels; released through `fast`
        straight.src_img_colorD.refcount = 0;

        RoadDisparityMap(fast);
        reference::RoadDisparityMap(straight);
        ASSERT_TRUE(std::equal(fast.MaxY, fast.MaxY + LUT_NUM, straight.MaxY)) << "peaks of picture " << n;

        RandomRoadTables(random, fast);
        CopyRoadTables(fast, straight);
        OccupancyGrid(fast);
        reference::OccupancyGrid(straight);
        ASSERT_EQ(BufferDigest(CodeValues(fast.disparityCodes)), BufferDigest(straight.measuredDisparity))
            << "obstacle disparities of picture " << n;
        ASSERT_EQ(GridDigest(fast.newGrid), GridDigest(straight.newGrid)) << "grid of picture " << n;
    }
    straight.src_img_colorD = qim::Image();
}

TEST(GoldenStages, WholeFramesMatchTheStraightforwardStagesOnRandomScenes) {
    scene::Random random(13);
    for (int n = 0; n < 6; ++n) {
        const scene::Scene moving = RandomScene(random);
        RunState fast;
        RunState straight;
        for (int k = 0; k < moving.frames; ++k) {
            const std::vector<unsigned char> picture = golden::ScenePicture(moving, k);
            ASSERT_EQ(golden::RunFrame(fast, picture.data(), DetectObstacles),
                      golden::RunFrame(straight, picture.data(), reference::DetectObstacles))
                << "scene " << n << ", frame " << k;
        }
    }
}

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
        InitializeGrid(DefaultGeometry(), fast);
        std::vector<double> strip(SHIFT_PITCH * TOTAL_V);
        InitializeGrid(DefaultGeometry(), straight);
        for (int uBl = 0; uBl < totalBlkNumU; ++uBl) ClassifyStrip(DefaultGeometry(), buffer.data(), uBl, disparity, threshold, strip.data(), fast.data());
        reference::ClassifyStrips(DefaultGeometry(), buffer.data(), disparity, threshold, straight.data());
        ASSERT_EQ(GridDigest(fast), GridDigest(straight)) << "buffer " << n;
    }
}

TEST(GoldenStages, GroupingMatchesTheStraightforwardFormOnRandomGrids) {
    scene::Random random(7);
    for (int n = 0; n < RANDOM_CASES; ++n) {
        const std::vector<Grid> grid = RandomGrid(random);
        std::vector<Grid> fast = grid;
        std::vector<Grid> straight = grid;
        ASSERT_EQ(LabelCells(DefaultGeometry(), fast.data()), reference::LabelCells(DefaultGeometry(), straight.data())) << "grid " << n;
        ASSERT_EQ(GridDigest(fast), GridDigest(straight)) << "labels of grid " << n;

        fast = grid;
        straight = grid;
        const std::vector<DetectedObject> fastObjects = ExtractObjects(DefaultGeometry(), fast.data());
        const std::vector<DetectedObject> straightObjects = reference::ExtractObjects(DefaultGeometry(), straight.data());
        ASSERT_EQ(DetectionsDigest(fastObjects), DetectionsDigest(straightObjects)) << "detections of grid " << n;
        ASSERT_EQ(GridDigest(fast), GridDigest(straight)) << "groups of grid " << n;
    }
}

namespace {

// A strip of blocks as the overhead test meets them on real streets: near surfaces high above the
// road over stretches of farther blocks, empty blocks between, the first pixel of a block anywhere
// in it, and farther disparities on and beside the edge d - 1 of the blocks above them.
std::vector<double> RandomBlockStrips(scene::Random& random, const StageGeometry& g) {
    std::vector<double> buffer(static_cast<size_t>(g.pixels), 0.0);
    for (int u0 = 0; u0 + SHIFT_PITCH <= g.width; u0 += SHIFT_PITCH) {
        const double near = 10.0 + 80.0 * random.Uniform();
        const double farShare = random.Uniform();
        for (int v = 0; v + g.blockRows <= g.height; v += g.blockRows) {
            const int kind = random.Below(8);
            if (kind == 0) continue;
            double d = kind < 4 ? near + (kind == 1 ? 0.0 : random.Normal()) : (near - 1.0) * farShare * random.Uniform();
            const int side = random.Below(3);
            if (kind == 7) d = side == 0 ? near - 1.0 : std::nextafter(near - 1.0, side == 1 ? 0.0 : 1000.0);
            const int first = random.Below(SHIFT_PITCH * g.blockRows);
            for (int k = first; k < SHIFT_PITCH * g.blockRows; ++k) {
                buffer[PIXEL(u0 + k % SHIFT_PITCH, v + k / SHIFT_PITCH, g.width)] = std::max(d, 0.0);
            }
        }
    }
    return buffer;
}

}  // namespace

// Through cameras whose blocks are 4, 1, 5 and 6 rows tall and whose farther-block limits are 5,
// 5.6, 5.2 and 4.67, on pictures whose height is and is not a whole number of blocks.
TEST(GoldenStages, OverheadBlocksMatchTheStraightforwardFormOnRandomStrips) {
    scene::Random random(17);
    const double rowScales[] = {1.0, B_MM / 0.537, 1.3, 1.4};
    size_t blanked = 0;
    size_t kept = 0;
    for (double rowScale : rowScales) {
        Camera camera = DEFAULT_CAMERA;
        camera.baseline_m = B_MM / rowScale;
        camera.height_pix = rowScale == 1.3 ? 370 : TOTAL_V;
        const StageGeometry g(camera);
        for (int n = 0; n < RANDOM_CASES / 4; ++n) {
            int ground[LUT_NUM];
            for (int d = 0; d < LUT_NUM; ++d) ground[d] = g.height + random.Below(4 * g.height);
            const std::vector<double> picture = RandomBlockStrips(random, g);
            std::vector<double> fast = picture;
            std::vector<double> straight = picture;
            for (int u0 = 0; u0 + SHIFT_PITCH <= g.width; u0 += SHIFT_PITCH) {
                RemoveStripOverheadBlocks(g, ground, u0, fast.data());
            }
            reference::RemoveOverheadBlocks(g, ground, straight.data());
            ASSERT_EQ(BufferDigest(fast), BufferDigest(straight)) << "row scale " << rowScale << ", buffer " << n;
            for (size_t i = 0; i < picture.size(); ++i) {
                blanked += picture[i] != straight[i];
                kept += picture[i] != 0.0 && picture[i] == straight[i];
            }
        }
    }
    // The cases reach both outcomes of the test, many times.
    EXPECT_GT(blanked, 10000);
    EXPECT_GT(kept, 10000);
}

namespace {

// One value of a frame's stage output changed in the detector's run, and the name the stage-by-
// stage comparison must give it.
struct Perturbation {
    const char* stage;
    int frame;
    const char* place;
    // Changes the value in the run; returns the comparison's text of it: "<changed> != <as it was>".
    std::string (*change)(RunState& run);
};

std::string Exact(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string AddTo(double& value, double by) {
    const double was = value;
    value += by;
    return Exact(value) + " != " + Exact(was);
}

std::string AddTo(int& value, int by) {
    const int was = value;
    value += by;
    return std::to_string(value) + " != " + std::to_string(was);
}

const Perturbation PERTURBATIONS[] = {
    {"RoadDisparityMap", 1, "MaxY[20]", [](RunState& run) { return AddTo(run.MaxY[20], 1); }},
    {"RoadProfile", 2, "threshold[30]", [](RunState& run) { return AddTo(run.threshold[30], 0.5); }},
    {"OccupancyGrid", 3, "newGrid cell (uBl 41, d 17) field aveD",
     [](RunState& run) { return AddTo(run.newGrid[GRID(41, 17)].aveD, 0.25); }},
    {"GridSmoothing", 3, "grid cell (uBl 70, d 40) field count", [](RunState& run) { return AddTo(run.grid[GRID(70, 40)].count, 2); }},
    {"GroupObjects", 2, "detection 0 field h_m", [](RunState& run) { return AddTo(run.newObject.at(0).h_m, 0.125); }},
    {"TrackAssociation", 4, "track 0 field m_objZ.x[1]",
     [](RunState& run) { return AddTo(run.preObject.at(0).m_objZ.x[1], 0.5); }},
};

}  // namespace

// The moving scene of the golden record, with one value of one stage's output changed in one frame
// of the detector's run: the comparison names that frame, stage, place and both values; unchanged,
// the first five frames agree.
TEST(GoldenStages, StageByStageComparisonNamesTheFrameStageAndFieldThatMoved) {
    constexpr int FRAMES = 5;
    const scene::Scene moving = golden::MovingScene();
    std::vector<std::vector<unsigned char>> pictures;
    for (int k = 0; k < FRAMES; ++k) pictures.push_back(golden::ScenePicture(moving, k));
    const golden::LoadBoth load = [&pictures](int k, RunState& fast, RunState& straight) {
        golden::LoadPicture(fast, pictures[k].data());
        golden::LoadPicture(straight, pictures[k].data());
    };
    EXPECT_EQ(golden::FirstDifference(DEFAULT_CAMERA, FRAMES, load, golden::FrameStages()), "");
    for (const Perturbation& p : PERTURBATIONS) {
        std::vector<golden::FrameStage> stages = golden::FrameStages();
        const auto stage = std::find_if(stages.begin(), stages.end(),
                                        [&p](const golden::FrameStage& s) { return std::string(s.name) == p.stage; });
        ASSERT_NE(stage, stages.end()) << p.stage;
        int frame = 0;
        std::string values;
        stage->fast = [&, fast = stage->fast](RunState& run, AssociationRecord* record) {
            fast(run, record);
            if (frame++ == p.frame) values = p.change(run);
        };
        const std::string found = golden::FirstDifference(DEFAULT_CAMERA, p.frame + 1, load, stages);
        EXPECT_EQ(found, "frame " + std::to_string(p.frame) + ", stage " + p.stage + ", " + p.place + ": " + values);
    }
}
