// Time of the evaluator's scoring on long runs, where the identity assignment behind IDF1 meets
// many identifiers: one obstacle followed through N frames by a track that takes a new
// identifier every frame, and N obstacles one after the other, each followed by a track of its
// own.
//
//   ./build/bench/eval-bench
#include <benchmark/benchmark.h>

#include <vector>

#include "Evaluation.h"

namespace {

TruthRow Truth(int frame, int id) { return TruthRow{frame, id, 10.0, -0.5, 0.5, 0.0, 1.5, 0.0, 0.0, true}; }

TrackReport Track(int id) { return TrackReport{id, 5, 10.0, 0.0, 1.0, 0.0}; }

void Score(benchmark::State& state, const std::vector<TruthRow>& truth, const std::vector<FrameResult>& results) {
    for (auto _ : state) benchmark::DoNotOptimize(Evaluate(truth, results));
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(results.size()));
}

void NewTrackIdentifierEveryFrame(benchmark::State& state) {
    std::vector<TruthRow> truth;
    std::vector<FrameResult> results;
    for (int f = 1; f <= state.range(0); ++f) {
        truth.push_back(Truth(f, 1));
        results.push_back(FrameResult{f, {Track(f)}});
    }
    Score(state, truth, results);
}

void NewObstacleAndTrackEveryFrame(benchmark::State& state) {
    std::vector<TruthRow> truth;
    std::vector<FrameResult> results;
    for (int f = 1; f <= state.range(0); ++f) {
        // Counted from the fourth eligible frame: frames 1-3 of each obstacle before its frame.
        for (int k = 0; k < COUNTED_FROM_FRAME; ++k) truth.push_back(Truth(4 * f + k, f));
        for (int k = 0; k < COUNTED_FROM_FRAME; ++k) results.push_back(FrameResult{4 * f + k, {Track(f)}});
    }
    Score(state, truth, results);
}

}  // namespace

BENCHMARK(NewTrackIdentifierEveryFrame)->Arg(1000)->Arg(2000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(NewObstacleAndTrackEveryFrame)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
