#include "Camera.h"

#include <cmath>

// The row formula of a point on the road at distance z = bf / d: with the camera camHeight_m above
// the road, pitched down by tanPitch, the road point lies n / m rows above the principal row, for
// n = (-h + z tan) f and m = z - h tan.
double FlatRoadRow(const Camera& camera, double d_pix) {
    const double real_h = -camera.camHeight_m;
    const double real_tan = -camera.tanPitch;
    const double tmp_z = camera.bf_pix / d_pix;
    const double n = (real_h - tmp_z * real_tan) * camera.f_pix;
    const double m = tmp_z - camera.camHeight_m * camera.tanPitch;
    return camera.v0_pix - n / m;
}

int FlatRoadRowInPicture(const Camera& camera, double d_pix) {
    const int row = static_cast<int>(FlatRoadRow(camera, d_pix));
    return row > camera.height_pix ? camera.height_pix : row;
}

double HorizonRow(const Camera& camera) { return camera.v0_pix + -camera.tanPitch * camera.f_pix; }

// The row formula solved for the distance: z = (h f + h tan t) / (t + tan f), t rows below the
// principal row.
double FlatRoadDistance(const Camera& camera, double v) {
    const double t = v - camera.v0_pix;
    const double denominator = t - -camera.tanPitch * camera.f_pix;
    if (denominator <= 0.0) return 0.0;
    const double h = camera.camHeight_m;
    return (h * camera.f_pix + h * camera.tanPitch * t) / denominator;
}

// r - sqrt(r^2 - z^2) = k z^2 / (1 + sqrt(1 - k^2 z^2)) for k = 1 / r, which holds at k = 0 too.
double PathOffset(double curvature_pm, double z_m) {
    if (curvature_pm == 0.0) return 0.0;
    const double kz = curvature_pm * z_m;
    if (!(std::fabs(kz) < 1.0)) return 1.0 / curvature_pm;
    return kz * z_m / (1.0 + std::sqrt(1.0 - kz * kz));
}

bool ReachesIntoZone(const Camera& camera, double left_m, double right_m, double z_m, double pathCurvature_pm) {
    const double offset_m = PathOffset(pathCurvature_pm, z_m);
    return left_m < camera.zoneR_m + offset_m && right_m > camera.zoneL_m + offset_m;
}

bool InDetectableArea(const Camera& camera, const DetectedObject& obj, double pathCurvature_pm) {
    return ReachesIntoZone(camera, obj.lX_m, obj.rX_m, camera.bf_pix / obj.d_pix, pathCurvature_pm);
}
