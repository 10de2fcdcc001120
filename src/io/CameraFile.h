// Camera files: the rig a run sees through, read from obstacle-track's own `key = value` format or
// from a KITTI calibration file, and written back in the own format so that a run can be repeated.
//
// The own format: one `key = value` per line, keys named as the fields of Camera (f_pix,
// baseline_m, bf_pix, u0_pix, v0_pix, width_pix, height_pix, camHeight_m, tanPitch,
// frameInterval_s, zoneL_m, zoneR_m); '#' starts a comment, blank lines are allowed. The
// calibration (f_pix, baseline_m, u0_pix, v0_pix, width_pix, height_pix) must be given; bf_pix is
// f_pix x baseline_m unless the rig states it; the mounting, the frame interval and the zone may be
// left to the options or to the default camera.
//
// A KITTI calibration: rows `P0:` and `P1:` of 12 numbers (the left and right 3 x 4 projection
// matrices), or the odometry set's bare rows of 12 numbers, the first two being P0 and P1; or a
// KITTI raw recording's calib_cam_to_cam.txt, whose rows `P_rect_00:` and `P_rect_01:` (the grey
// pair) or `P_rect_02:` and `P_rect_03:` (the colour pair) are P0 and P1, and whose `S_rect_00:`
// (or `S_rect_02:`) gives the picture size. It gives f = P0[0], the principal point (P0[2], P0[6])
// and the baseline (P0[3] - P1[3]) / P1[0].
//
// OpenCV's stereo calibration (YAML, `!!opencv-matrix` nodes with `rows`, `cols` and `data`): the
// rectified projections `P1` and `P2` read as P0 and P1 above, or else the left camera matrix `M1`
// (f = M1[0], principal point (M1[2], M1[5])) and the translation `T` between the cameras
// (baseline -T[0]). A ROS camera_info YAML pair: the left file's `projection_matrix` and the right
// file's read as P0 and P1, `image_width` and `image_height` the picture size.
//
// Where a calibration gives no picture size, it comes from the first disparity picture.
#pragma once

#include <cstdint>
#include <string>

#include "Camera.h"

// A stated bf_pix may differ from f_pix x baseline_m by rounding, not by more than this share.
constexpr double BF_TOLERANCE = 0.01;

// Camera files are short; a longer file is refused unread.
constexpr uint64_t CAMERA_FILE_MAX_BYTES = 64 * 1024;

// Fields of Camera a file may state, in the order the own format writes them.
enum CameraKey {
    KEY_F, KEY_BASELINE, KEY_BF, KEY_U0, KEY_V0, KEY_WIDTH, KEY_HEIGHT,
    KEY_CAM_HEIGHT, KEY_PITCH, KEY_FRAME_INTERVAL, KEY_ZONE_L, KEY_ZONE_R, CAMERA_KEY_COUNT
};

// A camera file's contents: the fields it gives, the others as in DEFAULT_CAMERA.
struct CameraFile {
    bool calibration = false;                 // another tool's calibration: no mounting, no zone
    Camera camera = DEFAULT_CAMERA;
    bool given[CAMERA_KEY_COUNT] = {};
};

// The name of a field in the own format ("f_pix", ...).
const char* CameraKeyName(CameraKey key);

// What a calibration leaves to the user: the pair of a KITTI raw calibration, and the right
// camera's file of a ROS camera_info pair (its text and name).
struct CalibrationChoice {
    bool colour = false;    // P_rect_02 and P_rect_03 rather than P_rect_00 and P_rect_01
    std::string rightText;  // empty: no right camera's file
    std::string rightName;
};

// Reads the text of a camera file named `name` (for messages). Returns false with "NAME:LINE:
// problem" (or "NAME: problem" for the file as a whole) in `error`: unknown keys, missing values,
// non-numbers, duplicate keys, impossible values, KITTI rows without 12 numbers, a missing P0 or P1,
// YAML matrices of the wrong shape or missing, a ROS file without its right camera's file.
bool ParseCameraFile(const std::string& text, const std::string& name, CameraFile& file, std::string& error,
                     const CalibrationChoice& choice = {});

// Opens (a regular file of at most CAMERA_FILE_MAX_BYTES) and parses `path`, with `rightPath`
// (unless empty) the right camera's file of a ROS pair.
bool ReadCameraFile(const std::string& path, CameraFile& file, std::string& error, bool colour = false,
                    const std::string& rightPath = "");

// Values of a camera that a car's rig hardly has, each on a line with what was probably meant: a
// height of more than CAMERA_HEIGHT_MAX_M (millimetres or centimetres?), a pitch tangent beyond
// PITCH_TANGENT_MAX (degrees?), a baseline beyond BASELINE_MAX_M (millimetres?), more than
// FRAME_INTERVAL_MAX_S from frame to frame (a frame interval given as the rate, or milliseconds?).
// Empty when none.
std::string ImplausibleCamera(const Camera& camera);
constexpr double CAMERA_HEIGHT_MAX_M = 10.0;
constexpr double PITCH_TANGENT_MAX = 0.5;  // about 27 degrees
constexpr double BASELINE_MAX_M = 5.0;
constexpr double FRAME_INTERVAL_MAX_S = 1.0;

// What makes a picture of width x height pixels impossible for a camera ("width_pix 15 lies outside
// 16..8192", too many pixels in all), or an empty text.
std::string PictureSizeProblem(int width, int height);

// What makes a whole camera impossible (a value out of its range, bf_pix at odds with f_pix x
// baseline_m, the zone's bounds in the wrong order, a derived row or count out of the stages'
// range: DerivedOutOfRange), or an empty text.
std::string CameraProblem(const Camera& camera);

// The own format of `camera`, every field, each number written so that it reads back exactly.
std::string CameraFileText(const Camera& camera);
