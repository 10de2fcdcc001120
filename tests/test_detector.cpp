// The public Detector: the embedded run through it gives the frame loop's own tracks, road rows
// and obstacles; a parked car rendered through the KITTI-like camera, handed over as floats, as
// 16-bit values and as a colour-coded picture, is one trajectory at its rendered distance, in its
// rendered place, standing still over ground where the car's speed is given; bad input is refused
// by name and leaves the detector as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Builders.h"
#include "CameraFile.h"
#include "EmbeddedPictures.h"
#include "EmbeddedRun.h"
#include "GoldenRun.h"
#include "PictureBox.h"
#include "PublicRecords.h"
#include "RunDriver.h"
#include "Scene.h"
#include "TrackingObject.h"
#include "TrajectoryNumbers.h"
#include "obstacle/Detector.h"

namespace {

// What a frame gave, in the terms both the frame loop and the Detector can be read in.
struct TrackSeen {
    int id;
    int trajectory;
    double distance_m;
    int left, top, right, bottom;

    bool operator==(const TrackSeen& o) const {
        return id == o.id && trajectory == o.trajectory && distance_m == o.distance_m && left == o.left &&
               top == o.top && right == o.right && bottom == o.bottom;
    }
};

struct FrameSeen {
    std::vector<int> roadRows;
    size_t obstacles;
    std::vector<TrackSeen> tracks;

    bool operator==(const FrameSeen& o) const {
        return roadRows == o.roadRows && obstacles == o.obstacles && tracks == o.tracks;
    }
};

std::vector<FrameSeen> FrameLoopOnEmbeddedPictures() {
    std::vector<FrameSeen> frames;
    EmbeddedFrames source;
    TrajectoryNumbers numbers;
    const RunOutcome outcome = RunSequence(
        DEFAULT_CAMERA, source, START_FRAME, END_FRAME, nullptr,
        [&](int, const RunState& run, const AssociationRecord& record) {
            numbers.Update(run.preObject, record);
            FrameSeen seen{std::vector<int>(run.ground, run.ground + LUT_NUM), record.detections.size(), {}};
            for (const TrackingObject& t : run.preObject) {
                const PictureBox b = TrackBox(run.geometry, t, run.ground);
                seen.tracks.push_back({t.m_id, numbers.Of(t.m_id), t.m_Z_m, b.left, b.top, b.right, b.bottom});
            }
            frames.push_back(seen);
            return true;
        });
    EXPECT_TRUE(outcome.complete) << outcome.error;
    return frames;
}

FrameSeen SeenOf(const obstacle::FrameResult& r) {
    FrameSeen seen{r.road.rows, r.obstacles.size(), {}};
    for (const obstacle::Track& t : r.tracks) {
        seen.tracks.push_back({t.id, t.trajectory, t.distance_m, t.box.left, t.box.top, t.box.right, t.box.bottom});
    }
    return seen;
}

// The embedded disparity picture as a caller would hold it: three bytes a pixel, top row first.
struct EmbeddedPicture {
    EmbeddedPicture() { bmp_reader_dsip_32bpp(nullptr, image); }
    ~EmbeddedPicture() { image.release(); }
    obstacle::DisparityView View() const {
        return obstacle::ColourCodedDisparity(image.data, image.rows, image.cols, static_cast<std::ptrdiff_t>(image.step[0]));
    }
    qim::Image image;
};

}  // namespace

TEST(Detector, GivesTheFrameLoopsTracksRoadAndObstaclesOnTheEmbeddedRun) {
    const std::vector<FrameSeen> loop = FrameLoopOnEmbeddedPictures();
    ASSERT_EQ(loop.size(), static_cast<size_t>(END_FRAME - START_FRAME + 1));
    const EmbeddedPicture picture;
    // The same picture where it lies: four bytes a pixel, bottom row first.
    const PictureView stored = EmbeddedDisparityPicture();
    const obstacle::DisparityView inPlace =
        obstacle::ColourCodedDisparity(stored.top, stored.rows, stored.cols, stored.rowStride, stored.bytesPerPixel);
    ASSERT_EQ(inPlace.pixelStride_bytes, 4);
    ASSERT_LT(inPlace.rowStride_bytes, 0);
    obstacle::Detector detector;
    obstacle::Detector inPlaceDetector;
    size_t tracksSeen = 0;
    for (size_t k = 0; k < loop.size(); ++k) {
        const FrameSeen seen = SeenOf(detector.Process(picture.View()));
        ASSERT_EQ(seen, loop[k]) << "frame " << START_FRAME + k;
        ASSERT_EQ(SeenOf(inPlaceDetector.Process(inPlace)), loop[k]) << "frame " << START_FRAME + k << ", in place";
        tracksSeen += seen.tracks.size();
    }
    EXPECT_GT(tracksSeen, 0u);
}

namespace {

constexpr double SPEED_MPS = 25.0;
constexpr double CAR_HALF_WIDTH_M = 0.85;


// A rendered frame as the caller holds it in one of the codings; the view points into `held`.
using Handover = std::function<obstacle::DisparityView(const Camera&, const std::vector<double>&, std::vector<unsigned char>& held)>;

obstacle::DisparityView AsFloats(const Camera& c, const std::vector<double>& d, std::vector<unsigned char>& held) {
    std::vector<float> values(d.begin(), d.end());
    held.resize(values.size() * sizeof(float));
    std::memcpy(held.data(), values.data(), held.size());
    return obstacle::FloatDisparity(reinterpret_cast<const float*>(held.data()), c.height_pix, c.width_pix,
                                    c.width_pix * static_cast<std::ptrdiff_t>(sizeof(float)));
}

obstacle::DisparityView As16Bit(const Camera& c, const std::vector<double>& d, std::vector<unsigned char>& held) {
    std::vector<uint16_t> values(d.size());
    for (size_t i = 0; i < d.size(); ++i) values[i] = static_cast<uint16_t>(std::lround(d[i] * 256.0));
    held.resize(values.size() * sizeof(uint16_t));
    std::memcpy(held.data(), values.data(), held.size());
    return obstacle::Fixed16Disparity(reinterpret_cast<const uint16_t*>(held.data()), c.height_pix, c.width_pix,
                                      c.width_pix * static_cast<std::ptrdiff_t>(sizeof(uint16_t)), 1.0 / 256.0);
}

obstacle::DisparityView AsColours(const Camera& c, const std::vector<double>& d, std::vector<unsigned char>& held) {
    held = golden::TopDownColours(scene::EncodeDisparity(c, d).data(), c.height_pix, c.width_pix);
    return obstacle::ColourCodedDisparity(held.data(), c.height_pix, c.width_pix, c.width_pix * std::ptrdiff_t{3});
}

// The track within 10 % of the car's distance and 1 m of the lane's centre, or nullptr.
const obstacle::Track* TrackOfCar(const obstacle::FrameResult& r, double z_m) {
    for (const obstacle::Track& t : r.tracks) {
        if (std::fabs(t.distance_m - z_m) <= 0.1 * z_m && std::fabs(t.lateral_m) <= 1.0) return &t;
    }
    return nullptr;
}

}  // namespace

// The car is one trajectory from its first or second frame, within 5 % of its rendered distance
// once confirmed; its box stands on the flat road's row at that distance and spans its rendered
// columns (within a column block and a row or two of the road's fit); it closes at the car's
// speed, and with the speed given it stands still over ground.
TEST(Detector, FollowsAParkedCarAtItsRenderedDistanceInEveryCoding) {
    const struct {
        const char* name;
        Handover handover;
        bool egoSpeedGiven;
    } cases[] = {
        {"floats", AsFloats, false},
        {"16-bit values", As16Bit, true},
        {"colour-coded", AsColours, true},
    };
    const scene::Scene moving = StaticCarThroughKittiLike();
    const Camera& cam = moving.camera;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        obstacle::Detector detector(PublicCamera(cam));
        const obstacle::EgoMotion ego = obstacle::EgoMotionOfRates(SPEED_MPS, 0.0, cam.frameInterval_s);
        std::vector<unsigned char> held;
        int firstFrame = -1;  // the frame the track is first reported in, with firstUpdates updates
        int firstUpdates = 0;
        int trajectory = 0;
        obstacle::Track last;
        double z_m = 0.0;
        for (int k = 0; k < moving.frames; ++k) {
            const scene::Scene now = scene::SceneAtFrame(moving, k);
            const obstacle::DisparityView view = c.handover(cam, scene::RenderDisparity(now), held);
            const obstacle::FrameResult r = c.egoSpeedGiven ? detector.Process(view, ego) : detector.Process(view);
            z_m = now.boxes[0].z_m;
            const obstacle::Track* t = TrackOfCar(r, z_m);
            if (firstFrame < 0 && t != nullptr) {
                firstFrame = k;
                firstUpdates = t->updates;
                trajectory = t->trajectory;
            }
            if (firstFrame < 0) continue;
            ASSERT_NE(t, nullptr) << "frame " << k;
            ASSERT_EQ(t->trajectory, trajectory) << "frame " << k;
            ASSERT_EQ(t->updates, k - firstFrame + firstUpdates) << "frame " << k;
            if (t->confirmed) {
                EXPECT_LE(std::fabs(t->distance_m - z_m) / z_m, 0.05) << "frame " << k;
            }
            ASSERT_GE(t->obstacle, 0);
            ASSERT_LT(static_cast<size_t>(t->obstacle), r.obstacles.size());
            EXPECT_NEAR(r.obstacles[static_cast<size_t>(t->obstacle)].distance_m, z_m, 0.05 * z_m) << "frame " << k;
            last = *t;
        }
        EXPECT_GE(firstFrame, 0);
        EXPECT_LE(firstFrame - firstUpdates + 1, 1);  // seen from the first or second frame on
        EXPECT_TRUE(last.confirmed);
        EXPECT_EQ(last.trajectory, 1);
        EXPECT_NEAR(last.vz_mps, -SPEED_MPS, 1.0);
        EXPECT_EQ(last.groundKnown, c.egoSpeedGiven);
        if (c.egoSpeedGiven) {
            EXPECT_NEAR(last.vzGround_mps, 0.0, 1.0);
            EXPECT_FALSE(last.moving);
        }
        // Flat road, level camera: the road at distance z lies f h / z below the principal point,
        // and a lateral position x at f x / z right of it.
        const double roadRow = cam.v0_pix + cam.f_pix * cam.camHeight_m / z_m;
        EXPECT_NEAR(last.box.bottom, roadRow, 3.0);
        EXPECT_NEAR(last.box.left, cam.u0_pix - cam.f_pix * CAR_HALF_WIDTH_M / z_m, 2.0 * SHIFT_PITCH);
        EXPECT_NEAR(last.box.right, cam.u0_pix + cam.f_pix * CAR_HALF_WIDTH_M / z_m, 2.0 * SHIFT_PITCH);
    }
}

// Each refusal names what is wrong and leaves the run as it was: the next good frame gives what a
// fresh detector gives.
TEST(Detector, RefusesBadInputByNameAndStaysAsItWas) {
    const EmbeddedPicture picture;
    const obstacle::DisparityView good = picture.View();
    std::vector<float> values(static_cast<size_t>(TOTAL_PIXELS), 10.0f);
    const struct {
        const char* name;
        obstacle::DisparityView view;
        const char* message;
    } cases[] = {
        {"no pixels", obstacle::ColourCodedDisparity(nullptr, TOTAL_V, TOTAL_U, TOTAL_U * 3), "data is null"},
        {"too few rows", obstacle::ColourCodedDisparity(picture.image.data, TOTAL_V - 1, TOTAL_U, TOTAL_U * 3),
         "560 x 359 pixels, the camera's 560 x 360"},
        {"pixel stride 5", obstacle::ColourCodedDisparity(picture.image.data, TOTAL_V, TOTAL_U, TOTAL_U * 5, 5),
         "pixel stride 5 of a colour-coded picture is neither 3 nor 4 bytes"},
        {"short stride of 4-byte pixels", obstacle::ColourCodedDisparity(picture.image.data, TOTAL_V, TOTAL_U, TOTAL_U * 3, 4),
         "shorter than a row's 2240 bytes"},
        {"short stride", obstacle::FloatDisparity(values.data(), TOTAL_V, TOTAL_U, TOTAL_U * 2), "shorter than a row's 2240 bytes"},
        {"zero scale", obstacle::FloatDisparity(values.data(), TOTAL_V, TOTAL_U, TOTAL_U * 4, 0.0), "scale is not a positive"},
        {"scale not a number", obstacle::Fixed16Disparity(reinterpret_cast<const uint16_t*>(values.data()), TOTAL_V, TOTAL_U,
                                                          TOTAL_U * 2, std::nan("")), "scale is not a positive"},
    };
    obstacle::Detector fresh;
    const FrameSeen expected = SeenOf(fresh.Process(good));
    obstacle::Detector detector;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            detector.Process(c.view);
            ADD_FAILURE() << "accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
    for (const double interval_s : {0.0, -0.1, std::nan("")}) {
        EXPECT_THROW(detector.Process(obstacle::Frame{good, std::nullopt, interval_s}), std::invalid_argument) << interval_s;
    }
    EXPECT_EQ(SeenOf(detector.Process(good)), expected);

    obstacle::Camera narrow = obstacle::DefaultCamera();
    narrow.width_pix = CAMERA_MIN_SIDE_PIX - 1;
    EXPECT_THROW(obstacle::Detector{narrow}, std::invalid_argument);
    obstacle::Camera noFocus = obstacle::DefaultCamera();
    noFocus.f_pix = std::nan("");
    EXPECT_THROW(obstacle::Detector{noFocus}, std::invalid_argument);
}

// A frame given the camera's own interval is a frame given none: the same result, bit for bit.
TEST(Detector, TakesTheCamerasIntervalWhereAFrameGivesNone) {
    const EmbeddedPicture picture;
    obstacle::Detector plain;
    obstacle::Detector timed;
    const double interval_s = timed.CameraRecord().frameInterval_s;
    for (int k = 0; k < 10; ++k) {
        ASSERT_EQ(SeenOf(timed.Process(obstacle::Frame{picture.View(), std::nullopt, interval_s})),
                  SeenOf(plain.Process(picture.View())))
            << "frame " << k;
    }
}

// A track's prediction made anew over a frame's longer interval lies that much farther along its
// rate (constant velocity: 20 m closing at 6 m/s is 20 - 6 x 3 dt away three frame intervals on);
// the next prediction spans the camera's frame interval again, and at that interval nothing changes.
TEST(TrackingObject, PredictsOverTheFramesOwnInterval) {
    const double dt = DefaultGeometry().camera.frameInterval_s;
    TrackingObject t;
    t.InitialKalman(&t.m_systemZ, &t.m_objZ);
    t.InitialKalman(&t.m_systemX, &t.m_objX);
    t.m_objZ.x[0] = 20.0;
    t.m_objZ.x[1] = -6.0;
    t.m_objX.x[0] = 1.0;
    t.m_objX.x[1] = 0.5;
    t.PredictOver(3.0 * dt);
    EXPECT_DOUBLE_EQ(t.m_pZ_m, 20.0 - 6.0 * 3.0 * dt);
    EXPECT_DOUBLE_EQ(t.m_pX_m, 1.0 + 0.5 * 3.0 * dt);
    EXPECT_DOUBLE_EQ(t.m_pD_pix, DefaultGeometry().camera.bf_pix / t.m_pZ_m);
    EXPECT_EQ(t.m_Z_m, 20.0);  // the filtered state stays
    EXPECT_EQ(t.m_systemZ.a[1], dt);
    EXPECT_EQ(t.m_systemX.a[1], dt);
    t.PredictOver(dt);
    EXPECT_DOUBLE_EQ(t.m_pZ_m, 20.0 - 6.0 * 3.0 * dt);
}
