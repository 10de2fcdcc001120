#include "StreetEvaluation.h"

#include <algorithm>
#include <cmath>

#include "Config.h"
#include "Evaluation.h"
#include "TrackingObject.h"  // ESTABLISHED_COUNT: tracks with at least this many updates are output

namespace {

constexpr double ROBUST_SIGMA_PER_MAD = 1.4826;  // standard deviation of a normal sample per MAD
constexpr double KEPT_SIGMAS = 3.0;
constexpr double KEPT_ROWS_AT_LEAST = 1.0;
constexpr int MAX_REFITS = 50;
constexpr double FIVE_PERCENT = 0.05;

// Row v of a 3 x 4 pose's rotation times a vector, and its transpose's.
double Rotate(const Pose& p, int v, const double x[3]) { return p[4 * v] * x[0] + p[4 * v + 1] * x[1] + p[4 * v + 2] * x[2]; }
double RotateBack(const Pose& p, int v, const double x[3]) { return p[v] * x[0] + p[4 + v] * x[1] + p[8 + v] * x[2]; }
double Translation(const Pose& p, int v) { return p[4 * v + 3]; }

// Where a point of the camera at pose `from` lies in the camera at pose `to`.
void MovePoint(const Pose& from, const Pose& to, const double point[3], double moved[3]) {
    double world[3];
    for (int v = 0; v < 3; ++v) world[v] = Rotate(from, v, point) + Translation(from, v) - Translation(to, v);
    for (int v = 0; v < 3; ++v) moved[v] = RotateBack(to, v, world);
}

double TravelBetween(const Pose& from, const Pose& to) {
    const double dx = Translation(to, 0) - Translation(from, 0);
    const double dy = Translation(to, 1) - Translation(from, 1);
    const double dz = Translation(to, 2) - Translation(from, 2);
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

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

// The track of a frame that continues trajectory number `track`.
const TrackReport* FindTrajectory(const FrameResult& frame, int track) {
    for (const TrackReport& t : frame.tracks) {
        if (t.Identity() == track) return &t;
    }
    return nullptr;
}

struct StreetTally {
    std::vector<double> distanceErrors;
    std::vector<double> speedRatios;
    std::vector<double> rowErrors;
};

void TallyTracks(const FrameResult& previous, const FrameResult& now, const Pose& from, const Pose& to,
                 double frameInterval_s, StreetTally& tally) {
    const double speed_mps = TravelBetween(from, to) / frameInterval_s;
    for (const TrackReport& t : now.tracks) {
        const TrackReport* before = FindTrajectory(previous, t.Identity());
        if (t.count < ESTABLISHED_COUNT || before == nullptr || !std::isfinite(t.z_m) ||
            !std::isfinite(before->z_m) || !std::isfinite(before->x_m)) {
            continue;
        }
        const double point[3] = {before->x_m, 0.0, before->z_m};
        double predicted[3];
        MovePoint(from, to, point, predicted);
        if (!(predicted[2] > 0.0)) continue;  // the camera has passed it: out of view
        tally.distanceErrors.push_back(std::fabs(t.z_m - predicted[2]) / predicted[2]);
        if (t.count >= VELOCITY_SETTLED_COUNT && speed_mps > 0.0) {
            tally.speedRatios.push_back(std::isfinite(t.vz_mps) ? t.vz_mps / -speed_mps : 0.0);
        }
    }
}

void TallyRoad(const RoadReport& road, const RoadLine& line, int pictureRows, StreetTally& tally) {
    for (int d = 1; d < LUT_NUM; ++d) {
        const double fitted = line.horizonRow + line.rowsPerLevel * d;
        if (!(fitted >= 0.0 && fitted < pictureRows)) continue;
        tally.rowErrors.push_back(std::fabs(road.ground[d] - static_cast<int>(fitted)));
    }
}

}  // namespace

std::vector<Pose> ReadPoses(std::istream& in, const std::string& name) {
    std::vector<Pose> poses;
    std::string error;
    if (!ParsePoses(in, name, poses, error)) throw InputError(error);
    return poses;
}

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

StreetScores EvaluateStreet(const std::vector<Pose>& poses, const std::vector<FrameResult>& results,
                            const std::vector<std::optional<RoadLine>>& roads, int pictureRows,
                            double frameInterval_s) {
    StreetScores s;
    StreetTally tally;
    for (size_t k = 0; k < results.size(); ++k) {
        const FrameResult& frame = results[k];
        if (frame.frame < 0 || static_cast<size_t>(frame.frame) >= poses.size()) {
            throw EvaluationError("frame " + std::to_string(frame.frame) + " has no pose (the poses cover frames 0 to " +
                                  std::to_string(poses.size() - 1) + ")");
        }
        if (frame.road.ground.size() != LUT_NUM) {
            throw EvaluationError("frame " + std::to_string(frame.frame) + " has no road profile of " +
                                  std::to_string(LUT_NUM) + " rows");
        }
        ++s.frames;
        s.acceptedFrames += frame.road.accepted ? 1 : 0;
        if (k > 0 && results[k - 1].frame == frame.frame - 1) {
            TallyTracks(results[k - 1], frame, poses[frame.frame - 1], poses[frame.frame], frameInterval_s, tally);
        }
        if (k < roads.size() && roads[k]) {
            ++s.roadFrames;
            TallyRoad(frame.road, *roads[k], pictureRows, tally);
        }
    }
    s.trackSamples = static_cast<int>(tally.distanceErrors.size());
    s.speedSamples = static_cast<int>(tally.speedRatios.size());
    s.roadLevels = static_cast<int>(tally.rowErrors.size());
    s.distanceErrorMedian = MaybePercentile(tally.distanceErrors, 0.5);
    s.distanceErrorP95 = MaybePercentile(tally.distanceErrors, 0.95);
    const auto within = std::count_if(tally.distanceErrors.begin(), tally.distanceErrors.end(),
                                      [](double e) { return e <= FIVE_PERCENT; });
    s.withinFivePercent = Ratio(static_cast<double>(within), s.trackSamples);
    s.speedRatioMedian = MaybePercentile(tally.speedRatios, 0.5);
    s.roadRowErrorMedian = MaybePercentile(tally.rowErrors, 0.5);
    s.acceptedShare = Ratio(s.acceptedFrames, s.frames);
    return s;
}
