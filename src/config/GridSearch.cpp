#include "GridSearch.h"

double FindDisparityInBlock(const StageGeometry& g, int u, int v, const double* measuredDisparity) {
    return FirstInBlock(g, u, v, measuredDisparity);
}

int CountFarBlock(const StageGeometry& g, int u, int v, double d, const double* measuredDisparity) {
    int nf = 0;
    for (int nextBlk = v + g.blockRows; nextBlk < EndBlockRow(g); nextBlk += g.blockRows) {
        const double dj = FindDisparityInBlock(g, u, nextBlk, measuredDisparity);
        if (dj < d - 1.0 && dj != 0.0) ++nf;
    }
    return nf;
}

void SearchHeightPixel(const StageGeometry& g, Grid* grid, const double* measuredDisparity, int u, int groundPoint,
                       int /*ceiling*/) {
    SearchHeight(g, grid, measuredDisparity, ValueReader{}, u, groundPoint);
}
