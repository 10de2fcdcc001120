// The grid's temporal smoothing: this frame's grid linked to the previous frame's, then handed over.
#pragma once

#include "Config.h"
#include "RunState.h"
#include "StageGeometry.h"

// Links run.newGrid to the previous frame's run.grid (persistence, averaging, holds) and hands it over.
void GridSmoothing(RunState& run);

// Temporal smoothing of newGrid against the previous frame's grid (unused on the first frame).
void LinkToPreviousGrid(const StageGeometry& geometry, Grid* newGrid, const Grid* grid, bool firstFrame);
