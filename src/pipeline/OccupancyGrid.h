// Steps of the occupancy grid stage, in the order the frame runs them. Buffers are the run's: the
// disparities have geometry.pixels entries, a grid geometry.gridCells cells, the tables LUT_NUM
// entries. Each step that reads the disparities takes either a value source's values
// (measuredDisparity) or a colour picture's codes (disparityCodes), with the same results.
#pragma once

#include <vector>

#include "Config.h"
#include "RoadDisparityMap.h"
#include "RunState.h"
#include "StageGeometry.h"
#include "core.h"

// Removes the road and overhead background from the frame's disparities (run.disparityCodes of a
// colour picture, run.measuredDisparity of a value source), and classifies the cells of run.newGrid.
void OccupancyGrid(RunState& run);

// Table entry for a disparity: truncated toward zero and held inside 0 .. LUT_NUM - 1. The colour
// decode gives at most 100.0, and a value source may give more or fractions above 99: every value
// at or above level 99's lower edge uses the entry of level 99, and anything hostile (negative, not
// a number) an existing entry.
int TableLevel(double disparity);

// The fewest farther blocks below a block that make it background: a count above geometry.farBlocks.
int FarBlocksNeeded(const StageGeometry& geometry);

// The first three steps work on one strip of SHIFT_PITCH columns, from column u0 (uBl blocks in),
// and read or change nothing outside it.

// Drops from the strip of the decoded picture the pixels lower in the picture than the blind row
// (0.3 m above the road) of their own disparity.
void DropStripBelowBlind(const StageGeometry& geometry, const int* blind, int u0, double* measuredDisparity);
void DropStripBelowBlind(const StageGeometry& geometry, const int* blind, int u0, DisparityCode* codes);

// Blanks the blocks of the strip standing more than MYCAR_HIGHT above the road with more than
// geometry.farBlocks farther blocks below them (far background seen above the obstacles).
void RemoveStripOverheadBlocks(const StageGeometry& geometry, const int* ground, int u0, double* measuredDisparity);
void RemoveStripOverheadBlocks(const StageGeometry& geometry, const int* ground, int u0, DisparityCode* codes);

// geometry.gridCells cells, all zero except ref (the cell's own index) and exist = EXIST_OCCUPIED from
// FIRST_GRID_LEVEL on.
void InitializeGrid(const StageGeometry& geometry, std::vector<Grid>& newGrid);

// Counts the strip's disparities against the thresholds (its cells of column block uBl: empty, weak
// or occupied) and measures the fine disparity, distance and lateral position of the weak and
// occupied cells. stripValues holds SHIFT_PITCH x geometry.height values of scratch.
void ClassifyStrip(const StageGeometry& geometry, const double* measuredDisparity, int uBl, const double* disparity,
                   const double* threshold, double* stripValues, Grid* newGrid);
void ClassifyStrip(const StageGeometry& geometry, const DisparityCode* codes, int uBl, const double* disparity,
                   const double* threshold, Grid* newGrid);

// Turns the weak cells lying between two occupied cells of one row, at most XW metres apart, into
// occupied cells.
void PromoteWeakRuns(const StageGeometry& geometry, Grid* newGrid);

// Measures the top of every occupied cell, clears the cells without a matching row or lower than
// OBJECT_MIN_HEIGHT_M, and clears every remaining weak cell.
void MeasureHeights(const StageGeometry& geometry, const double* measuredDisparity, const int* ground,
                    const int* ceiling, Grid* newGrid);
void MeasureHeights(const StageGeometry& geometry, const DisparityCode* codes, const int* ground, const int* ceiling,
                    Grid* newGrid);
