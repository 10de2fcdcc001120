#include <algorithm>

#include "GridSmoothing.h"

namespace {

// On the first frame every occupied cell starts its persistence.
void StartCounts(const StageGeometry& g, Grid* newGrid) {
    for (int i = 0; i < g.gridCells; ++i) {
        if (newGrid[i].exist != EXIST_OCCUPIED) continue;
        newGrid[i].count = 1;
        newGrid[i].nowAveD = newGrid[i].aveD;
    }
}

// Previous-frame cell of block uBl at levels d - 1, d, d + 1 with the largest count; on equal counts
// level d is preferred to d - 1, and d - 1 to d + 1.
const Grid& Predecessor(const Grid* grid, int index, int blocksU) {
    const Grid* pred = &grid[index];
    if (pred->count < grid[index - blocksU].count) pred = &grid[index - blocksU];
    if (pred->count < grid[index + blocksU].count) pred = &grid[index + blocksU];
    return *pred;
}

// A measured cell continues its predecessor: one more frame of persistence, and its disparity
// averaged with the predecessor's last one or two measurements, as many as the camera's frame
// interval lets span the default camera's three frames.
void ContinueCell(Grid& cell, const Grid& pred, const StageGeometry& g) {
    const double pre1AveD = pred.nowAveD;
    const double pre2AveD = pred.preAveD;
    cell.count = std::min(pred.count + 1, g.maxPersistence);
    cell.nowAveD = cell.aveD;
    cell.preAveD = pre1AveD;
    const int measurements = std::min(cell.count, g.averagedMeasurements);
    if (measurements == 1) return;
    cell.aveD = measurements == 2 ? (pre1AveD + cell.aveD) * 0.5 : ((pre1AveD + cell.aveD) + pre2AveD) / 3.0;
    cell.z_m = g.camera.bf_pix / cell.aveD;
}

// A lost cell lives on as its previous self for as many frames as its count, counting down.
void HoldCell(Grid& cell, const Grid& previous, int index) {
    cell = previous;
    cell.id = 0;
    cell.ref = index;
    cell.count -= 1;
    if (cell.count < 0) {
        cell.count = 0;
        cell.exist = EXIST_EMPTY;
    }
}

// A cell is held only when neither neighbour level of this frame is occupied; the lower neighbour may
// already be a hold of this pass.
bool ShouldHold(const Grid* newGrid, const Grid* grid, int index, int blocksU) {
    return grid[index].exist == EXIST_OCCUPIED && newGrid[index - blocksU].exist != EXIST_OCCUPIED &&
           newGrid[index + blocksU].exist != EXIST_OCCUPIED;
}

}  // namespace

// Levels 0, 1 and LUT_NUM - 1 are left as measured: the neighbour levels d - 1 and d + 1 must exist.
// A cell reads only its own block's neighbour levels of this pass, and the lower neighbour may be a
// hold of this pass: walking the grid row by row, in memory order, finds every lower neighbour done.
void LinkToPreviousGrid(const StageGeometry& g, Grid* newGrid, const Grid* grid, bool firstFrame) {
    if (firstFrame) {
        StartCounts(g, newGrid);
        return;
    }
    for (int d = FIRST_GRID_LEVEL; d < LUT_NUM - 1; ++d) {
        for (int uBl = 0; uBl < g.blocksU; ++uBl) {
            const int index = GRID(uBl, d, g.blocksU);
            Grid& cell = newGrid[index];
            if (cell.exist == EXIST_OCCUPIED) {
                ContinueCell(cell, Predecessor(grid, index, g.blocksU), g);
            } else if (ShouldHold(newGrid, grid, index, g.blocksU)) {
                HoldCell(cell, grid[index], index);
            }
        }
    }
}

// The hand-over swaps the two grids instead of copying: the next frame builds its grid afresh in
// the buffer that held this frame's previous grid.
void GridSmoothing(RunState& run) {
    LinkToPreviousGrid(run.geometry, run.newGrid.data(), run.grid.data(), run.nonGridFlg);
    run.grid.swap(run.newGrid);
    run.nonGridFlg = false;
}
