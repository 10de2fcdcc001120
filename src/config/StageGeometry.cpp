#include "StageGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// The default camera's values, each a count in that camera's picture.
constexpr int ROAD_SCAN_CAP = 100;
constexpr int FACE_LIMIT_SINGLE = 5;
constexpr int FACE_LIMIT_FOLDED = 10;
constexpr int BELOW_PICTURE_LEVEL = 65;
constexpr int MEASURED_ROW_LIMIT = 350;
constexpr int MIN_ROAD_ROW = 70;
constexpr double GATE_ROWS = 18.0;
constexpr double STEP_LIMIT_NEAR = 15.0;
constexpr double STEP_LIMIT_FAR = 20.0;
constexpr double BAND_FIXED = 20.0;
constexpr double BAND_BELOW_FIRST = 50.0;
constexpr double BAND_ABOVE_FIRST = 100.0;
constexpr double RAISE_STEP_NEAR = 11.0;
constexpr double RAISE_STEP_FAR = 19.0;

// Cell threshold of level i at the top of a frame, in pixels of a strip.
double DefaultThreshold(int i) {
    if (i <= 16) return 12.0;
    if (i <= 39) return 24.0 + i / 10.0;
    return 28.0;
}

// A share of the default picture's TOTAL_V rows in a picture of `height` rows.
int PictureRows(int rows, int height) { return static_cast<int>(static_cast<long long>(rows) * height / TOTAL_V); }

// The most whole items a scaled count allows (truncated toward zero), and the fewest it asks for
// (rounded up); at least one.
int AtMost(int count, double scale) { return std::max(1, static_cast<int>(count * scale)); }
int AtLeast(int count, double scale) { return std::max(1, static_cast<int>(std::ceil(count * scale))); }

// The first even row at or below the horizon, inside 0 .. height.
int FirstRoadRow(const Camera& camera) {
    const double horizon = std::ceil(HorizonRow(camera));
    if (!(horizon > 0.0)) return 0;
    if (horizon >= camera.height_pix) return camera.height_pix;
    const int row = static_cast<int>(horizon);
    return row % 2 == 0 ? row : row + 1;
}

// The frames of a camera with frame interval `interval_s` that span `span_s` seconds, rounded, from
// 1 to `most`.
int FramesOfTime(double span_s, double interval_s, int most) {
    const double span = std::round(span_s / interval_s);
    if (!(span >= 1.0)) return 1;
    return span >= most ? most : static_cast<int>(span);
}

// The same for a span of `frames` frames of the default camera.
int FramesOfSpan(int frames, double interval_s, int most) { return FramesOfTime(frames * DELTA_T, interval_s, most); }

}  // namespace

StageGeometry::StageGeometry(const Camera& cam)
    : camera(cam),
      width(cam.width_pix),
      height(cam.height_pix),
      pixels(cam.width_pix * cam.height_pix),
      blocksU(cam.width_pix / SHIFT_PITCH),
      gridCells(cam.width_pix / SHIFT_PITCH * LUT_NUM),
      axisU(static_cast<int>(std::clamp(cam.u0_pix, 0.0, cam.width_pix - 1.0))),
      rowScale(B_MM / cam.baseline_m),
      columnScale(cam.f_pix / F_PIX),
      roadRowScale((cam.camHeight_m / cam.baseline_m) / (CAM_H_M / B_MM)) {
    // The default horizon lies at row 108.8: the road rows are counted from row 110.
    roadFirstRow = FirstRoadRow(cam);
    // 100 entries span a road 100 z / F_PIX metres wide at distance z, f / F_PIX as many columns here.
    scanCap = AtMost(ROAD_SCAN_CAP, columnScale);
    // A column holds h_cam / B road rows per unit of disparity (every second one entered): more of
    // one class is an obstacle face.
    faceLimitSingle = static_cast<int>(FACE_LIMIT_SINGLE * roadRowScale);
    faceLimitFolded = static_cast<int>(FACE_LIMIT_FOLDED * roadRowScale);
    // A road peak is a run of columns of one disparity along a row: f w / z columns.
    peakMinSingle = AtLeast(FACE_LIMIT_SINGLE, columnScale);
    peakMinFolded = AtLeast(FACE_LIMIT_FOLDED, columnScale);

    noRoadRow = cam.height_pix - 1;
    // Levels beyond the road classes are never counted; where the flat road lies inside the picture
    // there (a camera that sees the road nearer than ROAD_MAX_DISPARITY), its row stands for the peak.
    for (int d = 0; d < LUT_NUM; ++d) {
        uncountedRoadRow[d] = d < ROAD_CLASSES ? noRoadRow : std::min(FlatRoadRowInPicture(cam, d), noRoadRow);
    }
    // The default camera sees no road nearer than level 28; its profile takes the road below the
    // picture from level BELOW_PICTURE_LEVEL on. A camera that sees the road nearer than the road
    // stage counts has its profile enter the picture from its bottom row, one level after another.
    belowPictureLevel = uncountedRoadRow[ROAD_CLASSES] < noRoadRow ? LUT_NUM - 1 : BELOW_PICTURE_LEVEL;
    // Rows 350 and 70 of 360: near the picture's bottom and high above the horizon.
    measuredRowLimit = PictureRows(MEASURED_ROW_LIMIT, cam.height_pix);
    minRoadRow = PictureRows(MIN_ROAD_ROW, cam.height_pix);
    // The road profile's tolerances along the disparity axis are counts of the rows the road rises
    // per level, h_cam / B.
    gateRows = GATE_ROWS * roadRowScale;
    stepLimitNear = STEP_LIMIT_NEAR * roadRowScale;
    stepLimitFar = STEP_LIMIT_FAR * roadRowScale;
    // The band holds the road out to the default camera's level 1, BF_PIX metres: through a camera
    // of larger f B the levels beyond that distance (a road extrapolated far past what it sees) are
    // not held to it.
    firstBandLevel = std::clamp(static_cast<int>(std::ceil(cam.bf_pix / BF_PIX)), 1, LUT_NUM - 2);
    // The first profile is held against the flat road of the nominal height and pitch.
    bandBelowFirst = BAND_BELOW_FIRST * roadRowScale;
    bandAboveFirst = BAND_ABOVE_FIRST * roadRowScale;
    // A frame's own profile is supported by a peak that lies as close to it as the filter's gate
    // takes a peak.
    supportRows = gateRows;
    raiseStepNear = RAISE_STEP_NEAR * roadRowScale;
    raiseStepFar = RAISE_STEP_FAR * roadRowScale;

    // A strip is SHIFT_PITCH columns wide at every camera; its pixels at level i are rows: h i / B.
    for (int i = 0; i < LUT_NUM; ++i) threshold[i] = DefaultThreshold(i) * rowScale;
    // SHIFT_PITCH rows at level d stand for SHIFT_PITCH B_MM / d metres: rowScale as many rows, rounded.
    blockRows = std::max(1, static_cast<int>(SHIFT_PITCH * rowScale + 0.5));
    // THRESHOLD_FARBLOCK blocks of SHIFT_PITCH rows are that many rows at rowScale, in blocks of blockRows.
    farBlocks = THRESHOLD_FARBLOCK * SHIFT_PITCH * rowScale / blockRows;
    // GROUPED_RANGE_H_PIX rows at level d stand for GROUPED_RANGE_H_PIX B_MM / d metres.
    heightToleranceRows = GROUPED_RANGE_H_PIX * rowScale;
    SetFrameInterval(cam.frameInterval_s);
}

void StageGeometry::SetFrameInterval(double interval_s) {
    frameInterval_s = interval_s;
    // From one frame to the next the road moves in the picture as the car pitches on its springs and
    // the road's grade changes: by an angle, f theta rows at every level. BAND_FIXED rows of the
    // default picture are 0.021 rad over its frame interval, f / F_PIX as many rows here; over a
    // longer (shorter) interval the angle changes ROAD_ANGLE_RATE_RADPS more (less) per second.
    bandFixed = BAND_FIXED * columnScale + camera.f_pix * ROAD_ANGLE_RATE_RADPS * (interval_s - DELTA_T);
    // ROAD_RESEED_SPAN_S as frames of this interval, rounded, at least one.
    reseedFrames = FramesOfTime(ROAD_RESEED_SPAN_S, interval_s, std::numeric_limits<int>::max());
    // EDGE_M holds the edges' noise and a default frame's lateral motion; a longer frame interval
    // adds what traffic crossing at up to MAX_CROSSING_SPEED_MPS moves in the extra time (a young
    // track's lateral rate is not known yet), a shorter one keeps EDGE_M.
    edgeGate_m = EDGE_M + MAX_CROSSING_SPEED_MPS * std::max(0.0, interval_s - DELTA_T);
    // A young track is predicted where it was last seen: traffic closing at up to
    // MAX_CLOSING_SPEED_MPS comes that much nearer in a frame; with the car's own motion predicted,
    // an obstacle moves by its own speed over ground, up to MAX_ROAD_SPEED_MPS, either way.
    youngNearer_m = std::max(RANGE_GATE_M, MAX_CLOSING_SPEED_MPS * interval_s);
    youngSpeedGate_m = std::max(RANGE_GATE_M, MAX_ROAD_SPEED_MPS * interval_s);
    // RANGE_GATE_M holds an established track's measurement noise and its rate's error over a default
    // frame; a longer interval lets that error carry the prediction TRACK_RATE_ERROR_MPS further a
    // second, for every frame the track has not been seen.
    rateGate_m = TRACK_RATE_ERROR_MPS * std::max(0.0, interval_s - DELTA_T);
    // Persistence and holds span GRID_MAX_PERSISTENCE DELTA_T: as many frames of this interval, rounded
    // (a longer hold trails a moving obstacle with cells it has left).
    maxPersistence = FramesOfSpan(GRID_MAX_PERSISTENCE, interval_s, std::numeric_limits<int>::max());
    // Three measurements span 3 DELTA_T; as many frames of this interval, rounded, at most the three
    // the cell keeps: a longer span would put a moving obstacle's disparity frames behind it.
    averagedMeasurements = FramesOfSpan(GRID_AVERAGED_MEASUREMENTS, interval_s, GRID_AVERAGED_MEASUREMENTS);
}

std::optional<DerivedValue> DerivedOutOfRange(const Camera& cam) {
    const double rowScale = B_MM / cam.baseline_m;
    const double columnScale = cam.f_pix / F_PIX;
    const double roadRowScale = (cam.camHeight_m / cam.baseline_m) / (CAM_H_M / B_MM);
    std::vector<DerivedValue> values = {
        {"the principal point's column u0_pix", cam.u0_pix},
        {"the principal point's row v0_pix", cam.v0_pix},
        {"the road scan's columns, which grow with f_pix", ROAD_SCAN_CAP * columnScale},
        {"an obstacle face's rows, which grow with camHeight_m / baseline_m", FACE_LIMIT_FOLDED * roadRowScale},
        {"a block's rows, which grow with 1 / baseline_m", SHIFT_PITCH * rowScale},
        {"the first level held to the road, which grows with bf_pix", cam.bf_pix / BF_PIX},
    };
    for (int d = 1; d <= LUT_NUM; ++d) {
        values.push_back({"the flat road's row at disparity " + std::to_string(d) +
                              " (from camHeight_m, tanPitch, f_pix and v0_pix)", FlatRoadRow(cam, d)});
    }
    for (const DerivedValue& value : values) {
        if (!(std::fabs(value.value) <= DERIVED_MAX_PIX)) return value;
    }
    return std::nullopt;
}

const StageGeometry& DefaultGeometry() {
    static const StageGeometry geometry(DEFAULT_CAMERA);
    return geometry;
}
