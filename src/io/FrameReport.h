// A frame's findings written for people and tools: one JSON object per frame and line (JSON Lines),
// and the tracks in the MOTChallenge text format that tracking evaluators read.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "NumberParsing.h"
#include "RunState.h"
#include "obstacle/Detector.h"

// The JSON's name of a road profile kind: "own", "kept" or "reseeded".
const char* RoadProfileName(obstacle::RoadProfileKind kind);

// Frames counted by the road profile they used.
struct RoadProfileCounts {
    int own = 0;
    int reseeded = 0;
    int kept = 0;

    void Add(obstacle::RoadProfileKind kind);
    int Accepted() const { return own + reseeded; }
};

// One line: {"frame", "road": {"ground", "accepted", "profile"}, "detections": [...], "tracks": [...]},
// "path_curvature_pm" (the car's path the zone followed) where the frame's ego motion is known, and,
// with `gridOf` (the run whose grid of record it is), "grid": [[uBl, d, aveD, count], ...] of the
// occupied cells. Detections are listed as association left them, each with its box in
// disparity-picture pixels (bb_left, bb_top, bb_width, bb_height, as in the MOT lines); a track's
// "det" indexes them (null when it took none listed), and its "track" is its trajectory number
// beside the identifier "id"; "confirmed" says it has ESTABLISHED_COUNT updates. Where the frame's
// ego motion is known, a track also gives its velocity over ground ("vz_ground_mps",
// "vx_ground_mps") and whether it is "moving" (IsMoving); its "vz_mps" and "vx_mps" are relative to
// the camera either way.
void WriteJsonFrame(std::ostream& out, int frame, const obstacle::FrameResult& result, const RunState* gridOf);

// Whether a track goes into the MOT and KITTI files: a confirmed one always, a tentative one with
// `tentative`.
bool ReportedTrack(const obstacle::Track& track, bool tentative);

// One line per reported track in MOTChallenge's 2D layout:
// frame,id,bb_left,bb_top,bb_width,bb_height,conf,-1,-1,-1 with `motFrame` as the frame, the track's
// trajectory number as id, the box in disparity-picture pixels and conf 1 for a confirmed track, 0
// for a tentative one. The last three fields, which evaluators read as class and visibility, stay
// -1; the tracks' positions in metres are in the JSON.
void WriteMotFrame(std::ostream& out, int motFrame, const obstacle::FrameResult& result, bool tentative);
