// Scores a run on a real recording against the recording's object labels (ObjectLabels.h). The
// results' frame numbers are the labels' frame numbers.
//
// Counted: a labelled object in a frame when it is visible (LabelVisible), the nearest face of its
// box lies ahead within the range (0 < zNearest_m <= range_m) and its footprint's lateral extent
// reaches into the run camera's detection zone (xLeft_m < zoneR_m and xRight_m > zoneL_m), bent
// along the car's path where the results give one, as the tracker's was (ReachesIntoZone).
//
// Found: a confirmed track (TrackReport::Confirmed) holds it in that frame: the track's lateral
// extent x_m +- w_m / 2 overlaps the footprint's, and its distance z_m lies within LABEL_GATE,
// max(1.5 m, 15 %), of the nearest face's distance (TrackMatchesTruth with the nearest face as the
// true distance). The tracker measures an object's mean disparity over what it sees of it, which
// for a car seen at an angle lies up to half its length beyond its nearest face: 4.3 m long, 7 to
// 14 % at 30 to 15 m; the scenes' 10 % is for boxes seen face on. Each object and each track are
// matched at most once a frame: the objects nearest first, each keeping the trajectory that held it
// last while that one is free and still matches (CLEAR MOT's rule: a second track near the object,
// on its parts or on what stands behind it, takes no identity from the track that holds it), else
// taking the still free matching track of least distance error.
// Labels name some kinds of objects only (cars, cyclists, trams, ...): tracks on anything else
// (trees, posts, walls) are neither hits nor misses, and nothing counts as a false track.
//
// Scores:
// - found share: found object-frames / counted object-frames.
// - distance error: |z_m - zNearest_m| / zNearest_m over the found object-frames; median and
//   95th percentile (Percentile).
// - trajectories per object: the distinct trajectories (TrackReport::Identity) that held an
//   object, summed over the objects found at least once and divided by their number (1 when each
//   was one trajectory).
// - identity switches: an object held by another trajectory than at its last holding.
// - per object counted in some frame: its type, frames counted, frames found, trajectories.
// A score whose denominator is zero is absent.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Camera.h"
#include "Evaluation.h"
#include "ObjectLabels.h"
#include "SequenceFiles.h"

constexpr double LABEL_RANGE_M = 50.0;  // objects up to this distance are counted, unless told otherwise
constexpr DistanceGate LABEL_GATE = {1.5, 0.15};

struct ObjectScore {
    int id = 0;
    std::string type;
    int counted = 0;       // frames in which the object was counted
    int found = 0;         // of them, frames in which a confirmed track held it
    int trajectories = 0;  // distinct trajectories that held it
};

struct LabelScores {
    int frames = 0;
    int counted = 0;   // object-frames counted
    int found = 0;     // of them, found
    int switches = 0;
    int objectsFound = 0;  // objects found in at least one frame
    std::optional<double> foundShare;
    std::optional<double> distanceErrorMedian;  // relative
    std::optional<double> distanceErrorP95;     // relative
    std::optional<double> trajectoriesPerObject;
    std::vector<ObjectScore> objects;  // the objects counted in some frame, by id
};

// `camera` is the run's: its zone decides which objects are counted. An EvaluationError when a
// label's frame is not among the results'.
LabelScores EvaluateLabels(const std::vector<ObjectLabel>& labels, const std::vector<FrameResult>& results,
                           const Camera& camera, double range_m = LABEL_RANGE_M);
