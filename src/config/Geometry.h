// Conversions between picture positions, disparities and metric positions on the road
// (rectified pinhole stereo). `gnd` is a road-row table: gnd[d] is the picture row of the road at
// integer disparity d, LUT_NUM entries.
#pragma once

#include "Config.h"

double Img2RealX(int u_pix, double z_m);
int Real2ImgX(double x_m, double z_m);
double Real2GridU(double x_m, double z_m);
int Real2ImgH(double h_m, double z_m, const int* gnd);
int Real2ImgH_D(double h_m, double dD, const int* gnd);
int Real2ImgG(double z_m, const int* gnd);
double Img2DisparityG(int v, const int* gnd);
double ComputeHeight(double disparity, int height_pix, int ground_pix);
