// Time per frame of the detector, stage by stage and whole, beside the straightforward stages it
// must match, on the embedded scene (one picture, every frame) and on the moving scene; and the
// floor: one row-major pass that decodes every pixel of the picture once.
//
//   ./build/bench/obstacle-bench
//
// Every benchmark iteration is one frame. After the table a summary gives each whole frame as
// milliseconds, frames per second and a multiple of the floor, and the speed-up of the fast frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "ColorMap.h"
#include "GoldenRun.h"
#include "ObjectDetection.h"
#include "ReferenceStages.h"
#include "RunDriver.h"
#include "images.h"

namespace {

using Pictures = std::vector<std::vector<unsigned char>>;

const Pictures& EmbeddedPictures() {
    static const Pictures pictures{std::vector<unsigned char>(bmpdata_disparity, bmpdata_disparity + sizeof bmpdata_disparity)};
    return pictures;
}

const Pictures& MovingPictures() {
    static const Pictures pictures = [] {
        const scene::Scene moving = golden::MovingScene();
        Pictures all;
        for (int k = 0; k < moving.frames; ++k) all.push_back(golden::ScenePicture(moving, k));
        return all;
    }();
    return pictures;
}

const Pictures& ScenePictures(int scene) { return scene == 0 ? EmbeddedPictures() : MovingPictures(); }

const char* const SCENE_NAMES[] = {"embedded", "moving"};

// The detection stages, then track association, which the frame runs after them.
constexpr int STAGE_COUNT = 6;
constexpr int ASSOCIATION_STAGE = 5;
using Stage = void (*)(RunState&);
const char* const STAGE_NAMES[STAGE_COUNT] = {"RoadDisparityMap", "RoadProfile",  "OccupancyGrid",
                                              "GridSmoothing",    "GroupObjects", "TrackAssociation"};

const Stage FAST_STAGES[ASSOCIATION_STAGE] = {RoadDisparityMap, RoadProfile, OccupancyGrid, GridSmoothing,
                                              GroupObjects};
const Stage STRAIGHT_STAGES[ASSOCIATION_STAGE] = {reference::RoadDisparityMap, RoadProfile, reference::OccupancyGrid,
                                                  reference::GridSmoothing, reference::GroupObjects};

// Frames per stage benchmark: a stage of a few microseconds would otherwise run whole frames
// until its own time added up to the minimum.
constexpr int STAGE_FRAMES = 120;

const Stage* StagesOf(bool fast) { return fast ? FAST_STAGES : STRAIGHT_STAGES; }

void CountFrames(benchmark::State& state) {
    state.counters["fps"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}

// Whole frames, one per iteration: the picture loaded, then runFrame. The pictures repeat in a
// loop; the tracks run on across the jump back to the first picture.
template <typename RunFrame>
void EveryFrame(benchmark::State& state, int scene, RunFrame runFrame) {
    const Pictures& pictures = ScenePictures(scene);
    RunState run;
    size_t k = 0;
    for (auto _ : state) {
        golden::LoadPicture(run, pictures[k].data());
        runFrame(run);
        k = (k + 1) % pictures.size();
    }
    CountFrames(state);
}

// The detection stages of one frame, each in its fast or straightforward form.
DetectionStages DetectionOf(bool fast) { return fast ? DetectObstacles : reference::DetectObstacles; }

// The whole frame: the detection stages and track association.
void Frame(benchmark::State& state, int scene, bool fast) {
    const DetectionStages detect = DetectionOf(fast);
    EveryFrame(state, scene, [&](RunState& run) { ProcessFrame(run, nullptr, detect); });
}

// Processor time of this thread in seconds: the stages are timed as the whole frames are, without
// the time other processes take from the shared machine.
double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// One stage timed inside whole frames, so that it always sees what the earlier stages left. Track
// association, the last stage, runs from the end of detection to the end of the frame.
void OneStage(benchmark::State& state, int scene, bool fast, int stage) {
    const Stage* stages = StagesOf(fast);
    double start = 0.0;
    const DetectionStages detect = [&](RunState& run) {
        for (int s = 0; s < ASSOCIATION_STAGE; ++s) {
            if (s == stage) start = ThreadSeconds();
            stages[s](run);
            if (s == stage) state.SetIterationTime(ThreadSeconds() - start);
        }
    };
    const DetectionView associationStart = [&](const RunState&) { start = ThreadSeconds(); };
    EveryFrame(state, scene, [&](RunState& run) {
        if (stage != ASSOCIATION_STAGE) {
            ProcessFrame(run, nullptr, detect);
            return;
        }
        ProcessFrame(run, nullptr, detect, associationStart);
        state.SetIterationTime(ThreadSeconds() - start);
    });
}

// The unavoidable work of a frame: every pixel decoded once, row by row, into a reused buffer.
void Floor(benchmark::State& state, int scene) {
    std::vector<double> decoded(TOTAL_PIXELS);
    EveryFrame(state, scene, [&](RunState& run) {
        for (int v = 0; v < run.geometry.height; ++v) {
            const uchar* pixel = run.src_img_colorD.ptr(v);
            for (int u = 0; u < run.geometry.width; ++u, pixel += 3) {
                const ColorSet colorSet{pixel[2], pixel[1], pixel[0]};
                decoded[PIXEL(u, v, run.geometry.width)] = ColorToValue(&colorSet, 2);
            }
        }
        benchmark::DoNotOptimize(decoded.data());
    });
}

std::string Name(const char* what, int scene, bool fast) {
    return std::string(what) + "/" + SCENE_NAMES[scene] + (fast ? "/fast" : "/straightforward");
}

void RegisterAll() {
    for (int scene = 0; scene < 2; ++scene) {
        benchmark::RegisterBenchmark((std::string("Floor/") + SCENE_NAMES[scene]).c_str(), Floor, scene)
            ->Unit(benchmark::kMillisecond);
        for (bool fast : {false, true}) {
            benchmark::RegisterBenchmark(Name("Frame", scene, fast).c_str(), Frame, scene, fast)
                ->Unit(benchmark::kMillisecond);
            for (int stage = 0; stage < STAGE_COUNT; ++stage) {
                benchmark::RegisterBenchmark(Name(STAGE_NAMES[stage], scene, fast).c_str(), OneStage, scene, fast,
                                             stage)
                    ->UseManualTime()
                    ->Iterations(STAGE_FRAMES)
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
}

// Collects the processor time per frame of every run for the summary; with repetitions, their
// median, which comes after them.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Iteration || median) msPerFrame[run.run_name.str()] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Each whole frame in milliseconds, frames per second, as a multiple of the floor, and the
    // fast frame's speed-up over the straightforward one.
    void PrintSummary() const {
        std::printf("\n%-10s %-16s %10s %8s %9s %9s\n", "scene", "frame", "ms/frame", "fps", "x floor", "speed-up");
        for (int scene = 0; scene < 2; ++scene) {
            const double floor = Find("Floor/" + std::string(SCENE_NAMES[scene]));
            const double straight = Find(Name("Frame", scene, false));
            for (bool fast : {false, true}) {
                const double frame = Find(Name("Frame", scene, fast));
                if (!(frame > 0.0)) continue;
                std::printf("%-10s %-16s %10.3f %8.1f %9.1f", SCENE_NAMES[scene], fast ? "fast" : "straightforward",
                            frame, 1000.0 / frame, frame / floor);
                if (fast) std::printf(" %9.2f", straight / frame);
                std::printf("\n");
            }
        }
    }

private:
    // The time of a run, not a number when it did not run.
    double Find(const std::string& name) const {
        const auto run = msPerFrame.find(name);
        return run == msPerFrame.end() ? std::nan("") : run->second;
    }

    std::map<std::string, double> msPerFrame;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RegisterAll();
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
    benchmark::Shutdown();
    return 0;
}
