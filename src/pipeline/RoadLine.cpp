#include "RoadLine.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "Percentile.h"
#include "RoadDisparityMap.h"
#include "RunState.h"

namespace {

constexpr double ROBUST_SIGMA_PER_MAD = 1.4826;  // standard deviation of a normal sample per MAD
constexpr double KEPT_SIGMAS = 3.0;
constexpr double KEPT_ROWS_AT_LEAST = 1.0;
constexpr int MAX_REFITS = 50;
constexpr double LINE_CROSSING = 0.28867513459481287;  // 1 / (2 sqrt 3)
constexpr int MOUNTING_ROUNDS = 8;
constexpr double PIXEL_CENTRE = 0.5;

struct Line {
    double a = 0.0;  // row at d = 0
    double b = 0.0;  // rows per level
};

// Least squares of row against disparity over the kept samples; false when the disparities do not
// spread.
bool FitLine(const std::vector<double>& d, const std::vector<double>& row, const std::vector<char>& kept, Line& line) {
    double n = 0.0, sd = 0.0, sr = 0.0;
    for (size_t i = 0; i < d.size(); ++i) {
        if (!kept[i]) continue;
        n += 1.0;
        sd += d[i];
        sr += row[i];
    }
    if (n < 2.0) return false;
    const double md = sd / n, mr = sr / n;
    double sdd = 0.0, sdr = 0.0;
    for (size_t i = 0; i < d.size(); ++i) {
        if (!kept[i]) continue;
        sdd += (d[i] - md) * (d[i] - md);
        sdr += (d[i] - md) * (row[i] - mr);
    }
    if (!(sdd > 0.0)) return false;
    line.b = sdr / sdd;
    line.a = mr - line.b * md;
    return true;
}

// Keeps the samples within KEPT_SIGMAS robust deviations of the line; returns whether that changed
// which samples are kept.
bool KeepNearLine(const std::vector<double>& d, const std::vector<double>& row, const Line& line,
                  std::vector<char>& kept) {
    std::vector<double> residual(d.size());
    for (size_t i = 0; i < d.size(); ++i) residual[i] = row[i] - (line.a + line.b * d[i]);
    const double centre = Percentile(residual, 0.5);
    std::vector<double> spread(d.size());
    for (size_t i = 0; i < d.size(); ++i) spread[i] = std::fabs(residual[i] - centre);
    const double limit = std::max(KEPT_ROWS_AT_LEAST, KEPT_SIGMAS * ROBUST_SIGMA_PER_MAD * Percentile(spread, 0.5));
    bool changed = false;
    for (size_t i = 0; i < d.size(); ++i) {
        const char keep = std::fabs(residual[i]) <= limit;
        changed = changed || keep != kept[i];
        kept[i] = keep;
    }
    return changed;
}

// The mounting whose flat road passes through the line at two rows of the span it was fitted on
// (below the principal row): where a least-squares line over evenly spread samples of a gently
// curved row crosses it, 0.5 -+ 1 / (2 sqrt 3) of the span. With r = (row - v0) / f, the road formula
// reads r (bf - h t d) = h d - bf t at each of them; taken as linear in h and t with the small
// product h t of the previous round, it settles in a few rounds.
std::optional<RoadMounting> MountingOfLine(const Camera& camera, double horizonRow, double rowsPerLevel) {
    const double span = camera.height_pix - camera.v0_pix;
    const double offsets[2] = {span * (0.5 - LINE_CROSSING), span * (0.5 + LINE_CROSSING)};
    double r[2], d[2];
    for (int k = 0; k < 2; ++k) {
        const double row = camera.v0_pix + offsets[k];
        r[k] = offsets[k] / camera.f_pix;
        d[k] = (row - horizonRow) / rowsPerLevel;
    }
    const double bf = camera.bf_pix;
    const double determinant = bf * (d[1] - d[0]);  // of h d_k - bf t = rhs_k
    if (!(std::fabs(determinant) > 0.0)) return std::nullopt;
    double h = 0.0, t = 0.0;
    for (int round = 0; round < MOUNTING_ROUNDS; ++round) {
        const double p = h * t;
        const double rhs0 = r[0] * (bf - d[0] * p), rhs1 = r[1] * (bf - d[1] * p);
        h = (bf * (rhs1 - rhs0)) / determinant;
        t = (d[0] * rhs1 - d[1] * rhs0) / determinant;
    }
    if (!(h > 0.0) || !std::isfinite(h) || !std::isfinite(t)) return std::nullopt;
    return RoadMounting{h, t, 1};
}

}  // namespace

std::optional<RoadLine> FitRoadLine(const double* disparities, int cols, int rows, double u0, double v0) {
    const double halfWidth = ROAD_FIT_HALF_WIDTH * cols;
    const int first = std::max(0, static_cast<int>(std::ceil(u0 - halfWidth)));
    const int last = std::min(cols - 1, static_cast<int>(std::floor(u0 + halfWidth)));
    std::vector<double> d, row, values;
    for (int v = std::max(0, static_cast<int>(std::floor(v0)) + 1); v < rows && first <= last; ++v) {
        values.clear();
        for (int u = first; u <= last; ++u) {
            const double value = disparities[static_cast<size_t>(v) * cols + u];
            if (value > 0.0) values.push_back(value);
        }
        if (values.empty() || values.size() < ROAD_FIT_MIN_SHARE * (last - first + 1)) continue;
        d.push_back(Percentile(values, 0.5));
        row.push_back(v);
    }
    if (d.size() < static_cast<size_t>(ROAD_FIT_MIN_ROWS)) return std::nullopt;
    std::vector<char> kept(d.size(), 1);
    Line line;
    if (!FitLine(d, row, kept, line)) return std::nullopt;
    for (int refit = 0; refit < MAX_REFITS && KeepNearLine(d, row, line, kept); ++refit) {
        if (!FitLine(d, row, kept, line)) return std::nullopt;
    }
    return RoadLine{line.a, line.b, static_cast<int>(std::count(kept.begin(), kept.end(), 1))};
}

std::optional<RoadMounting> MountingOfRoadLines(const Camera& camera, const std::vector<RoadLine>& lines) {
    if (lines.empty()) return std::nullopt;
    std::vector<double> horizons, rises;
    for (const RoadLine& line : lines) {
        horizons.push_back(line.horizonRow);
        rises.push_back(line.rowsPerLevel);
    }
    // Row v of the picture spans v to v + 1 of the road formula (FlatRoadRowInPicture truncates): the
    // fitted rows stand for their pixels' centres, half a row lower.
    std::optional<RoadMounting> mounting =
        MountingOfLine(camera, Percentile(horizons, 0.5) + PIXEL_CENTRE, Percentile(rises, 0.5));
    if (mounting) mounting->frames = static_cast<int>(lines.size());
    return mounting;
}

std::optional<RoadLine> FitFrameRoadLine(RunState& run) {
    if (run.fixed16Picture.top != nullptr && !run.disparityValuesGiven) {
        Fixed16Disparities(run.geometry, run.fixed16Picture, run.fixed16Scale, run.measuredDisparity.data());
    } else if (!run.disparityValuesGiven) {
        DecodePicture(run.geometry, DisparityPictureOf(run), run.measuredDisparity.data(), run.roadClasses.data());
    }
    const Camera& camera = run.camera;
    return FitRoadLine(run.measuredDisparity.data(), camera.width_pix, camera.height_pix, camera.u0_pix, camera.v0_pix);
}
