// Road profile: the V-disparity peak rows smoothed by a three-state filter walking from near to
// far, forced to rise steadily toward the horizon, checked against the profile in force, and the
// rows 0.3 m and 2.0 m above the road derived from it.
#include <algorithm>
#include <cmath>

#include "Kalman.h"
#include "ObjectDetection.h"
#include "RoadStages.h"

namespace {

constexpr double DB_DELTA_T = 0.5;       // filter step along the disparity axis
constexpr double DB_GAMMA = 5.0;         // initial variance of every state
constexpr int LAST_EXTRAPOLATED = 2;     // the farthest classes are extrapolated, never measured
constexpr int FIRST_BELOW_PICTURE = 65;  // from this level on the road lies below the picture
constexpr int LAST_NEAR_STEP = 14;       // levels up to this one allow the smaller rise of the road row
constexpr int LAST_NEAR_RAISE = 16;      // levels up to this one raise thresholds by NEAR_RAISE
constexpr double NEAR_RAISE = 1.5;
constexpr double FAR_RAISE = 2.0;
constexpr double BLIND_HEIGHT_M = 0.3;
constexpr double CEILING_HEIGHT_M = 2.0;

KfConst33 RoadFilterSystem() {
    const double t = DB_DELTA_T;
    const double h = t * t / 2;
    return {{1, t, h, 0, 1, t, 0, 0, 1}, {1, 1, 1}, {1, 0, 0, t, 1, 0, h, t, 1}, {1, 1, 1}};
}

KfData33 RoadFilterStart() {
    KfData33 obj33{};
    obj33.p[0] = obj33.p[4] = obj33.p[8] = DB_GAMMA;
    return obj33;
}

bool IsMeasuredRow(const StageGeometry& g, int row) { return row < g.measuredRowLimit; }

// Starts the filter at a measured row, with the step to the nearer class as its change. The
// model advances DB_DELTA_T per class, so the rate is that step per DB_DELTA_T: seeded with the
// bare step, the filter would start at half the road's slope and lag several rows behind it.
KfData33 SeedFilter(KfData33 obj33, const KfConst33& sys33, int row, int nearerRow) {
    obj33.x[0] = row;
    obj33.x[1] = (static_cast<double>(row) - nearerRow) / DB_DELTA_T;
    obj33.x[2] = 0.0;
    return KfPrediction33(obj33, sys33);
}

KfData33 FilterRow(const KfData33& obj33, const KfConst33& sys33, double z) {
    return KfPrediction33(KfCorrection33(obj33, z), sys33);
}

double GatedRow(const KfData33& obj33, int row, double gateRows) {
    return std::fabs(row - obj33.px[0]) < gateRows ? row : obj33.px[0];
}

// Allowed rise of the road row from one disparity to the next farther one.
double StepLimit(const StageGeometry& g, int i) { return i > LAST_NEAR_STEP ? g.stepLimitFar : g.stepLimitNear; }

bool InBand(const StageGeometry& g, int row, int reference, bool bGndFixFlg) {
    if (bGndFixFlg) return row >= reference - g.bandFixed && row <= reference + g.bandFixed;
    return row >= reference - g.bandBelowFirst && row <= reference + g.bandAboveFirst;
}

int BlindRow(int row, int i, double baseline_m) {
    return std::max(0, static_cast<int>(row - (i * BLIND_HEIGHT_M) / baseline_m));
}

int CeilingRow(int row, int i, double baseline_m) {
    return std::max(0, row - static_cast<int>((CEILING_HEIGHT_M * i) / baseline_m));
}

}  // namespace

void SmoothRoadRows(const StageGeometry& g, const int MaxY[LUT_NUM], int aveMaxY[LUT_NUM]) {
    const KfConst33 sys33 = RoadFilterSystem();
    KfData33 obj33 = RoadFilterStart();
    bool bStart = true;
    std::fill(aveMaxY, aveMaxY + LUT_NUM, 0);
    for (int i = LUT_NUM - 2; i >= 0; --i) {
        if (i <= LAST_EXTRAPOLATED && !bStart) {
            obj33 = FilterRow(obj33, sys33, obj33.px[0]);
        } else if (IsMeasuredRow(g, MaxY[i]) && IsMeasuredRow(g, MaxY[i + 1])) {
            obj33 = bStart ? SeedFilter(obj33, sys33, MaxY[i], MaxY[i + 1])
                           : FilterRow(obj33, sys33, GatedRow(obj33, MaxY[i], g.gateRows));
            bStart = false;
        } else {
            aveMaxY[i] = MaxY[i];
            continue;
        }
        aveMaxY[i] = static_cast<int>(obj33.x[0]);
    }
}

void WalkRoadProfile(const StageGeometry& g, const int aveMaxY[LUT_NUM], int ground[LUT_NUM]) {
    int pre_g = g.height;
    int g_dif = 0;
    for (int i = LUT_NUM - 1; i >= 1; --i) {
        if (i >= FIRST_BELOW_PICTURE) {
            g_dif = pre_g - g.noRoadRow;
            pre_g = g.noRoadRow;
        } else {
            const int diff = pre_g - aveMaxY[i];
            if (diff >= 0 && diff <= StepLimit(g, i)) {
                g_dif = diff;
                pre_g = aveMaxY[i];
            } else {
                pre_g -= g_dif;  // an implausible row: the road keeps its last step
            }
        }
        ground[i] = pre_g;
    }
}

bool RoadProfileAcceptable(const StageGeometry& g, const int ground[LUT_NUM], const int pre_ground[LUT_NUM],
                           bool bGndFixFlg) {
    for (int i = 1; i < LUT_NUM - 1; ++i) {
        if (ground[i] < g.minRoadRow) return false;
        if (i >= g.firstBandLevel && !InBand(g, ground[i], pre_ground[i], bGndFixFlg)) return false;
    }
    return true;
}

void RowsAboveRoad(const Camera& camera, const int ground[LUT_NUM], int blind[LUT_NUM], int ceiling[LUT_NUM]) {
    for (int i = 1; i < LUT_NUM; ++i) {
        blind[i] = BlindRow(ground[i], i, camera.baseline_m);
        ceiling[i] = CeilingRow(ground[i], i, camera.baseline_m);
    }
    blind[0] = blind[1];
    ceiling[0] = ceiling[1];
}

void RaiseStepThresholds(const StageGeometry& g, const int ground[LUT_NUM], double threshold[LUT_NUM]) {
    for (int i = 1; i < LUT_NUM - 1; ++i) {
        const int step = ground[i] - ground[i - 1];
        if (i <= LAST_NEAR_RAISE && step > g.raiseStepNear) threshold[i] *= NEAR_RAISE;
        if (i > LAST_NEAR_RAISE && step > g.raiseStepFar) threshold[i] *= FAR_RAISE;
    }
}

bool RoadProfileFromPeaks(const StageGeometry& g, const int MaxY[LUT_NUM], int pre_ground[LUT_NUM],
                          bool& bGndFixFlg, int ground[LUT_NUM], int blind[LUT_NUM], int ceiling[LUT_NUM],
                          double threshold[LUT_NUM]) {
    int aveMaxY[LUT_NUM];
    SmoothRoadRows(g, MaxY, aveMaxY);
    WalkRoadProfile(g, aveMaxY, ground);
    const bool accepted = RoadProfileAcceptable(g, ground, pre_ground, bGndFixFlg);
    if (accepted) {
        bGndFixFlg = true;
        std::copy(ground + 1, ground + LUT_NUM - 1, pre_ground + 1);
    } else {
        std::copy(pre_ground + 1, pre_ground + LUT_NUM - 1, ground + 1);
    }
    ground[0] = ground[1];
    RowsAboveRoad(g.camera, ground, blind, ceiling);
    RaiseStepThresholds(g, ground, threshold);
    return accepted;
}

void RoadProfile(RunState& run) {
    run.groundAccepted = RoadProfileFromPeaks(run.geometry, run.MaxY, run.pre_ground, run.bGndFixFlg, run.ground,
                                              run.blind, run.ceiling, run.threshold);
}
