#include "GridSearch.h"

#include <cmath>

namespace {

// A pixel belongs to a cell when its disparity or its distance is close to the cell's. A zero pixel
// lies at infinite distance and so can match only through its disparity.
bool MatchesCell(const Grid& cell, double value, double bf_pix) {
    return std::fabs(cell.aveD - value) <= 0.5 || std::fabs(cell.z_m - bf_pix / value) <= 0.4;
}

// First row of the bottom block row, which is never examined.
int EndBlockRow(const StageGeometry& g) { return g.height - g.blockRows; }

}  // namespace

double FindDisparityInBlock(const StageGeometry& g, int u, int v, const double* measuredDisparity) {
    for (int j = 0; j < g.blockRows; ++j) {
        const double* row = measuredDisparity + PIXEL(u, v + j, g.width);
        for (int i = 0; i < SHIFT_PITCH; ++i) {
            if (row[i] != 0.0) return row[i];
        }
    }
    return 0.0;
}

int CountFarBlock(const StageGeometry& g, int u, int v, double d, const double* measuredDisparity) {
    int nf = 0;
    for (int nextBlk = v + g.blockRows; nextBlk < EndBlockRow(g); nextBlk += g.blockRows) {
        const double dj = FindDisparityInBlock(g, u, nextBlk, measuredDisparity);
        if (dj < d - 1.0 && dj != 0.0) ++nf;
    }
    return nf;
}

// A row matches when its pixel and the pixel one block lower both match, which keeps single stray
// pixels from raising the top of an obstacle.
void SearchHeightPixel(const StageGeometry& g, Grid* grid, const double* measuredDisparity, int u, int groundPoint,
                       int /*ceiling*/) {
    const double bf_pix = g.camera.bf_pix;
    const int probe = g.blockRows * g.width;
    int height_pix = groundPoint;
    int low_pix = groundPoint;
    bool bFlag = false;
    for (int v = 0; v <= groundPoint && v < EndBlockRow(g); ++v) {
        const double* pixel = measuredDisparity + PIXEL(u, v, g.width);
        if (!MatchesCell(*grid, pixel[0], bf_pix) || !MatchesCell(*grid, pixel[probe], bf_pix)) continue;
        if (!bFlag) height_pix = v;
        low_pix = v + g.blockRows;
        bFlag = true;
    }
    grid->h_pix = height_pix;
    grid->hl_pix = low_pix;
    grid->h_m = (static_cast<double>(groundPoint - height_pix) * g.camera.baseline_m) / grid->aveD;
}
