// The road seen in a disparity picture as a line of the V-disparity plane, row = horizonRow +
// rowsPerLevel x d, and the camera's mounting (height above the road, pitch) that such lines put
// it at. A flat road seen through the road model of Camera.h lies close to such a line: exactly on
// it for a level camera (horizon v0, h f / bf rows per unit of disparity), slightly curved for a
// pitched one.
#pragma once

#include <optional>
#include <vector>

#include "Camera.h"

struct RunState;

struct RoadLine {
    double horizonRow;    // where the road meets the horizon (d = 0)
    double rowsPerLevel;  // camera height / baseline for a flat road
    int samples;          // picture rows the line was fitted to
};

// Road pixels are looked for in the rows below the principal row, in the columns within
// ROAD_FIT_HALF_WIDTH of the picture's width from the principal column: the road ahead.
constexpr double ROAD_FIT_HALF_WIDTH = 0.125;
// A row takes part when this share of its central columns has a disparity.
constexpr double ROAD_FIT_MIN_SHARE = 0.25;
// Fewest rows a line is fitted to.
constexpr int ROAD_FIT_MIN_ROWS = 20;

// Fits the road line of a disparity picture (`disparities`, cols x rows, index u + v x cols, 0.0
// = none) seen by a camera of principal point (u0, v0): per row, the median disparity of the
// central columns; then row against disparity by least squares, refitted on the rows within
// three robust deviations (at least one row) of the line until none is dropped. Absent when
// fewer than ROAD_FIT_MIN_ROWS rows qualify.
std::optional<RoadLine> FitRoadLine(const double* disparities, int cols, int rows, double u0, double v0);

// The camera's mounting as the road of some frames shows it.
struct RoadMounting {
    double camHeight_m;  // height above the road (metre)
    double tanPitch;     // downward pitch, as the road formula's tangent
    int frames;          // frames whose road line it was taken from
};

// The mounting of the road lines fitted to a few frames: the flat road (Camera.h's formula, through
// the camera's focal length, principal row and f x B) that the median line (median horizon, median
// rise per level, so that a frame whose road was hidden does not move it) follows over the rows it
// was fitted on. Absent without a line, or where the line puts the camera at no positive height.
std::optional<RoadMounting> MountingOfRoadLines(const Camera& camera, const std::vector<RoadLine>& lines);

// The road line of the frame a source has just loaded into `run`, its picture first decoded into
// measuredDisparity where the source gave no values.
std::optional<RoadLine> FitFrameRoadLine(RunState& run);
