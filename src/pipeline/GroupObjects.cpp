#include "GroupObjects.h"

#include <algorithm>
#include <functional>

#include "GridSearch.h"
#include "TrackingObject.h"

namespace {

// A taking-part cell: its grid index and its column block.
struct ListedCell {
    int index;
    int uBl;
};

// The taking-part cells in grid order (row by row, each row left to right); per row, the position
// of its first cell in that list (rows FIRST_GRID_LEVEL .. LUT_NUM; the last entry ends the list)
// and the range of its cells' disparities and distances.
struct TakingPartCells {
    std::vector<ListedCell> cells;
    int rowStart[LUT_NUM + 1];
    DepthRange depths[LUT_NUM];
};

DepthRange RowDepths(const Grid* grid, const ListedCell* first, const ListedCell* end) {
    DepthRange r{0.0, 0.0, 0.0, 0.0};
    if (first == end) return r;
    r.minD = r.maxD = grid[first->index].aveD;
    r.minZ = r.maxZ = grid[first->index].z_m;
    for (const ListedCell* c = first + 1; c != end; ++c) {
        const Grid& cell = grid[c->index];
        r.minD = std::min(r.minD, cell.aveD);
        r.maxD = std::max(r.maxD, cell.aveD);
        r.minZ = std::min(r.minZ, cell.z_m);
        r.maxZ = std::max(r.maxZ, cell.z_m);
    }
    return r;
}

TakingPartCells ListTakingPart(const StageGeometry& g, const Grid* grid) {
    TakingPartCells list;
    const int blocksU = g.blocksU;
    list.cells.reserve(static_cast<size_t>(g.gridCells));
    for (int d = FIRST_GRID_LEVEL; d < LUT_NUM; ++d) {
        list.rowStart[d] = static_cast<int>(list.cells.size());
        for (int uBl = 0; uBl < blocksU; ++uBl) {
            const int index = GRID(uBl, d, blocksU);
            if (TakesPart(grid[index])) list.cells.push_back(ListedCell{index, uBl});
        }
        list.depths[d] = RowDepths(grid, list.cells.data() + list.rowStart[d], list.cells.data() + list.cells.size());
    }
    list.rowStart[LUT_NUM] = static_cast<int>(list.cells.size());
    return list;
}

// Candidates lie in the base's own row (on both sides of it) and in every farther-indexed row;
// the rows before it were compared when their own cells were the base. Only taking-part cells
// can be joined, so they are read from the list, which keeps the grid's order of the joins; a row
// none of whose cells can be close in depth to the base is passed over whole.
void ReferCandidates(const StageGeometry& g, Grid* grid, const TakingPartCells& list, int uBl, int d) {
    const int base = GRID(uBl, d, g.blocksU);
    for (int row = d; row < LUT_NUM; ++row) {
        const int first = list.rowStart[row];
        const int end = list.rowStart[row + 1];
        if (first == end || !MayBeCloseInDepth(grid[base], list.depths[row])) continue;
        for (int k = first; k < end; ++k) {
            const ListedCell& r = list.cells[k];
            if (r.index != base) ReferGroup(g, grid, uBl, d, r.uBl, row);
        }
    }
}

// Mean disparity of every group, ranked nearest (largest) first.
std::vector<SortNum> RankGroups(const Grid* grid, const TakingPartCells& list, int orgGrNo) {
    std::vector<double> sumD(orgGrNo, 0.0);
    std::vector<int> cells(orgGrNo, 0);
    for (const ListedCell& listed : list.cells) {
        const Grid& c = grid[listed.index];
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
    for (const ListedCell& listed : list.cells) {
        const Grid& c = grid[listed.index];
        if (c.id != num) continue;
        const int uBl = listed.uBl;
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

bool TakesPart(const Grid& c) { return c.exist == EXIST_OCCUPIED && c.count > 0; }

int LabelCells(const StageGeometry& g, Grid* grid) {
    const TakingPartCells list = ListTakingPart(g, grid);
    const int blocksU = g.blocksU;
    int groupNum = 1;
    for (int uBl = 0; uBl < blocksU; ++uBl) {
        for (int d = FIRST_GRID_LEVEL; d < LUT_NUM; ++d) {
            Grid& b = grid[GRID(uBl, d, blocksU)];
            if (!TakesPart(b)) continue;
            if (b.id == 0) b.id = groupNum++;
            ReferCandidates(g, grid, list, uBl, d);
        }
    }
    return groupNum;
}

// Entries never point above their label, so ascending order meets every representative before
// the labels that refer to it, and chains of entries resolve in one pass.
int RenumberGroups(const StageGeometry& g, Grid* grid, int groupNum) {
    std::vector<int> organize(groupNum, 0);
    int orgGrNo = 1;
    for (int g = 1; g < groupNum; ++g) {
        organize[g] = (grid[g].ref == g) ? orgGrNo++ : organize[grid[g].ref];
    }
    for (int d = FIRST_GRID_LEVEL; d < LUT_NUM; ++d) {
        for (int uBl = 0; uBl < g.blocksU; ++uBl) {
            Grid& c = grid[GRID(uBl, d, g.blocksU)];
            if (TakesPart(c)) c.id = organize[grid[c.id].ref];
        }
    }
    return orgGrNo;
}

std::vector<DetectedObject> ExtractObjects(const StageGeometry& g, Grid* grid) {
    const int orgGrNo = RenumberGroups(g, grid, LabelCells(g, grid));
    const TakingPartCells list = ListTakingPart(g, grid);  // labelling leaves who takes part unchanged
    std::vector<DetectedObject> newObject;
    for (const SortNum& group : RankGroups(grid, list, orgGrNo)) {
        if (group.key < MIN_D) break;
        const DetectedObject gr = MeasureGroup(grid, list, group.num, group.key);
        if (WideEnough(gr)) newObject.push_back(gr);
    }
    return newObject;
}

void GroupObjects(RunState& run) { run.newObject = ExtractObjects(run.geometry, run.grid.data()); }
