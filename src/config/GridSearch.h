// Searches of the disparity buffer (560 x 360 doubles, 0.0 = none) and of the occupancy grid.
// A 4 x 4 block is addressed by its top-left pixel (u, v), both multiples of SHIFT_PITCH.
#pragma once

#include "Config.h"

// First non-zero disparity of the block, row by row; 0.0 when the block is empty.
double FindDisparityInBlock(int u, int v, const double* measuredDisparity);

// Number of blocks below (u, v) in the same strip whose disparity is non-zero and below d - 1.
int CountFarBlock(int u, int v, double d, const double* measuredDisparity);

// Top, bottom and height of the run of pixels in column u that match the cell's disparity.
void SearchHeightPixel(Grid* grid, const double* measuredDisparity, int u, int groundPoint, int ceiling);

// Joins candidate cell (rU, rD) to base cell (bU, bD), or makes their labels equivalent, when the
// two are close laterally, in depth and in height.
void ReferGroup(Grid* grid, int bU, int bD, int rU, int rD);
