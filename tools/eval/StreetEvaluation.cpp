#include "StreetEvaluation.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <set>

#include "Config.h"
#include "Evaluation.h"
#include "TrackingObject.h"  // ESTABLISHED_COUNT: tracks with at least this many updates are output

namespace {

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

// The track of a frame that continues trajectory number `track`.
const TrackReport* FindTrajectory(const FrameResult& frame, int track) {
    for (const TrackReport& t : frame.tracks) {
        if (t.Identity() == track) return &t;
    }
    return nullptr;
}

// Whether a point ahead of the camera (z_m > 0) appears inside the picture's columns.
bool InView(const PictureColumns& columns, double x_m, double z_m) {
    if (columns.width_pix <= 0) return true;
    const double u_pix = columns.u0_pix + columns.f_pix * x_m / z_m;
    return u_pix >= 0.0 && u_pix < columns.width_pix;
}

struct StreetTally {
    std::vector<TrackFrameError> samples;
    std::vector<double> distanceErrors;
    std::vector<double> speedRatios;
    std::vector<double> rowErrors;
    std::map<ProfileKind, std::vector<double>> rowErrorsOf;  // per profile kind
    std::map<int, int> framesOf;                             // trajectory -> frames reported
    std::set<int> confirmed;                                 // trajectories confirmed in some frame
};

void TallyTracks(const FrameResult& previous, const FrameResult& now, const Pose& from, const Pose& to,
                 double frameInterval_s, const PictureColumns& columns, StreetTally& tally) {
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
        if (!(predicted[2] > 0.0) || !InView(columns, predicted[0], predicted[2])) continue;
        const double error = std::fabs(t.z_m - predicted[2]) / predicted[2];
        tally.distanceErrors.push_back(error);
        tally.samples.push_back(TrackFrameError{now.frame, t.Identity(), t.count, t.z_m, t.x_m, predicted[2], error});
        if (t.count >= VELOCITY_SETTLED_COUNT && speed_mps > 0.0) {
            tally.speedRatios.push_back(std::isfinite(t.vz_mps) ? t.vz_mps / -speed_mps : 0.0);
        }
    }
}

void TallyRoad(const RoadReport& road, const RoadLine& line, int pictureRows, StreetTally& tally) {
    for (int d = 1; d < LUT_NUM; ++d) {
        const double fitted = line.horizonRow + line.rowsPerLevel * d;
        if (!(fitted >= 0.0 && fitted < pictureRows)) continue;
        // In real numbers: a reported row may be any int, as far from the fitted one as ints go.
        const double error = std::fabs(road.ground[d] - std::trunc(fitted));
        tally.rowErrors.push_back(error);
        if (road.profile) tally.rowErrorsOf[*road.profile].push_back(error);
    }
}

void TallyTrajectories(const FrameResult& frame, StreetTally& tally) {
    for (const TrackReport& t : frame.tracks) {
        ++tally.framesOf[t.Identity()];
        if (t.Confirmed()) tally.confirmed.insert(t.Identity());
    }
}

void CountProfile(const RoadReport& road, StreetScores& s) {
    if (!road.profile) return;
    s.profilesGiven = true;
    ++(*road.profile == ProfileKind::OWN ? s.own : *road.profile == ProfileKind::KEPT ? s.kept : s.reseeded).frames;
}

void TrajectoryFigures(const StreetTally& tally, StreetScores& s) {
    s.trajectories = static_cast<int>(tally.framesOf.size());
    s.oneFrameTrajectories = static_cast<int>(
        std::count_if(tally.framesOf.begin(), tally.framesOf.end(), [](const auto& t) { return t.second == 1; }));
    s.confirmedTrajectories = static_cast<int>(tally.confirmed.size());
    s.oneFrameShare = Ratio(s.oneFrameTrajectories, s.trajectories);
}

// The samples whose error exceeds the 95th percentile, worst first.
std::vector<TrackFrameError> WorstDistances(const StreetTally& tally, const std::optional<double>& p95) {
    std::vector<TrackFrameError> worst;
    if (!p95) return worst;
    std::copy_if(tally.samples.begin(), tally.samples.end(), std::back_inserter(worst),
                 [&p95](const TrackFrameError& e) { return e.error > *p95; });
    std::stable_sort(worst.begin(), worst.end(),
                     [](const TrackFrameError& a, const TrackFrameError& b) { return a.error > b.error; });
    return worst;
}

std::optional<double> MedianRowError(const StreetTally& tally, ProfileKind kind) {
    const auto errors = tally.rowErrorsOf.find(kind);
    return errors == tally.rowErrorsOf.end() ? std::nullopt : MaybePercentile(errors->second, 0.5);
}

}  // namespace

std::vector<Pose> ReadPoses(std::istream& in, const std::string& name) {
    std::vector<Pose> poses;
    std::string error;
    if (!ParsePoses(in, name, poses, error)) throw InputError(error);
    return poses;
}

StreetScores EvaluateStreet(const std::vector<Pose>& poses, const std::vector<FrameResult>& results,
                            const std::vector<std::optional<RoadLine>>& roads, int pictureRows,
                            double frameInterval_s, const PictureColumns& columns) {
    StreetScores s;
    s.withPoses = !poses.empty();
    StreetTally tally;
    for (size_t k = 0; k < results.size(); ++k) {
        const FrameResult& frame = results[k];
        if (s.withPoses && (frame.frame < 0 || static_cast<size_t>(frame.frame) >= poses.size())) {
            throw EvaluationError("frame " + std::to_string(frame.frame) + " has no pose (the poses cover frames 0 to " +
                                  std::to_string(poses.size() - 1) + ")");
        }
        if (frame.road.ground.size() != LUT_NUM) {
            throw EvaluationError("frame " + std::to_string(frame.frame) + " has no road profile of " +
                                  std::to_string(LUT_NUM) + " rows");
        }
        ++s.frames;
        s.acceptedFrames += frame.road.accepted ? 1 : 0;
        CountProfile(frame.road, s);
        TallyTrajectories(frame, tally);
        if (s.withPoses && k > 0 && results[k - 1].frame == frame.frame - 1) {
            TallyTracks(results[k - 1], frame, poses[frame.frame - 1], poses[frame.frame], frameInterval_s, columns,
                        tally);
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
    s.worstDistances = WorstDistances(tally, s.distanceErrorP95);
    const auto within = std::count_if(tally.distanceErrors.begin(), tally.distanceErrors.end(),
                                      [](double e) { return e <= FIVE_PERCENT; });
    s.withinFivePercent = Ratio(static_cast<double>(within), s.trackSamples);
    s.speedRatioMedian = MaybePercentile(tally.speedRatios, 0.5);
    s.roadRowErrorMedian = MaybePercentile(tally.rowErrors, 0.5);
    s.own.roadRowErrorMedian = MedianRowError(tally, ProfileKind::OWN);
    s.kept.roadRowErrorMedian = MedianRowError(tally, ProfileKind::KEPT);
    s.reseeded.roadRowErrorMedian = MedianRowError(tally, ProfileKind::RESEEDED);
    s.acceptedShare = Ratio(s.acceptedFrames, s.frames);
    TrajectoryFigures(tally, s);
    return s;
}
