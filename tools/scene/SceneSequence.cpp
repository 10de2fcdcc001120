// Moving scenes: boxes at constant velocity, one picture per frame, and their ground truth.
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

Scene SceneAtFrame(const Scene& scene, int k) {
    Scene moved = scene;
    moved.seed = Random(scene.seed + static_cast<uint64_t>(k) * FRAME_SEED_STEP).Next();
    for (Box& box : moved.boxes) box = BoxAtFrame(scene.camera, box, k);
    return moved;
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
