// The steps of the road stages on plain tables, so that each can be run on its own: the road
// disparity buffer and its V-disparity peaks, and the road profile derived from those peaks.
#pragma once

#include <cstdint>

#include "Config.h"
#include "RunState.h"
#include "StageGeometry.h"
#include "core.h"

bool IsRoadDisparity(double v);

// Disparity rounded half up (v a road disparity).
int RoundedDisparity(double v);

// Histogram class of a road disparity: the rounded value, an odd value above 16 lowered by one.
int DisparityClass(double v);

// The road stage keeps one byte per entry of the even rows: its class, or NO_ROAD_CLASS for an entry
// of no road disparity (none, or outside ROAD_MIN_DISPARITY .. ROAD_MAX_DISPARITY), which is
// never counted. The column counts of the faces have a slot for it too.
using RoadClass = uint8_t;
constexpr RoadClass NO_ROAD_CLASS = ROAD_CLASSES;
constexpr int ROAD_CLASS_SLOTS = ROAD_CLASSES + 1;

// The class of an entry: DisparityClass of a road disparity, else NO_ROAD_CLASS.
RoadClass RoadClassOf(double v);

// The road classes hold the even rows only: picture row y (even) starts at entry RoadRowStart,
// and a picture of `rows` rows has RoadClassRows of them.
constexpr int RoadRowStart(int width, int y) { return (y / 2) * width; }
constexpr int RoadClassRows(int rows) { return (rows + 1) / 2; }

// The disparity buffers below are the camera's pictures: geometry.pixels entries, index
// PIXEL(u, v, width); the road classes are geometry.width x RoadClassRows(geometry.height) bytes.

// Decodes every pixel of a colour-coded disparity picture, row by row, into decoded, and gives the
// entries of the even rows their road class in classes, as SelectRoadClasses would. Pixels the
// picture does not have (a smaller or not three-channel picture) decode as 0.0, no disparity. The
// frame decodes its picture once: the road stage and the grid stage both start from this buffer.
void DecodePicture(const StageGeometry& geometry, const PictureView& src, double* decoded, RoadClass* classes);

// Disparity values from a value source as the stages take them: a value at or above
// LARGEST_CODED_DISPARITY (the end of level 99, beyond what the colour coding holds) is that
// largest value, and a value that is not finite or not positive is no disparity (0.0). A decoded
// colour picture holds only such values already.
void LimitGivenDisparities(const StageGeometry& geometry, double* disparities);

// The road candidates of a frame's disparities: the class of every entry of its even rows.
void SelectRoadClasses(const StageGeometry& geometry, const double* decoded, RoadClass* classes);

// Counts the entries of every class in every column: columnCounts (geometry.width x
// ROAD_CLASS_SLOTS entries, index x * ROAD_CLASS_SLOTS + class).
void CountColumnClasses(const StageGeometry& geometry, const RoadClass* classes, uint16_t* columnCounts);

// Whether class c dominates column x (an obstacle face), whose entries there are then not road:
// more entries than the face limit of its class. NO_ROAD_CLASS never is.
bool IsObstacleFace(const StageGeometry& geometry, const uint16_t* columnCounts, int x, RoadClass c);

// Finds for every disparity class the row of its V-disparity peak (geometry.uncountedRoadRow where no
// row qualifies) and fills the odd classes from 17 on from their neighbours; MaxY[99] stays
// uncountedRoadRow[99]. The entries of a face of their column (IsObstacleFace on columnCounts; all
// zero for none) are not counted.
void VDisparityPeaks(const StageGeometry& geometry, const RoadClass* classes, const uint16_t* columnCounts,
                     int MaxY[LUT_NUM]);

// Smooths the peak rows along the disparity axis, near to far.
void SmoothRoadRows(const StageGeometry& geometry, const int MaxY[LUT_NUM], int aveMaxY[LUT_NUM]);

// Walks the smoothed rows from near to far into a road row per disparity that never descends and
// rises by a bounded step; fills ground[1..99].
void WalkRoadProfile(const StageGeometry& geometry, const int aveMaxY[LUT_NUM], int ground[LUT_NUM]);

// Whether every row of ground[1..98] lies low enough in the picture to be a road.
bool RoadProfilePlausible(const StageGeometry& geometry, const int ground[LUT_NUM]);

// Whether ground lies within the band around the profile in force at every level from
// geometry.firstBandLevel to 98: the wide band of the first profile until one was accepted
// (bGndFixFlg), then geometry.bandFixed.
bool RoadProfileInBand(const StageGeometry& geometry, const int ground[LUT_NUM], const int pre_ground[LUT_NUM],
                       bool bGndFixFlg);

// Whether ground[1..98] is a plausible road next to the profile in force (both of the above).
bool RoadProfileAcceptable(const StageGeometry& geometry, const int ground[LUT_NUM], const int pre_ground[LUT_NUM],
                           bool bGndFixFlg);

// Whether a frame's own profile is well supported by its peaks: over the levels from
// geometry.firstBandLevel on that the histogram measures and where the profile lies in the picture,
// the peak lies within geometry.supportRows of the profile at half of them, and at four at least.
bool RoadProfileWellSupported(const StageGeometry& geometry, const int MaxY[LUT_NUM], const int ground[LUT_NUM]);

// Which profile a frame uses: its own where it is plausible and in the band (Own); where it is
// plausible, out of the band, well supported, and the profile in force has been kept for
// geometry.reseedFrames frames in a row (`refusedFrames`), its own as well (Reseeded); else the
// profile in force (Kept).
RoadProfileKind ChooseRoadProfile(const StageGeometry& geometry, const int MaxY[LUT_NUM], const int ground[LUT_NUM],
                                  const int pre_ground[LUT_NUM], bool bGndFixFlg, int refusedFrames);

// Rows 0.3 m (blind) and 2.0 m (ceiling) above the road, entries 0..99, never negative.
void RowsAboveRoad(const Camera& camera, const int ground[LUT_NUM], int blind[LUT_NUM], int ceiling[LUT_NUM]);

// Raises the cell thresholds at disparities where the road row jumps.
void RaiseStepThresholds(const StageGeometry& geometry, const int ground[LUT_NUM], double threshold[LUT_NUM]);

// The whole road profile of one frame from its peak rows: fills ground, blind and ceiling (entries
// 0..99; entry 0 repeats entry 1) from the profile ChooseRoadProfile picks and raises threshold.
// A profile of the frame's own becomes the profile in force (pre_ground), sets bGndFixFlg and
// clears refusedFrames; a kept one counts in refusedFrames. Returns the kind of profile used.
RoadProfileKind RoadProfileFromPeaks(const StageGeometry& geometry, const int MaxY[LUT_NUM], int pre_ground[LUT_NUM],
                                     bool& bGndFixFlg, int& refusedFrames, int ground[LUT_NUM], int blind[LUT_NUM],
                                     int ceiling[LUT_NUM], double threshold[LUT_NUM]);
