// What the stages derive from the run's camera, once per run: the picture and grid sizes, the
// optical axis, and the counts of pixels, rows and columns that stand for an obstacle or a road of
// some metric size. Such a count is tuned for the default camera; through another camera it
// follows the geometry:
//   a height h at disparity d spans h d / B rows, so a row count scales by rowScale = B_MM / B;
//   a width w at distance z spans f w / z columns, so a column count scales by columnScale = f / F_PIX;
//   an angle theta spans f theta rows, so a row count that stands for an angle scales by columnScale too;
//   a share of the picture scales with its height.
//   the flat road rises h_cam / B rows per unit of disparity, so a count of road rows per level
//   scales by roadRowScale = (h_cam / B) / (CAM_H_M / B_MM);
// A count of frames that stands for a span of time follows the frame interval, and so does a
// tolerance that stands for the motion of an unknown rate between two frames (a speed times the
// frame interval): those values (marked "per interval") follow each frame's own interval where a
// frame gives one (SetFrameInterval), the camera's frame interval otherwise.
// The disparity levels themselves (LUT_NUM integer levels, the class and table breakpoints) stay.
// With the default camera the three factors are exactly 1.0 and every value below is the default's.
#pragma once

#include <optional>
#include <string>

#include "Camera.h"
#include "Config.h"

// The camera's lengths, focal length and picture size must be positive and finite; a column of the
// road stage counts at most 65535 entries, so the picture has at most 131070 rows.
struct StageGeometry {
    explicit StageGeometry(const Camera& camera);

    // Sets the frame interval and the values per interval to those of `interval_s` seconds since
    // the previous frame; the constructor sets the camera's frame interval.
    void SetFrameInterval(double interval_s);

    Camera camera;
    double frameInterval_s;  // time since the previous frame (second): the camera's, or the frame's own

    // Sizes.
    int width;          // picture columns (pixel)
    int height;         // picture rows (pixel)
    int pixels;         // entries of a disparity buffer, index PIXEL(u, v, width)
    int blocksU;        // SHIFT_PITCH-wide column blocks the width holds; columns left over are ignored
    int gridCells;      // cells of a grid, index GRID(uBl, d, blocksU)
    int axisU;          // column of the optical axis, truncated, inside the picture
    double rowScale;     // B_MM / baseline
    double columnScale;  // f / F_PIX
    double roadRowScale; // (camHeight / baseline) / (CAM_H_M / B_MM)

    // Road disparity map and V-disparity peaks.
    int roadFirstRow;        // first even row below the horizon: the rows above it see no road
    int scanCap;             // road entries counted per side of a row scan
    int faceLimitSingle;     // a column with more entries of one class is an obstacle face ...
    int faceLimitFolded;     // ... of a class folded from two rounded disparities
    int peakMinSingle;       // a row needs this many entries of a class for its road peak ...
    int peakMinFolded;       // ... of a folded class

    // Road profile.
    int noRoadRow;           // the row of a class without road: the picture's last row
    int uncountedRoadRow[LUT_NUM];  // peak row of a level the road stage never counts: the flat road's
                                    // row nearer than ROAD_MAX_DISPARITY, else noRoadRow
    int belowPictureLevel;   // the profile takes the road to lie below the picture from this level on
    int measuredRowLimit;    // peak rows from here down mark a class without road
    int minRoadRow;          // a road row above this one is implausible
    double gateRows;         // a peak this far from the filter's prediction is an outlier
    double stepLimitNear;    // allowed rise of the road row to the next farther level, levels 1..14 ...
    double stepLimitFar;     // ... and from 15 on
    int firstBandLevel;      // the levels from this one on are held to the profile in force ...
    double bandFixed;        // ... within this once a profile was accepted (an angle and its change
                             // over a frame interval; per interval)
    double bandBelowFirst;   // before: rows above the profile in force ...
    double bandAboveFirst;   // ... and below it
    int reseedFrames;        // a profile in force refused over this many frames in a row (per interval) gives way ...
    double supportRows;      // ... to a frame's own profile whose peaks mostly lie within this of it
    double raiseStepNear;    // a road step larger than this raises the cell threshold, levels 1..16 ...
    double raiseStepFar;     // ... and from 17 on

    // Occupancy grid, grouping and track search.
    double threshold[LUT_NUM];   // cell threshold of each level at the top of a frame (pixels of a strip)
    int blockRows;               // rows of an overhead block and of the height search's lower probe
    double farBlocks;            // a high block with more farther blocks below it is background
    double heightToleranceRows;  // height tolerance of joining cells and matching tracks (rows)

    // Track search (per interval). An edge of a detection matches a track's predicted edge within this (metre).
    double edgeGate_m;
    // How far from a young track's prediction (its rate not known yet) a detection
    // may lie in distance, at least RANGE_GATE_M (metre). Once the rate is known the prediction
    // follows the motion and RANGE_GATE_M holds what is left, at any frame interval.
    double youngNearer_m;     // toward the camera, where the car's own motion is not known
    double youngSpeedGate_m;  // either way, where the car's own motion is predicted
    // What an established track's prediction may be off beyond RANGE_GATE_M for each frame since
    // its last update (metre): its rate's remaining error over the part of the frame interval
    // that exceeds the default one; 0 at the default interval and shorter ones.
    double rateGate_m;

    // Grid smoothing (per interval).
    int maxPersistence;          // a cell's persistence count stops here (GRID_MAX_PERSISTENCE frames
                                 // of the default camera), and a lost cell is held at most as many frames
    int averagedMeasurements;    // a cell's disparity is the mean of its latest measurements, at most
                                 // this many consecutive ones (1 to GRID_AVERAGED_MEASUREMENTS)
};

// A grid cell keeps its two previous measurements: its disparity averages at most three.
constexpr int GRID_AVERAGED_MEASUREMENTS = 3;
// The persistence count of a grid cell of the default camera goes up to five frames.
constexpr int GRID_MAX_PERSISTENCE = 5;
// How fast the road's angle in the picture changes (radian per second): the car pitching by about
// a degree at up to 2 Hz (0.22) and a crest or dip of 1,000 m radius passed at 40 m/s (0.04).
constexpr double ROAD_ANGLE_RATE_RADPS = 0.26;
// A profile in force refused for this span of time gives way to a well supported profile of the
// frame's own: a wrong start or a grade change then costs a fraction of a second.
constexpr double ROAD_RESEED_SPAN_S = 0.3;

// A row, column or count the stages derive from a camera lies within +-DERIVED_MAX_PIX: 128 times
// the largest picture side, and far enough inside an int that the stages' sums and products of it
// with their metric sizes and levels stay inside one too.
constexpr double DERIVED_MAX_PIX = 1 << 20;

struct DerivedValue {
    std::string name;  // what the value is ("the flat road's row at disparity 99")
    double value;
};

// The first row, column or count the stages derive from `camera` (whose fields are finite and in
// their ranges) that is not a number within +-DERIVED_MAX_PIX, or nothing: a camera with one is
// refused, since StageGeometry and the road's initial rows convert them to int.
std::optional<DerivedValue> DerivedOutOfRange(const Camera& camera);

// The stage geometry of DEFAULT_CAMERA, for callers without a run.
const StageGeometry& DefaultGeometry();

// Index of pixel (u, v) in a disparity buffer of `width` columns, and of grid cell (uBl, d) in a
// grid of `blocksU` column blocks.
constexpr int PIXEL(int u, int v, int width) { return u + (v * width); }
constexpr int GRID(int uBl, int d, int blocksU) { return uBl + (d * blocksU); }
