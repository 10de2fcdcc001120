#include "EgoMotion.h"

#include <cmath>

namespace {

// Element (row, column) of a pose's rotation, and its translation's component `row`.
double R(const Pose& p, int row, int column) { return p[4 * row + column]; }
double T(const Pose& p, int row) { return p[4 * row + 3]; }

}  // namespace

EgoMotion EgoMotionOfPoses(const Pose& previous, const Pose& now) {
    // The relative pose is R_prev^T R_now, t_prev->now = R_prev^T (t_now - t_prev). Its z axis in the
    // previous axes is R_prev^T times the current z axis: its x and z give the turn.
    double axisX = 0.0, axisZ = 0.0, travelX = 0.0, travelZ = 0.0;
    for (int k = 0; k < 3; ++k) {
        const double move = T(now, k) - T(previous, k);
        axisX += R(previous, k, 0) * R(now, k, 2);
        axisZ += R(previous, k, 2) * R(now, k, 2);
        travelX += R(previous, k, 0) * move;
        travelZ += R(previous, k, 2) * move;
    }
    return EgoMotion{true, travelX, travelZ, std::atan2(axisX, axisZ)};
}

EgoMotion EgoMotionOfRates(double speed_mps, double yawRate_radps, double interval_s) {
    const double arc_m = speed_mps * interval_s;
    const double yaw = yawRate_radps * interval_s;
    if (yaw == 0.0) return EgoMotion{true, 0.0, arc_m, 0.0};
    // The chord of an arc of length s turning by psi: s (1 - cos psi) / psi across, s sin psi / psi along.
    return EgoMotion{true, arc_m * (1.0 - std::cos(yaw)) / yaw, arc_m * std::sin(yaw) / yaw, yaw};
}

void MoveStill(const EgoMotion& ego, double x_m, double z_m, double& xNow_m, double& zNow_m) {
    TurnVector(ego, x_m - ego.travelX_m, z_m - ego.travelZ_m, xNow_m, zNow_m);
}

// The camera turned right by yaw: a vector's bearing turns left by as much.
void TurnVector(const EgoMotion& ego, double x, double z, double& xNow, double& zNow) {
    const double c = std::cos(ego.yaw_rad);
    const double s = std::sin(ego.yaw_rad);
    xNow = c * x - s * z;
    zNow = s * x + c * z;
}

// A circle of radius r turning by psi has a chord of 2 r sin(psi / 2).
double PathCurvature(const EgoMotion& ego) {
    const double chord_m = std::hypot(ego.travelX_m, ego.travelZ_m);
    if (!ego.known || !(chord_m > 0.0)) return 0.0;
    return 2.0 * std::sin(ego.yaw_rad / 2.0) / chord_m;
}
