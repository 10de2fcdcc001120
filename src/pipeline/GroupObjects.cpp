#include "GroupObjects.h"

#include <algorithm>
#include <functional>

#include "GridSearch.h"
#include "ObjectDetection.h"
#include "TrackingObject.h"

namespace {

constexpr int OCCUPIED = 10;
constexpr int FIRST_ROW = 2;  // disparity levels 0 and 1 are never occupied

// Group number of a cell, 0 for a cell that takes no part.
int GroupOf(const Grid& c) { return TakesPart(c) ? c.id : 0; }

// Candidates lie in the base's own row (on both sides of it) and in every farther-indexed row;
// the rows before it were compared when their own cells were the base.
void ReferCandidates(Grid* grid, int uBl, int d) {
    for (int rd = d; rd < LUT_NUM; ++rd) {
        for (int ruBl = 0; ruBl < totalBlkNumU; ++ruBl) {
            if ((rd == d && ruBl == uBl) || !TakesPart(grid[GRID(ruBl, rd)])) continue;
            ReferGroup(grid, uBl, d, ruBl, rd);
        }
    }
}

// Mean disparity of every group, ranked nearest (largest) first.
std::vector<SortNum> RankGroups(const Grid* grid, int orgGrNo) {
    std::vector<double> sumD(orgGrNo, 0.0);
    std::vector<int> cells(orgGrNo, 0);
    for (int d = FIRST_ROW; d < LUT_NUM; ++d) {
        for (int uBl = 0; uBl < totalBlkNumU; ++uBl) {
            const Grid& c = grid[GRID(uBl, d)];
            const int g = GroupOf(c);
            if (g == 0) continue;
            sumD[g] += c.aveD;
            cells[g] += 1;
        }
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
// order as the group's mean, so d_pix equals sigmaD / iN.
DetectedObject MeasureGroup(const Grid* grid, int num, double meanD) {
    DetectedObject gr = EmptyObject(meanD);
    for (int d = FIRST_ROW; d < LUT_NUM; ++d) {
        for (int uBl = 0; uBl < totalBlkNumU; ++uBl) {
            const Grid& c = grid[GRID(uBl, d)];
            if (GroupOf(c) != num) continue;
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
    int groupNum = 1;
    for (int uBl = 0; uBl < totalBlkNumU; ++uBl) {
        for (int d = FIRST_ROW; d < LUT_NUM; ++d) {
            Grid& b = grid[GRID(uBl, d)];
            if (!TakesPart(b)) continue;
            if (b.id == 0) b.id = groupNum++;
            ReferCandidates(grid, uBl, d);
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
    std::vector<DetectedObject> newObject;
    for (const SortNum& group : RankGroups(grid, orgGrNo)) {
        if (group.key < MIN_D) break;
        const DetectedObject gr = MeasureGroup(grid, group.num, group.key);
        if (WideEnough(gr)) newObject.push_back(gr);
    }
    return newObject;
}

void GroupObjects(RunState& run) { run.newObject = ExtractObjects(run.grid.data()); }
