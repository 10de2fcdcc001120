#include "PictureBox.h"

#include "Geometry.h"

namespace {

constexpr double MAX_BOX_HEIGHT_M = 100.0;  // keeps the row arithmetic of a wild height in range

int Clamp(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

// A disparity the road table can be read at: inside 0 .. LUT_NUM - 1, 0 when not a number.
double TableDisparity(double d_pix) {
    if (!(d_pix > 0.0)) return 0.0;
    return d_pix > LUT_NUM - 1 ? LUT_NUM - 1 : d_pix;
}

double BoxHeight(double h_m) {
    if (!(h_m > 0.0)) return 0.0;
    return h_m > MAX_BOX_HEIGHT_M ? MAX_BOX_HEIGHT_M : h_m;
}

}  // namespace

PictureBox ObstacleBox(const StageGeometry& g, int S_u, int E_u, double d_pix, double h_m,
                       const int ground[LUT_NUM]) {
    const int first = Clamp(S_u < E_u ? S_u : E_u, 0, g.blocksU - 1);
    const int last = Clamp(S_u < E_u ? E_u : S_u, 0, g.blocksU - 1);
    const double dD = TableDisparity(d_pix);
    const int road = Clamp(Real2ImgH_D(g.camera, 0.0, dD, ground), 0, g.height - 1);
    const int top = Clamp(Real2ImgH_D(g.camera, BoxHeight(h_m), dD, ground), 0, road);
    return PictureBox{first * SHIFT_PITCH, top, (last + 1) * SHIFT_PITCH - 1, road};
}

PictureBox TrackBox(const StageGeometry& g, const TrackingObject& track, const int ground[LUT_NUM]) {
    return ObstacleBox(g, track.m_S_u, track.m_E_u, track.m_D_pix, track.m_h_m, ground);
}

PictureBox DetectionBox(const StageGeometry& g, const DetectedObject& detection, const int ground[LUT_NUM]) {
    return ObstacleBox(g, detection.S_u, detection.E_u, detection.d_pix, detection.h_m, ground);
}
