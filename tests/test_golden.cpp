// Golden record of the detector's results. Every frame's V-disparity peaks, road rows, thresholds,
// grid cells, detections and tracks (every field, bit for bit) are digested, frame after frame,
// into one value per run. The recorded values come from the straightforward stages, before any
// stage was made faster, and are the same on x86-64 and on 32-bit ARM. A change that alters the
// results on purpose records the new values in the same commit and says why.
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

namespace {

constexpr uint64_t EMBEDDED_RUN_DIGEST = 0xDA0DA81BC751D69Dull;
constexpr uint64_t MOVING_RUN_DIGEST = 0xC33546BB4AFF40D0ull;

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%016" PRIX64, value);
    return text;
}

// Runs the detector and the straightforward stages side by side over the pictures; every frame
// must agree, and the chained frame digests of both must match the record.
template <typename PictureOf>
void ExpectGoldenRun(int frames, PictureOf pictureOf, uint64_t recorded) {
    RunState fast;
    RunState straight;
    golden::Digest fastRun;
    golden::Digest straightRun;
    for (int k = 0; k < frames; ++k) {
        const std::vector<unsigned char> picture = pictureOf(k);
        const uint64_t fastFrame = golden::RunFrame(fast, picture.data(), DetectObstacles);
        const uint64_t straightFrame = golden::RunFrame(straight, picture.data(), reference::DetectObstacles);
        ASSERT_EQ(Hex(fastFrame), Hex(straightFrame)) << "frame " << k << " differs from the straightforward stages";
        fastRun.Add(fastFrame);
        straightRun.Add(straightFrame);
    }
    EXPECT_EQ(Hex(straightRun.Value()), Hex(recorded)) << "the straightforward stages no longer give the record";
    EXPECT_EQ(Hex(fastRun.Value()), Hex(recorded));
}

}  // namespace

TEST(Golden, EmbeddedRunMatchesTheRecord) {
    const std::vector<unsigned char> picture(bmpdata_disparity, bmpdata_disparity + sizeof bmpdata_disparity);
    ExpectGoldenRun(END_FRAME - START_FRAME + 1, [&](int) { return picture; }, EMBEDDED_RUN_DIGEST);
}

TEST(Golden, MovingSceneMatchesTheRecord) {
    const scene::Scene moving = golden::MovingScene();
    ExpectGoldenRun(moving.frames, [&](int k) { return golden::ScenePicture(moving, k); }, MOVING_RUN_DIGEST);
}
