// Scores a run on a street that stands still (parked cars, trees, posts, facades) without object
// labels, against the recording's ground-truth ego motion and the road seen in its own disparities.
//
// Poses: KITTI's one 3 x 4 matrix [R | t] per line, row-major, twelve numbers: the left camera of
// frame k (the line k, from 0) in the first frame's coordinates (x right, y down, z forward,
// metres). The results' frame numbers are the poses' line numbers, as KITTI's files 000000, ...
// are numbered.
//
// Tracks: for every established track (count >= ESTABLISHED_COUNT) of a frame whose previous frame
// holds the same trajectory (its "track" number, the id where there is none), the previous
// position (x_m, 0, z_m) moved by the ego motion between the two poses predicts where it lies
// now: P_now = R_now^T (R_prev P_prev + t_prev - t_now). The distance error is |z_m - z_pred| /
// z_pred; a prediction at or behind the camera is out of view and not counted. The speed is judged
// once a track has VELOCITY_SETTLED_COUNT updates: vz_mps of a static obstacle is minus the
// camera's speed (its displacement between the two poses per frame interval); the ratio
// vz_mps / -speed is 1 when it is right (a vz_mps that is not finite counts as 0).
//
// Road: the road line of a frame is fitted to its own disparity picture (RoadLine); its rows are
// compared with the run's road rows ("road"."ground") at every disparity level from 1 to
// LUT_NUM - 1 whose fitted row lies inside the picture (truncated toward zero, as the detector's
// rows are), over all frames, accepted or not: the rows the run used.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "PoseFile.h"
#include "SequenceFiles.h"

// Reads KITTI's poses (PoseFile.h); an InputError names the file and line of a row that is not
// twelve finite numbers. At least one pose.
std::vector<Pose> ReadPoses(std::istream& in, const std::string& name);

// The road of one frame as a line in the V-disparity plane: row = horizonRow + rowsPerLevel x d.
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

struct StreetScores {
    int frames = 0;
    int trackSamples = 0;   // established tracks with a prediction
    int speedSamples = 0;   // of them, those judged for their speed
    int roadFrames = 0;     // frames with a fitted road line
    int roadLevels = 0;     // road rows compared
    int acceptedFrames = 0;
    std::optional<double> distanceErrorMedian;  // relative
    std::optional<double> distanceErrorP95;     // relative
    std::optional<double> withinFivePercent;    // share of samples with a distance error <= 5 %
    std::optional<double> speedRatioMedian;     // median of vz_mps / -ego speed
    std::optional<double> roadRowErrorMedian;   // rows
    std::optional<double> acceptedShare;        // frames whose profile was accepted
};

// `roads` holds the fitted line of each result frame (same order; absent where none could be
// fitted); `pictureRows` is the disparity picture's height and `frameInterval_s` the time between
// frames. An EvaluationError when a result frame has no pose or no road profile.
StreetScores EvaluateStreet(const std::vector<Pose>& poses, const std::vector<FrameResult>& results,
                            const std::vector<std::optional<RoadLine>>& roads, int pictureRows,
                            double frameInterval_s);
