#include "KittiTracking.h"

#include <cmath>

namespace {

std::string KittiNumber(double value) { return std::isfinite(value) ? JsonNumber(value) : std::to_string(KITTI_UNKNOWN); }

// Depth below the optical axis, in the camera's axes, of the flat road at distance z_m: the
// road's picture row brought back through the pinhole.
double RoadDepthBelowAxis(const Camera& camera, double z_m) {
    return (FlatRoadRow(camera, camera.bf_pix / z_m) - camera.v0_pix) * z_m / camera.f_pix;
}

}  // namespace

void WriteKittiTrackingFrame(std::ostream& out, int kittiFrame, const RunState& run, const TrajectoryNumbers& numbers,
                             bool tentative) {
    const Camera& camera = run.geometry.camera;
    for (const TrackingObject& t : run.preObject) {
        if (!ReportedTrack(t, tentative)) continue;
        const PictureBox box = TrackBox(run.geometry, t, run.ground);
        out << kittiFrame << ' ' << numbers.Of(t.m_id) << ' ' << KITTI_TRACK_TYPE << ' ' << KITTI_UNKNOWN << ' '
            << KITTI_UNKNOWN << ' ' << KITTI_UNKNOWN_ANGLE << ' ' << box.left << ' ' << box.top << ' ' << box.right
            << ' ' << box.bottom << ' ' << KittiNumber(t.m_h_m) << ' ' << KittiNumber(t.m_w_m) << ' ' << KITTI_UNKNOWN
            << ' ' << KittiNumber(t.m_X_m) << ' ' << KittiNumber(RoadDepthBelowAxis(camera, t.m_Z_m)) << ' '
            << KittiNumber(t.m_Z_m) << ' ' << KITTI_UNKNOWN_ANGLE << ' ' << (IsConfirmed(t) ? 1 : 0)
            << '\n';
    }
}
