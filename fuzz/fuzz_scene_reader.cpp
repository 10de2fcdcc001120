// Any bytes as a scene description, read through the default camera and one of twice its frame rate.
// What the reader takes must stay within its bounds over the
// whole sequence: the box count, and every box's picture extent at the first and the last frame
// (motion is linear), computed without overflow (UBSan checks each conversion).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "Scene.h"

namespace {

constexpr size_t MOST_BOXES = 64;
constexpr int MOST_FRAMES = 10000;

void CheckBoxes(const scene::Scene& s, int k) {
    const scene::Scene moved = scene::SceneAtFrame(s, k);
    for (const scene::Box& box : moved.boxes) {
        const scene::BoxExtent e = scene::Extent(moved.camera, box);
        if (!(box.left_m < box.right_m) || !(box.height_m > 0.0) || !(e.d_pix > 0.0) || e.vTop > e.vBottom) std::abort();
    }
}

void CheckScene(const std::string& text, const Camera& camera) {
    std::istringstream in(text);
    scene::Scene s;
    std::string error;
    if (!scene::ParseScene(in, "scene.txt", camera, s, error)) {
        if (error.rfind("scene.txt:", 0) != 0) std::abort();
        return;
    }
    if (s.boxes.size() > MOST_BOXES || s.frames < 1 || s.frames > MOST_FRAMES) std::abort();
    CheckBoxes(s, 0);
    CheckBoxes(s, s.frames - 1);
}

}  // namespace

// Through the default camera and through one of twice its frame rate, whose frames of a long
// sequence pass the bound.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Camera fast = DEFAULT_CAMERA;
    fast.frameInterval_s = DEFAULT_CAMERA.frameInterval_s / 2.0;
    CheckScene(text, DEFAULT_CAMERA);
    CheckScene(text, fast);
    return 0;
}
