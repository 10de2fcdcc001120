// The per-frame stages of the detector, in the order the frame loop runs them.
#pragma once

#include "RunState.h"

struct AssociationRecord;

// Decodes every pixel of run.src_img_colorD into run.measuredDisparity (the frame's only decode),
// takes the classes of the road disparities of its even rows into run.roadClasses, finds each
// column's dominant (obstacle) classes and, leaving those out, the V-disparity peak row run.MaxY per
// disparity class.
void RoadDisparityMap(RunState& run);

// Smooths run.MaxY into the road profile run.ground with the three-state filter, derives run.blind
// and run.ceiling, raises run.threshold at profile steps, and takes the profile into run.pre_ground
// when it passes its check or re-seeds the profile in force (run.roadProfile says which).
void RoadProfile(RunState& run);

// Removes the road and overhead background from the picture that RoadDisparityMap decoded into
// run.measuredDisparity, and classifies the cells of run.newGrid.
void OccupancyGrid(RunState& run);

// Links run.newGrid to the previous frame's run.grid (persistence, averaging, holds) and hands it over.
void GridSmoothing(RunState& run);

// Labels connected cells of run.grid and extracts run.newObject, nearest first.
void GroupObjects(RunState& run);

// Brings run.preObject up to date with run.newObject: update, restart, split, coast, delete,
// create and merge tracks. When `record` is given it receives what the frame did (for reports).
void TrackAssociation(RunState& run, AssociationRecord* record = nullptr);
