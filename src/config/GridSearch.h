// Searches of the disparity buffer (geometry.width x geometry.height doubles, 0.0 = none) and of the
// occupancy grid (geometry.blocksU column blocks x LUT_NUM levels). A block is SHIFT_PITCH columns
// wide and geometry.blockRows rows tall, addressed by its top-left pixel (u, v).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "Config.h"
#include "StageGeometry.h"

// A disparity buffer holds either values (0.0 = none) or a colour picture's codes (0 = none, and no
// other code is); a reader gives a pixel's value.
struct ValueReader {
    double operator()(double m) const { return m; }
};
struct CodeReader {
    const double* value;  // the value of each code
    double operator()(uint16_t c) const { return value[c]; }
};

// First row of the bottom block row, which is never examined.
inline int EndBlockRow(const StageGeometry& g) { return g.height - g.blockRows; }

// Whether a row of a strip (SHIFT_PITCH pixels from row) holds no disparity. Rows without any come
// in long runs (sky, dropped road); a row of 16-bit codes is tested as one 8-byte word.
inline bool NoneInStripRow(const double* row) {
    bool none = true;
    for (int i = 0; i < SHIFT_PITCH; ++i) none = none && row[i] == 0.0;
    return none;
}
inline bool NoneInStripRow(const uint16_t* row) {
    static_assert(SHIFT_PITCH * sizeof(uint16_t) == sizeof(uint64_t), "a strip row of codes is one word");
    uint64_t word;
    std::memcpy(&word, row, sizeof word);
    return word == 0;
}

// First non-zero pixel of the `rows` strip rows from row (`width` pixels apart), row by row; zero
// when they are empty.
template <typename Pixel>
Pixel FirstInRows(const Pixel* row, int rows, int width) {
    for (int j = 0; j < rows; ++j, row += width) {
        if (NoneInStripRow(row)) continue;
        for (int i = 0; i < SHIFT_PITCH; ++i) {
            if (row[i] != Pixel{0}) return row[i];
        }
    }
    return Pixel{0};
}

// First non-zero pixel of the block, row by row; zero when the block is empty.
template <typename Pixel>
Pixel FirstInBlock(const StageGeometry& g, int u, int v, const Pixel* buffer) {
    return FirstInRows(buffer + PIXEL(u, v, g.width), g.blockRows, g.width);
}

// First non-zero disparity of the block, row by row; 0.0 when the block is empty.
double FindDisparityInBlock(const StageGeometry& geometry, int u, int v, const double* measuredDisparity);

// Number of blocks below (u, v) in the same strip whose disparity is non-zero and below d - 1;
// the bottom block row is never examined.
int CountFarBlock(const StageGeometry& geometry, int u, int v, double d, const double* measuredDisparity);

// A pixel belongs to a cell when its disparity or its distance is close to the cell's. A zero pixel
// lies at infinite distance and so can match only through its disparity.
inline bool NearCellDisparity(const Grid& cell, double value) { return std::fabs(cell.aveD - value) <= 0.5; }
inline bool NearCellDistance(const Grid& cell, double value, double bf_pix) {
    return std::fabs(cell.z_m - bf_pix / value) <= 0.4;
}
inline bool MatchesCell(const Grid& cell, double value, double bf_pix) {
    return NearCellDisparity(cell, value) || NearCellDistance(cell, value, bf_pix);
}

// A range of ranks, from first up to but not including end.
struct CodeRange {
    int first;
    int end;
    bool Holds(uint16_t c) const {
        return static_cast<unsigned>(c - first) < static_cast<unsigned>(end - first);
    }
};

// Codes ranked by value: their values in ascending order, and each code's rank, the position of
// the first code of its value in that order.
struct CodeRanking {
    std::vector<double> rankedValue;
    std::vector<uint16_t> rank;
};
CodeRanking RankCodes(const double* value, int codes);

// The codes that match a cell, as MatchesCell judges their values: each of its two tests holds on
// one range of ranks. In IEEE arithmetic each test only gets easier as a value approaches its
// centre from either side (the cell's disparity, and the value whose distance is the cell's), so
// each range is found by binary search over the ranked values with the test itself.
struct MatchingCodes {
    const uint16_t* rank;
    CodeRange byDisparity;
    CodeRange byDistance;
    bool operator()(uint16_t c) const { return byDisparity.Holds(rank[c]) || byDistance.Holds(rank[c]); }
};

// The matching codes of the ranking; bf_pix is positive.
MatchingCodes CodesMatchingCell(const Grid& cell, double bf_pix, const CodeRanking& ranking);

// Top, bottom and height of the run of pixels in column u that match the cell (`matches` tells a
// pixel that does). A row matches when its pixel and the pixel one block lower both match, which
// keeps single stray pixels from raising the top of an obstacle; the bottom block row is never
// examined. Only the first and the last matching row decide, so the column is scanned down from
// its top to the first and up from its lowest examined row to the last.
template <typename Pixel, typename Match>
void SearchHeight(const StageGeometry& g, Grid* grid, const Pixel* buffer, Match matches, int u, int groundPoint) {
    const int probe = g.blockRows * g.width;
    const int lastRow = std::min(groundPoint, EndBlockRow(g) - 1);
    const auto rowMatches = [&](int v) {
        const Pixel* pixel = buffer + PIXEL(u, v, g.width);
        return matches(pixel[0]) && matches(pixel[probe]);
    };
    int top = 0;
    while (top <= lastRow && !rowMatches(top)) ++top;
    int height_pix = groundPoint;
    int low_pix = groundPoint;
    if (top <= lastRow) {
        int bottom = lastRow;
        while (!rowMatches(bottom)) --bottom;
        height_pix = top;
        low_pix = bottom + g.blockRows;
    }
    grid->h_pix = height_pix;
    grid->hl_pix = low_pix;
    grid->h_m = (static_cast<double>(groundPoint - height_pix) * g.camera.baseline_m) / grid->aveD;
}

// SearchHeight over a buffer of values.
void SearchHeightPixel(const StageGeometry& geometry, Grid* grid, const double* measuredDisparity, int u,
                       int groundPoint, int ceiling);

// The disparities and distances of a set of cells, each from its smallest to its largest.
struct DepthRange {
    double minD;
    double maxD;
    double minZ;
    double maxZ;
};

constexpr double dDisparityThresh = 0.3;  // disparity tolerance of two cells of one obstacle (pixel)
constexpr double dDistanceThresh = 1.0;   // distance tolerance of two cells of one obstacle (metre)

// Whether every value of [low, high] lies farther than `limit` from `value`.
inline bool AllFarther(double value, double low, double high, double limit) {
    return value - high > limit || low - value > limit;
}

// Whether some cell of the range may be close in depth to cell b as ReferGroup judges it; false
// only when none can be (exact: a difference of two doubles is monotone in each of them).
inline bool MayBeCloseInDepth(const Grid& b, const DepthRange& range) {
    return !(AllFarther(b.aveD, range.minD, range.maxD, dDisparityThresh) &&
             AllFarther(b.z_m, range.minZ, range.maxZ, dDistanceThresh));
}

// The column blocks and lateral positions of a set of cells, each from its smallest to its largest.
struct LateralRange {
    int firstU;
    int lastU;
    double minX;
    double maxX;
};

constexpr int NEIGHBOUR_BLOCKS = 1;  // column blocks this close are close laterally wherever they lie

// Whether some cell of the range may be close laterally to cell b of column block bU as ReferGroup
// judges it; false only when none can be (exact, as MayBeCloseInDepth).
inline bool MayBeCloseLaterally(const Grid& b, int bU, const LateralRange& range) {
    return !(AllFarther(bU, range.firstU, range.lastU, NEIGHBOUR_BLOCKS) &&
             AllFarther(b.x_m, range.minX, range.maxX, GROUPED_RANGE));
}

// Joins candidate cell (rU, rD) to base cell (bU, bD), or makes their labels equivalent, when the
// two are close laterally, in depth and in height.
void ReferGroup(const StageGeometry& geometry, Grid* grid, int bU, int bD, int rU, int rD);
