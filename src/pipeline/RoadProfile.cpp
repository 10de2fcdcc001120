// Road profile: the V-disparity peak rows smoothed by a three-state filter walking from near to
// far, forced to rise steadily toward the horizon, checked against the profile in force, and the
// rows 0.3 m and 2.0 m above the road derived from it.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

#include "Kalman.h"
#include "Percentile.h"
#include "RoadDisparityMap.h"
#include "RoadProfile.h"

namespace {

constexpr double DB_DELTA_T = 0.5;       // filter step along the disparity axis
constexpr double DB_GAMMA = 5.0;         // initial variance of every state
constexpr int LAST_EXTRAPOLATED = 2;     // the farthest classes are extrapolated, never measured
constexpr int LAST_NEAR_STEP = 14;       // levels up to this one allow the smaller rise of the road row
constexpr int LAST_NEAR_RAISE = 16;      // levels up to this one raise thresholds by NEAR_RAISE
constexpr double NEAR_RAISE = 1.5;
constexpr double FAR_RAISE = 2.0;
constexpr int FIRST_CONTINUED_CLASS = 16;  // the counted classes whose peaks place the nearer road ...
constexpr int CONTINUED_CLASSES_AT_LEAST = 6;  // ... where this many of them have a peak
constexpr double SUPPORT_SHARE = 0.5;      // a well supported profile: peaks along it at half its levels ...
constexpr int SUPPORT_LEVELS_AT_LEAST = 4;  // ... and at this many at least
constexpr double ROAD_MAX_GRADE_CHANGE = 0.1;  // a road's grade rises by up to 10 % (a dip) ...
constexpr double UPWARD_RISE_SHARE = 0.25;     // ... where its rows rise this share faster than a level road's
constexpr double UPWARD_EXCESS_ROWS = 6.0;     // ... and by more rows than the smoothed rows' ends are off
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

// Allowed rise of the road row from one disparity to the next farther one: a level road's with its
// margin, and what a rise of the grade by `gradeChange` adds. Beyond a change of grade by G at
// distance z0 the road is a plane seen from G z0 higher, so it rises G z0 / B more rows per level;
// z0 lies nearer than the level's own distance f B / i, which bounds that at G f / i.
double StepLimit(const StageGeometry& g, int i, double gradeChange) {
    const double levelRoad = i > LAST_NEAR_STEP ? g.stepLimitFar : g.stepLimitNear;
    return levelRoad + gradeChange * g.camera.f_pix / i;
}

// A level whose class the V-disparity histogram counts (the odd classes above 16 are filled from
// their neighbours, never measured).
bool IsMeasuredLevel(int i) { return IsRoadDisparity(i) && DisparityClass(i) == i; }

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

// How far (rows) the frame's own peaks at the nearest classes the road stage counts lie below the
// flat road of the camera's mounting: their median; absent where too few classes have a peak.
std::optional<double> NearPeaksOffset(const StageGeometry& g, const int MaxY[LUT_NUM]) {
    std::vector<double> offsets;
    for (int i = FIRST_CONTINUED_CLASS; i < ROAD_CLASSES; ++i) {
        if (IsMeasuredLevel(i) && IsMeasuredRow(g, MaxY[i])) offsets.push_back(MaxY[i] - FlatRoadRow(g.camera, i));
    }
    if (offsets.size() < static_cast<size_t>(CONTINUED_CLASSES_AT_LEAST)) return std::nullopt;
    return Percentile(offsets, 0.5);
}

// The peaks the profile is smoothed from: the road stage's, except nearer than it counts where the
// camera sees the road (its flat road lies inside the picture there): those take the flat road of
// the camera's mounting moved to the frame's own nearest peaks, as the car's pitch moves the road
// by an angle, f theta rows at every level; so a road the mounting misses is followed there too.
// Where too few peaks are found they stay.
void PeaksWithNearRoad(const StageGeometry& g, const int MaxY[LUT_NUM], int peaks[LUT_NUM]) {
    std::copy(MaxY, MaxY + LUT_NUM, peaks);
    if (g.uncountedRoadRow[ROAD_CLASSES] >= g.noRoadRow) return;
    const std::optional<double> offset = NearPeaksOffset(g, MaxY);
    if (!offset) return;
    for (int i = ROAD_CLASSES; i < LUT_NUM; ++i) {
        const double row = FlatRoadRow(g.camera, i) + *offset;
        peaks[i] = row >= 0.0 && row < g.noRoadRow ? static_cast<int>(row) : g.noRoadRow;
    }
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

void WalkRoadProfile(const StageGeometry& g, const int aveMaxY[LUT_NUM], int ground[LUT_NUM], double gradeChange) {
    int pre_g = g.height;
    int g_dif = 0;
    for (int i = LUT_NUM - 1; i >= 1; --i) {
        if (i >= g.belowPictureLevel) {
            g_dif = pre_g - g.noRoadRow;
            pre_g = g.noRoadRow;
        } else {
            const int diff = pre_g - aveMaxY[i];
            if (diff >= 0 && diff <= StepLimit(g, i, gradeChange)) {
                g_dif = diff;
                pre_g = aveMaxY[i];
            } else {
                pre_g -= g_dif;  // an implausible row: the road keeps its last step
            }
        }
        ground[i] = pre_g;
    }
}

void WalkRoadOverGrades(const StageGeometry& g, const int aveMaxY[LUT_NUM], int ground[LUT_NUM]) {
    WalkRoadProfile(g, aveMaxY, ground);
    if (RoadTurnsUpward(g, aveMaxY, ground)) WalkRoadProfile(g, aveMaxY, ground, ROAD_MAX_GRADE_CHANGE);
}

bool RoadTurnsUpward(const StageGeometry& g, const int aveMaxY[LUT_NUM], const int ground[LUT_NUM]) {
    int refused = 0;   // the nearest walked level whose smoothed row the walk did not take
    int farthest = 0;  // the farthest walked level whose smoothed row is measured
    for (int i = g.belowPictureLevel - 1; i > LAST_EXTRAPOLATED; --i) {
        if (!IsMeasuredRow(g, aveMaxY[i])) continue;
        if (refused == 0 && ground[i] != aveMaxY[i]) refused = i;
        farthest = i;
    }
    const int from = refused + 1;
    if (refused == 0 || farthest >= refused || !IsMeasuredRow(g, aveMaxY[from])) return false;
    const double rise = aveMaxY[from] - aveMaxY[farthest];
    const double levelRise = FlatRoadRow(g.camera, from) - FlatRoadRow(g.camera, farthest);
    return rise > (1.0 + UPWARD_RISE_SHARE) * levelRise && rise - levelRise > UPWARD_EXCESS_ROWS;
}

bool RoadProfilePlausible(const StageGeometry& g, const int ground[LUT_NUM]) {
    for (int i = 1; i < LUT_NUM - 1; ++i) {
        if (ground[i] < g.minRoadRow) return false;
    }
    return true;
}

bool RoadProfileInBand(const StageGeometry& g, const int ground[LUT_NUM], const int pre_ground[LUT_NUM],
                       bool bGndFixFlg) {
    for (int i = g.firstBandLevel; i < LUT_NUM - 1; ++i) {
        if (!InBand(g, ground[i], pre_ground[i], bGndFixFlg)) return false;
    }
    return true;
}

bool RoadProfileAcceptable(const StageGeometry& g, const int ground[LUT_NUM], const int pre_ground[LUT_NUM],
                           bool bGndFixFlg) {
    return RoadProfilePlausible(g, ground) && RoadProfileInBand(g, ground, pre_ground, bGndFixFlg);
}

bool RoadProfileWellSupported(const StageGeometry& g, const int MaxY[LUT_NUM], const int ground[LUT_NUM]) {
    int levels = 0;
    int supported = 0;
    for (int i = g.firstBandLevel; i < LUT_NUM - 1; ++i) {
        if (!IsMeasuredLevel(i) || !IsMeasuredRow(g, ground[i])) continue;
        ++levels;
        if (IsMeasuredRow(g, MaxY[i]) && std::abs(MaxY[i] - ground[i]) <= g.supportRows) ++supported;
    }
    return supported >= SUPPORT_LEVELS_AT_LEAST && supported >= SUPPORT_SHARE * levels;
}

RoadProfileKind ChooseRoadProfile(const StageGeometry& g, const int MaxY[LUT_NUM], const int ground[LUT_NUM],
                                  const int pre_ground[LUT_NUM], bool bGndFixFlg, int refusedFrames) {
    if (!RoadProfilePlausible(g, ground)) return RoadProfileKind::Kept;
    if (RoadProfileInBand(g, ground, pre_ground, bGndFixFlg)) return RoadProfileKind::Own;
    // The profile in force before any was accepted is a guess from the camera's mounting, never a
    // measured road: a well supported profile of the frame's own replaces it without waiting.
    const bool mayReseed = refusedFrames >= g.reseedFrames || !bGndFixFlg;
    if (mayReseed && RoadProfileWellSupported(g, MaxY, ground)) return RoadProfileKind::Reseeded;
    return RoadProfileKind::Kept;
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

RoadProfileKind RoadProfileFromPeaks(const StageGeometry& g, const int MaxY[LUT_NUM], int pre_ground[LUT_NUM],
                                     bool& bGndFixFlg, int& refusedFrames, int ground[LUT_NUM], int blind[LUT_NUM],
                                     int ceiling[LUT_NUM], double threshold[LUT_NUM]) {
    int peaks[LUT_NUM];
    PeaksWithNearRoad(g, MaxY, peaks);
    int aveMaxY[LUT_NUM];
    SmoothRoadRows(g, peaks, aveMaxY);
    WalkRoadOverGrades(g, aveMaxY, ground);
    const RoadProfileKind kind = ChooseRoadProfile(g, MaxY, ground, pre_ground, bGndFixFlg, refusedFrames);
    if (kind == RoadProfileKind::Kept) {
        ++refusedFrames;
        std::copy(pre_ground + 1, pre_ground + LUT_NUM - 1, ground + 1);
    } else {
        refusedFrames = 0;
        bGndFixFlg = true;
        std::copy(ground + 1, ground + LUT_NUM - 1, pre_ground + 1);
    }
    ground[0] = ground[1];
    RowsAboveRoad(g.camera, ground, blind, ceiling);
    RaiseStepThresholds(g, ground, threshold);
    return kind;
}

void RoadProfile(RunState& run) {
    run.roadProfile = RoadProfileFromPeaks(run.geometry, run.MaxY, run.pre_ground, run.bGndFixFlg, run.refusedFrames,
                                           run.ground, run.blind, run.ceiling, run.threshold);
    run.groundAccepted = run.roadProfile != RoadProfileKind::Kept;
}
