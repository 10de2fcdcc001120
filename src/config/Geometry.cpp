#include "Geometry.h"

namespace {

// Column of the optical axis in the disparity picture.
constexpr int AXIS_U_PIX = U0 - DISPARITY_OFS_U;

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

double Img2RealX(int u_pix, double z_m) { return (z_m / F_PIX) * (u_pix - AXIS_U_PIX); }

// A column of the full camera picture (no DISPARITY_OFS_U): the grey picture is drawn at full size.
int Real2ImgX(double x_m, double z_m) { return static_cast<int>((x_m * F_PIX) / z_m) + U0; }

double Real2GridU(double x_m, double z_m) {
    return (((x_m * F_PIX) / z_m + U0) - DISPARITY_OFS_U) * 0.25;
}

int Real2ImgH(double h_m, double z_m, const int* gnd) {
    const double dD = BF_PIX / z_m;
    const double dH = (dD * h_m) / B_MM;
    return static_cast<int>(RoadRowAt(dD, gnd) - dH);
}

int Real2ImgH_D(double h_m, double dD, const int* gnd) {
    const double dH = (h_m * dD) / B_MM;
    return static_cast<int>(RoadRowAt(dD, gnd) - dH);
}

int Real2ImgG(double z_m, const int* gnd) { return static_cast<int>(RoadRowAt(BF_PIX / z_m, gnd)); }

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

double ComputeHeight(double disparity, int height_pix, int ground_pix) {
    if (disparity == 0.0) return 0.0;
    return (static_cast<double>(ground_pix - height_pix) * B_MM) / disparity;
}
