// Moving scenes: boxes at constant velocity, the car's own motion and pitching, one picture per
// frame, their ground truth and the camera's poses.
#include <cmath>
#include <cstdio>

#include "Random.h"
#include "FrameNumbering.h"
#include "Scene.h"

namespace scene {
namespace {

// Frame k's seed comes from a generator started this far along per frame, mixed, so that
// neighbouring frames do not share shifted noise.
constexpr uint64_t FRAME_SEED_STEP = 0x3C6EF372FE94F82Bull;

const char* const TRUTH_HEADER = "frame,id,z_m,x_left_m,x_right_m,x_center_m,height_m,vz_mps,vx_mps,visible\n";

constexpr int SERIES_TERMS = 14;  // the last term on [-pi, pi] is below 1e-16

// sin (odd = 1) or cos (odd = 0) from its series in plain arithmetic on [-pi, pi], so that the
// motion and the pictures are the same on every target (the math library's may differ in the
// last bit between them).
double Series(double x, int odd) {
    x -= 2.0 * PI * std::round(x / (2.0 * PI));
    double term = odd ? x : 1.0;
    double sum = term;
    for (int n = 1; n <= SERIES_TERMS; ++n) {
        term *= -x * x / ((2.0 * n - 1.0 + odd) * (2.0 * n + odd));
        sum += term;
    }
    return sum;
}

double Sine(double x) { return Series(x, 1); }
double Cosine(double x) { return Series(x, 0); }

}  // namespace

double SequenceFrames(const Camera& camera, int defaultFrames) {
    return std::round(FrameTime(DEFAULT_CAMERA, defaultFrames) / FrameTime(camera, 1));
}

Box BoxAtFrame(const Camera& camera, const Box& box, int k) {
    const double t = FrameTime(camera, k);
    Box moved = box;
    moved.z_m = box.z_m + box.vz_mps * t;
    moved.left_m = box.left_m + box.vx_mps * t;
    moved.right_m = box.right_m + box.vx_mps * t;
    return moved;
}

// After t seconds on a circle the car has turned by yaw rate x t and lies on the chord of length
// 2 (speed / yaw rate) sin(turn / 2), half the turn to its first heading (straight ahead without a turn).
CarPose CarPoseAfter(const EgoMotion& ego, double t_s) {
    const double turn = ego.yawRate_radps * t_s;
    const double half = turn / 2.0;
    const double chord = ego.speed_mps * t_s * (half == 0.0 ? 1.0 : Sine(half) / half);
    return CarPose{turn, chord * Sine(half), chord * Cosine(half)};
}

// Over ground the box moves from its first place at its velocity; the camera sees it from the
// car's pose, turned into the car's heading. Its velocity relative to the camera is its velocity
// over ground turned likewise, less the car's own: its speed ahead and its turn, which sweeps
// the box about the camera (to the left of a car turning right).
Box BoxAtFrame(const Scene& scene, const Box& box, int k) {
    if (!scene.ego) return BoxAtFrame(scene.camera, box, k);
    const EgoMotion& ego = *scene.ego;
    const double t = FrameTime(scene.camera, k);
    const CarPose car = CarPoseAfter(ego, t);
    const double c = Cosine(car.heading_rad);
    const double s = Sine(car.heading_rad);
    const double groundX = (box.left_m + box.right_m) / 2.0 + box.vx_mps * t - car.x_m;
    const double groundZ = box.z_m + box.vz_mps * t - car.z_m;
    const double x = groundX * c - groundZ * s;
    const double halfWidth = (box.right_m - box.left_m) / 2.0;
    Box seen = box;
    seen.z_m = groundX * s + groundZ * c;
    seen.left_m = x - halfWidth;
    seen.right_m = x + halfWidth;
    seen.vx_mps = (box.vx_mps * c - box.vz_mps * s) - ego.yawRate_radps * seen.z_m;
    seen.vz_mps = (box.vx_mps * s + box.vz_mps * c) - ego.speed_mps + ego.yawRate_radps * x;
    return seen;
}

// tan(mounting pitch + pitching) from the tangents of both.
double PitchAtFrame(const Scene& scene, int k) {
    const Pitching& p = scene.pitching;
    const double mounting = scene.camera.tanPitch;
    if (p.amplitude_rad == 0.0) return mounting;
    const double angle = p.amplitude_rad * Sine(2.0 * PI * p.frequency_hz * FrameTime(scene.camera, k));
    const double pitching = Sine(angle) / Cosine(angle);
    return (mounting + pitching) / (1.0 - mounting * pitching);
}

// A still picture of frame k: its boxes relative to the camera, the camera pitched.
Scene SceneAtFrame(const Scene& scene, int k) {
    Scene moved = scene;
    moved.seed = Random(scene.seed + static_cast<uint64_t>(k) * FRAME_SEED_STEP).Next();
    moved.camera.tanPitch = PitchAtFrame(scene, k);
    moved.pitching = Pitching{};
    moved.ego.reset();
    for (Box& box : moved.boxes) box = BoxAtFrame(scene, box, k);
    return moved;
}

std::string PosesText(const Scene& scene) {
    const EgoMotion ego = scene.ego.value_or(EgoMotion{});
    std::string out;
    char row[320];
    for (int n = 0; n <= scene.frames; ++n) {
        const CarPose car = CarPoseAfter(ego, FrameTime(scene.camera, n));
        const double c = Cosine(car.heading_rad);
        const double s = Sine(car.heading_rad);
        std::snprintf(row, sizeof row, "%.12e %.12e %.12e %.12e %.12e %.12e %.12e %.12e %.12e %.12e %.12e %.12e\n",
                      c, 0.0, s, car.x_m, 0.0, 1.0, 0.0, 0.0, 0.0 - s, 0.0, c, car.z_m);  // no "-0" for a still camera
        out += row;
    }
    return out;
}

std::string TruthCsv(const Scene& scene) {
    std::string out = TRUTH_HEADER;
    char row[256];
    for (int k = 0; k < scene.frames; ++k) {
        const Scene now = SceneAtFrame(scene, k);
        for (size_t i = 0; i < now.boxes.size(); ++i) {
            const Box& b = now.boxes[i];
            const bool visible = VisibleShare(now, i) >= VISIBLE_SHARE;
            std::snprintf(row, sizeof row, "%d,%d,%.6f,%.6f,%.6f,%.6f,%.6f,%.6f,%.6f,%d\n", SEQUENCE_FIRST_FRAME + k,
                          static_cast<int>(i + 1), b.z_m, b.left_m, b.right_m, (b.left_m + b.right_m) / 2.0, b.height_m,
                          b.vz_mps, b.vx_mps, visible ? 1 : 0);
            out += row;
        }
    }
    return out;
}

std::string SequenceFramePath(const std::string& pattern, int frame) { return FramePath(pattern, frame); }

}  // namespace scene
