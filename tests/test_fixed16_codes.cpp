// A 16-bit picture of values runs on codes (its raw values): every code's tables hold what the value
// path computes per pixel from value x scale, and the Detector gives the same frames on 16-bit
// values as on the same disparities handed over as floats, which take the value path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "Builders.h"
#include "CodeTables.h"
#include "Config.h"
#include "Histogram.h"
#include "OccupancyGrid.h"
#include "PublicRecords.h"
#include "RoadDisparityMap.h"
#include "Scene.h"
#include "obstacle/Detector.h"

namespace {

constexpr double LARGEST_DISPARITY = 100.0;  // the end of level 99: larger values are taken as it
constexpr double FINE_WIDTH = 0.1;
constexpr int FINE_BINS = 30;

// The value path's disparity of a 16-bit value: value x scale, at most the largest disparity.
double ValuePathDisparity(int raw, double scale) {
    const double d = raw * scale;
    return d > 0.0 ? std::min(d, LARGEST_DISPARITY) : 0.0;
}

// Each code's strip bin and, for every grid level whose window (d - 1, d + 2) holds its value, its
// fine bin there, as the value path's histograms bin the value; every tally's codes alike.
void ExpectGridTablesOfValues(const GridCodeTables& t, const std::vector<double>& value) {
    ASSERT_LE(t.tallies, MAX_TALLIES);
    std::vector<std::vector<int>> binOfTally(LUT_NUM, std::vector<int>(static_cast<size_t>(t.tallies), -1));
    for (int d = 0; d < LUT_NUM; ++d) {
        for (int e = t.levelStart[d]; e < t.levelStart[d + 1]; ++e) {
            ASSERT_EQ(binOfTally[d][t.entryTally[e]], -1) << "level " << d << " lists tally " << t.entryTally[e] << " twice";
            binOfTally[d][t.entryTally[e]] = t.entryBin[e];
        }
    }
    for (size_t c = 0; c < value.size(); ++c) {
        const double m = value[c];
        const int stripBin = HistogramBin(m + 0.5, 1.0, 1.0, LUT_NUM);
        ASSERT_EQ(t.stripBin[c], stripBin < 0 ? LUT_NUM : stripBin) << "code " << c;
        ASSERT_EQ(t.level[c], TableLevel(m)) << "code " << c;
        for (int d = 0; d < LUT_NUM; ++d) {
            const bool held = d >= FIRST_GRID_LEVEL && m > d - 1 && m < d + 2;
            const int bin = held ? HistogramBin(m, d - 1, FINE_WIDTH, FINE_BINS) : -1;
            ASSERT_EQ(binOfTally[d][t.tally[c]], bin) << "code " << c << " (" << m << ") at level " << d;
        }
    }
}

}  // namespace

// Scales: KITTI's; the finest that still spreads every value over the levels (65,536 codes, the
// most tallies any scale gives); a coarse one; one whose value 1 is already beyond level 99.
TEST(Fixed16Codes, HoldTheValuePathsDisparitiesInOrderWithTheirBins) {
    const struct {
        double scale;
        int codes;  // hand-computed: the first value reaching 100, plus one
        bool checkBins;
    } cases[] = {
        {1.0 / 256.0, 25601, true},
        {LARGEST_DISPARITY / 65535.0, 65536, true},
        {0.5, 201, false},
        {300.0, 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("scale " + std::to_string(c.scale));
        ASSERT_TRUE(Fixed16OnCodes(c.scale));
        const Fixed16Codes codes(c.scale);
        ASSERT_EQ(static_cast<int>(codes.value.size()), c.codes);
        ASSERT_EQ(codes.last, c.codes - 1);
        for (int raw = 0; raw <= 65535; ++raw) {
            const int code = std::min<int>(raw, codes.last);
            ASSERT_EQ(codes.value[code], ValuePathDisparity(raw, c.scale)) << "value " << raw;
        }
        for (int code = 1; code < c.codes; ++code) {
            ASSERT_LE(codes.value[code - 1], codes.value[code]) << "code " << code;
            ASSERT_EQ(codes.roadClass[code], RoadClassOf(codes.value[code])) << "code " << code;
        }
        if (c.checkBins) ExpectGridTablesOfValues(codes.grid, codes.value);
    }
    EXPECT_FALSE(Fixed16OnCodes(1e304));  // 65,535 x scale is not finite: the value path takes it
    const FrameCodeTables colour = ColourCodeTables();
    ExpectGridTablesOfValues(*colour.grid, std::vector<double>(colour.value, colour.value + colour.grid->level.size()));
}

namespace {

// A frame of disparities as 16-bit values at `scale`, and the same values as floats (value x scale,
// exact in a float), with isolated hostile pixels: the largest value, values beyond level 99.
struct HeldFrame {
    std::vector<uint16_t> raw;
    std::vector<float> floats;
};

HeldFrame HoldFrame(const std::vector<double>& d, double scale, int frame) {
    HeldFrame held;
    for (size_t i = 0; i < d.size(); ++i) {
        uint16_t v = static_cast<uint16_t>(std::lround(std::min(d[i], 200.0) / scale));
        if ((i + 7 * frame) % 997 == 0) v = static_cast<uint16_t>(65535 - i % 40000);
        held.raw.push_back(v);
        held.floats.push_back(static_cast<float>(v * scale));
    }
    return held;
}

// Every field of a frame's result.
std::string Written(const obstacle::FrameResult& r) {
    std::ostringstream out;
    out.precision(17);
    for (int row : r.road.rows) out << row << ' ';
    out << r.road.accepted << static_cast<int>(r.road.kind) << '\n';
    for (const obstacle::Obstacle& o : r.obstacles) {
        out << o.left_m << ' ' << o.right_m << ' ' << o.distance_m << ' ' << o.disparity_pix << ' ' << o.height_m << ' '
            << o.firstBlock << ' ' << o.lastBlock << ' ' << o.box.left << ' ' << o.box.top << ' ' << o.box.right << ' '
            << o.box.bottom << '\n';
    }
    for (const obstacle::Track& t : r.tracks) {
        out << t.id << ' ' << t.trajectory << ' ' << t.updates << ' ' << t.missed << ' ' << t.confirmed << ' ' << t.obstacle
            << ' ' << t.distance_m << ' ' << t.lateral_m << ' ' << t.width_m << ' ' << t.height_m << ' ' << t.disparity_pix
            << ' ' << t.vz_mps << ' ' << t.vx_mps << ' ' << t.box.left << ' ' << t.box.top << ' ' << t.box.right << ' '
            << t.box.bottom << '\n';
    }
    return out.str();
}

}  // namespace

// The parked car through the KITTI-like camera, at KITTI's scale and then, from frame 20, at a
// quarter of it (the codes of the new scale replace the old ones): frame by frame the same result on
// codes as on floats, with tracks to compare.
TEST(Fixed16Codes, GiveTheDetectorTheFramesOfTheValuePath) {
    const scene::Scene moving = StaticCarThroughKittiLike();
    const Camera& cam = moving.camera;
    obstacle::Detector onCodes(PublicCamera(cam));
    obstacle::Detector onValues(PublicCamera(cam));
    const std::ptrdiff_t cols = cam.width_pix;
    size_t tracksSeen = 0;
    for (int k = 0; k < 30; ++k) {
        const double scale = k < 20 ? 1.0 / 256.0 : 1.0 / 64.0;
        const HeldFrame held = HoldFrame(scene::RenderDisparity(scene::SceneAtFrame(moving, k)), scale, k);
        const obstacle::FrameResult codes = onCodes.Process(
            obstacle::Fixed16Disparity(held.raw.data(), cam.height_pix, cam.width_pix, cols * 2, scale));
        const obstacle::FrameResult values = onValues.Process(
            obstacle::FloatDisparity(held.floats.data(), cam.height_pix, cam.width_pix, cols * 4));
        ASSERT_EQ(Written(codes), Written(values)) << "frame " << k;
        tracksSeen += codes.tracks.size();
    }
    EXPECT_GT(tracksSeen, 20u);
}
