// Boxes of obstacles in the disparity picture, as the programs draw and report them.
#pragma once

#include "Config.h"
#include "StageGeometry.h"
#include "TrackingObject.h"

// An obstacle's box in the disparity picture, bounds included: its column blocks, and the rows from
// its top (its height above the road) down to the road row at its disparity. Always inside the
// picture, also for values that are out of range or not numbers.
struct PictureBox {
    int left;
    int top;
    int right;
    int bottom;

    int Width() const { return right - left + 1; }
    int Height() const { return bottom - top + 1; }
};

PictureBox ObstacleBox(const StageGeometry& geometry, int S_u, int E_u, double d_pix, double h_m,
                       const int ground[LUT_NUM]);
PictureBox TrackBox(const StageGeometry& geometry, const TrackingObject& track, const int ground[LUT_NUM]);
PictureBox DetectionBox(const StageGeometry& geometry, const DetectedObject& detection, const int ground[LUT_NUM]);
