// Searches of the disparity buffer (geometry.width x geometry.height doubles, 0.0 = none) and of the
// occupancy grid (geometry.blocksU column blocks x LUT_NUM levels). A block is SHIFT_PITCH columns
// wide and geometry.blockRows rows tall, addressed by its top-left pixel (u, v).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

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

// First non-zero pixel of the block, row by row; zero when the block is empty.
template <typename Pixel>
Pixel FirstInBlock(const StageGeometry& g, int u, int v, const Pixel* buffer) {
    for (int j = 0; j < g.blockRows; ++j) {
        const Pixel* row = buffer + PIXEL(u, v + j, g.width);
        if (NoneInStripRow(row)) continue;
        for (int i = 0; i < SHIFT_PITCH; ++i) {
            if (row[i] != Pixel{0}) return row[i];
        }
    }
    return Pixel{0};
}

// First non-zero disparity of the block, row by row; 0.0 when the block is empty.
double FindDisparityInBlock(const StageGeometry& geometry, int u, int v, const double* measuredDisparity);

// Number of blocks below (u, v) in the same strip whose disparity is non-zero and below d - 1;
// the bottom block row is never examined.
int CountFarBlock(const StageGeometry& geometry, int u, int v, double d, const double* measuredDisparity);

// A pixel belongs to a cell when its disparity or its distance is close to the cell's. A zero pixel
// lies at infinite distance and so can match only through its disparity.
inline bool MatchesCell(const Grid& cell, double value, double bf_pix) {
    return std::fabs(cell.aveD - value) <= 0.5 || std::fabs(cell.z_m - bf_pix / value) <= 0.4;
}

// Top, bottom and height of the run of pixels in column u that match the cell's disparity. A row
// matches when its pixel and the pixel one block lower both match, which keeps single stray pixels
// from raising the top of an obstacle; the bottom block row is never examined.
template <typename Pixel, typename Reader>
void SearchHeight(const StageGeometry& g, Grid* grid, const Pixel* buffer, Reader read, int u, int groundPoint) {
    const double bf_pix = g.camera.bf_pix;
    const int probe = g.blockRows * g.width;
    const int endRow = EndBlockRow(g);
    int height_pix = groundPoint;
    int low_pix = groundPoint;
    bool bFlag = false;
    for (int v = 0; v <= groundPoint && v < endRow; ++v) {
        const Pixel* pixel = buffer + PIXEL(u, v, g.width);
        if (!MatchesCell(*grid, read(pixel[0]), bf_pix) || !MatchesCell(*grid, read(pixel[probe]), bf_pix)) continue;
        if (!bFlag) height_pix = v;
        low_pix = v + g.blockRows;
        bFlag = true;
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

// Joins candidate cell (rU, rD) to base cell (bU, bD), or makes their labels equivalent, when the
// two are close laterally, in depth and in height.
void ReferGroup(const StageGeometry& geometry, Grid* grid, int bU, int bD, int rU, int rD);
