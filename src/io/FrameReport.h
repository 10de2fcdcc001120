// A frame's findings written for people and tools: one JSON object per frame and line (JSON Lines),
// and the tracks in the MOTChallenge text format that tracking evaluators read.
#pragma once

#include <ostream>
#include <string>

#include "RunState.h"
#include "TrackAssociation.h"

// An obstacle's box in the disparity picture, bounds included: its column blocks, and the rows from
// its top (its height above the road) down to the road row at its disparity. Always inside the
// picture, also for values that are out of range or not numbers.
struct PictureBox {
    int left;
    int top;
    int right;
    int bottom;
};

PictureBox ObstacleBox(const StageGeometry& geometry, int S_u, int E_u, double d_pix, double h_m,
                       const int ground[LUT_NUM]);
PictureBox TrackBox(const StageGeometry& geometry, const TrackingObject& track, const int ground[LUT_NUM]);
PictureBox DetectionBox(const StageGeometry& geometry, const DetectedObject& detection, const int ground[LUT_NUM]);

// The shortest text that reads back as the same double; "null" for a value that is not finite.
std::string JsonNumber(double value);

// One line: {"frame", "road": {"ground", "accepted"}, "detections": [...], "tracks": [...]} and,
// with `withGrid`, "grid": [[uBl, d, aveD, count], ...] of the occupied cells. Detections are
// listed as association left them; a track's "det" indexes them (null when it took none listed).
void WriteJsonFrame(std::ostream& out, int frame, const RunState& run, const AssociationRecord& record,
                    bool withGrid);

// One line per track: frame,id,bb_left,bb_top,bb_width,bb_height,conf,x,y,z with the box in
// disparity-picture pixels, conf 1 for an established track (count >= 3) and 0 otherwise, and x, y, z
// the lateral centre, height and distance in metres (-1 when not finite).
void WriteMotFrame(std::ostream& out, int frame, const RunState& run);
