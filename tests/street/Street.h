// The real street (KITTI's residential recording) as the golden tests and the benchmark read it
// from KITTI_DIR: never part of the repository, its licence forbids it. Every reader says what is
// missing or wrong instead of giving a frame.
#pragma once

#include <string>
#include <vector>

#include "Camera.h"
#include "FileFrames.h"
#include "RunDriver.h"
#include "TrackOptions.h"

namespace street {

// The street resampled into the default camera's colour-coded picture: frames 1 to 20.
constexpr int VIRTUAL_CAMERA_FRAMES = 20;
extern const std::string STREET_DIR;          // KITTI_DIR/residential/
extern const std::string VIRTUAL_CAMERA_DIR;  // STREET_DIR/virtual-camera/

// The pixel rows of virtual-camera picture `frame`: 32-bit BMP files with the 54-byte header and
// the bottom-up rows the embedded picture has, so the bytes after the header are coded as it is.
// False with a message when the file is missing or not such a picture.
bool VirtualCameraPicture(int frame, std::vector<unsigned char>& rows, std::string& error);

// The street through KITTI's camera at native size, as the README's command runs it: its
// calibration, the camera 1.65 m high, pitch 0.02, 10 frames per second, the zone widened to
// +-4 m, every 16-bit disparity picture found on disk.
struct KittiCameraRun {
    TrackOptions options;
    Camera camera = DEFAULT_CAMERA;
};

// True when KITTI's calibration of the street is missing, with a message saying where it was sought.
bool KittiCameraMissing(std::string& message);

// Settles the run's options and camera; false with a message.
bool SettleKittiCameraRun(KittiCameraRun& run, std::string& error);

}  // namespace street
