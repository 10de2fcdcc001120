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

void WriteKittiTrackingFrame(std::ostream& out, int kittiFrame, const Camera& camera, const obstacle::FrameResult& result,
                             bool tentative) {
    for (const obstacle::Track& t : result.tracks) {
        if (!ReportedTrack(t, tentative)) continue;
        const obstacle::Box& box = t.box;
        out << kittiFrame << ' ' << t.trajectory << ' ' << KITTI_TRACK_TYPE << ' ' << KITTI_UNKNOWN << ' '
            << KITTI_UNKNOWN << ' ' << KITTI_UNKNOWN_ANGLE << ' ' << box.left << ' ' << box.top << ' ' << box.right
            << ' ' << box.bottom << ' ' << KittiNumber(t.height_m) << ' ' << KittiNumber(t.width_m) << ' '
            << KITTI_UNKNOWN << ' ' << KittiNumber(t.lateral_m) << ' '
            << KittiNumber(RoadDepthBelowAxis(camera, t.distance_m)) << ' ' << KittiNumber(t.distance_m) << ' '
            << KITTI_UNKNOWN_ANGLE << ' ' << (t.confirmed ? 1 : 0) << '\n';
    }
}
