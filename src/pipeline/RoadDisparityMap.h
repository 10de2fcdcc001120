// The road disparity stage on plain tables, so that each step can be run on its own: the frame's
// decode, the road classes of its even rows, their column counts and the V-disparity peaks.
#pragma once

#include <cstdint>

#include "CodeTables.h"
#include "Config.h"
#include "PictureView.h"
#include "RunState.h"
#include "StageGeometry.h"
#include "core.h"

// Decodes the frame's disparities (run.disparityCodes, or the values given in run.measuredDisparity)
// with the tables of its codes (run.frameCodes), takes the classes of the road disparities
// of its even rows into run.roadClasses, finds each column's dominant (obstacle) classes and, leaving
// those out, the V-disparity peak row run.MaxY per disparity class.
void RoadDisparityMap(RunState& run);


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

// A colour-coded picture decodes to one 16-bit code per pixel (DisparityCodes.h); code 0 is no disparity.
using DisparityCode = uint16_t;
constexpr DisparityCode NO_DISPARITY_CODE = 0;

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

// DecodePicture's pass writing each pixel's code instead of its value: codes has geometry.pixels
// entries, index PIXEL(u, v, width); the stages take the values from DisparityCodes().value. In the
// same pass it counts the classes of every column into columnCounts, as CountColumnClasses would.
void DecodePictureCodes(const StageGeometry& geometry, const PictureView& src, DisparityCode* codes,
                        RoadClass* classes, uint16_t* columnCounts);

// DecodePictureCodes' pass for a 16-bit picture of values (src: 2 bytes a pixel, this machine's
// byte order) through the codes of its scale: a value's code is the value, up to codes.last. The
// column counts too.
void DecodeFixed16Codes(const StageGeometry& geometry, const PictureView& src, const Fixed16Codes& codes,
                        DisparityCode* out, RoadClass* classes, uint16_t* columnCounts);

// The disparities of a 16-bit picture of values (as DecodeFixed16Codes takes it) at `scale`, each
// value times the scale, without the stages' limit; pixels the picture does not have are 0.0.
void Fixed16Disparities(const StageGeometry& geometry, const PictureView& src, double scale, double* disparities);

// A disparity value from a value source as the stages take it: a value at or above
// LARGEST_CODED_DISPARITY (the end of level 99, beyond what the colour coding holds) is that
// largest value, and a value that is not finite or not positive is no disparity (0.0). A decoded
// colour picture holds only such values already.
double LimitedDisparity(double v);

// LimitedDisparity of every value of the buffer.
void LimitGivenDisparities(const StageGeometry& geometry, double* disparities);

// The column blocks holding at least one disparity (a value above 0.0, a code other than
// NO_DISPARITY_CODE) of the decoded picture, from the left and from the right.
MeasuredBlocks MeasuredColumnBlocks(const StageGeometry& geometry, const double* decoded);
MeasuredBlocks MeasuredColumnBlocks(const StageGeometry& geometry, const DisparityCode* codes);

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
