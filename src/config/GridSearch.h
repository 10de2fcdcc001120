// Searches of the disparity buffer (geometry.width x geometry.height doubles, 0.0 = none) and of the
// occupancy grid (geometry.blocksU column blocks x LUT_NUM levels). A block is SHIFT_PITCH columns
// wide and geometry.blockRows rows tall, addressed by its top-left pixel (u, v).
#pragma once

#include "Config.h"
#include "StageGeometry.h"

// First non-zero disparity of the block, row by row; 0.0 when the block is empty.
double FindDisparityInBlock(const StageGeometry& geometry, int u, int v, const double* measuredDisparity);

// Number of blocks below (u, v) in the same strip whose disparity is non-zero and below d - 1;
// the bottom block row is never examined.
int CountFarBlock(const StageGeometry& geometry, int u, int v, double d, const double* measuredDisparity);

// Top, bottom and height of the run of pixels in column u that match the cell's disparity.
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
