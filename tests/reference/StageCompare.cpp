#include "StageCompare.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "GoldenRun.h"
#include "GridSmoothing.h"
#include "GroupObjects.h"
#include "OccupancyGrid.h"
#include "ReferenceStages.h"
#include "RoadDisparityMap.h"
#include "RoadProfile.h"
#include "RunFields.h"
#include "TrackAssociation.h"

namespace golden {
namespace {

template <typename T, size_t N> void VisitTable(const char* name, const T (&table)[N], const OutputVisitor& visit) {
    for (size_t d = 0; d < N; ++d) visit({Place::Kind::Table, name, static_cast<int>(d)}, table[d], sizeof(T) == sizeof(int));
}

void VisitValue(const char* name, double value, const OutputVisitor& visit) {
    visit({Place::Kind::Value, name}, value, true);
}

void VisitGrid(const char* name, const StageGeometry& g, const std::vector<Grid>& grid, const OutputVisitor& visit) {
    for (int d = 0; d < LUT_NUM; ++d) {
        for (int uBl = 0; uBl < g.blocksU; ++uBl) {
            CellFields(grid[GRID(uBl, d, g.blocksU)], [&](const char* field, int slot, auto value) {
                visit({Place::Kind::Cell, name, uBl, d, field, slot}, value, !std::is_same<decltype(value), double>::value);
            });
        }
    }
}

void RoadDisparityMapOutputs(const RunState& run, const OutputVisitor& visit) { VisitTable("MaxY", run.MaxY, visit); }

void RoadProfileOutputs(const RunState& run, const OutputVisitor& visit) {
    VisitTable("ground", run.ground, visit);
    VisitTable("blind", run.blind, visit);
    VisitTable("ceiling", run.ceiling, visit);
    VisitTable("pre_ground", run.pre_ground, visit);
    VisitTable("threshold", run.threshold, visit);
    VisitValue("groundAccepted", run.groundAccepted, visit);
    VisitValue("bGndFixFlg", run.bGndFixFlg, visit);
    VisitValue("roadProfile", static_cast<int>(run.roadProfile), visit);
    VisitValue("refusedFrames", run.refusedFrames, visit);
}

// The stage's result is its grid: which pixels it kept lives in buffers the fast stage does not
// share with the straightforward one (a colour picture's codes there, its values here).
void OccupancyGridOutputs(const RunState& run, const OutputVisitor& visit) {
    VisitGrid("newGrid", run.geometry, run.newGrid, visit);
}

void GridSmoothingOutputs(const RunState& run, const OutputVisitor& visit) {
    VisitGrid("grid", run.geometry, run.grid, visit);
    VisitValue("nonGridFlg", run.nonGridFlg, visit);
}

void GroupObjectsOutputs(const RunState& run, const OutputVisitor& visit) {
    VisitGrid("grid", run.geometry, run.grid, visit);
    VisitValue("detections", static_cast<double>(run.newObject.size()), visit);
    for (size_t n = 0; n < run.newObject.size(); ++n) {
        DetectionFields(run.newObject[n], [&](const char* field, int slot, auto value) {
            visit({Place::Kind::Detection, "detection", static_cast<int>(n), -1, field, slot}, value,
                  !std::is_same<decltype(value), double>::value);
        });
    }
}

void TrackAssociationOutputs(const RunState& run, const OutputVisitor& visit) {
    VisitValue("tracks", static_cast<double>(run.preObject.size()), visit);
    for (size_t n = 0; n < run.preObject.size(); ++n) {
        TrackFields(run.preObject[n], [&](const char* field, int slot, auto value) {
            visit({Place::Kind::Track, "track", static_cast<int>(n), -1, field, slot}, value,
                  !std::is_same<decltype(value), double>::value);
        });
    }
}

StageRun Detection(void (*stage)(RunState&)) {
    return [stage](RunState& run, AssociationRecord*) { stage(run); };
}

std::vector<double> OutputValues(const FrameStage& stage, const RunState& run) {
    std::vector<double> values;
    stage.outputs(run, [&values](const Place&, double value, bool) { values.push_back(value); });
    return values;
}

std::string Text(double value, bool integer) {
    char text[40];
    if (integer) {
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
    } else {
        std::snprintf(text, sizeof text, "%.17g", value);
    }
    return text;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

std::string Describe(const Place& p) {
    std::string text = p.name;
    switch (p.kind) {
        case Place::Kind::Value: break;
        case Place::Kind::Table: text += "[" + std::to_string(p.i) + "]"; break;
        case Place::Kind::Cell: text += " cell (uBl " + std::to_string(p.i) + ", d " + std::to_string(p.j) + ")"; break;
        case Place::Kind::Detection:
        case Place::Kind::Track: text += " " + std::to_string(p.i); break;
    }
    if (p.field != nullptr) text += std::string(" field ") + p.field;
    if (p.slot >= 0) text += "[" + std::to_string(p.slot) + "]";
    return text;
}

std::vector<FrameStage> FrameStages() {
    const StageRun association = [](RunState& run, AssociationRecord* record) { TrackAssociation(run, record); };
    return {
        {"RoadDisparityMap", Detection(RoadDisparityMap), Detection(reference::RoadDisparityMap), RoadDisparityMapOutputs},
        {"RoadProfile", Detection(RoadProfile), Detection(RoadProfile), RoadProfileOutputs},
        {"OccupancyGrid", Detection(OccupancyGrid), Detection(reference::OccupancyGrid), OccupancyGridOutputs},
        {"GridSmoothing", Detection(GridSmoothing), Detection(reference::GridSmoothing), GridSmoothingOutputs},
        {"GroupObjects", Detection(GroupObjects), Detection(reference::GroupObjects), GroupObjectsOutputs},
        {"TrackAssociation", association, association, TrackAssociationOutputs},
    };
}

std::vector<uint64_t> RunStages(RunState& run, const std::vector<FrameStage>& stages, Form form,
                                AssociationRecord* record) {
    ResetFrameTables(run.geometry, run.disparity, run.threshold);
    std::vector<uint64_t> digests;
    for (const FrameStage& stage : stages) {
        (form == Form::Fast ? stage.fast : stage.straight)(run, record);
        Digest digest;
        stage.outputs(run, [&digest](const Place&, double value, bool) { digest.Add(value); });
        digests.push_back(digest.Value());
    }
    return digests;
}

std::string CompareStages(RunState& fast, RunState& straight, const std::vector<FrameStage>& stages) {
    ResetFrameTables(fast.geometry, fast.disparity, fast.threshold);
    ResetFrameTables(straight.geometry, straight.disparity, straight.threshold);
    for (const FrameStage& stage : stages) {
        stage.fast(fast, nullptr);
        stage.straight(straight, nullptr);
        const std::vector<double> fastValues = OutputValues(stage, fast);
        size_t k = 0;
        std::string difference;
        stage.outputs(straight, [&](const Place& place, double value, bool integer) {
            const bool differs = k < fastValues.size() && !SameBits(fastValues[k], value);
            if (differs && difference.empty()) {
                difference = std::string("stage ") + stage.name + ", " + Describe(place) + ": " +
                             Text(fastValues[k], integer) + " != " + Text(value, integer);
            }
            ++k;
        });
        if (!difference.empty()) return difference;
    }
    return "";
}

std::string FirstDifference(const Camera& camera, int frames, const LoadBoth& load, const std::vector<FrameStage>& stages) {
    RunState fast(camera);
    RunState straight(camera);
    for (int k = 0; k < frames; ++k) {
        load(k, fast, straight);
        const std::string difference = CompareStages(fast, straight, stages);
        if (!difference.empty()) return "frame " + std::to_string(k) + ", " + difference;
    }
    return "";
}

}  // namespace golden
