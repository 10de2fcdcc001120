// Hostile pictures through the whole frame pipeline. Whatever a picture shows, every frame must
// run to its end and leave defined output behind: road rows inside the picture, grid cells in
// their states with finite measurements, detections inside the grid, and tracks whose
// identifiers are exactly the ones the pool has handed out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "Builders.h"
#include "ColorMap.h"
#include "EmbeddedPictures.h"
#include "Imageread.h"
#include "RunDriver.h"
#include "Sanitizers.h"

namespace {

constexpr double NEAR_D = 60.0;  // 2.4 m
constexpr double FAR_D = 3.0;    // 47 m

using Painter = std::function<double(int u, int v)>;  // disparity of pixel (u, v), 0 for none

// xorshift32: the same sequence on every target and standard library.
struct Random {
    uint32_t state;
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
};

void Paint(qim::Image& picture, const Painter& disparityAt) {
    picture.create(TOTAL_V, TOTAL_U, SGBM_8UC3);
    for (int v = 0; v < TOTAL_V; ++v) {
        for (int u = 0; u < TOTAL_U; ++u) SetPixel(picture, u, v, Encoded(disparityAt(u, v)));
    }
}

// One frame of the driver's loop on the picture already in run.src_img_colorD; returns the
// frame's detections, which track association consumes.
std::vector<DetectedObject> RunFrame(RunState& run) {
    std::vector<DetectedObject> detections;
    ProcessFrame(run, nullptr, DetectObstacles, [&detections](const RunState& detected) { detections = detected.newObject; });
    return detections;
}

void ExpectConsistentTracks(const RunState& run) {
    std::set<int> ids;
    for (const TrackingObject& t : run.preObject) {
        EXPECT_TRUE(run.idNum.State(t.m_id)) << "track " << t.m_id << " holds an identifier the pool has free";
        EXPECT_TRUE(ids.insert(t.m_id).second) << "identifier " << t.m_id << " held twice";
        EXPECT_TRUE(std::isfinite(t.m_Z_m) && std::isfinite(t.m_X_m) && std::isfinite(t.m_D_pix));
        EXPECT_TRUE(std::isfinite(t.m_w_m) && std::isfinite(t.m_h_m));
    }
    for (int id = 1; id < run.idNum.Size(); ++id) {
        EXPECT_EQ(run.idNum.State(id), ids.count(id) == 1) << "identifier " << id;
    }
}

void ExpectDefinedFrame(const RunState& run, const std::vector<DetectedObject>& detections) {
    for (int d = 0; d < LUT_NUM; ++d) {
        for (const int row : {run.ground[d], run.blind[d], run.ceiling[d]}) {
            ASSERT_GE(row, 0) << "disparity " << d;
            ASSERT_LE(row, TOTAL_V) << "disparity " << d;
        }
    }
    for (int i = 0; i < gridNum; ++i) {
        const Grid& c = run.grid[i];
        ASSERT_TRUE(c.exist == 0 || c.exist == 10) << "cell " << i;
        ASSERT_GE(c.count, 0);
        ASSERT_LE(c.count, 5);
        if (c.exist == 10 && c.count > 0) {
            ASSERT_TRUE(c.aveD > 0.0 && std::isfinite(c.aveD)) << "cell " << i;
            ASSERT_TRUE(std::isfinite(c.z_m) && std::isfinite(c.x_m) && std::isfinite(c.h_m)) << "cell " << i;
        }
    }
    for (const DetectedObject& o : detections) {
        EXPECT_GE(o.d_pix, MIN_D);
        EXPECT_TRUE(std::isfinite(o.lX_m) && std::isfinite(o.rX_m) && std::isfinite(o.h_m));
        EXPECT_TRUE(std::isfinite(o.a) && std::isfinite(o.b));
        EXPECT_LE(o.lX_m, o.rX_m);
        EXPECT_GE(o.S_u, 0);
        EXPECT_LE(o.S_u, o.E_u);
        EXPECT_LT(o.E_u, totalBlkNumU);
        EXPECT_GE(o.iN, 1);
    }
    ExpectConsistentTracks(run);
}

// Paints the picture, runs `frames` frames of it on a fresh run and checks each.
void RunPicture(const Painter& disparityAt, int frames) {
    RunState run;
    for (int frame = 0; frame < frames; ++frame) {
        Paint(run.src_img_colorD, disparityAt);
        ExpectDefinedFrame(run, RunFrame(run));
    }
}

int OccupiedCells(const RunState& run) {
    return static_cast<int>(
        std::count_if(run.grid.begin(), run.grid.end(), [](const Grid& c) { return c.exist == 10 && c.count > 0; }));
}

}  // namespace

TEST(HardeningPictures, AllBlackShowsNothingAndKeepsTheGeometricRoad) {
    int geometric[LUT_NUM];
    InitialRoadRows(DEFAULT_CAMERA, geometric);
    RunState run;
    for (int frame = 0; frame < 3; ++frame) {
        Paint(run.src_img_colorD, [](int, int) { return 0.0; });
        const std::vector<DetectedObject> detections = RunFrame(run);
        ExpectDefinedFrame(run, detections);
        EXPECT_TRUE(detections.empty());
        EXPECT_TRUE(run.preObject.empty());
        EXPECT_EQ(OccupiedCells(run), 0);
        // No road was seen, so the profile is refused and the geometric one stays in force.
        EXPECT_FALSE(run.groundAccepted);
        for (int d = 1; d < LUT_NUM - 1; ++d) EXPECT_EQ(run.ground[d], geometric[d]) << "disparity " << d;
    }
}

TEST(HardeningPictures, LargestDisparityEverywhere) {
    const ColorSet red = Encoded(100.0);
    EXPECT_EQ(ColorToValue(&red, 2), 100.0);
    RunPicture([](int, int) { return 100.0; }, 3);
}

TEST(HardeningPictures, RandomColours) {
    Random random{12345u};
    RunState run;
    for (int frame = 0; frame < 8; ++frame) {
        run.src_img_colorD.create(TOTAL_V, TOTAL_U, SGBM_8UC3);
        for (int i = 0; i < TOTAL_PIXELS * 3; ++i) run.src_img_colorD.data[i] = static_cast<uchar>(random.Next() >> 24);
        ExpectDefinedFrame(run, RunFrame(run));
    }
    // The same with colours the coding produces, at random disparities from 0 to 100.
    RunPicture([&random](int, int) { return random.Below(1001) / 10.0; }, 4);
}

TEST(HardeningPictures, StripesAndCheckerboardsOfNearAndFar) {
    for (const int width : {1, 2, 4, 8, 13, 40}) {
        SCOPED_TRACE("pattern size " + std::to_string(width));
        RunPicture([width](int u, int) { return (u / width) % 2 == 0 ? NEAR_D : FAR_D; }, 2);
        RunPicture([width](int, int v) { return (v / width) % 2 == 0 ? NEAR_D : FAR_D; }, 2);
        RunPicture([width](int u, int v) { return (u / width + v / width) % 2 == 0 ? NEAR_D : FAR_D; }, 2);
    }
}

TEST(HardeningPictures, EveryColumnHoldsOneDisparity) {
    // Neighbouring columns far apart in disparity, then a smooth ramp from far to near.
    RunPicture([](int u, int) { return 1.0 + u % 100; }, 3);
    RunPicture([](int u, int) { return 2.0 + u / 6.0; }, 3);
}

TEST(HardeningPictures, SceneFrameAlternatingWithAnEmptyOne) {
    for (const bool withoutPixels : {true, false}) {
        SCOPED_TRACE(withoutPixels ? "empty frames without pixels" : "empty frames all black");
        RunState run;
        for (int frame = 0; frame < 24; ++frame) {
            if (frame % 2 == 0) {
                bmp_reader_dsip_32bpp("embedded", run.src_img_colorD);
            } else if (withoutPixels) {
                run.src_img_colorD.release();
            } else {
                Paint(run.src_img_colorD, [](int, int) { return 0.0; });
            }
            const std::vector<DetectedObject> detections = RunFrame(run);
            ExpectDefinedFrame(run, detections);
            if (frame % 2 == 0) {
                EXPECT_FALSE(detections.empty()) << "frame " << frame;
            }
        }
        // Tracks that come and go with the scene give their identifiers back.
        EXPECT_LE(run.idNum.Size(), 32);
    }
}

namespace {

// A scene of up to six boxes that drift, come and go at random, over a black background with
// random speckle on some frames.
struct RandomScene {
    struct Box {
        int u0, u1, top, bottom;
        double d;
        int life;
    };
    Random random{2024u};
    std::vector<Box> boxes;

    void Step() {
        for (Box& b : boxes) {
            const int du = random.Below(9) - 4;
            b.u0 = std::clamp(b.u0 + du, 0, TOTAL_U - 2);
            b.u1 = std::clamp(b.u1 + du, b.u0 + 1, TOTAL_U - 1);
            b.d = std::clamp(b.d + (random.Below(5) - 2) * 0.25, FAR_D, NEAR_D);
            b.life -= 1;
        }
        boxes.erase(std::remove_if(boxes.begin(), boxes.end(), [](const Box& b) { return b.life <= 0; }),
                    boxes.end());
        if (boxes.size() < 6 && random.Below(3) == 0) {
            const int u0 = random.Below(TOTAL_U - 10);
            const int top = random.Below(250);
            boxes.push_back(Box{u0, std::min(u0 + 8 + random.Below(100), TOTAL_U - 1), top,
                                std::min(top + 20 + random.Below(200), TOTAL_V - 1), 3.0 + random.Below(50),
                                1 + random.Below(40)});
        }
    }

    void Draw(qim::Image& picture) {
        picture.create(TOTAL_V, TOTAL_U, SGBM_8UC3);
        std::memset(picture.data, 0, static_cast<size_t>(TOTAL_PIXELS) * 3);
        for (const Box& b : boxes) {
            const ColorSet c = Encoded(b.d);
            for (int v = b.top; v <= b.bottom; ++v) {
                for (int u = b.u0; u <= b.u1; ++u) SetPixel(picture, u, v, c);
            }
        }
        if (random.Below(4) != 0) return;
        for (int i = 0; i < TOTAL_PIXELS / 50; ++i) {
            SetPixel(picture, random.Below(TOTAL_U), random.Below(TOTAL_V), Encoded(random.Below(1001) / 10.0));
        }
    }
};

// The random scene's frames through one run: no track list grows past a bound, and every frame's
// tracks stay consistent (fully checked every 100th frame).
void ExpectTrackerBounded(int frames) {
    // Six boxes at most: even if each came apart into a few pieces, each with a track coasting a
    // few frames after it is gone, far fewer tracks than this can be alive.
    constexpr size_t TRACK_BOUND = 24;
    RandomScene scene;
    RunState run;
    size_t mostTracks = 0;
    int framesWithTracks = 0;
    for (int frame = 0; frame < frames; ++frame) {
        scene.Step();
        scene.Draw(run.src_img_colorD);
        const std::vector<DetectedObject> detections = RunFrame(run);
        if (frame % 100 == 0) {
            ExpectDefinedFrame(run, detections);
        } else {
            ExpectConsistentTracks(run);
        }
        ASSERT_LE(run.preObject.size(), TRACK_BOUND) << "frame " << frame;
        mostTracks = std::max(mostTracks, run.preObject.size());
        if (!run.preObject.empty()) ++framesWithTracks;
        if (testing::Test::HasFailure()) return;
    }
    // Identifiers are reused lowest first, so the pool never outgrows the busiest moment.
    EXPECT_LE(run.idNum.Size(), static_cast<int>(TRACK_BOUND) + 1);
    // The random scene did exercise the tracker.
    EXPECT_GT(framesWithTracks, frames / 10);
    std::printf("%d frames: at most %zu tracks alive, identifier pool of %d\n", frames, mostTracks, run.idNum.Size());
}

}  // namespace

TEST(HardeningPictures, ThreeHundredRandomFramesKeepTheTrackerBounded) { ExpectTrackerBounded(300); }

// The slow tier's long run; the sanitizer build takes the first thousand frames of it.
TEST(HardeningPicturesSlow, TenThousandRandomFramesKeepTheTrackerBounded) {
#if defined(UNDER_ADDRESS_SANITIZER)
    ExpectTrackerBounded(1000);
#else
    ExpectTrackerBounded(10000);
#endif
}
