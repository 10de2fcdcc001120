// Scores of the evaluator on small hand-built sequences; every expected value is worked out
// by hand from the matching and counting rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "Assignment.h"
#include "Evaluation.h"

namespace {

TruthRow Truth(int frame, int id, double z, double left, double right, bool visible = true, double vz = 0.0) {
    return TruthRow{frame, id, z, left, right, (left + right) / 2.0, 1.5, vz, 0.0, visible};
}

TrackReport Track(int id, int count, double z, double x, double w, double vz = 0.0) {
    return TrackReport{id, count, z, x, w, vz};
}

std::vector<FrameResult> EmptyFrames(int n) {
    std::vector<FrameResult> frames;
    for (int f = 0; f < n; ++f) frames.push_back(FrameResult{f, {}});
    return frames;
}

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double INF = std::numeric_limits<double>::infinity();

}  // namespace

TEST(Evaluation, PerfectTrackingScoresOne) {
    // A car closing in by 1 m per frame; its track is born with it and follows it exactly.
    std::vector<TruthRow> truth;
    std::vector<FrameResult> results = EmptyFrames(10);
    for (int f = 0; f < 10; ++f) {
        truth.push_back(Truth(f, 1, 20.0 - f, -0.9, 0.9, true, -30.0));
        results[f].tracks.push_back(Track(5, f + 1, 20.0 - f, 0.0, 1.8, -30.0));
    }
    const Scores s = Evaluate(truth, results);
    EXPECT_EQ(s.frames, 10);
    EXPECT_EQ(s.counted, 7);  // frames 3..9
    EXPECT_EQ(s.matches, 7);
    EXPECT_EQ(s.misses, 0);
    EXPECT_EQ(s.falseTracks, 0);  // frame 2: established track on a truth not yet counted is excused
    EXPECT_EQ(s.trackReports, 7);
    EXPECT_EQ(s.switches, 0);
    EXPECT_EQ(*s.recall, 1.0);
    EXPECT_EQ(*s.mota, 1.0);
    EXPECT_EQ(*s.idf1, 1.0);
    EXPECT_EQ(*s.motp_m, 0.0);
    EXPECT_EQ(*s.distanceErrorMedian, 0.0);
    EXPECT_EQ(*s.falseTracksPerFrame, 0.0);
    EXPECT_EQ(s.vzSamples, 1);  // only frame 9 has count 10
    EXPECT_EQ(*s.vzErrorMedian_mps, 0.0);
}

TEST(Evaluation, SwappedIdentifiersGiveSwitchesAndLowerIdf1) {
    // Two cars side by side at 10 m; tracks 1 and 2 exchange cars at frame 6.
    std::vector<TruthRow> truth;
    std::vector<FrameResult> results = EmptyFrames(10);
    for (int f = 0; f < 10; ++f) {
        truth.push_back(Truth(f, 1, 10.0, -1.4, -0.6));
        truth.push_back(Truth(f, 2, 10.0, 0.6, 1.4));
        const int onLeft = f < 6 ? 1 : 2;
        results[f].tracks.push_back(Track(onLeft, 10 + f, 10.0, -1.0, 0.8));
        results[f].tracks.push_back(Track(3 - onLeft, 10 + f, 10.0, 1.0, 0.8));
    }
    const Scores s = Evaluate(truth, results);
    EXPECT_EQ(s.counted, 14);
    EXPECT_EQ(s.matches, 14);
    EXPECT_EQ(s.switches, 2);
    EXPECT_DOUBLE_EQ(*s.mota, 1.0 - 2.0 / 14.0);
    // Counted frames 3..9: car 1 with track 1 in 3 frames, with track 2 in 4; car 2 the
    // reverse. Best assignment car 1 - track 2, car 2 - track 1: IDTP 8 of 14 + 14 reports.
    EXPECT_EQ(s.idTruePositives, 8);
    EXPECT_DOUBLE_EQ(*s.idf1, 16.0 / 28.0);
    EXPECT_EQ(*s.recall, 1.0);
}

// One car over ten frames. Its first trajectory ends after frame 5 and a second one takes it from
// frame 6 under the same identifier, which the pool handed out again: by identifier nothing
// happened, by trajectory number the car changed tracks once.
TEST(Evaluation, IdentityIsTheTrajectoryNumberWhereTheResultsCarryIt) {
    std::vector<TruthRow> truth;
    std::vector<FrameResult> numbered = EmptyFrames(10);
    std::vector<FrameResult> unnumbered = EmptyFrames(10);
    for (int f = 0; f < 10; ++f) {
        truth.push_back(Truth(f, 1, 10.0, -0.9, 0.9));
        TrackReport report = Track(1, f < 6 ? f + 1 : f - 3, 10.0, 0.0, 1.8);
        unnumbered[f].tracks.push_back(report);
        report.track = f < 6 ? 1 : 2;
        numbered[f].tracks.push_back(report);
    }
    const Scores byId = Evaluate(truth, unnumbered);
    EXPECT_EQ(byId.counted, 7);  // frames 3..9
    EXPECT_EQ(byId.switches, 0);
    EXPECT_EQ(byId.idTruePositives, 7);
    EXPECT_EQ(*byId.idf1, 1.0);

    // Counted frames 3..5 on trajectory 1, 6..9 on trajectory 2: one switch, IDTP 4 of 7 + 7.
    const Scores byTrack = Evaluate(truth, numbered);
    EXPECT_EQ(byTrack.matches, 7);
    EXPECT_EQ(byTrack.switches, 1);
    EXPECT_DOUBLE_EQ(*byTrack.mota, 1.0 - 1.0 / 7.0);
    EXPECT_EQ(byTrack.idTruePositives, 4);
    EXPECT_DOUBLE_EQ(*byTrack.idf1, 8.0 / 14.0);
}

TEST(Evaluation, FalseTracksMissesAndExcusedTracks) {
    // A hidden obstacle with an established track on it (excused), an established track on
    // nothing (false), a young track on nothing (not output).
    std::vector<TruthRow> truth;
    std::vector<FrameResult> results = EmptyFrames(5);
    for (int f = 0; f < 5; ++f) {
        truth.push_back(Truth(f, 1, 10.0, -0.5, 0.5, false));
        results[f].tracks = {Track(1, 5, 10.0, 0.0, 1.0), Track(2, 3, 50.0, 0.0, 1.0), Track(3, 2, 30.0, 0.0, 1.0)};
    }
    Scores s = Evaluate(truth, results);
    EXPECT_EQ(s.counted, 0);
    EXPECT_EQ(s.falseTracks, 5);
    EXPECT_EQ(*s.falseTracksPerFrame, 1.0);
    EXPECT_EQ(s.trackReports, 5);
    EXPECT_FALSE(s.recall.has_value());
    EXPECT_FALSE(s.mota.has_value());
    EXPECT_FALSE(s.motp_m.has_value());
    EXPECT_EQ(*s.idf1, 0.0);

    // A visible obstacle never tracked, and in the last frame a track beside it.
    truth.clear();
    results = EmptyFrames(6);
    for (int f = 0; f < 6; ++f) truth.push_back(Truth(f, 1, 10.0, -0.5, 0.5));
    results[5].tracks.push_back(Track(4, 3, 10.0, 2.0, 0.5));
    s = Evaluate(truth, results);
    EXPECT_EQ(s.counted, 3);
    EXPECT_EQ(s.misses, 3);
    EXPECT_EQ(s.falseTracks, 1);
    EXPECT_EQ(*s.recall, 0.0);
    EXPECT_DOUBLE_EQ(*s.mota, 1.0 - 4.0 / 3.0);
    EXPECT_EQ(*s.idf1, 0.0);
}

TEST(Evaluation, CountedFromTheFourthFrameOfAnUnbrokenEligibleRun) {
    std::vector<TruthRow> truth;
    for (int f = 0; f < 10; ++f) {
        truth.push_back(Truth(f, 1, 10.0, -0.5, 0.5, f != 5));       // hidden in frame 5
        if (f != 5) truth.push_back(Truth(f, 2, 20.0, -0.5, 0.5));  // no row in frame 5
    }
    const Scores s = Evaluate(truth, EmptyFrames(10));
    EXPECT_EQ(s.counted, 6);  // frames 3, 4 and 9 for each
    EXPECT_EQ(s.misses, 6);
}

TEST(Evaluation, OnlyObstaclesNearerThan40mReachingIntoTheZoneAreCounted) {
    std::vector<TruthRow> truth;
    for (int f = 0; f < 4; ++f) {
        truth.push_back(Truth(f, 1, 39.9, -0.5, 0.5));   // counted
        truth.push_back(Truth(f, 2, 40.0, -0.5, 0.5));   // not nearer than 40 m
        truth.push_back(Truth(f, 3, 10.0, 1.6, 2.4));    // beside the zone
        truth.push_back(Truth(f, 4, 12.0, 1.4, 2.4));    // reaches in: counted
        truth.push_back(Truth(f, 5, 14.0, -3.0, 3.0));   // spans the zone: counted
        truth.push_back(Truth(f, 6, 16.0, -2.4, -1.5));  // only touches its edge
    }
    const Scores s = Evaluate(truth, EmptyFrames(4));
    EXPECT_EQ(s.counted, 3);
    // Through a camera whose zone is -4 .. 4 m the obstacles beside and at the edge of the default
    // zone count too; through one of 2 .. 3 m only those reaching into it (3, 4, 5).
    Camera wide = DEFAULT_CAMERA;
    wide.zoneL_m = -4.0;
    wide.zoneR_m = 4.0;
    EXPECT_EQ(Evaluate(truth, EmptyFrames(4), wide).counted, 5);
    Camera right = DEFAULT_CAMERA;
    right.zoneL_m = 2.0;
    right.zoneR_m = 3.0;
    EXPECT_EQ(Evaluate(truth, EmptyFrames(4), right).counted, 3);
}

// Where the results give the car's path, an obstacle is counted where it reaches into the zone
// bent along that path, as the tracker's zone was. On a circle of 120 m the path lies
// 120 - sqrt(120^2 - z^2) to the turn's side at z: 0.941 m at 15 m, 3.810 m at 30 m, so on a
// right-hand bend the zone of -1.5 .. 1.5 m is -0.559 .. 2.441 m there and 2.310 .. 5.310 m.
TEST(Evaluation, OnABendTheZoneFollowsTheCarsPath) {
    const struct {
        double z_m, left_m, right_m;
        bool straight, right, left;  // counted with a straight zone, on a right-hand and a left-hand bend
    } cases[] = {
        {30.0, 3.0, 4.6, false, true, false},     // on the road ahead where it bends right
        {30.0, -0.85, 0.85, true, false, false},  // straight on, where the road has left it
        {30.0, -4.6, -3.0, false, false, true},   // the mirror image: on the road bending left
        {15.0, -0.85, 0.85, true, true, true},    // in the lane while the path has moved 0.941 m
        {15.0, -2.6, -0.6, true, false, true},    // reaches 0.041 m short of the right bend's zone
        {15.0, -2.6, -0.5, true, true, true},     // and 0.059 m into it
    };
    const double curvature_pm = 1.0 / 120.0;
    for (const auto& c : cases) {
        std::vector<TruthRow> truth;
        for (int f = 0; f < 4; ++f) truth.push_back(Truth(f, 1, c.z_m, c.left_m, c.right_m));
        std::vector<FrameResult> right = EmptyFrames(4);
        std::vector<FrameResult> left = EmptyFrames(4);
        for (int f = 0; f < 4; ++f) {
            right[f].pathCurvature_pm = curvature_pm;
            left[f].pathCurvature_pm = -curvature_pm;
        }
        const std::string where = std::to_string(c.z_m) + " m, " + std::to_string(c.left_m) + " .. " + std::to_string(c.right_m);
        EXPECT_EQ(Evaluate(truth, EmptyFrames(4)).counted, c.straight ? 1 : 0) << where;
        EXPECT_EQ(Evaluate(truth, right).counted, c.right ? 1 : 0) << where;
        EXPECT_EQ(Evaluate(truth, left).counted, c.left ? 1 : 0) << where;
    }
}

TEST(Evaluation, VelocityJudgedFromTheTenthUpdate) {
    std::vector<TruthRow> truth;
    std::vector<FrameResult> results = EmptyFrames(10);
    // Track vz per frame; frames 3 and 4 (counts 8, 9) are counted but too young for vz.
    const double vz[10] = {0, 0, 0, 100, 100, -9.0, -13.0, -9.5, -8.0, NaN};
    for (int f = 0; f < 10; ++f) {
        truth.push_back(Truth(f, 1, 10.0, -0.5, 0.5, true, -10.0));
        results[f].tracks.push_back(Track(1, f + 5, 10.0, 0.0, 1.0, vz[f]));
    }
    const Scores s = Evaluate(truth, results);
    EXPECT_EQ(s.vzSamples, 5);                 // errors 1, 3, 0.5, 2 and infinite
    EXPECT_DOUBLE_EQ(*s.vzErrorMedian_mps, 2.0);
}

TEST(Evaluation, ErrorStatisticsOverTheMatches) {
    std::vector<TruthRow> truth;
    std::vector<FrameResult> results = EmptyFrames(7);
    const double dz[7] = {0, 0, 0, 0.1, 0.3, -0.2, 0.5};
    const double dx[7] = {0, 0, 0, 0.1, -0.2, 0.0, 0.3};
    const double w[7] = {1, 1, 1, 1.2, 0.9, 1.0, 0.5};
    for (int f = 0; f < 7; ++f) {
        truth.push_back(Truth(f, 1, 10.0, -0.5, 0.5));
        results[f].tracks.push_back(Track(1, 3 + f, 10.0 + dz[f], dx[f], w[f]));
    }
    const Scores s = Evaluate(truth, results);
    ASSERT_EQ(s.matches, 4);
    EXPECT_NEAR(*s.distanceErrorMedian, 0.025, 1e-12);  // of 0.01, 0.02, 0.03, 0.05
    EXPECT_NEAR(*s.distanceErrorP95, 0.047, 1e-12);     // rank 2.85: 0.03 + 0.85 * 0.02
    EXPECT_NEAR(*s.motp_m, 0.275, 1e-12);
    EXPECT_NEAR(*s.lateralErrorMedian_m, 0.15, 1e-12);  // of 0, 0.1, 0.2, 0.3
    EXPECT_NEAR(*s.widthErrorMedian_m, 0.15, 1e-12);    // of 0, 0.1, 0.2, 0.5
}

TEST(Evaluation, MatchingGates) {
    const TruthRow near = Truth(0, 1, 5.0, -0.5, 0.5);
    EXPECT_TRUE(TrackMatchesTruth(Track(1, 3, 5.99, 0.0, 1.0), near));   // 1 m floor
    EXPECT_FALSE(TrackMatchesTruth(Track(1, 3, 6.01, 0.0, 1.0), near));
    EXPECT_TRUE(TrackMatchesTruth(Track(1, 3, 4.01, 0.0, 1.0), near));
    const TruthRow far = Truth(0, 1, 30.0, -0.5, 0.5);
    EXPECT_TRUE(TrackMatchesTruth(Track(1, 3, 32.9, 0.0, 1.0), far));    // 10 %
    EXPECT_FALSE(TrackMatchesTruth(Track(1, 3, 33.1, 0.0, 1.0), far));
    EXPECT_FALSE(TrackMatchesTruth(Track(1, 3, 26.9, 0.0, 1.0), far));
    EXPECT_FALSE(TrackMatchesTruth(Track(1, 3, 5.0, 1.0, 1.0), near));   // edges only touch
    EXPECT_TRUE(TrackMatchesTruth(Track(1, 3, 5.0, 0.99, 1.0), near));
    EXPECT_FALSE(TrackMatchesTruth(Track(1, 3, 5.0, -1.0, 1.0), near));
    EXPECT_FALSE(TrackMatchesTruth(Track(1, 3, NaN, 0.0, 1.0), near));
}

TEST(Evaluation, NearestFirstAndCountedTruthsFirst) {
    // Two tracks on one car: the nearer in distance takes it (error 0.2), the other is false.
    std::vector<TruthRow> truth;
    std::vector<FrameResult> results = EmptyFrames(4);
    for (int f = 0; f < 4; ++f) truth.push_back(Truth(f, 1, 10.0, -0.5, 0.5));
    results[3].tracks = {Track(7, 5, 10.5, 0.0, 1.0), Track(3, 5, 9.8, 0.0, 1.0)};
    Scores s = Evaluate(truth, results);
    EXPECT_EQ(s.matches, 1);
    EXPECT_EQ(s.falseTracks, 1);
    EXPECT_NEAR(*s.motp_m, 0.2, 1e-12);

    // One track between two cars: the nearer car (10 m, error 0.4) takes it before the
    // farther one (10.6 m, error 0.2).
    truth.clear();
    for (int f = 0; f < 4; ++f) {
        truth.push_back(Truth(f, 2, 10.6, 0.0, 1.0));
        truth.push_back(Truth(f, 1, 10.0, -1.0, 0.0));
    }
    results[3].tracks = {Track(4, 5, 10.4, 0.0, 1.0)};
    s = Evaluate(truth, results);
    EXPECT_EQ(s.matches, 1);
    EXPECT_EQ(s.misses, 1);
    EXPECT_NEAR(*s.motp_m, 0.4, 1e-12);

    // A hidden obstacle nearer than a counted one does not take the track from it.
    truth.clear();
    for (int f = 0; f < 4; ++f) {
        truth.push_back(Truth(f, 1, 9.0, -0.5, 0.5, false));
        truth.push_back(Truth(f, 2, 10.0, -0.5, 0.5));
    }
    results[3].tracks = {Track(4, 5, 9.1, 0.0, 1.0)};
    s = Evaluate(truth, results);
    EXPECT_EQ(s.matches, 1);
    EXPECT_NEAR(*s.motp_m, 0.9, 1e-12);
}

TEST(Evaluation, TruthOutsideTheResultFramesIsRefused) {
    const std::vector<TruthRow> truth = {Truth(7, 1, 10.0, -0.5, 0.5)};
    EXPECT_THROW(Evaluate(truth, EmptyFrames(5)), EvaluationError);
}

TEST(Evaluation, PercentilesInterpolateBetweenRanks) {
    EXPECT_EQ(Percentile({3.0, 1.0, 2.0, 4.0}, 0.5), 2.5);
    EXPECT_EQ(Percentile({5.0}, 0.95), 5.0);
    EXPECT_EQ(Percentile({0.0, 10.0}, 0.95), 9.5);
    std::vector<double> ranks;
    for (int i = 21; i >= 1; --i) ranks.push_back(i);
    EXPECT_EQ(Percentile(ranks, 0.95), 20.0);  // rank 19 of 0..20
    EXPECT_EQ(Percentile({1.0, INF, INF}, 0.5), INF);
    EXPECT_EQ(Percentile({1.0, 2.0, INF}, 0.5), 2.0);
}

namespace {

long long TotalWeight(const std::vector<std::vector<long long>>& weight, const std::vector<int>& assigned) {
    long long total = 0;
    std::vector<bool> used(weight.empty() ? 0 : weight[0].size(), false);
    for (size_t r = 0; r < assigned.size(); ++r) {
        if (assigned[r] < 0) continue;
        EXPECT_FALSE(used[assigned[r]]) << "column assigned twice";
        used[assigned[r]] = true;
        total += weight[r][assigned[r]];
    }
    return total;
}

// Best total over every one-to-one assignment, by trying all column orders of the matrix
// padded square with zeros.
long long BruteForceBest(const std::vector<std::vector<long long>>& weight) {
    const size_t n = std::max(weight.size(), weight.empty() ? size_t(0) : weight[0].size());
    std::vector<int> order(n);
    for (size_t i = 0; i < n; ++i) order[i] = static_cast<int>(i);
    auto at = [&](size_t r, size_t c) { return r < weight.size() && c < weight[r].size() ? weight[r][c] : 0; };
    long long best = 0;
    do {
        long long total = 0;
        for (size_t r = 0; r < n; ++r) total += at(r, static_cast<size_t>(order[r]));
        best = std::max(best, total);
    } while (std::next_permutation(order.begin(), order.end()));
    return best;
}

unsigned state = 12345u;
long long NextWeight(unsigned range) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) % range;
}

}  // namespace

TEST(Assignment, FindsTheMaximumWeightAssignment) {
    // Greedy would take the 3 and be left with 0; the best is 2 + 2.
    EXPECT_EQ(AssignMaxWeight({{3, 2}, {2, 0}}), (std::vector<int>{1, 0}));
    // More rows than columns: one row stays unassigned.
    EXPECT_EQ(AssignMaxWeight({{1, 0}, {5, 1}, {0, 4}}), (std::vector<int>{-1, 0, 1}));
    // More columns than rows.
    EXPECT_EQ(AssignMaxWeight({{0, 0, 7}, {0, 6, 7}}), (std::vector<int>{2, 1}));
    EXPECT_TRUE(AssignMaxWeight({}).empty());

    // Square, wide and tall matrices.
    for (int trial = 0; trial < 30; ++trial) {
        const size_t rows = trial < 10 ? 6 : trial < 20 ? 3 : 7;
        const size_t cols = trial < 10 ? 6 : trial < 20 ? 7 : 2;
        std::vector<std::vector<long long>> weight(rows, std::vector<long long>(cols));
        for (auto& row : weight) {
            for (auto& w : row) w = NextWeight(50u);
        }
        EXPECT_EQ(TotalWeight(weight, AssignMaxWeight(weight)), BruteForceBest(weight)) << "trial " << trial;
    }
}

TEST(Assignment, SparsePairsReachTheBestOfTheWholeMatrix) {
    // Few pairs among 7 obstacle ids and 7 track ids (ids far apart), in several unlinked groups.
    for (int trial = 0; trial < 30; ++trial) {
        std::map<std::pair<int, int>, long long> pairs;
        std::vector<std::vector<long long>> weight(7, std::vector<long long>(7, 0));
        for (int k = 0; k < 9; ++k) {
            const int r = static_cast<int>(NextWeight(7u));
            const int c = static_cast<int>(NextWeight(7u));
            const long long w = 1 + NextWeight(20u);
            pairs[{r * 1000 + 3, c * 7919}] = w;
            weight[static_cast<size_t>(r)][static_cast<size_t>(c)] = w;
        }
        EXPECT_EQ(MaxAssignedWeight(pairs), BruteForceBest(weight)) << "trial " << trial;
    }
    EXPECT_EQ(MaxAssignedWeight({}), 0);
    // One obstacle against a new track identifier in every one of 10,000 frames: one row.
    std::map<std::pair<int, int>, long long> run;
    for (int t = 1; t <= 10000; ++t) run[{1, t}] = t == 5000 ? 2 : 1;
    EXPECT_EQ(MaxAssignedWeight(run), 2);
}

// Bounds on the work of IDF1: N obstacles and N tracks all in one place over four frames (counted
// in the fourth) give N x N overlapping pairs; 1,025 x 1,025 is past the 1,048,576 tallied.
TEST(Evaluation, OverlapsBeyondTheBoundStopTheEvaluationNamingTheFrame) {
    constexpr int N = 1025;
    std::vector<TruthRow> truth;
    std::vector<FrameResult> results = EmptyFrames(4);
    for (int f = 0; f < 4; ++f) {
        for (int i = 0; i < N; ++i) {
            truth.push_back(Truth(f, i, 10.0, -1.0, 1.0));
            results[f].tracks.push_back(Track(i, 3, 10.0, 0.0, 2.0));
        }
    }
    try {
        Evaluate(truth, results);
        ADD_FAILURE() << "scored";
    } catch (const EvaluationError& e) {
        EXPECT_EQ(std::string(e.what()), "frame 3: more than 1048576 pairs of an obstacle id and a trajectory pass the "
                                         "matching test, more than IDF1 is scored for");
    }
}

// A chain of 1,100 obstacle ids each linked to two of 1,101 trajectories is one group: about
// 1,100 x 1,100 x 1,101 = 1.33e9 steps, past the 2^30 allowed; one link fewer splits it in two
// groups of 550 x 551 and 550 x 550, each paired in full.
TEST(Assignment, AGroupBeyondTheStepBoundIsRefusedNamingItsSize) {
    std::map<std::pair<int, int>, long long> chain;
    for (int i = 0; i < 1100; ++i) {
        chain[{i, i}] = 2;
        chain[{i, i + 1}] = 1;
    }
    try {
        MaxAssignedWeight(chain);
        ADD_FAILURE() << "assigned";
    } catch (const std::length_error& e) {
        EXPECT_EQ(std::string(e.what()), "IDF1's assignment: 1100 true obstacles and 1101 trajectories linked by overlaps "
                                         "take about 1332210000 steps to pair, more than 1073741824");
    }
    chain.erase({549, 550});
    EXPECT_EQ(MaxAssignedWeight(chain), 2 * 1100);
}
