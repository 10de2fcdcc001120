// The straightforward forms of the stages that the detector runs in a faster form: each one does
// exactly what its description says, pixel by pixel and cell by cell. They are the references the
// fast forms must match bit for bit, and the "before" of the benchmark.
#pragma once

#include <cstdint>
#include <vector>

#include "Config.h"
#include "RunState.h"
#include "core.h"

namespace reference {

// The bin a histogram counts x in, found by trying the bins from the first: the smallest j in
// 0 .. numBin - 1 with x < firstBin + widthBin * j, for x not below firstBin; -1 when none.
int LinearBin(double x, double firstBin, double widthBin, int numBin);

// Road disparity map, column by column: every even row decoded (or, for a frame whose source gave
// disparity values, every value limited as the stages take it and the road values of the even
// rows taken), each column's dominant classes erased by one pass over the column per class, then
// the V-disparity peaks.
void DecodeRoadDisparities(const StageGeometry& geometry, const qim::Image& src, double* road);
void TakeRoadValues(const StageGeometry& geometry, double* measuredDisparity, double* road);
void EraseObstacleDisparities(const StageGeometry& geometry, double* road);
// The class of every even row's entry of road, as the V-disparity peaks count them.
void RoadClasses(const StageGeometry& geometry, const double* road, uint8_t* classes);
void RoadDisparityMap(RunState& run);

// Occupancy grid: the picture decoded column by column (given values only dropped below the blind
// rows), each overhead block checked against
// every block below it, a strip histogram found by trying every bin, and one fine histogram per
// examined cell over the strip's 1,440 pixels.
void DecodeObstacleDisparity(const StageGeometry& geometry, const qim::Image& colorD, const int* blind,
                             double* measuredDisparity);
void DropBelowBlind(const StageGeometry& geometry, const int* blind, double* measuredDisparity);
void RemoveOverheadBlocks(const StageGeometry& geometry, const int* ground, double* measuredDisparity);
void ClassifyStrips(const StageGeometry& geometry, const double* measuredDisparity, const double* disparity,
                    const double* threshold, Grid* newGrid);
void OccupancyGrid(RunState& run);

// Grid smoothing with the hand-over as a copy of the whole grid.
void GridSmoothing(RunState& run);

// Grouping: every taking-part cell compared with every later cell of the grid.
int LabelCells(const StageGeometry& geometry, Grid* grid);
std::vector<DetectedObject> ExtractObjects(const StageGeometry& geometry, Grid* grid);
void GroupObjects(RunState& run);

// The detection stages of one frame, each in its straightforward form.
void DetectObstacles(RunState& run);

}  // namespace reference
