#include "TrackAssociation.h"

#include <algorithm>
#include <cmath>

#include "Geometry.h"

namespace {

constexpr int MAX_LOSS = 3;       // frames an established track coasts before it is deleted
constexpr int YOUNG_COUNT = 2;    // a track with at most this many updates is deleted at its first loss
constexpr int SPLIT_COUNT = 3;    // a split-off track starts established
constexpr double dRate = 0.05;    // relative distance tolerance of two tracks of one obstacle
constexpr double SAME_X_M = 0.5;  // lateral centre tolerance of two tracks of one obstacle
constexpr double SAME_W_M = 0.3;  // width tolerance of two tracks of one obstacle

using Tracks = std::vector<TrackingObject>;
using Detections = std::vector<DetectedObject>;

// Equal values; a value that is not a number equals another that is not.
bool Same(double a, double b) { return a == b || (a != a && b != b); }

// The same measurement: every value a track takes from a detection, whatever the claim marks say.
bool SameDetection(const DetectedObject& a, const DetectedObject& b) {
    return Same(a.lX_m, b.lX_m) && Same(a.rX_m, b.rX_m) && Same(a.d_pix, b.d_pix) && Same(a.h_m, b.h_m) &&
           a.S_u == b.S_u && a.E_u == b.E_u && Same(a.sigmaUD, b.sigmaUD) && Same(a.sigmaU, b.sigmaU) &&
           Same(a.sigmaD, b.sigmaD) && Same(a.sigmaUU, b.sigmaUU) && a.iN == b.iN && Same(a.a, b.a) &&
           Same(a.b, b.b);
}

// Whether the measured picture shows detection c whole: the road at its distance lies inside the
// picture (a frame without road rows given: taken to), and its column blocks lie strictly inside
// the blocks holding the frame's disparities (none given: taken to). Otherwise an edge cuts the
// obstacle off: the picture's lower edge, where it stands nearer than the nearest road the camera
// sees, or a side of what was measured. Its distance is then that of its visible part, which moves
// on with the car, and a track started on it would take the car's motion for the obstacle's.
bool WholeInView(const StageGeometry& geometry, const DetectedObject& c, const FrameEdges& edges) {
    const bool footInView =
        edges.ground == nullptr || Real2ImgH_D(geometry.camera, 0.0, c.d_pix, edges.ground) < geometry.height - 1;
    const bool sidesInView =
        edges.measured == nullptr || (c.S_u > edges.measured->first && c.E_u < edges.measured->last);
    return footInView && sidesInView;
}

// A track that has just taken detection c: one with enough updates (NumberedCount) and no
// identifier yet is numbered, which starts its trajectory; only numbered tracks are reported.
void Taken(IdManager& idNum, TrackingObject& t, const DetectedObject& c, AssociationRecord* record) {
    const bool starts = t.m_id == UNNUMBERED && t.m_count >= NumberedCount(*t.m_geometry);
    if (starts) t.m_id = idNum.Apply();
    if (record == nullptr || t.m_id == UNNUMBERED) return;
    record->taken.emplace_back(t.m_id, c);
    if (starts) record->started.push_back(t.m_id);
}

void Claim(TrackingObject& t, IdManager& idNum, Detections& newObject, int n, AssociationRecord* record,
           bool wholeInView) {
    t.Update(newObject, n, wholeInView);
    Taken(idNum, t, newObject[n], record);
    newObject[n].bUsed = true;
}

// Appends a track started on detection n with `count` updates before it; it is numbered once it
// has enough of them.
void StartTrack(const StageGeometry& geometry, Tracks& preObject, IdManager& idNum, Detections& newObject, int n,
                int count, AssociationRecord* record) {
    preObject.push_back(TrackingObject(geometry));
    TrackingObject& t = preObject.back();
    t.m_id = UNNUMBERED;
    t.m_count = count;
    t.Update(newObject, n);
    Taken(idNum, t, newObject[n], record);
}

// The obstacle has come apart: the other side's detection gets a track of its own.
void Split(const StageGeometry& geometry, Tracks& preObject, IdManager& idNum, Detections& newObject, int n2,
           AssociationRecord* record) {
    StartTrack(geometry, preObject, idNum, newObject, n2, SPLIT_COUNT, record);
    newObject[n2].bUsed = true;
}

// Whether a track's distance lies within the grid's levels: in front of the camera and no nearer
// than the largest level. A track coasted nearer (a rate not settled yet carries it on by metres a
// frame, up to behind the camera) is where no detection can ever take it, and where nothing was
// measured: its distance and disparity would be reported as the obstacle's.
bool WithinGrid(const TrackingObject& t) { return t.m_D_pix > 0.0 && t.m_D_pix <= LUT_NUM - 1; }

// A track without a detection coasts; a young one, one lost too long, or one coasted out of the
// grid's levels (WithinGrid) is deleted and its identifier freed. Returns false when it was deleted.
bool Lose(Tracks& preObject, IdManager& idNum, int g) {
    TrackingObject& t = preObject[g];
    t.m_loss_co += 1;
    if (t.m_loss_co <= MAX_LOSS && t.m_count > YOUNG_COUNT) {
        t.LossUpdate();
        if (WithinGrid(t)) return true;
    }
    idNum.Back(t.m_id);
    preObject.erase(preObject.begin() + g);
    return false;
}

// Searches, then updates, restarts, splits or loses track g. The track is looked up by index after
// a split, since appending may move the list. A candidate (a track not numbered yet) whose detection
// a track visited before it has taken in this frame (`taken`) follows the same obstacle: it is
// deleted, so that one obstacle never starts two trajectories. Returns false when the track was deleted.
bool VisitTrack(const StageGeometry& geometry, Tracks& preObject, IdManager& idNum, Detections& newObject, int g,
                AssociationRecord* record, const EgoMotion& ego, Detections& taken, const FrameEdges& edges) {
    const objectNum objN = preObject[g].SearchOnGrid(&newObject, PREDICTED_RANGE, ego);
    if (objN.n != -1) {
        const DetectedObject& c = newObject[objN.n];
        const auto same = [&c](const DetectedObject& d) { return SameDetection(c, d); };
        if (preObject[g].m_id == UNNUMBERED && std::any_of(taken.begin(), taken.end(), same)) {
            preObject.erase(preObject.begin() + g);
            return false;
        }
        taken.push_back(c);
        preObject[g].m_loss_co = 0;
        Claim(preObject[g], idNum, newObject, objN.n, record, WholeInView(geometry, c, edges));
        return true;
    }
    if (objN.n2 != -1) Split(geometry, preObject, idNum, newObject, objN.n2, record);
    if (objN.n1 != -1) {
        // One side only for too long: restart on the better side, keeping identifier and count.
        TrackingObject& t = preObject[g];
        t.m_loss_co = 0;
        t.m_bIniBufKalmFlg = true;
        Claim(t, idNum, newObject, objN.n1, record, WholeInView(geometry, newObject[objN.n1], edges));
        return true;
    }
    if (objN.n2 != -1) return true;
    return Lose(preObject, idNum, g);
}

bool SameObstacle(const TrackingObject& a, const TrackingObject& b) {
    return std::fabs(a.m_actZ_m - b.m_actZ_m) < a.m_actZ_m * dRate && std::fabs(a.m_X_m - b.m_X_m) < SAME_X_M &&
           std::fabs(a.m_w_m - b.m_w_m) < SAME_W_M;
}

// Moves the tracks not numbered yet from the list into `candidates`, or, where the run keeps none,
// drops them. A candidate that describes the obstacle a numbered track was updated with in this
// frame (SameObstacle) is dropped too: kept, it would be numbered as a second trajectory of that
// obstacle, merged into the first a few frames later. A coasting track's measurement is stale: a
// candidate beside it is what the frame shows now, and stays.
void KeepCandidates(Tracks& preObject, Tracks* candidates) {
    const auto unnumbered = [](const TrackingObject& t) { return t.m_id == UNNUMBERED; };
    const auto onTrack = [&preObject, &unnumbered](const TrackingObject& c) {
        return std::any_of(preObject.begin(), preObject.end(), [&](const TrackingObject& t) {
            return !unnumbered(t) && t.m_loss_co == 0 && SameObstacle(t, c);
        });
    };
    if (candidates != nullptr) {
        for (const TrackingObject& t : preObject) {
            if (unnumbered(t) && !onTrack(t)) candidates->push_back(t);
        }
    }
    preObject.erase(std::remove_if(preObject.begin(), preObject.end(), unnumbered), preObject.end());
}

}  // namespace

void MergeDuplicateTracks(Tracks& preObject, IdManager& idNum) {
    for (int g = 0; g < static_cast<int>(preObject.size()); ++g) {
        for (int n = g + 1; n < static_cast<int>(preObject.size()); ++n) {
            TrackingObject& a = preObject[g];
            const TrackingObject& b = preObject[n];
            if (!SameObstacle(a, b)) continue;
            // The record with more updates survives; on equal counts the nearer one, a.
            const bool keepB = a.m_count < b.m_count;
            idNum.Back(keepB ? a.m_id : b.m_id);
            if (keepB) a = b;
            preObject.erase(preObject.begin() + n);
            --n;
        }
    }
}

int NumberedCount(const StageGeometry& geometry) {
    return GRID_AVERAGED_MEASUREMENTS - geometry.averagedMeasurements + 1;
}

void AssociateTracks(const StageGeometry& geometry, Tracks& preObject, IdManager& idNum, Detections& newObject,
                     AssociationRecord* record, const EgoMotion& ego, Tracks* candidates, const FrameEdges& edges) {
    if (record != nullptr) *record = AssociationRecord{};
    // The candidates are searched after the numbered tracks, which take their detections first.
    if (candidates != nullptr) {
        preObject.insert(preObject.end(), candidates->begin(), candidates->end());
        candidates->clear();
    }
    for (TrackingObject& t : preObject) {
        t.PredictOver(geometry.frameInterval_s);
        t.FollowCar(ego);
    }
    // Tracks split off during the visit are appended beyond numOfObject and not visited again.
    int numOfObject = static_cast<int>(preObject.size());
    Detections taken;
    for (int g = 0; g < numOfObject; ++g) {
        if (!VisitTrack(geometry, preObject, idNum, newObject, g, record, ego, taken, edges)) {
            --numOfObject;
            --g;
        }
    }
    const double pathCurvature_pm = PathCurvature(ego);
    for (int g = 0; g < static_cast<int>(newObject.size()); ++g) {
        const DetectedObject& c = newObject[g];
        if (!c.bUsed && InDetectableArea(geometry.camera, c, pathCurvature_pm) && WholeInView(geometry, c, edges)) {
            StartTrack(geometry, preObject, idNum, newObject, g, 0, record);
        }
    }
    if (record != nullptr) record->detections = newObject;
    newObject.clear();
    KeepCandidates(preObject, candidates);
    std::sort(preObject.begin(), preObject.end(), compare_d);
    MergeDuplicateTracks(preObject, idNum);
}

int TakenDetection(const AssociationRecord& record, const TrackingObject& track) {
    for (const auto& taken : record.taken) {
        if (taken.first != track.m_id) continue;
        for (size_t i = 0; i < record.detections.size(); ++i) {
            if (SameDetection(record.detections[i], taken.second)) return static_cast<int>(i);
        }
        return -1;
    }
    return -1;
}

void TrackAssociation(RunState& run, AssociationRecord* record) {
    AssociateTracks(run.geometry, run.preObject, run.idNum, run.newObject, record, run.egoMotion, &run.candidates,
                    FrameEdges{run.ground, &run.measured});
}
