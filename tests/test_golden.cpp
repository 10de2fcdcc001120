// Golden record of the detector's results. Every frame's V-disparity peaks, road rows, thresholds,
// grid cells, detections and tracks (every field, bit for bit) are digested, frame after frame,
// into one value per run. The recorded values come from the straightforward stages, before any
// stage was made faster, and are the same on x86-64 and on 32-bit ARM. A change that alters the
// results on purpose records the new values in the same commit and says why.
//
// Besides the rendered scenes, a real street (KITTI's residential recording) reaches paths that
// synthetic texture does not: resampled into the default camera's colour-coded picture, and in
// its own 16-bit disparities through KITTI's camera at native size, as obstacle-track runs it.
// Its licence keeps it out of the repository: it is read from KITTI_DIR and the tests are skipped
// where it is missing. They read it through obstacle-track's file input, and are built with it.
//
// Beside the digests, tests/golden/<run>.txt records every frame of each run as text: a line with
// the digest of each stage's outputs, then a line per track (identifier, trajectory number,
// distance, lateral position and width to 1e-6). A change shows there as a diff a reviewer can
// read, the first stage line that differs naming the frame and stage that moved. After an
// intended change, write the records anew and review them with git diff:
//     OBSTACLE_WRITE_GOLDEN_RECORDS=1 ctest --test-dir build -R GoldenRecord
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "GoldenRun.h"
#include "ReferenceStages.h"
#include "RunDriver.h"
#include "StageCompare.h"
#include "images.h"
#if WITH_OBSTACLE_TRACK
#include "FrameReport.h"
#include "Street.h"
#include "TrajectoryNumbers.h"
#endif

namespace {

constexpr uint64_t EMBEDDED_RUN_DIGEST = 0xDA0DA81BC751D69Dull;
constexpr uint64_t MOVING_RUN_DIGEST = 0xC33546BB4AFF40D0ull;
#if WITH_OBSTACLE_TRACK
constexpr uint64_t REAL_STREET_DIGEST = 0xEA777145D8F96691ull;
constexpr uint64_t KITTI_CAMERA_DIGEST = 0xC1440DC9B3C61A36ull;
#endif

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%016" PRIX64, value);
    return text;
}

// A golden run: the camera, the frames, and how frame k is put into a run. The runs made keep a
// reference to the camera, and a file source to it too, so a source stays where it was filled.
struct GoldenSource {
    GoldenSource() = default;
    GoldenSource(const GoldenSource&) = delete;
    GoldenSource& operator=(const GoldenSource&) = delete;

    Camera camera = DEFAULT_CAMERA;
    int frames = 0;
    std::function<void(int k, RunState& run)> load;
    std::string missing;  // why the run cannot be made on this machine; empty when it can
};

// Pictures of the embedded kind through the default camera. The last frame's picture is kept, so
// that loading one frame into two runs makes it once.
void LoadPictures(GoldenSource& source, int frames, std::function<std::vector<unsigned char>(int k)> pictureOf) {
    source.frames = frames;
    auto last = std::make_shared<std::pair<int, std::vector<unsigned char>>>(-1, std::vector<unsigned char>());
    source.load = [pictureOf, last](int k, RunState& run) {
        if (last->first != k) *last = {k, pictureOf(k)};
        golden::LoadPicture(run, last->second.data());
    };
}

void EmbeddedRun(GoldenSource& source) {
    const std::vector<unsigned char> picture(bmpdata_disparity, bmpdata_disparity + sizeof bmpdata_disparity);
    LoadPictures(source, END_FRAME - START_FRAME + 1, [picture](int) { return picture; });
}

void MovingScene(GoldenSource& source) {
    auto moving = std::make_shared<scene::Scene>(golden::MovingScene());
    LoadPictures(source, moving->frames, [moving](int k) { return golden::ScenePicture(*moving, k); });
}

#if WITH_OBSTACLE_TRACK
void RealStreet(GoldenSource& source) {
    std::vector<unsigned char> rows;
    if (!street::VirtualCameraPicture(1, rows, source.missing)) return;
    LoadPictures(source, street::VIRTUAL_CAMERA_FRAMES, [](int k) {
        std::vector<unsigned char> picture;
        std::string error;
        EXPECT_TRUE(street::VirtualCameraPicture(k + 1, picture, error)) << error;
        return picture;
    });
}

void KittiCamera(GoldenSource& source) {
    if (street::KittiCameraMissing(source.missing)) return;
    street::KittiCameraRun kitti;
    std::string error;
    ASSERT_TRUE(street::SettleKittiCameraRun(kitti, error)) << error;
    ASSERT_EQ(kitti.camera.width_pix, 1226);
    source.camera = kitti.camera;
    source.frames = kitti.options.last - kitti.options.first + 1;
    const TrackOptions& options = kitti.options;
    auto files = std::make_shared<FileFrames>(source.camera,
                                              FramePatterns{options.disparityPattern, "", options.disparityScale, false});
    auto names = std::make_shared<FrameNames>();
    InitialNames(*names);
    const int first = options.first;
    source.load = [files, names, first](int k, RunState& run) {
        std::string error;
        ASSERT_TRUE(files->LoadDisparity(*names, first + k, run, error)) << error;
    };
}
#endif

// Runs the detector and the straightforward stages side by side through the source's first
// `frames` frames; every frame must agree. Where a frame differs, the frames up to it run again
// stage by stage and the failure names the first stage and field that parted. Returns the chained
// frame digests.
uint64_t ExpectFormsAgree(const GoldenSource& source, int frames) {
    const golden::LoadBoth load = [&source](int k, RunState& fast, RunState& straight) {
        source.load(k, fast);
        source.load(k, straight);
    };
    RunState fast(source.camera);
    RunState straight(source.camera);
    golden::Digest run;
    for (int k = 0; k < frames; ++k) {
        load(k, fast, straight);
        const uint64_t fastFrame = golden::RunLoadedFrame(fast, DetectObstacles);
        const uint64_t straightFrame = golden::RunLoadedFrame(straight, reference::DetectObstacles);
        if (fastFrame != straightFrame) {
            const std::string where = golden::FirstDifference(source.camera, k + 1, load, golden::FrameStages());
            ADD_FAILURE() << "frame " << k << " differs from the straightforward stages: "
                          << (where.empty() ? "no stage differs when they run one by one" : where);
            break;
        }
        run.Add(fastFrame);
    }
    return run.Value();
}

// Every frame of the source agrees in both forms, and the chained frame digests match the record.
void ExpectGoldenRun(const GoldenSource& source, uint64_t recorded) {
    if (!source.missing.empty()) GTEST_SKIP() << source.missing;
    EXPECT_EQ(Hex(ExpectFormsAgree(source, source.frames)), Hex(recorded))
        << "the run no longer gives the record; GoldenRecord shows the frame and stage that moved";
}

}  // namespace

TEST(Golden, EmbeddedRunMatchesTheRecord) {
    GoldenSource source;
    EmbeddedRun(source);
    ExpectGoldenRun(source, EMBEDDED_RUN_DIGEST);
}

TEST(Golden, MovingSceneMatchesTheRecord) {
    GoldenSource source;
    MovingScene(source);
    ExpectGoldenRun(source, MOVING_RUN_DIGEST);
}

#if WITH_OBSTACLE_TRACK
TEST(Golden, RealStreetMatchesTheRecord) {
    GoldenSource source;
    RealStreet(source);
    ExpectGoldenRun(source, REAL_STREET_DIGEST);
}

// The first frames of the street through KITTI's camera, where the stages meet its own 16-bit
// disparities; the whole run is in the slow tier, and every frame of the detector's run in its
// text record.
TEST(Golden, KittiCameraFirstFramesMatchTheStraightforwardStages) {
    GoldenSource source;
    KittiCamera(source);
    if (!source.missing.empty()) GTEST_SKIP() << source.missing;
    ExpectFormsAgree(source, std::min(source.frames, 5));
}

TEST(GoldenSlow, KittiCameraRunMatchesTheRecord) {
    GoldenSource source;
    KittiCamera(source);
    ExpectGoldenRun(source, KITTI_CAMERA_DIGEST);
}

namespace {

// The record's first line, saying what the others hold.
const char* const RECORD_HEADER =
    "# frame k stages: each stage and the digest of its outputs; frame k track: id, trajectory, distance_m, "
    "lateral_m, width_m";

// Every frame of the run through the detector's stages as text: the stages' digests, then a line
// per track.
std::vector<std::string> TextRecord(const GoldenSource& source) {
    std::vector<std::string> lines = {RECORD_HEADER};
    RunState run(source.camera);
    TrajectoryNumbers trajectories;
    const std::vector<golden::FrameStage> stages = golden::FrameStages();
    for (int k = 0; k < source.frames; ++k) {
        source.load(k, run);
        AssociationRecord record;
        const std::vector<uint64_t> digests = golden::RunStages(run, stages, golden::Form::Fast, &record);
        trajectories.Update(run.preObject, record);
        std::string line = "frame " + std::to_string(k) + " stages";
        for (size_t s = 0; s < stages.size(); ++s) line += std::string(" ") + stages[s].name + " " + Hex(digests[s]);
        lines.push_back(line);
        for (const TrackingObject& t : run.preObject) {
            char text[200];
            std::snprintf(text, sizeof text, "frame %d track id %d trajectory %d distance_m %.6f lateral_m %.6f width_m %.6f",
                          k, t.m_id, trajectories.Of(t.m_id), t.m_Z_m, t.m_X_m, t.m_w_m);
            lines.push_back(text);
        }
    }
    return lines;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The first five lines where two records differ, each as recorded (-) and as now (+), as a
// reviewer reads a diff; empty when they agree.
std::string DifferingLines(const std::vector<std::string>& recorded, const std::vector<std::string>& now) {
    std::string text;
    int shown = 0;
    for (size_t n = 0; n < std::max(recorded.size(), now.size()) && shown < 5; ++n) {
        const std::string was = n < recorded.size() ? recorded[n] : "(no line)";
        const std::string is = n < now.size() ? now[n] : "(no line)";
        if (was == is) continue;
        text += "\nline " + std::to_string(n + 1) + ":\n- " + was + "\n+ " + is;
        ++shown;
    }
    return text;
}

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

// The first frame whose stage digests differ, and its first stage that moved ("frame k, stage S"),
// found in the stage lines ("frame k stages S1 digest1 S2 digest2 ..."); empty when none differ.
std::string FirstMovedStage(const std::vector<std::string>& recorded, const std::vector<std::string>& now) {
    for (size_t n = 0; n < recorded.size() && n < now.size(); ++n) {
        const std::vector<std::string> was = Words(recorded[n]);
        const std::vector<std::string> is = Words(now[n]);
        if (was.size() < 3 || was[2] != "stages" || was == is) continue;
        for (size_t w = 3; w + 1 < was.size() && w + 1 < is.size(); w += 2) {
            if (was[w + 1] != is[w + 1]) return "frame " + was[1] + ", stage " + was[w] + " moved first";
        }
    }
    return "";
}

struct RecordedRun {
    const char* name;  // the record is tests/golden/<name>.txt
    void (*make)(GoldenSource& source);
};

void PrintTo(const RecordedRun& run, std::ostream* out) { *out << run.name; }

class GoldenRecord : public testing::TestWithParam<RecordedRun> {};

}  // namespace

TEST_P(GoldenRecord, EveryFrameMatchesTheTextRecord) {
    GoldenSource source;
    GetParam().make(source);
    if (!source.missing.empty()) GTEST_SKIP() << source.missing;
    const std::string path = std::string(SOURCE_DIR) + "/tests/golden/" + GetParam().name + ".txt";
    const std::vector<std::string> now = TextRecord(source);
    if (std::getenv("OBSTACLE_WRITE_GOLDEN_RECORDS") != nullptr) {
        std::ofstream out(path);
        for (const std::string& line : now) out << line << '\n';
        ASSERT_TRUE(out.flush()) << "cannot write " << path;
        GTEST_SKIP() << "wrote " << path << "; review it with git diff";
    }
    const std::vector<std::string> recorded = ReadLines(path);
    ASSERT_FALSE(recorded.empty()) << "no record at " << path;
    const std::string differences = DifferingLines(recorded, now);
    const std::string moved = FirstMovedStage(recorded, now);
    EXPECT_TRUE(differences.empty()) << path << " differs from this run" << (moved.empty() ? "" : ": " + moved)
                                     << differences;
}

INSTANTIATE_TEST_SUITE_P(Runs, GoldenRecord,
                         testing::Values(RecordedRun{"embedded_run", EmbeddedRun}, RecordedRun{"moving_scene", MovingScene},
                                         RecordedRun{"real_street", RealStreet}, RecordedRun{"kitti_camera", KittiCamera}),
                         [](const testing::TestParamInfo<RecordedRun>& info) { return std::string(info.param.name); });
#endif
