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
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "GoldenRun.h"
#include "ObjectDetection.h"
#include "ReferenceStages.h"
#include "RunDriver.h"
#include "images.h"
#if WITH_OBSTACLE_TRACK
#include "Street.h"
#endif

namespace {

constexpr uint64_t EMBEDDED_RUN_DIGEST = 0xDA0DA81BC751D69Dull;
constexpr uint64_t MOVING_RUN_DIGEST = 0xC33546BB4AFF40D0ull;
#if WITH_OBSTACLE_TRACK
constexpr uint64_t REAL_STREET_DIGEST = 0xEA777145D8F96691ull;
constexpr uint64_t KITTI_CAMERA_DIGEST = 0x15A809D33AEA3B9Cull;
#endif

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%016" PRIX64, value);
    return text;
}

// Runs the detector and the straightforward stages side by side through the camera, each frame k
// loaded into both runs by load(k, fast, straight); every frame must agree, and the chained frame
// digests of both must match the record.
template <typename Load>
void ExpectGoldenRun(const Camera& camera, int frames, Load load, uint64_t recorded) {
    RunState fast(camera);
    RunState straight(camera);
    golden::Digest fastRun;
    golden::Digest straightRun;
    for (int k = 0; k < frames; ++k) {
        load(k, fast, straight);
        const uint64_t fastFrame = golden::RunLoadedFrame(fast, DetectObstacles);
        const uint64_t straightFrame = golden::RunLoadedFrame(straight, reference::DetectObstacles);
        ASSERT_EQ(Hex(fastFrame), Hex(straightFrame)) << "frame " << k << " differs from the straightforward stages";
        fastRun.Add(fastFrame);
        straightRun.Add(straightFrame);
    }
    EXPECT_EQ(Hex(straightRun.Value()), Hex(recorded)) << "the straightforward stages no longer give the record";
    EXPECT_EQ(Hex(fastRun.Value()), Hex(recorded));
}

// The same over pictures of the embedded kind through the default camera.
template <typename PictureOf>
void ExpectGoldenPictures(int frames, PictureOf pictureOf, uint64_t recorded) {
    const auto load = [&](int k, RunState& fast, RunState& straight) {
        const std::vector<unsigned char> picture = pictureOf(k);
        golden::LoadPicture(fast, picture.data());
        golden::LoadPicture(straight, picture.data());
    };
    ExpectGoldenRun(DEFAULT_CAMERA, frames, load, recorded);
}

}  // namespace

TEST(Golden, EmbeddedRunMatchesTheRecord) {
    const std::vector<unsigned char> picture(bmpdata_disparity, bmpdata_disparity + sizeof bmpdata_disparity);
    ExpectGoldenPictures(END_FRAME - START_FRAME + 1, [&](int) { return picture; }, EMBEDDED_RUN_DIGEST);
}

TEST(Golden, MovingSceneMatchesTheRecord) {
    const scene::Scene moving = golden::MovingScene();
    ExpectGoldenPictures(moving.frames, [&](int k) { return golden::ScenePicture(moving, k); }, MOVING_RUN_DIGEST);
}

#if WITH_OBSTACLE_TRACK
TEST(Golden, RealStreetMatchesTheRecord) {
    std::vector<unsigned char> rows;
    std::string error;
    if (!street::VirtualCameraPicture(1, rows, error)) GTEST_SKIP() << error;
    const auto pictureOf = [&](int k) {
        EXPECT_TRUE(street::VirtualCameraPicture(k + 1, rows, error)) << error;
        return rows;
    };
    ExpectGoldenPictures(street::VIRTUAL_CAMERA_FRAMES, pictureOf, REAL_STREET_DIGEST);
}

TEST(Golden, KittiCameraRunMatchesTheRecord) {
    street::KittiCameraRun kitti;
    std::string error;
    if (street::KittiCameraMissing(error)) GTEST_SKIP() << error;
    ASSERT_TRUE(street::SettleKittiCameraRun(kitti, error)) << error;
    const TrackOptions& options = kitti.options;
    const Camera& camera = kitti.camera;
    ASSERT_EQ(camera.width_pix, 1226);
    FileFrames source(camera, {options.disparityPattern, "", options.disparityScale, false});
    FrameNames names;
    InitialNames(names);
    const auto load = [&](int k, RunState& fast, RunState& straight) {
        for (RunState* run : {&fast, &straight}) {
            ASSERT_TRUE(source.LoadDisparity(names, options.first + k, *run, error)) << error;
        }
    };
    ExpectGoldenRun(camera, options.last - options.first + 1, load, KITTI_CAMERA_DIGEST);
}
#endif
