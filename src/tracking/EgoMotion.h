// The car's own motion from one frame to the next, in the plane of the road (x right, z forward,
// metres): how far the camera of the previous frame has travelled and turned by this frame. It is
// a frame's input (RunState::egoMotion), from recorded poses or from a given speed and yaw rate.
#pragma once

#include <array>

// A camera pose [R | t], 3 x 4 row-major: the camera's axes and position in the axes of a fixed
// frame (x right, y down, z forward, metres), as KITTI's pose files give them.
using Pose = std::array<double, 12>;

struct EgoMotion {
    bool known = false;      // false: the car's motion is not given, and nothing below is used
    double travelX_m = 0.0;  // the camera's displacement over the frame, in the previous frame's axes
    double travelZ_m = 0.0;
    double yaw_rad = 0.0;    // its turn over the frame, positive to the right (toward +x)
};

// The motion from the camera at pose `previous` to the camera at pose `now`, reduced to the road's
// plane: the turn about the vertical axis and the displacement's x and z.
EgoMotion EgoMotionOfPoses(const Pose& previous, const Pose& now);

// One frame of `interval_s` along a circle driven at `speed_mps` and `yawRate_radps` (positive to
// the right); a straight line at a yaw rate of 0.
EgoMotion EgoMotionOfRates(double speed_mps, double yawRate_radps, double interval_s);

// Where a point that stands still over ground, at (x_m, z_m) in the previous frame's axes, lies in
// this frame's axes.
void MoveStill(const EgoMotion& ego, double x_m, double z_m, double& xNow_m, double& zNow_m);

// A vector of the previous frame's axes (a velocity) in this frame's axes.
void TurnVector(const EgoMotion& ego, double x, double z, double& xNow, double& zNow);

// Curvature of the car's path, 1 / radius (1/metre), positive when it turns right; 0 for a straight
// path, an unknown motion or a car that has not moved.
double PathCurvature(const EgoMotion& ego);
