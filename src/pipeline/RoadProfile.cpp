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
constexpr int MEASURED_ROW_LIMIT = 350;  // peak rows from here down mark a class without road
constexpr double GATE_ROWS = 18.0;       // a peak this far from the prediction is an outlier
constexpr int LAST_EXTRAPOLATED = 2;     // the farthest classes are extrapolated, never measured
constexpr int NO_ROAD_ROW = TOTAL_V - 1;
constexpr int FIRST_BELOW_PICTURE = 65;  // from here on the road lies below the picture
constexpr int MIN_ROAD_ROW = 70;         // a road row above this is implausible
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

bool IsMeasuredRow(int row) { return row < MEASURED_ROW_LIMIT; }

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

double GatedRow(const KfData33& obj33, int row) {
    return std::fabs(row - obj33.px[0]) < GATE_ROWS ? row : obj33.px[0];
}

// Allowed rise of the road row from one disparity to the next farther one.
int StepLimit(int i) { return i > 14 ? 20 : 15; }

bool InBand(int row, int reference, bool bGndFixFlg) {
    if (bGndFixFlg) return row >= reference - 20 && row <= reference + 20;
    return row >= reference - 50 && row <= reference + 100;
}

int BlindRow(int row, int i) { return std::max(0, static_cast<int>(row - (i * BLIND_HEIGHT_M) / B_MM)); }

int CeilingRow(int row, int i) { return std::max(0, row - static_cast<int>((CEILING_HEIGHT_M * i) / B_MM)); }

}  // namespace

void SmoothRoadRows(const int MaxY[LUT_NUM], int aveMaxY[LUT_NUM]) {
    const KfConst33 sys33 = RoadFilterSystem();
    KfData33 obj33 = RoadFilterStart();
    bool bStart = true;
    std::fill(aveMaxY, aveMaxY + LUT_NUM, 0);
    for (int i = LUT_NUM - 2; i >= 0; --i) {
        if (i <= LAST_EXTRAPOLATED && !bStart) {
            obj33 = FilterRow(obj33, sys33, obj33.px[0]);
        } else if (IsMeasuredRow(MaxY[i]) && IsMeasuredRow(MaxY[i + 1])) {
            obj33 = bStart ? SeedFilter(obj33, sys33, MaxY[i], MaxY[i + 1])
                           : FilterRow(obj33, sys33, GatedRow(obj33, MaxY[i]));
            bStart = false;
        } else {
            aveMaxY[i] = MaxY[i];
            continue;
        }
        aveMaxY[i] = static_cast<int>(obj33.x[0]);
    }
}

void WalkRoadProfile(const int aveMaxY[LUT_NUM], int ground[LUT_NUM]) {
    int pre_g = TOTAL_V;
    int g_dif = 0;
    for (int i = LUT_NUM - 1; i >= 1; --i) {
        if (i >= FIRST_BELOW_PICTURE) {
            g_dif = pre_g - NO_ROAD_ROW;
            pre_g = NO_ROAD_ROW;
        } else {
            const int diff = pre_g - aveMaxY[i];
            if (diff >= 0 && diff <= StepLimit(i)) {
                g_dif = diff;
                pre_g = aveMaxY[i];
            } else {
                pre_g -= g_dif;  // an implausible row: the road keeps its last step
            }
        }
        ground[i] = pre_g;
    }
}

bool RoadProfileAcceptable(const int ground[LUT_NUM], const int pre_ground[LUT_NUM], bool bGndFixFlg) {
    for (int i = 1; i < LUT_NUM - 1; ++i) {
        if (ground[i] < MIN_ROAD_ROW || !InBand(ground[i], pre_ground[i], bGndFixFlg)) return false;
    }
    return true;
}

void RowsAboveRoad(const int ground[LUT_NUM], int blind[LUT_NUM], int ceiling[LUT_NUM]) {
    for (int i = 1; i < LUT_NUM; ++i) {
        blind[i] = BlindRow(ground[i], i);
        ceiling[i] = CeilingRow(ground[i], i);
    }
    blind[0] = blind[1];
    ceiling[0] = ceiling[1];
}

void RaiseStepThresholds(const int ground[LUT_NUM], double threshold[LUT_NUM]) {
    for (int i = 1; i < LUT_NUM - 1; ++i) {
        const int step = ground[i] - ground[i - 1];
        if (i <= 16 && step > 11) threshold[i] *= 1.5;
        if (i >= 17 && step > 19) threshold[i] *= 2.0;
    }
}

bool RoadProfileFromPeaks(const int MaxY[LUT_NUM], int pre_ground[LUT_NUM], bool& bGndFixFlg,
                          int ground[LUT_NUM], int blind[LUT_NUM], int ceiling[LUT_NUM],
                          double threshold[LUT_NUM]) {
    int aveMaxY[LUT_NUM];
    SmoothRoadRows(MaxY, aveMaxY);
    WalkRoadProfile(aveMaxY, ground);
    const bool accepted = RoadProfileAcceptable(ground, pre_ground, bGndFixFlg);
    if (accepted) {
        bGndFixFlg = true;
        std::copy(ground + 1, ground + LUT_NUM - 1, pre_ground + 1);
    } else {
        std::copy(pre_ground + 1, pre_ground + LUT_NUM - 1, ground + 1);
    }
    ground[0] = ground[1];
    RowsAboveRoad(ground, blind, ceiling);
    RaiseStepThresholds(ground, threshold);
    return accepted;
}

void RoadProfile(RunState& run) {
    run.groundAccepted = RoadProfileFromPeaks(run.MaxY, run.pre_ground, run.bGndFixFlg, run.ground, run.blind,
                                              run.ceiling, run.threshold);
}
