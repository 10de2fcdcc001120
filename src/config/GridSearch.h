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

// Joins candidate cell (rU, rD) to base cell (bU, bD), or makes their labels equivalent, when the
// two are close laterally, in depth and in height.
void ReferGroup(const StageGeometry& geometry, Grid* grid, int bU, int bD, int rU, int rD);
