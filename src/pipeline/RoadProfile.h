// The road profile stage on plain tables, so that each step can be run on its own: the profile
// derived from the V-disparity peaks, its checks, and the rows and thresholds that follow from it.
#pragma once

#include "Camera.h"
#include "Config.h"
#include "RunState.h"
#include "StageGeometry.h"

// Smooths run.MaxY into the road profile run.ground with the three-state filter, derives run.blind
// and run.ceiling, raises run.threshold at profile steps, and takes the profile into run.pre_ground
// when it passes its check or re-seeds the profile in force (run.roadProfile says which).
void RoadProfile(RunState& run);

// Smooths the peak rows along the disparity axis, near to far.
void SmoothRoadRows(const StageGeometry& geometry, const int MaxY[LUT_NUM], int aveMaxY[LUT_NUM]);

// Walks the smoothed rows from near to far into a road row per disparity that never descends and
// rises by a bounded step: a level road's, and with `gradeChange` what a road whose grade rises by
// that much (metre per metre) at a nearer distance adds. A row beyond the bound is refused and the
// walk repeats its last step there. Fills ground[1..99].
void WalkRoadProfile(const StageGeometry& geometry, const int aveMaxY[LUT_NUM], int ground[LUT_NUM],
                     double gradeChange = 0.0);

// Whether the road has turned upward beyond the nearest level whose smoothed row the walk `ground`
// refused: from the level before it out to the farthest measured level, the smoothed rows rise
// by more than UPWARD_RISE_SHARE over the flat road of the camera's mounting, and by more than the
// few rows (UPWARD_EXCESS_ROWS) a noisy peak at either end moves that rise. So the road does beyond
// a rise of its grade (G z0 / h more: a quarter is a 6 % rise 5.5 m ahead at 1.32 m), while a bump
// the walk passed over leaves the road beyond it as steep as a level road's.
bool RoadTurnsUpward(const StageGeometry& geometry, const int aveMaxY[LUT_NUM], const int ground[LUT_NUM]);

// The walk of a frame's profile: as a level road's and, where the road turns upward beyond a
// refused row, again allowing a rise of the grade by up to a tenth.
void WalkRoadOverGrades(const StageGeometry& geometry, const int aveMaxY[LUT_NUM], int ground[LUT_NUM]);

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
// geometry.reseedFrames frames in a row (`refusedFrames`) or was never accepted (the mounting's
// guess, !bGndFixFlg), its own as well (Reseeded); else the profile in force (Kept).
RoadProfileKind ChooseRoadProfile(const StageGeometry& geometry, const int MaxY[LUT_NUM], const int ground[LUT_NUM],
                                  const int pre_ground[LUT_NUM], bool bGndFixFlg, int refusedFrames);

// Rows 0.3 m (blind) and 2.0 m (ceiling) above the road, entries 0..99, never negative.
void RowsAboveRoad(const Camera& camera, const int ground[LUT_NUM], int blind[LUT_NUM], int ceiling[LUT_NUM]);

// Raises the cell thresholds at disparities where the road row jumps.
void RaiseStepThresholds(const StageGeometry& geometry, const int ground[LUT_NUM], double threshold[LUT_NUM]);

// The whole road profile of one frame from its peak rows, walked over grades (WalkRoadOverGrades):
// fills ground, blind and ceiling (entries 0..99; entry 0 repeats entry 1) from the profile
// ChooseRoadProfile picks and raises threshold.
// A profile of the frame's own becomes the profile in force (pre_ground), sets bGndFixFlg and
// clears refusedFrames; a kept one counts in refusedFrames. Returns the kind of profile used.
RoadProfileKind RoadProfileFromPeaks(const StageGeometry& geometry, const int MaxY[LUT_NUM], int pre_ground[LUT_NUM],
                                     bool& bGndFixFlg, int& refusedFrames, int ground[LUT_NUM], int blind[LUT_NUM],
                                     int ceiling[LUT_NUM], double threshold[LUT_NUM]);
