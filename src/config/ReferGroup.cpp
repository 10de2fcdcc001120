#include <cmath>
#include <cstdlib>

#include "GridSearch.h"

namespace {

bool CloseLaterally(const Grid& b, const Grid& r, int bU, int rU) {
    return std::abs(bU - rU) <= NEIGHBOUR_BLOCKS || std::fabs(b.x_m - r.x_m) <= GROUPED_RANGE;
}

bool CloseInDepth(const Grid& b, const Grid& r) {
    return std::fabs(b.aveD - r.aveD) <= dDisparityThresh || std::fabs(b.z_m - r.z_m) <= dDistanceThresh;
}

bool SimilarTop(const Grid& b, const Grid& r, double heightToleranceRows) {
    return std::fabs(b.h_m - r.h_m) < GROUPED_RANGE_H_M || std::abs(b.h_pix - r.h_pix) < heightToleranceRows;
}

// The label table: label L's entry is grid[L].ref, never above L; a label whose entry is itself
// is the smallest label of its class.
int RootLabel(const Grid* grid, int label) {
    while (grid[label].ref != label) label = grid[label].ref;
    return label;
}

}  // namespace

// Two labels that meet join their whole classes: the larger root is pointed at the smaller, so
// an equivalence recorded earlier for either label is never overwritten.
void ReferGroup(const StageGeometry& g, Grid* grid, int bU, int bD, int rU, int rD) {
    const Grid& b = grid[GRID(bU, bD, g.blocksU)];
    Grid& r = grid[GRID(rU, rD, g.blocksU)];
    if (!CloseLaterally(b, r, bU, rU) || !CloseInDepth(b, r) || !SimilarTop(b, r, g.heightToleranceRows)) return;
    if (r.id == 0) {
        r.id = b.id;
        return;
    }
    const int rootR = RootLabel(grid, r.id);
    const int rootB = RootLabel(grid, b.id);
    if (rootR > rootB) grid[rootR].ref = rootB;
    if (rootR < rootB) grid[rootB].ref = rootR;
}
