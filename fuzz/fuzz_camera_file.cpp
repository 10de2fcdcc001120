// Any bytes as a camera file: the own key = value format or a KITTI calibration. What the parser
// refuses must come with a message naming the file; what it accepts must be a possible camera,
// and that camera written in the own format must read back as exactly the same camera.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "CameraFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CameraFile file;
    std::string error;
    if (!ParseCameraFile(text, "fuzz.cam", file, error)) {
        if (error.compare(0, 8, "fuzz.cam") != 0) std::abort();
        return 0;
    }
    if (!error.empty() || !CameraProblem(file.camera).empty()) std::abort();
    CameraFile again;
    if (!ParseCameraFile(CameraFileText(file.camera), "again.cam", again, error)) std::abort();
    if (std::memcmp(&again.camera, &file.camera, sizeof file.camera) != 0) std::abort();
    return 0;
}
