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
// where it is missing.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "FileFrames.h"
#include "GoldenRun.h"
#include "ObjectDetection.h"
#include "ReferenceStages.h"
#include "RunDriver.h"
#include "TrackOptions.h"
#include "TrackSetup.h"
#include "images.h"

namespace {

constexpr uint64_t EMBEDDED_RUN_DIGEST = 0xDA0DA81BC751D69Dull;
constexpr uint64_t MOVING_RUN_DIGEST = 0xC33546BB4AFF40D0ull;
constexpr uint64_t REAL_STREET_DIGEST = 0xEA777145D8F96691ull;
constexpr uint64_t KITTI_CAMERA_DIGEST = 0xB948333F687EB744ull;

constexpr int REAL_STREET_FRAMES = 20;  // virtual-camera/d00001.bmp to d00020.bmp
const std::string KITTI_STREET_DIR = std::string(KITTI_DIR) + "/residential/";
const std::string REAL_STREET_DIR = KITTI_STREET_DIR + "virtual-camera/";

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

// The pixel rows of one of the real street's pictures: 32-bit BMP files with the 54-byte header and
// bottom-up rows the embedded picture has, so the bytes after the header are coded as it is.
std::vector<unsigned char> RealStreetPicture(int frame) {
    char name[16];
    std::snprintf(name, sizeof name, "d%05d.bmp", frame);
    std::ifstream file(REAL_STREET_DIR + name, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const size_t header = 54;
    const size_t rowsBytes = static_cast<size_t>(TOTAL_U) * TOTAL_V * 4;
    if (bytes.size() != header + rowsBytes || bytes[10] != header || bytes[28] != 32 || bytes[25] != 0) {
        ADD_FAILURE() << REAL_STREET_DIR + name << " is not a 560 x 360 bottom-up 32-bit BMP";
        return std::vector<unsigned char>(rowsBytes, 0);
    }
    return std::vector<unsigned char>(bytes.begin() + header, bytes.end());
}

// The options of the README's command for the street through KITTI's camera: its calibration,
// the camera 1.65 m high, pitch 0.02, 10 frames per second, the zone widened to +-4 m, every
// frame found on disk.
TrackOptions KittiCameraOptions() {
    const std::string calib = KITTI_STREET_DIR + "calib.txt";
    const std::string pattern = KITTI_STREET_DIR + "disp_sgbm/XXXXXX.png";
    const char* const argv[] = {"obstacle-track", "--camera", calib.c_str(), "--disparity", pattern.c_str(),
                                "--camera-height", "1.65", "--pitch", "0.02", "--fps", "10", "--zone", "-4,4"};
    TrackOptions options;
    std::string error;
    EXPECT_TRUE(ParseTrackOptions(static_cast<int>(std::size(argv)), argv, options, error)) << error;
    return options;
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

TEST(Golden, RealStreetMatchesTheRecord) {
    if (!std::ifstream(REAL_STREET_DIR + "d00001.bmp")) GTEST_SKIP() << "the real street is missing: " << REAL_STREET_DIR;
    ExpectGoldenPictures(REAL_STREET_FRAMES, [](int k) { return RealStreetPicture(k + 1); }, REAL_STREET_DIGEST);
}

TEST(Golden, KittiCameraRunMatchesTheRecord) {
    if (!std::ifstream(KITTI_STREET_DIR + "calib.txt")) GTEST_SKIP() << "the real street is missing: " << KITTI_STREET_DIR;
    TrackOptions options = KittiCameraOptions();
    Camera camera = DEFAULT_CAMERA;
    std::ostringstream warnings;
    std::string error;
    ASSERT_TRUE(SettleTrackRun(options, camera, warnings, error)) << error;
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
