// Any bytes as a scene description. What the reader takes must stay within its bounds over the
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    scene::Scene s;
    std::string error;
    if (!scene::ParseScene(in, "scene.txt", s, error)) {
        if (error.rfind("scene.txt:", 0) != 0) std::abort();
        return 0;
    }
    if (s.boxes.size() > MOST_BOXES || s.frames < 1 || s.frames > MOST_FRAMES) std::abort();
    CheckBoxes(s, 0);
    CheckBoxes(s, s.frames - 1);
    return 0;
}
