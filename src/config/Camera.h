// The stereo rig a run sees through: its calibration, its mounting on the car, its frame rate and
// the lateral zone in which obstacles become tracks. The run holds one camera, and the stages
// read it; the default camera is the one the constants of Config.h describe.
#pragma once

#include <cstdint>

#include "Config.h"

struct Camera {
    double f_pix;            // focal length (pixel)
    double baseline_m;       // stereo baseline (metre)
    double bf_pix;           // focal length x baseline (metre x pixel): distance = bf_pix / disparity
    double u0_pix;           // principal point column in the disparity picture (pixel)
    double v0_pix;           // principal point row in the disparity picture (pixel)
    int width_pix;           // disparity picture width (pixel)
    int height_pix;          // disparity picture height (pixel)
    double camHeight_m;      // height of the camera above the road (metre)
    double tanPitch;         // downward pitch of the optical axis, as the tangent the road formula uses
    double frameInterval_s;  // time from one frame to the next (second)
    double zoneL_m;          // left bound of the lateral detection zone (metre)
    double zoneR_m;          // right bound of the lateral detection zone (metre)
};

// Bounds of a camera's picture: a side of at least four column blocks and at most 8192 pixels,
// 16 Mi pixels in all (the run's disparity buffers take 16 bytes a pixel).
constexpr int CAMERA_MIN_SIDE_PIX = 4 * SHIFT_PITCH;
constexpr int CAMERA_MAX_SIDE_PIX = 8192;
constexpr int64_t CAMERA_MAX_PIXELS = int64_t{1} << 24;

// The camera of the constants. Its f x B is BF_PIX as stated (142.366), not F_PIX x B_MM (142.365);
// for a calibrated rig bf_pix is the product of its focal length and baseline.
constexpr Camera DEFAULT_CAMERA = {
    F_PIX, B_MM, BF_PIX,
    U0 - DISPARITY_OFS_U, V0 - DISPARITY_OFS_V,
    TOTAL_U, TOTAL_V,
    CAM_H_M, TAN_CAM_ANGLE,
    DELTA_T,
    DETECTABLE_AREA_L_M, DETECTABLE_AREA_R_M,
};

// The road model: a flat road camHeight_m below the camera, seen with the optical axis pitched down
// by tanPitch. The detector's initial road rows and the scene renderer both use it.

// Fractional picture row of the road at disparity d_pix (rows grow downward).
double FlatRoadRow(const Camera& camera, double d_pix);

// That row truncated, and capped one row below the picture's last row (the road's initial rows).
int FlatRoadRowInPicture(const Camera& camera, double d_pix);

// Row of the horizon: the road's row as its distance grows without bound.
double HorizonRow(const Camera& camera);

// Distance of the road seen at fractional row v, or 0.0 at and above the horizon.
double FlatRoadDistance(const Camera& camera, double v);

// Lateral offset at distance z_m of a path of curvature `curvature_pm` (1 / radius, positive when
// it turns right): r - sqrt(r^2 - z^2) toward the turn, and r once the path has turned a quarter
// circle. 0 for a straight path.
double PathOffset(double curvature_pm, double z_m);

// True when the lateral extent [left_m, right_m] of something at distance z_m overlaps the camera's
// detection zone (more than at a point) where the zone follows a path of curvature
// `pathCurvature_pm`: there the zone is offset by PathOffset.
bool ReachesIntoZone(const Camera& camera, double left_m, double right_m, double z_m, double pathCurvature_pm);

// True when the detection's lateral extent overlaps the camera's detection zone (more than at a
// point), including a detection wider than the zone on both sides. The zone follows the car's
// path of curvature `pathCurvature_pm`: at the detection's distance it is offset by PathOffset.
bool InDetectableArea(const Camera& camera, const DetectedObject& obj, double pathCurvature_pm = 0.0);
