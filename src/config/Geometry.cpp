#include "Geometry.h"

namespace {

// Road row at a fractional disparity, linear between the two neighbouring table entries. A disparity
// outside the table (nearer than level LUT_NUM - 1, negative, or not a number) takes the row of the
// nearest end of the table instead of reading past it; inside the table the result is unchanged.
double RoadRowAt(double dD, const int* gnd) {
    if (!(dD >= 0.0)) dD = 0.0;
    if (dD > LUT_NUM - 1) dD = LUT_NUM - 1;
    int iD = static_cast<int>(dD);
    if (iD == LUT_NUM - 1) iD = LUT_NUM - 2;  // the last entry itself, with the full weight on it
    const double dK1 = dD - iD;
    const double dK2 = 1.0 - dK1;
    return dK1 * gnd[iD + 1] + dK2 * gnd[iD];
}

}  // namespace

double Img2RealX(const Camera& camera, int u_pix, double z_m) {
    return (z_m / camera.f_pix) * (u_pix - camera.u0_pix);
}

// A column of the camera picture the disparity picture is the window of, DISPARITY_OFS_U columns in.
int Real2ImgX(const Camera& camera, double x_m, double z_m) {
    return static_cast<int>((x_m * camera.f_pix) / z_m) + static_cast<int>(camera.u0_pix + DISPARITY_OFS_U);
}

double Real2GridU(const Camera& camera, double x_m, double z_m) {
    return ((x_m * camera.f_pix) / z_m + camera.u0_pix) * (1.0 / SHIFT_PITCH);
}

int Real2ImgH(const Camera& camera, double h_m, double z_m, const int* gnd) {
    const double dD = camera.bf_pix / z_m;
    const double dH = (dD * h_m) / camera.baseline_m;
    return static_cast<int>(RoadRowAt(dD, gnd) - dH);
}

int Real2ImgH_D(const Camera& camera, double h_m, double dD, const int* gnd) {
    const double dH = (h_m * dD) / camera.baseline_m;
    return static_cast<int>(RoadRowAt(dD, gnd) - dH);
}

int Real2ImgG(const Camera& camera, double z_m, const int* gnd) {
    return static_cast<int>(RoadRowAt(camera.bf_pix / z_m, gnd));
}

// The search stops at the last table entry: a row lower than the whole road profile lies nearer than
// the table reaches and gives the table's largest disparity, LUT_NUM - 1. Two equal neighbouring rows
// (a flat stretch of the table, possible only at entries 0 and 1 once the search has stopped) give
// the level gd itself instead of a division by zero.
double Img2DisparityG(int v, const int* gnd) {
    int gd = 1;
    while (gnd[gd] < v) {
        if (gd == LUT_NUM - 1) return LUT_NUM - 1;
        ++gd;
    }
    const int below = gnd[gd] - v;
    const int step = gnd[gd] - gnd[gd - 1];
    if (step == 0) return gd;
    return gd - static_cast<double>(below) / step;
}
