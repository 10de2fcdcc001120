#include "GridSearch.h"

#include <cmath>

namespace {

// The bottom block row is never examined as a farther block.
constexpr int END_BLK_V = TOTAL_V - SHIFT_PITCH;

// A pixel belongs to a cell when its disparity or its distance is close to the cell's. A zero pixel
// lies at infinite distance and so can match only through its disparity.
bool MatchesCell(const Grid& cell, double value) {
    return std::fabs(cell.aveD - value) <= 0.5 || std::fabs(cell.z_m - BF_PIX / value) <= 0.4;
}

}  // namespace

double FindDisparityInBlock(int u, int v, const double* measuredDisparity) {
    for (int j = 0; j < SHIFT_PITCH; ++j) {
        for (int i = 0; i < SHIFT_PITCH; ++i) {
            const double value = measuredDisparity[PIXEL(u + i, v + j)];
            if (value != 0.0) return value;
        }
    }
    return 0.0;
}

int CountFarBlock(int u, int v, double d, const double* measuredDisparity) {
    int nf = 0;
    for (int nextBlk = v + SHIFT_PITCH; nextBlk < END_BLK_V; nextBlk += SHIFT_PITCH) {
        const double dj = FindDisparityInBlock(u, nextBlk, measuredDisparity);
        if (dj < d - 1.0 && dj != 0.0) ++nf;
    }
    return nf;
}

// A row matches when its pixel and the pixel one block lower both match, which keeps single stray
// pixels from raising the top of an obstacle.
void SearchHeightPixel(Grid* grid, const double* measuredDisparity, int u, int groundPoint, int /*ceiling*/) {
    int height_pix = groundPoint;
    int low_pix = groundPoint;
    bool bFlag = false;
    for (int v = 0; v <= groundPoint && v < END_BLK_V; ++v) {
        const double dD1 = measuredDisparity[PIXEL(u, v)];
        const double dD2 = measuredDisparity[PIXEL(u, v + SHIFT_PITCH)];
        if (!MatchesCell(*grid, dD1) || !MatchesCell(*grid, dD2)) continue;
        if (!bFlag) height_pix = v;
        low_pix = v + SHIFT_PITCH;
        bFlag = true;
    }
    grid->h_pix = height_pix;
    grid->hl_pix = low_pix;
    grid->h_m = (static_cast<double>(groundPoint - height_pix) * B_MM) / grid->aveD;
}
