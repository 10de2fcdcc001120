// Time per frame of the detector, stage by stage and whole, beside the straightforward stages it
// must match, on the embedded scene (one picture, every frame), on the moving scene, on the real
// street resampled into the default camera's colour-coded picture, and on the real street through
// KITTI's camera at native size (its 16-bit disparities; the street is read from KITTI_DIR and its
// scenes are left out with a message where it is missing); and two floors: the frame's disparities
// decoded (a colour picture through the road stage's table decode, given values limited as the
// stages take them) into the working buffer, and the frame's picture read once. Detector/<scene>
// is the whole frame through the public interface (obstacle/Detector.h), as a program hands it
// its pictures: colour-coded ones three bytes a pixel, values as floats.
//
//   ./build/bench/obstacle-bench
//
// Every benchmark iteration is one frame. After the table a summary gives each whole frame as
// milliseconds, frames per second and a multiple of each floor, and the speed-up of the fast frame.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "FileFrames.h"
#include "GoldenRun.h"
#include "GridSmoothing.h"
#include "GroupObjects.h"
#include "images.h"
#include "OccupancyGrid.h"
#include "PublicRecords.h"
#include "ReferenceStages.h"
#include "RoadDisparityMap.h"
#include "RoadProfile.h"
#include "RunDriver.h"
#include "Street.h"
#include "TrackAssociation.h"

namespace {

// The frames of one scene, through its camera: colour-coded pictures as embedded (bottom-up rows of
// blue, green, red, unused), or disparity values as a value source gives them.
struct BenchScene {
    explicit BenchScene(std::string sceneName) : name(std::move(sceneName)) {}
    std::string name;
    Camera camera = DEFAULT_CAMERA;
    std::vector<std::vector<unsigned char>> pictures;
    std::vector<std::vector<double>> values;
    size_t Frames() const { return pictures.empty() ? values.size() : pictures.size(); }
};

// Frames of the KITTI camera scene: enough for the tracks to settle, few enough to keep in memory.
constexpr int KITTI_CAMERA_FRAMES = 10;

BenchScene EmbeddedScene() {
    BenchScene scene("embedded");
    scene.pictures.emplace_back(bmpdata_disparity, bmpdata_disparity + sizeof bmpdata_disparity);
    return scene;
}

BenchScene MovingScene() {
    BenchScene scene("moving");
    const scene::Scene moving = golden::MovingScene();
    for (int k = 0; k < moving.frames; ++k) scene.pictures.push_back(golden::ScenePicture(moving, k));
    return scene;
}

// Empty, with the reason on standard error, where the street is missing.
BenchScene StreetScene() {
    BenchScene scene("street");
    std::vector<unsigned char> rows;
    std::string error;
    for (int k = 1; k <= street::VIRTUAL_CAMERA_FRAMES; ++k) {
        if (!street::VirtualCameraPicture(k, rows, error)) {
            std::fprintf(stderr, "street scene left out: %s\n", error.c_str());
            return BenchScene("street");
        }
        scene.pictures.push_back(rows);
    }
    return scene;
}

BenchScene KittiCameraScene() {
    BenchScene scene("kitti");
    street::KittiCameraRun kitti;
    std::string error;
    if (street::KittiCameraMissing(error) || !street::SettleKittiCameraRun(kitti, error)) {
        std::fprintf(stderr, "kitti scene left out: %s\n", error.c_str());
        return scene;
    }
    scene.camera = kitti.camera;
    FileFrames source(kitti.camera, {kitti.options.disparityPattern, "", kitti.options.disparityScale, false});
    FrameNames names;
    InitialNames(names);
    RunState run(kitti.camera);
    for (int frame = kitti.options.first; frame < kitti.options.first + KITTI_CAMERA_FRAMES; ++frame) {
        if (!source.LoadDisparity(names, frame, run, error)) {
            std::fprintf(stderr, "kitti scene left out: %s\n", error.c_str());
            return BenchScene("kitti");
        }
        scene.values.push_back(run.measuredDisparity);
    }
    return scene;
}

const std::vector<BenchScene>& Scenes() {
    static const std::vector<BenchScene> scenes{EmbeddedScene(), MovingScene(), StreetScene(), KittiCameraScene()};
    return scenes;
}

// Frame k of the scene into the run, as its frame source loads it.
void LoadFrame(const BenchScene& scene, size_t k, RunState& run) {
    if (!scene.pictures.empty()) {
        golden::LoadPicture(run, scene.pictures[k].data());
        return;
    }
    run.disparityValuesGiven = true;
    std::copy(scene.values[k].begin(), scene.values[k].end(), run.measuredDisparity.begin());
}

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
void EveryFrame(benchmark::State& state, int sceneIndex, RunFrame runFrame) {
    const BenchScene& scene = Scenes()[static_cast<size_t>(sceneIndex)];
    RunState run(scene.camera);
    size_t k = 0;
    for (auto _ : state) {
        LoadFrame(scene, k, run);
        runFrame(run);
        k = (k + 1) % scene.Frames();
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

// The scene's frames as a program holds them for the Detector: colour-coded pictures three bytes
// a pixel, top row first; values as floats (those of the scenes here are exact in a float).
struct HeldFrames {
    explicit HeldFrames(const BenchScene& scene) {
        const Camera& c = scene.camera;
        for (const std::vector<unsigned char>& picture : scene.pictures) {
            colours.push_back(golden::TopDownColours(picture.data(), c.height_pix, c.width_pix));
            views.push_back(obstacle::ColourCodedDisparity(colours.back().data(), c.height_pix, c.width_pix,
                                                           c.width_pix * std::ptrdiff_t{3}));
        }
        for (const std::vector<double>& frame : scene.values) {
            values.emplace_back(frame.begin(), frame.end());
            views.push_back(obstacle::FloatDisparity(values.back().data(), c.height_pix, c.width_pix,
                                                     c.width_pix * static_cast<std::ptrdiff_t>(sizeof(float))));
        }
    }
    std::deque<std::vector<unsigned char>> colours;  // a deque keeps the views' pixels where they are
    std::deque<std::vector<float>> values;
    std::vector<obstacle::DisparityView> views;
};

// The whole frame through the public Detector, the handover of the caller's picture included.
void DetectorFrame(benchmark::State& state, int sceneIndex) {
    const BenchScene& scene = Scenes()[static_cast<size_t>(sceneIndex)];
    const HeldFrames held(scene);
    obstacle::Detector detector(PublicCamera(scene.camera));
    size_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(detector.Process(held.views[k]));
        k = (k + 1) % held.views.size();
    }
    CountFrames(state);
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

// A floor's own work on each loaded frame, timed without the loading.
template <typename Work>
void FloorOf(benchmark::State& state, int scene, Work work) {
    EveryFrame(state, scene, [&](RunState& run) {
        const double start = ThreadSeconds();
        work(run);
        state.SetIterationTime(ThreadSeconds() - start);
    });
}

// The frame's disparities decoded into the working buffers, as the road stage begins.
void DecodeFloor(benchmark::State& state, int scene) {
    FloorOf(state, scene, [](RunState& run) {
        if (run.disparityValuesGiven) {
            LimitGivenDisparities(run.geometry, run.measuredDisparity.data());
        } else {
            DecodePictureCodes(run.geometry, DisparityPictureOf(run), run.disparityCodes.data(), run.roadClasses.data(),
                               run.scratch.columnCounts.data());
        }
        benchmark::DoNotOptimize(run.measuredDisparity.data());
        benchmark::DoNotOptimize(run.disparityCodes.data());
    });
}

// Every byte of the frame's picture read once: the colour picture's pixel rows, or the values.
void ReadFloor(benchmark::State& state, int scene) {
    FloorOf(state, scene, [](RunState& run) {
        const bool values = run.disparityValuesGiven;
        const unsigned char* bytes = values ? reinterpret_cast<const unsigned char*>(run.measuredDisparity.data())
                                            : run.src_img_colorD.data;
        const size_t length = values ? run.measuredDisparity.size() * sizeof(double)
                                     : static_cast<size_t>(run.src_img_colorD.rows) * run.src_img_colorD.step[0];
        uint32_t sum = 0;
        for (size_t i = 0; i < length; ++i) sum += bytes[i];
        benchmark::DoNotOptimize(sum);
    });
}

const char* SceneName(int scene) { return Scenes()[static_cast<size_t>(scene)].name.c_str(); }

std::string Name(const char* what, int scene, bool fast) {
    return std::string(what) + "/" + SceneName(scene) + (fast ? "/fast" : "/straightforward");
}

std::string FloorName(const char* what, int scene) { return std::string(what) + "/" + SceneName(scene); }

int SceneCount() { return static_cast<int>(Scenes().size()); }

void RegisterAll() {
    for (int scene = 0; scene < SceneCount(); ++scene) {
        if (Scenes()[static_cast<size_t>(scene)].Frames() == 0) continue;
        benchmark::RegisterBenchmark(FloorName("Decode", scene).c_str(), DecodeFloor, scene)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(FloorName("Read", scene).c_str(), ReadFloor, scene)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(FloorName("Detector", scene).c_str(), DetectorFrame, scene)
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

// Collects the processor time per frame of every run for the summary (a run timed by hand reports
// it as its real time); with repetitions, their median, which comes after them.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median) continue;
            const bool manual = run.run_name.time_type == "manual_time";
            msPerFrame[run.run_name.function_name] = manual ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Each whole frame in milliseconds, frames per second, as a multiple of each floor, and the
    // fast frame's speed-up over the straightforward one.
    void PrintSummary() const {
        std::printf("\n%-10s %-16s %10s %8s %9s %9s %9s\n", "scene", "frame", "ms/frame", "fps", "x decode", "x read",
                    "speed-up");
        for (int scene = 0; scene < SceneCount(); ++scene) {
            const double decode = Find(FloorName("Decode", scene));
            const double read = Find(FloorName("Read", scene));
            const double straight = Find(Name("Frame", scene, false));
            for (bool fast : {false, true}) {
                const double frame = Find(Name("Frame", scene, fast));
                if (!(frame > 0.0)) continue;
                std::printf("%-10s %-16s %10.3f %8.1f %9.1f %9.1f", SceneName(scene), fast ? "fast" : "straightforward",
                            frame, 1000.0 / frame, frame / decode, frame / read);
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
