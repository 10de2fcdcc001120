// Scores a tracker's per-frame results against the ground truth of a rendered sequence, the
// way multi-object tracking evaluators do (CLEAR MOT and identity measures).
//
// Frames: the frames of the results are the sequence; every truth row must fall on one of them.
//
// Identity: a track is its trajectory (TrackReport::Identity), the run-unique "track" number where
// the results carry it, else its "id".
//
// Matching, frame by frame: a track and a true obstacle match when the track's distance lies
// within max(1.0 m, 10 % of the true distance) of the truth and its lateral extent
// x_m +- w_m / 2 overlaps the obstacle's [x_left_m, x_right_m] by more than a point. Only
// established tracks (count >= 3) take part: they are the tracker's output. Each truth and each
// track is matched at most once, nearest first: truths in order of their true distance (then
// id), each taking the still free matching track of least distance error (then lowest identity).
// Counted truths are matched first; the tracks left over are then matched the same way to the
// truths that are not counted, and a track so matched is excused: neither a false track nor
// part of any score (a track on a hidden or far obstacle is not wrong, only not judged).
//
// Counted truths: an obstacle is eligible in a frame when it is visible, nearer than 40 m and
// its extent reaches into the run camera's detection zone (x_left_m < zoneR_m and x_right_m >
// zoneL_m, so one spanning the whole zone counts), the zone the tracker used in that frame: where
// the results give the car's path ("path_curvature_pm"), it follows that path as the tracker's
// does (ReachesIntoZone). It is counted from the fourth
// frame of an unbroken run of eligible frames (the tracker needs three updates to establish a
// track); a frame in which it is not eligible, or has no row, starts a new run.
//
// Scores:
// - recall: counted truths matched / counted truths.
// - false tracks: established tracks matching nothing (and not excused); also per frame.
// - distance error: |z_m - true z| / true z over the matches of counted truths; median and
//   95th percentile. Percentiles interpolate linearly between the closest ranks (the
//   median of an even count is the mean of the middle two).
// - lateral-centre error |x_m - x_center_m| and width error |w_m - (x_right_m - x_left_m)|,
//   medians over the same matches.
// - vz error |vz_mps - true vz_mps| over those matches whose track had its tenth update
//   (count >= 10); a track reporting no finite vz_mps there counts as an infinite error.
// - identifier switches: a counted truth matched to another trajectory than at its previous
//   match as a counted truth (gaps in between do not reset this).
// - MOTA = 1 - (misses + false tracks + switches) / counted truths.
// - MOTP: mean |z_m - true z| of the matches, metres.
// - IDF1 = 2 IDTP / (counted truths + judged track reports), where the judged track reports
//   are the established, not excused tracks of all frames, and IDTP is the largest number of
//   frames in which a truth and a track pass the matching test, summed over a one-to-one
//   assignment of trajectories to obstacle ids kept over the whole sequence (Hungarian algorithm
//   on the identity-overlap counts).
// A score whose denominator is zero (no counted truth, no match, no frame) is absent.
//
// Bounds: at most EVAL_MAX_OVERLAPS pairs of an obstacle id and a trajectory pass the matching
// test in some frame, and IDF1's assignment takes at most ASSIGNMENT_MAX_STEPS per group of
// linked ids (Assignment.h); past either the evaluation stops with an error naming it, so that
// no input of a few MB takes minutes or gigabytes.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "Camera.h"
#include "Percentile.h"
#include "SequenceFiles.h"

constexpr double COUNTED_RANGE_M = 40.0;       // obstacles from here on are not judged
constexpr int COUNTED_FROM_FRAME = 4;           // counted from this frame of an eligible run
constexpr int VELOCITY_SETTLED_COUNT = 10;      // vz judged from this update on
constexpr double DISTANCE_GATE_M = 1.0;         // matching gate on distance: at least this ...
constexpr double DISTANCE_GATE_FRACTION = 0.1;  // ... or this fraction of the true distance
constexpr size_t EVAL_MAX_OVERLAPS = size_t{1} << 20;  // (obstacle id, trajectory) pairs tallied for IDF1

struct Scores {
    int frames = 0;
    int counted = 0;         // counted truths over all frames
    int matches = 0;
    int misses = 0;
    int falseTracks = 0;
    int switches = 0;
    int vzSamples = 0;
    int trackReports = 0;    // judged track reports (IDF1 denominator part)
    long long idTruePositives = 0;
    std::optional<double> recall;
    std::optional<double> falseTracksPerFrame;
    std::optional<double> distanceErrorMedian;  // relative
    std::optional<double> distanceErrorP95;     // relative
    std::optional<double> lateralErrorMedian_m;
    std::optional<double> widthErrorMedian_m;
    std::optional<double> vzErrorMedian_mps;
    std::optional<double> mota;
    std::optional<double> motp_m;
    std::optional<double> idf1;
};

// Truth and results that do not belong together (a truth frame without results), or too many
// overlaps to tally.
class EvaluationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The matching's gate on distance: |z_m - true z| at most the larger of the two.
struct DistanceGate {
    double atLeast_m;
    double fraction;  // of the true distance
};
constexpr DistanceGate SCENE_GATE = {DISTANCE_GATE_M, DISTANCE_GATE_FRACTION};

// The track's distance lies within the gate and its lateral extent overlaps the truth's.
bool TrackMatchesTruth(const TrackReport& track, const TruthRow& truth, const DistanceGate& gate = SCENE_GATE);

// The order in which truths take their tracks: nearer first, then lower id.
bool NearerTruth(const TruthRow* a, const TruthRow* b);

// Nearest first: each truth, in the order given, takes the free track matching it within `gate`
// of least distance error (then lowest identity). Where `held` is given (truth id -> the trajectory
// that held it last), a truth keeps that trajectory while it is free and still matches, as CLEAR
// MOT keeps a correspondence: an identity then changes only where the old one has let go.
// Returns (truth index, track index) pairs and marks the tracks taken in `taken` (one flag per track).
std::vector<std::pair<size_t, size_t>> MatchNearestFirst(const std::vector<const TruthRow*>& truths,
                                                         const std::vector<const TrackReport*>& tracks,
                                                         std::vector<bool>& taken,
                                                         const DistanceGate& gate = SCENE_GATE,
                                                         const std::map<int, int>* held = nullptr);

// The percentile (Percentile.h), absent for no values.
std::optional<double> MaybePercentile(const std::vector<double>& values, double fraction);
// numerator / denominator, absent for a denominator of 0.
std::optional<double> Ratio(double numerator, double denominator);

// `camera` is the run's: its detection zone decides which obstacles are counted.
Scores Evaluate(const std::vector<TruthRow>& truth, const std::vector<FrameResult>& results,
                const Camera& camera = DEFAULT_CAMERA);
