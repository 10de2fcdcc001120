// The two inputs of the evaluation: the ground truth that the scene renderer writes and the
// per-frame results that obstacle-track writes.
//
// Truth CSV: the header line
//   frame,id,z_m,x_left_m,x_right_m,x_center_m,height_m,vz_mps,vx_mps,visible
// then one row per frame per obstacle. Distances in metres, velocities in metres per second
// (vz_mps is the rate of change of the distance: negative while the obstacle comes nearer),
// visible 1 or 0. Each field is exactly its number: no blanks, no '+', nothing after it.
// Blank lines are skipped.
//
// Results JSON Lines: one object per frame with an integer "frame" and an array "tracks" of
// objects with integer "id" and "count" and numbers "z_m", "x_m", "w_m", "vz_mps" (null stands
// for a value that is not finite), and an integer "track" where the run numbers its trajectories
// (obstacle-track does: a number never reused in the run, where an "id" returns to the pool when
// its track ends). Either every track of the results carries "track" or none does. A track may
// carry the boolean "confirmed" (whether it has ESTABLISHED_COUNT updates). A frame's "road"
// object, where there is one, holds "ground", an array of integer road rows (one per disparity
// level), the boolean "accepted" and, where the run says which profile it used, "profile": "own"
// (the frame's own, accepted), "kept" (refused: the one in force kept) or "reseeded" (the frame's
// own taken after the one in force had been refused for a while); "accepted" is true exactly for
// "own" and "reseeded". Other members are ignored. Blank lines are skipped.
#pragma once

#include <istream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "TrackingObject.h"  // ESTABLISHED_COUNT: tracks with at least this many updates are output

struct TruthRow {
    int frame;
    int id;
    double z_m;
    double xLeft_m;
    double xRight_m;
    double xCenter_m;
    double height_m;
    double vz_mps;
    double vx_mps;
    bool visible;
};

// One track as the results report it; a null value reads as NaN.
struct TrackReport {
    int id;
    int count;
    double z_m;
    double x_m;
    double w_m;
    double vz_mps;
    std::optional<int> track = std::nullopt;  // the trajectory's number, where the results carry one
    std::optional<bool> confirmed = std::nullopt;  // as the results state it, where they do

    // The trajectory the report belongs to: its number where there is one, else its identifier.
    int Identity() const { return track ? *track : id; }
    // Whether the tracker outputs it: as the results state it, else from its updates.
    bool Confirmed() const { return confirmed ? *confirmed : count >= ESTABLISHED_COUNT; }
};

// Which road profile a frame used.
enum class ProfileKind { OWN, KEPT, RESEEDED };

// The frame's road profile as the results report it; empty ground when they do not.
struct RoadReport {
    std::vector<int> ground;  // road row per disparity level
    bool accepted = false;
    std::optional<ProfileKind> profile = std::nullopt;  // where the results say
};

struct FrameResult {
    int frame;
    std::vector<TrackReport> tracks;
    RoadReport road = {};
    double pathCurvature_pm = 0.0;  // the car's path the run's zone followed; 0 for a straight zone
};

// A fault in an input; the message names the file and, where there is one, the line.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// `name` is the file name used in messages. Frames and (frame, id) pairs must be unique; the
// results must hold at least one frame (a tracker run always has one). A stream that fails
// (a read error, or no memory), a line or a text beyond its bound, and a failed allocation are
// input errors too: nothing read before them is returned.
std::vector<TruthRow> ReadTruthCsv(std::istream& in, const std::string& name);
std::vector<FrameResult> ReadResultsJsonl(std::istream& in, const std::string& name);
