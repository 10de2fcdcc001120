#include "Evaluation.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "Assignment.h"
#include "TrackingObject.h"  // ESTABLISHED_COUNT: tracks with at least this many updates are output

namespace {

bool Eligible(const TruthRow& truth, const Camera& camera, double pathCurvature_pm) {
    return truth.visible && truth.z_m < COUNTED_RANGE_M &&
           ReachesIntoZone(camera, truth.xLeft_m, truth.xRight_m, truth.z_m, pathCurvature_pm);
}

// The current unbroken run of eligible frames of one obstacle.
struct EligibleRun {
    long long lastFrame = LLONG_MIN;
    int length = 0;
};

// Everything gathered over the frames before the scores are formed.
struct Tally {
    Scores scores;
    std::vector<double> distanceRel, distanceAbs, lateral, width, vz;
    std::map<int, int> lastTrackOf;                   // obstacle id -> trajectory of its last counted match
    std::map<std::pair<int, int>, long long> overlap; // (obstacle id, trajectory) -> frames passing the test
};

void TallyMatch(Tally& tally, const TruthRow& truth, const TrackReport& track) {
    const double distanceError = std::fabs(track.z_m - truth.z_m);
    tally.distanceAbs.push_back(distanceError);
    tally.distanceRel.push_back(distanceError / truth.z_m);
    tally.lateral.push_back(std::fabs(track.x_m - truth.xCenter_m));
    tally.width.push_back(std::fabs(track.w_m - (truth.xRight_m - truth.xLeft_m)));
    if (track.count >= VELOCITY_SETTLED_COUNT) {
        tally.vz.push_back(std::isfinite(track.vz_mps) ? std::fabs(track.vz_mps - truth.vz_mps)
                                                       : std::numeric_limits<double>::infinity());
    }
    const auto last = tally.lastTrackOf.find(truth.id);
    if (last != tally.lastTrackOf.end() && last->second != track.Identity()) ++tally.scores.switches;
    tally.lastTrackOf[truth.id] = track.Identity();
}

void TallyOverlap(Tally& tally, int frame, int truthId, int trajectory) {
    ++tally.overlap[{truthId, trajectory}];
    if (tally.overlap.size() <= EVAL_MAX_OVERLAPS) return;
    throw EvaluationError("frame " + std::to_string(frame) + ": more than " + std::to_string(EVAL_MAX_OVERLAPS) +
                          " pairs of an obstacle id and a trajectory pass the matching test, more than IDF1 is scored for");
}

void TallyFrame(Tally& tally, int frame, const std::vector<const TruthRow*>& counted,
                const std::vector<const TruthRow*>& excused, const std::vector<const TrackReport*>& output) {
    std::vector<bool> taken(output.size(), false);
    const auto pairs = MatchNearestFirst(counted, output, taken);
    const std::vector<bool> onCounted = taken;
    MatchNearestFirst(excused, output, taken);
    Scores& s = tally.scores;
    s.counted += static_cast<int>(counted.size());
    s.matches += static_cast<int>(pairs.size());
    s.misses += static_cast<int>(counted.size() - pairs.size());
    for (const auto& pair : pairs) TallyMatch(tally, *counted[pair.first], *output[pair.second]);
    for (size_t t = 0; t < output.size(); ++t) {
        if (!taken[t]) ++s.falseTracks;
        if (taken[t] && !onCounted[t]) continue;  // excused
        ++s.trackReports;
        for (const TruthRow* truth : counted) {
            if (TrackMatchesTruth(*output[t], *truth)) TallyOverlap(tally, frame, truth->id, output[t]->Identity());
        }
    }
}

Scores FinalScores(const Tally& tally) {
    Scores s = tally.scores;
    s.vzSamples = static_cast<int>(tally.vz.size());
    s.idTruePositives = MaxAssignedWeight(tally.overlap);
    s.recall = Ratio(s.matches, s.counted);
    s.falseTracksPerFrame = Ratio(s.falseTracks, s.frames);
    s.distanceErrorMedian = MaybePercentile(tally.distanceRel, 0.5);
    s.distanceErrorP95 = MaybePercentile(tally.distanceRel, 0.95);
    s.lateralErrorMedian_m = MaybePercentile(tally.lateral, 0.5);
    s.widthErrorMedian_m = MaybePercentile(tally.width, 0.5);
    s.vzErrorMedian_mps = MaybePercentile(tally.vz, 0.5);
    const std::optional<double> errorRate = Ratio(s.misses + s.falseTracks + s.switches, s.counted);
    if (errorRate) s.mota = 1.0 - *errorRate;
    double distanceSum = 0.0;
    for (double d : tally.distanceAbs) distanceSum += d;
    s.motp_m = Ratio(distanceSum, s.matches);
    s.idf1 = Ratio(2.0 * static_cast<double>(s.idTruePositives), s.counted + s.trackReports);
    return s;
}

}  // namespace

bool NearerTruth(const TruthRow* a, const TruthRow* b) {
    return a->z_m != b->z_m ? a->z_m < b->z_m : a->id < b->id;
}

std::vector<std::pair<size_t, size_t>> MatchNearestFirst(const std::vector<const TruthRow*>& truths,
                                                         const std::vector<const TrackReport*>& tracks,
                                                         std::vector<bool>& taken, const DistanceGate& gate,
                                                         const std::map<int, int>* held) {
    std::vector<std::pair<size_t, size_t>> pairs;
    for (size_t g = 0; g < truths.size(); ++g) {
        const auto holder = held == nullptr ? std::map<int, int>::const_iterator{} : held->find(truths[g]->id);
        const bool wasHeld = held != nullptr && holder != held->end();
        size_t best = tracks.size();
        for (size_t t = 0; t < tracks.size(); ++t) {
            if (taken[t] || !TrackMatchesTruth(*tracks[t], *truths[g], gate)) continue;
            if (wasHeld && tracks[t]->Identity() == holder->second) {
                best = t;
                break;
            }
            if (best == tracks.size()) {
                best = t;
                continue;
            }
            const double error = std::fabs(tracks[t]->z_m - truths[g]->z_m);
            const double bestError = std::fabs(tracks[best]->z_m - truths[g]->z_m);
            if (error < bestError || (error == bestError && tracks[t]->Identity() < tracks[best]->Identity())) best = t;
        }
        if (best == tracks.size()) continue;
        taken[best] = true;
        pairs.emplace_back(g, best);
    }
    return pairs;
}

std::optional<double> Ratio(double numerator, double denominator) {
    if (denominator == 0.0) return std::nullopt;
    return numerator / denominator;
}

std::optional<double> MaybePercentile(const std::vector<double>& values, double fraction) {
    if (values.empty()) return std::nullopt;
    return Percentile(values, fraction);
}

bool TrackMatchesTruth(const TrackReport& track, const TruthRow& truth, const DistanceGate& gate) {
    const double limit = std::max(gate.atLeast_m, gate.fraction * truth.z_m);
    if (!(std::fabs(track.z_m - truth.z_m) <= limit)) return false;
    const double left = track.x_m - track.w_m / 2.0;
    const double right = track.x_m + track.w_m / 2.0;
    return left < truth.xRight_m && truth.xLeft_m < right;
}

Scores Evaluate(const std::vector<TruthRow>& truth, const std::vector<FrameResult>& results, const Camera& camera) {
    std::vector<const FrameResult*> frames;
    std::set<int> resultFrames;
    for (const FrameResult& r : results) {
        frames.push_back(&r);
        resultFrames.insert(r.frame);
    }
    std::sort(frames.begin(), frames.end(), [](const FrameResult* a, const FrameResult* b) { return a->frame < b->frame; });
    std::map<int, std::vector<const TruthRow*>> truthOf;
    for (const TruthRow& row : truth) {
        if (resultFrames.count(row.frame) == 0) {
            throw EvaluationError("the truth has frame " + std::to_string(row.frame) + " but the results do not");
        }
        truthOf[row.frame].push_back(&row);
    }
    Tally tally;
    tally.scores.frames = static_cast<int>(frames.size());
    std::map<int, EligibleRun> runs;
    for (const FrameResult* frame : frames) {
        std::vector<const TruthRow*> counted, excused;
        for (const TruthRow* row : truthOf[frame->frame]) {
            EligibleRun& run = runs[row->id];
            const bool eligible = Eligible(*row, camera, frame->pathCurvature_pm);
            if (eligible) {
                run.length = run.lastFrame == static_cast<long long>(frame->frame) - 1 ? run.length + 1 : 1;
                run.lastFrame = frame->frame;
            }
            (eligible && run.length >= COUNTED_FROM_FRAME ? counted : excused).push_back(row);
        }
        std::sort(counted.begin(), counted.end(), NearerTruth);
        std::sort(excused.begin(), excused.end(), NearerTruth);
        std::vector<const TrackReport*> output;
        for (const TrackReport& track : frame->tracks) {
            if (track.count >= ESTABLISHED_COUNT) output.push_back(&track);
        }
        TallyFrame(tally, frame->frame, counted, excused, output);
    }
    return FinalScores(tally);
}
