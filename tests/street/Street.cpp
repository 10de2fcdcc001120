#include "Street.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "TrackSetup.h"

namespace street {

const std::string STREET_DIR = std::string(KITTI_DIR) + "/residential/";
const std::string VIRTUAL_CAMERA_DIR = STREET_DIR + "virtual-camera/";

bool VirtualCameraPicture(int frame, std::vector<unsigned char>& rows, std::string& error) {
    char name[16];
    std::snprintf(name, sizeof name, "d%05d.bmp", frame);
    const std::string path = VIRTUAL_CAMERA_DIR + name;
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const size_t header = 54;
    const size_t rowsBytes = static_cast<size_t>(TOTAL_U) * TOTAL_V * 4;
    if (!file.is_open() || bytes.size() != header + rowsBytes || bytes[10] != header || bytes[28] != 32 ||
        bytes[25] != 0) {
        error = path + (file.is_open() ? " is not a 560 x 360 bottom-up 32-bit BMP" : " is missing");
        return false;
    }
    rows.assign(bytes.begin() + header, bytes.end());
    return true;
}

bool KittiCameraMissing(std::string& message) {
    const std::string calib = STREET_DIR + "calib.txt";
    if (std::ifstream(calib)) return false;
    message = "the real street is missing: " + calib;
    return true;
}

bool SettleKittiCameraRun(KittiCameraRun& run, std::string& error) {
    const std::string calib = STREET_DIR + "calib.txt";
    const std::string pattern = STREET_DIR + "disp_sgbm/XXXXXX.png";
    const char* const argv[] = {"obstacle-track", "--camera", calib.c_str(), "--disparity", pattern.c_str(),
                                "--camera-height", "1.65", "--pitch", "0.02", "--fps", "10", "--zone", "-4,4"};
    std::ostringstream warnings;
    return ParseTrackOptions(static_cast<int>(std::size(argv)), argv, run.options, error) &&
           SettleTrackRun(run.options, run.camera, warnings, error);
}

}  // namespace street
