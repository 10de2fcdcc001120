// Grouping of the occupied grid cells into obstacles, over a plain grid of geometry.gridCells cells
// indexed by GRID(uBl, d, blocksU). A cell takes part when it is occupied and currently measured or
// held (count > 0); rows 0 and 1 never do. On entry every id is 0 and every ref is the cell's own
// index: the ref of the cell whose index equals a label serves as that label's table entry.
#pragma once

#include <vector>

#include "Config.h"
#include "RunState.h"
#include "StageGeometry.h"

// Labels connected cells of run.grid and extracts run.newObject, nearest first.
void GroupObjects(RunState& run);

// True for a cell that takes part: occupied and currently measured or held.
bool TakesPart(const Grid& c);

// Whether a group too narrow for the width rule is a thin obstacle (a person, a cyclist) that the
// camera's column blocks make look narrower than it is (Config.h, THIN_OBSTACLE_*).
bool ThinObstacle(const StageGeometry& geometry, const DetectedObject& gr);

// Whether a measured group becomes a detection: at least OBJECT_MIN_WIDTH_M wide, or a thin obstacle.
bool KeptAsObstacle(const StageGeometry& geometry, const DetectedObject& gr);

// Gives every taking-part cell a raw label (from 1) and records which labels belong together.
// Returns one more than the largest raw label.
int LabelCells(const StageGeometry& geometry, Grid* grid);

// Replaces each raw label by its class's final group number: consecutive from 1, in the order of
// each class's smallest raw label. Returns one more than the number of groups.
int RenumberGroups(const StageGeometry& geometry, Grid* grid, int groupNum);

// Labels and renumbers the grid, then returns one detection per group kept as an obstacle, nearest
// first, down to the first group farther than MIN_D.
std::vector<DetectedObject> ExtractObjects(const StageGeometry& geometry, Grid* grid);
