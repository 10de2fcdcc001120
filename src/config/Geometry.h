// Conversions between picture positions, disparities and metric positions on the road
// (rectified pinhole stereo) through a camera. `gnd` is a road-row table: gnd[d] is the picture
// row of the road at integer disparity d, LUT_NUM entries.
#pragma once

#include "Camera.h"
#include "Config.h"

double Img2RealX(const Camera& camera, int u_pix, double z_m);
int Real2ImgX(const Camera& camera, double x_m, double z_m);
double Real2GridU(const Camera& camera, double x_m, double z_m);
int Real2ImgH(const Camera& camera, double h_m, double z_m, const int* gnd);
int Real2ImgH_D(const Camera& camera, double h_m, double dD, const int* gnd);
int Real2ImgG(const Camera& camera, double z_m, const int* gnd);
double Img2DisparityG(int v, const int* gnd);
// Inline: the grid stage asks it for every block that may be overhead.
inline double ComputeHeight(const Camera& camera, double disparity, int height_pix, int ground_pix) {
    if (disparity == 0.0) return 0.0;
    return (static_cast<double>(ground_pix - height_pix) * camera.baseline_m) / disparity;
}
