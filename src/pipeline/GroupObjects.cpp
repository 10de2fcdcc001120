#include "GroupObjects.h"

#include <algorithm>
#include <functional>

#include "GridSearch.h"
#include "ObjectDetection.h"
#include "TrackingObject.h"

namespace {

constexpr int OCCUPIED = 10;
constexpr int FIRST_ROW = 2;  // disparity levels 0 and 1 are never occupied

// The taking-part cells in grid order (row by row, each row left to right) and, per row, the
// position of its first cell in that list (rows FIRST_ROW .. LUT_NUM; the last entry ends the list).
struct TakingPartCells {
    std::vector<int> cells;
    int rowStart[LUT_NUM + 1];
};

TakingPartCells ListTakingPart(const Grid* grid) {
    TakingPartCells list;
    list.cells.reserve(gridNum);
    for (int d = FIRST_ROW; d < LUT_NUM; ++d) {
        list.rowStart[d] = static_cast<int>(list.cells.size());
        for (int uBl = 0; uBl < totalBlkNumU; ++uBl) {
            if (TakesPart(grid[GRID(uBl, d)])) list.cells.push_back(GRID(uBl, d));
        }
    }
    list.rowStart[LUT_NUM] = static_cast<int>(list.cells.size());
    return list;
}

// Candidates lie in the base's own row (on both sides of it) and in every farther-indexed row;
// the rows before it were compared when their own cells were the base. Only taking-part cells
// can be joined, so they are read from the list, which keeps the grid's order of the joins.
void ReferCandidates(Grid* grid, const TakingPartCells& list, int uBl, int d) {
    const int base = GRID(uBl, d);
    for (int k = list.rowStart[d]; k < list.rowStart[LUT_NUM]; ++k) {
        const int r = list.cells[k];
        if (r != base) ReferGroup(grid, uBl, d, r % totalBlkNumU, r / totalBlkNumU);
    }
}

// Mean disparity of every group, ranked nearest (largest) first.
std::vector<SortNum> RankGroups(const Grid* grid, const TakingPartCells& list, int orgGrNo) {
    std::vector<double> sumD(orgGrNo, 0.0);
    std::vector<int> cells(orgGrNo, 0);
    for (int index : list.cells) {
        const Grid& c = grid[index];
        sumD[c.id] += c.aveD;
        cells[c.id] += 1;
    }
    std::vector<SortNum> data;
    for (int g = 1; g < orgGrNo; ++g) data.push_back(SortNum{g, sumD[g] / cells[g]});
    std::sort(data.begin(), data.end(), std::greater<SortNum>());
    return data;
}

DetectedObject EmptyObject(double meanD) {
    DetectedObject gr{};
    gr.lX_m = 100.0;
    gr.rX_m = -100.0;
    gr.d_pix = meanD;
    gr.h_m = 0.0;
    gr.S_u = 10000;
    gr.E_u = 0;
    return gr;
}

// Extent, height, column span and line-fit sums of one group's cells. The sums run in the same
// order as the group's mean (the list keeps the grid's order), so d_pix equals sigmaD / iN.
DetectedObject MeasureGroup(const Grid* grid, const TakingPartCells& list, int num, double meanD) {
    DetectedObject gr = EmptyObject(meanD);
    for (int index : list.cells) {
        const Grid& c = grid[index];
        if (c.id != num) continue;
        const int uBl = index % totalBlkNumU;
        gr.h_m = std::max(gr.h_m, c.h_m);
        gr.lX_m = std::min(gr.lX_m, c.x_m);
        gr.rX_m = std::max(gr.rX_m, c.x_m);
        gr.S_u = std::min(gr.S_u, uBl);
        gr.E_u = std::max(gr.E_u, uBl);
        gr.sigmaUD += c.aveD * uBl;
        gr.sigmaU += uBl;
        gr.sigmaD += c.aveD;
        gr.sigmaUU += uBl * uBl;
        gr.iN += 1;
    }
    FitDisparityLine(gr);
    return gr;
}

bool WideEnough(const DetectedObject& gr) {
    return !(gr.rX_m - gr.lX_m < OBJECT_MIN_WIDTH_M || gr.E_u - gr.S_u < 0);
}

}  // namespace

bool TakesPart(const Grid& c) { return c.exist == OCCUPIED && c.count > 0; }

int LabelCells(Grid* grid) {
    const TakingPartCells list = ListTakingPart(grid);
    int groupNum = 1;
    for (int uBl = 0; uBl < totalBlkNumU; ++uBl) {
        for (int d = FIRST_ROW; d < LUT_NUM; ++d) {
            Grid& b = grid[GRID(uBl, d)];
            if (!TakesPart(b)) continue;
            if (b.id == 0) b.id = groupNum++;
            ReferCandidates(grid, list, uBl, d);
        }
    }
    return groupNum;
}

// Entries never point above their label, so ascending order meets every representative before
// the labels that refer to it, and chains of entries resolve in one pass.
int RenumberGroups(Grid* grid, int groupNum) {
    std::vector<int> organize(groupNum, 0);
    int orgGrNo = 1;
    for (int g = 1; g < groupNum; ++g) {
        organize[g] = (grid[g].ref == g) ? orgGrNo++ : organize[grid[g].ref];
    }
    for (int d = FIRST_ROW; d < LUT_NUM; ++d) {
        for (int uBl = 0; uBl < totalBlkNumU; ++uBl) {
            Grid& c = grid[GRID(uBl, d)];
            if (TakesPart(c)) c.id = organize[grid[c.id].ref];
        }
    }
    return orgGrNo;
}

std::vector<DetectedObject> ExtractObjects(Grid* grid) {
    const int orgGrNo = RenumberGroups(grid, LabelCells(grid));
    const TakingPartCells list = ListTakingPart(grid);  // labelling leaves who takes part unchanged
    std::vector<DetectedObject> newObject;
    for (const SortNum& group : RankGroups(grid, list, orgGrNo)) {
        if (group.key < MIN_D) break;
        const DetectedObject gr = MeasureGroup(grid, list, group.num, group.key);
        if (WideEnough(gr)) newObject.push_back(gr);
    }
    return newObject;
}

void GroupObjects(RunState& run) { run.newObject = ExtractObjects(run.grid.data()); }
