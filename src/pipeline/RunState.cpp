#include "RunState.h"

RunState::RunState(const Camera& camera)
    : camera(camera),
      measuredDisparity(TOTAL_PIXELS, 0.0),
      measuredDisparityRoad(TOTAL_PIXELS, 0.0),
      grid(gridNum, Grid{}),
      newGrid(gridNum, Grid{}) {
    InitialRoadRows(pre_ground);
    ResetFrameTables(disparity, threshold);
    for (int i = 0; i < LUT_NUM; ++i) {
        ground[i] = blind[i] = ceiling[i] = 0;
        MaxY[i] = TOTAL_V - 1;
    }
}

RunState::~RunState() {
    src_img_colorD.release();
    src_img_grayR.release();
    src_img_topview.release();
}

// A flat road 1.32 m below the camera, tilted by 0.075: the row of disparity k + 1, capped at 360.
void InitialRoadRows(int pre_ground[LUT_NUM]) {
    const double real_h = -1.32;
    const double real_tan = -0.075;
    for (int k = 0; k < LUT_NUM; ++k) {
        const double tmp_z = BF_PIX / (k + 1);
        const double n = (real_h - tmp_z * real_tan) * F_PIX;
        const double m = tmp_z - 0.099;
        const int row = static_cast<int>(180.0 - n / m);
        pre_ground[k] = row > TOTAL_V ? TOTAL_V : row;
    }
}

void ResetFrameTables(double disparity[LUT_NUM], double threshold[LUT_NUM]) {
    for (int i = 0; i < LUT_NUM; ++i) {
        disparity[i] = i;
        if (i <= 16) {
            threshold[i] = 12.0;
        } else if (i <= 39) {
            threshold[i] = 24.0 + i / 10.0;
        } else {
            threshold[i] = 28.0;
        }
    }
}
