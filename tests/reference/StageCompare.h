// A frame run stage by stage, so that a golden run that moved can say where: each stage's outputs
// (the tables, cells, detections and tracks it writes) are digested one stage at a time,
// and two runs going side by side, the detector's stages beside their straightforward forms, are
// compared after every stage down to the first field that differs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "RunState.h"
#include "TrackAssociation.h"

namespace golden {

// Where a stage leaves a value: a flag or count (name), an entry of a per-disparity table
// (name[i]), a grid cell (uBl i, d j), or a detection or track (number i);
// records name their field, and a field's array slot when it has one.
struct Place {
    enum class Kind { Value, Table, Cell, Detection, Track };
    Kind kind;
    const char* name;
    int i = -1;
    int j = -1;
    const char* field = nullptr;
    int slot = -1;
};

// The place as a failure message names it, e.g. "newGrid cell (uBl 41, d 17) field aveD".
std::string Describe(const Place& place);

// Receives each value a stage leaves, with its place; integers and flags come exactly as doubles.
using OutputVisitor = std::function<void(const Place& place, double value, bool integer)>;

using StageRun = std::function<void(RunState& run, AssociationRecord* record)>;

// One stage of the frame loop: the detector's form, the straightforward form (the same function
// where there is only one), and what it writes.
struct FrameStage {
    const char* name;
    StageRun fast;
    StageRun straight;
    void (*outputs)(const RunState& run, const OutputVisitor& visit);
};

// The frame loop's stages in its order, road disparity map to track association.
std::vector<FrameStage> FrameStages();

enum class Form { Fast, Straight };

// One frame on the disparities loaded into the run, as the frame loop runs it: the per-frame reset
// of the tables, then each stage in the given form. Returns the digest of each stage's outputs as
// the stage left them. `record` (when given) receives what track association did.
std::vector<uint64_t> RunStages(RunState& run, const std::vector<FrameStage>& stages, Form form,
                                AssociationRecord* record = nullptr);

// One frame in both runs side by side, `fast` through each stage's fast form and `straight`
// through its straightforward form, compared after every stage. Returns an empty text when all
// agree, else the first difference: "stage S, <place>: <fast value> != <straightforward value>".
std::string CompareStages(RunState& fast, RunState& straight, const std::vector<FrameStage>& stages);

// Loads frame k of a run into both runs.
using LoadBoth = std::function<void(int k, RunState& fast, RunState& straight)>;

// Frames 0 .. frames - 1 through `camera` from fresh runs, compared stage by stage; returns
// "frame k, " and the first difference, or an empty text when every frame agrees.
std::string FirstDifference(const Camera& camera, int frames, const LoadBoth& load, const std::vector<FrameStage>& stages);

}  // namespace golden
