// Matching one track against the frame's detections: both edges are tested separately, every
// detection that belongs to the track is pooled into one, and a detection seen on one side only
// can be completed from the track's remembered width.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "TrackingObject.h"

namespace {

// Side flags of one detection; bit 4 is present only when both edges matched.
constexpr uint8_t SIDE_NONE = 0;
constexpr uint8_t SIDE_LEFT = 1;
constexpr uint8_t SIDE_RIGHT = 2;
constexpr uint8_t SIDE_BOTH = 7;
constexpr uint8_t SIDE_BOTH_BIT = 4;
constexpr uint8_t SIDE_LEFT_AND_RIGHT = SIDE_LEFT | SIDE_RIGHT;

constexpr double RANGE_GATE_PIX = 1.0;  // disparity tolerance of the range gate
constexpr int EDGE_BLOCKS = 1;          // column-block tolerance of an edge

// What one search has gathered so far.
struct SearchState {
    double min_lX_m = 1000.0;
    double max_rX_m = -1000.0;
    int min_S_u = 1000;
    int max_E_u = 0;
    double sum_d_pix = 0.0;
    double sum_h_m = 0.0;
    double sum_sigmaUD = 0.0;
    double sum_sigmaU = 0.0;
    double sum_sigmaD = 0.0;
    double sum_sigmaUU = 0.0;
    int sum_iN = 0;
    uint8_t ucTotalLRflg = SIDE_NONE;
    int iLMinN = -1;
    int iRMinN = -1;
    double dLMinDif = 10000.0;
    double dRMinDif = 10000.0;
    int n = -1;
    int cnt = 0;
};

constexpr objectNum NOTHING = {-1, -1, -1};

// Within the disparity tolerance of the prediction, or within the distance the obstacle can have
// moved from it. A young track's rate is not known yet: it is predicted standing still relative to
// the camera, or, where the car's own motion is known, standing still over ground.
bool InRange(const TrackingObject& t, const DetectedObject& c, double dDifD, bool egoKnown) {
    const StageGeometry& g = *t.m_geometry;
    if (dDifD <= RANGE_GATE_PIX) return true;
    const double dz_m = g.camera.bf_pix / c.d_pix - g.camera.bf_pix / t.m_pD_pix;
    if (t.m_count >= ESTABLISHED_COUNT) return std::fabs(dz_m) <= RANGE_GATE_M + g.rateGate_m * (1 + t.m_loss_co);
    if (egoKnown) return std::fabs(dz_m) <= g.youngSpeedGate_m;
    return dz_m >= -g.youngNearer_m && dz_m <= RANGE_GATE_M;
}

// Two disparities within the disparity tolerance of each other, or within tolerance_m in distance.
bool WithinDistance(const StageGeometry& g, double a_pix, double b_pix, double tolerance_m) {
    return std::fabs(a_pix - b_pix) <= RANGE_GATE_PIX ||
           std::fabs(g.camera.bf_pix / a_pix - g.camera.bf_pix / b_pix) <= tolerance_m;
}

// Two disparities of one distance: within the distance tolerance of a prediction.
bool SameDistance(const StageGeometry& g, double a_pix, double b_pix) {
    return WithinDistance(g, a_pix, b_pix, RANGE_GATE_M);
}

// The height difference in metres, or the same difference in picture rows at the track's disparity.
bool SimilarHeight(const TrackingObject& t, const DetectedObject& c) {
    const StageGeometry& g = *t.m_geometry;
    const double dh = std::fabs(t.m_h_m - c.h_m);
    return dh < GROUPED_RANGE_H_M || dh * t.m_D_pix / g.camera.baseline_m < g.heightToleranceRows;
}

bool LeftMatches(const TrackingObject& t, const DetectedObject& c) {
    const double xl = t.m_pX_m - t.m_w_m * 0.5;
    return std::abs(t.m_S_u - c.S_u) <= EDGE_BLOCKS || std::fabs(xl - c.lX_m) <= t.m_geometry->edgeGate_m;
}

bool RightMatches(const TrackingObject& t, const DetectedObject& c) {
    const double xr = t.m_pX_m + t.m_w_m * 0.5;
    return std::abs(t.m_E_u - c.E_u) <= EDGE_BLOCKS || std::fabs(xr - c.rX_m) <= t.m_geometry->edgeGate_m;
}

// The disparity of the piece that matches both of a young track's edges nearest its predicted
// disparity: where the obstacle is in this frame. 0 for an established track, or where no piece does.
double YoungDisparity(const TrackingObject& t, const std::vector<DetectedObject>& list, bool egoKnown) {
    if (t.m_count >= ESTABLISHED_COUNT) return 0.0;
    double best_d_pix = 0.0;
    double bestDif = 0.0;
    for (const DetectedObject& c : list) {
        const double dDifD = std::fabs(t.m_pD_pix - c.d_pix);
        if (!InRange(t, c, dDifD, egoKnown) || !SimilarHeight(t, c)) continue;
        if (!LeftMatches(t, c) || !RightMatches(t, c)) continue;
        if (best_d_pix == 0.0 || dDifD < bestDif) {
            best_d_pix = c.d_pix;
            bestDif = dDifD;
        }
    }
    return best_d_pix;
}

// Whether piece c lies where a young track's obstacle was measured a frame ago while the obstacle
// itself (at disparity now_pix) has moved on: the grid holds the cells an obstacle has left at their
// last disparity for a span of time. A young track's range gate admits pieces over the distance an
// obstacle of any road speed covers in a frame, so such a piece passes it; pooled, it would stretch
// the track back toward where the obstacle was, and the next frame would find neither edge there.
bool LeftBehind(const TrackingObject& t, double now_pix, const DetectedObject& c) {
    const StageGeometry& g = *t.m_geometry;
    return now_pix != 0.0 && !SameDistance(g, t.m_actD_pix, now_pix) && SameDistance(g, t.m_actD_pix, c.d_pix) &&
           !SameDistance(g, now_pix, c.d_pix);
}

// Whether piece c lies farther from where a young track's obstacle is in this frame (at disparity
// now_pix) than one obstacle reaches in depth: its back and its side seen at an angle lie within a
// vehicle's length. Over a long frame interval a young track's range gate reaches across several cars
// (16 m nearer at 5 frames per second); pooled, the cars of a parked row would blend into one distance.
bool BeyondObstacle(const TrackingObject& t, double now_pix, const DetectedObject& c) {
    return now_pix != 0.0 && !WithinDistance(*t.m_geometry, now_pix, c.d_pix, MAX_VEHICLE_LENGTH_M);
}

// Tests both edges of detection ng, records the matched edges and the closest detection per side,
// and claims the detection when an edge matched. Returns its side flag.
uint8_t MatchEdges(const TrackingObject& t, DetectedObject& c, int ng, double dDifD, SearchState& s) {
    uint8_t flag = SIDE_NONE;
    if (LeftMatches(t, c)) {
        flag = SIDE_LEFT;
        if (c.lX_m < s.min_lX_m) s.min_lX_m = c.lX_m;
        if (c.S_u < s.min_S_u) s.min_S_u = c.S_u;
        if (dDifD < s.dLMinDif) {
            s.dLMinDif = dDifD;
            s.iLMinN = ng;
        }
        c.bUsed = true;
    }
    if (RightMatches(t, c)) {
        if (c.rX_m > s.max_rX_m) s.max_rX_m = c.rX_m;
        if (c.E_u > s.max_E_u) s.max_E_u = c.E_u;
        if (dDifD < s.dRMinDif) {
            s.dRMinDif = dDifD;
            s.iRMinN = ng;
        }
        c.bUsed = true;
        flag = (flag == SIDE_LEFT) ? SIDE_BOTH : SIDE_RIGHT;
    }
    return flag;
}

void Accept(const DetectedObject& c, SearchState& s) {
    s.cnt += 1;
    s.sum_d_pix += c.d_pix * c.iN;
    s.sum_h_m += c.h_m * c.iN;
    s.sum_sigmaUD += c.sigmaUD;
    s.sum_sigmaU += c.sigmaU;
    s.sum_sigmaD += c.sigmaD;
    s.sum_sigmaUU += c.sigmaUU;
    s.sum_iN += c.iN;
}

// The cells of all accepted pieces as one detection, built on `first` (the first accepted piece),
// whose edges the caller replaces. Pieces without cells carry no weight: then the first piece's
// disparity and height stand.
DetectedObject Pooled(const SearchState& s, DetectedObject first) {
    if (s.sum_iN != 0) {
        first.d_pix = s.sum_d_pix / s.sum_iN;
        first.h_m = s.sum_h_m / s.sum_iN;
    }
    first.sigmaUD = s.sum_sigmaUD;
    first.sigmaU = s.sum_sigmaU;
    first.sigmaD = s.sum_sigmaD;
    first.sigmaUU = s.sum_sigmaUU;
    first.iN = s.sum_iN;
    FitDisparityLine(first);
    return first;
}

void WriteMerge(const SearchState& s, DetectedObject& target) {
    target = Pooled(s, target);
    target.lX_m = s.min_lX_m;
    target.rX_m = s.max_rX_m;
    target.S_u = s.min_S_u;
    target.E_u = s.max_E_u;
}

// The unseen edge lies one track width from the seen one and has moved by as many column blocks.
DetectedObject Synthesise(const TrackingObject& t, const SearchState& s, const DetectedObject& first) {
    DetectedObject d = Pooled(s, first);
    d.inRange = false;
    d.bUsed = false;
    if (s.ucTotalLRflg == SIDE_LEFT) {
        d.lX_m = s.min_lX_m;
        d.rX_m = s.min_lX_m + t.m_w_m;
        d.S_u = s.min_S_u;
        d.E_u = t.m_E_u + (s.min_S_u - t.m_S_u);
    } else {
        d.lX_m = s.max_rX_m - t.m_w_m;
        d.rX_m = s.max_rX_m;
        d.S_u = t.m_S_u + (s.max_E_u - t.m_E_u);
        d.E_u = s.max_E_u;
    }
    return d;
}

// One side only for too long: the better one-sided detection, and the other side's for a second track.
objectNum OneSidedResult(const SearchState& s) {
    if (s.ucTotalLRflg == SIDE_LEFT) return {-1, s.iLMinN, -1};
    if (s.ucTotalLRflg == SIDE_RIGHT) return {-1, s.iRMinN, -1};
    if (s.dLMinDif > s.dRMinDif) return {-1, s.iRMinN, s.iLMinN};
    return {-1, s.iLMinN, s.iRMinN};
}

}  // namespace

void FitDisparityLine(DetectedObject& obj) {
    const double denominator = obj.iN * obj.sigmaUU - obj.sigmaU * obj.sigmaU;
    if (denominator == 0.0) {
        obj.a = 0.0;
        obj.b = obj.d_pix;
        return;
    }
    obj.a = (obj.iN * obj.sigmaUD - obj.sigmaU * obj.sigmaD) / denominator;
    obj.b = (obj.sigmaD * obj.sigmaUU - obj.sigmaUD * obj.sigmaU) / denominator;
}

// The range argument is part of the agreed interface; the gates use the geometry's tolerances.
objectNum TrackingObject::SearchOnGrid(std::vector<DetectedObject>* candidateObj, double, const EgoMotion& ego) {
    std::vector<DetectedObject>& list = *candidateObj;
    SearchState s;
    const double now_pix = YoungDisparity(*this, list, ego.known);
    for (int ng = 0; ng < static_cast<int>(list.size()); ++ng) {
        DetectedObject& c = list.at(ng);
        const double dDifD = std::fabs(m_pD_pix - c.d_pix);
        if (LeftBehind(*this, now_pix, c) || BeyondObstacle(*this, now_pix, c)) continue;
        if (!InRange(*this, c, dDifD, ego.known) || !SimilarHeight(*this, c)) continue;
        const uint8_t flag = MatchEdges(*this, c, ng, dDifD, s);
        s.ucTotalLRflg |= flag;
        if (flag == SIDE_NONE) continue;
        // Once one-sided too long, only a detection seen on both sides lets pieces be pooled again.
        if (m_OneSideCnt >= ONESIDE_COUNT && (s.ucTotalLRflg & SIDE_BOTH_BIT) == 0) continue;
        Accept(c, s);
        if (s.n == -1) {
            s.n = ng;
        } else {
            list.erase(list.begin() + ng);
            --ng;
        }
    }

    const uint8_t total = s.ucTotalLRflg;
    if (total == SIDE_NONE) return NOTHING;
    // A young track is confirmed only by a detection that matches both of its edges.
    if (m_count <= 2 && (total & SIDE_BOTH_BIT) == 0) return NOTHING;
    if (total == SIDE_BOTH) {
        m_OneSideCnt = 0;
        if (s.cnt > 1) WriteMerge(s, list.at(s.n));
    } else if (m_OneSideCnt >= ONESIDE_COUNT) {
        return OneSidedResult(s);
    } else {
        m_OneSideCnt += 1;
        if (total == SIDE_LEFT_AND_RIGHT) {
            WriteMerge(s, list.at(s.n));
        } else {
            list.push_back(Synthesise(*this, s, list.at(s.n)));
            s.n = static_cast<int>(list.size()) - 1;
        }
    }

    if (!InDetectableArea(m_geometry->camera, list.at(s.n), PathCurvature(ego))) s.n = -1;
    return {s.n, -1, -1};
}
