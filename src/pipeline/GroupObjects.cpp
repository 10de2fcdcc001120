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

constexpr int CHUNK_CELLS = 8;  // listed cells of one row whose ranges are kept together

// Consecutive taking-part cells of row d (entries first .. end - 1 of the list) and the ranges of
// their disparities, distances, column blocks and lateral positions.
struct CellChunk {
    int d;
    int first;
    int end;
    DepthRange depths;
    LateralRange lateral;
};

// The taking-part cells in grid order (row by row, each row left to right), and each row's cells in
// chunks of at most CHUNK_CELLS: row d's chunks are entries rowChunks[d] .. rowChunks[d + 1] - 1 of
// chunks (rows FIRST_GRID_LEVEL .. LUT_NUM; the last entry ends the chunks).
struct TakingPartCells {
    std::vector<ListedCell> cells;
    std::vector<CellChunk> chunks;
    int rowChunks[LUT_NUM + 1];
};

CellChunk ChunkOf(const Grid* grid, const std::vector<ListedCell>& cells, int d, int first, int end) {
    const Grid& c0 = grid[cells[first].index];
    CellChunk chunk{d, first, end, {c0.aveD, c0.aveD, c0.z_m, c0.z_m},
                    {cells[first].uBl, cells[end - 1].uBl, c0.x_m, c0.x_m}};
    for (int k = first + 1; k < end; ++k) {
        const Grid& cell = grid[cells[k].index];
        chunk.depths.minD = std::min(chunk.depths.minD, cell.aveD);
        chunk.depths.maxD = std::max(chunk.depths.maxD, cell.aveD);
        chunk.depths.minZ = std::min(chunk.depths.minZ, cell.z_m);
        chunk.depths.maxZ = std::max(chunk.depths.maxZ, cell.z_m);
        chunk.lateral.minX = std::min(chunk.lateral.minX, cell.x_m);
        chunk.lateral.maxX = std::max(chunk.lateral.maxX, cell.x_m);
    }
    return chunk;
}

TakingPartCells ListTakingPart(const StageGeometry& g, const Grid* grid) {
    TakingPartCells list;
    const int blocksU = g.blocksU;
    list.cells.reserve(static_cast<size_t>(g.gridCells));
    for (int d = FIRST_GRID_LEVEL; d < LUT_NUM; ++d) {
        list.rowChunks[d] = static_cast<int>(list.chunks.size());
        const int rowStart = static_cast<int>(list.cells.size());
        for (int uBl = 0; uBl < blocksU; ++uBl) {
            const int index = GRID(uBl, d, blocksU);
            if (TakesPart(grid[index])) list.cells.push_back(ListedCell{index, uBl});
        }
        const int rowEnd = static_cast<int>(list.cells.size());
        for (int first = rowStart; first < rowEnd; first += CHUNK_CELLS) {
            list.chunks.push_back(ChunkOf(grid, list.cells, d, first, std::min(first + CHUNK_CELLS, rowEnd)));
        }
    }
    list.rowChunks[LUT_NUM] = static_cast<int>(list.chunks.size());
    return list;
}

// Candidates lie in the base's own row (on both sides of it) and in every farther-indexed row;
// the rows before it were compared when their own cells were the base. Only taking-part cells
// can be joined, so they are read from the list, which keeps the grid's order of the joins; a chunk
// none of whose cells can be close in depth or laterally to the base is passed over whole.
void ReferCandidates(const StageGeometry& g, Grid* grid, const TakingPartCells& list, int uBl, int d) {
    const int base = GRID(uBl, d, g.blocksU);
    const Grid& b = grid[base];
    for (int n = list.rowChunks[d]; n < list.rowChunks[LUT_NUM]; ++n) {
        const CellChunk& chunk = list.chunks[n];
        if (!MayBeCloseInDepth(b, chunk.depths) || !MayBeCloseLaterally(b, uBl, chunk.lateral)) continue;
        for (int k = chunk.first; k < chunk.end; ++k) {
            const ListedCell& r = list.cells[k];
            if (r.index != base) ReferGroup(g, grid, uBl, d, r.uBl, chunk.d);
        }
    }
}

DetectedObject EmptyObject() {
    DetectedObject gr{};
    gr.lX_m = 100.0;
    gr.rX_m = -100.0;
    gr.h_m = 0.0;
    gr.S_u = 10000;
    gr.E_u = 0;
    return gr;
}

// Every group's extent, height, column span and line-fit sums (entry n for group n), in one pass
// over the list: each group's sums run in the grid's order, and its mean disparity d_pix is
// sigmaD / iN.
std::vector<DetectedObject> MeasureGroups(const Grid* grid, const TakingPartCells& list, int orgGrNo) {
    std::vector<DetectedObject> groups(orgGrNo, EmptyObject());
    for (const ListedCell& listed : list.cells) {
        const Grid& c = grid[listed.index];
        DetectedObject& gr = groups[c.id];
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
    for (int n = 1; n < orgGrNo; ++n) groups[n].d_pix = groups[n].sigmaD / groups[n].iN;
    return groups;
}

// The groups by mean disparity, nearest (largest) first.
std::vector<SortNum> RankGroups(const std::vector<DetectedObject>& groups) {
    std::vector<SortNum> data;
    for (int n = 1; n < static_cast<int>(groups.size()); ++n) data.push_back(SortNum{n, groups[n].d_pix});
    std::sort(data.begin(), data.end(), std::greater<SortNum>());
    return data;
}

bool WideEnough(const DetectedObject& gr) {
    return !(gr.rX_m - gr.lX_m < OBJECT_MIN_WIDTH_M || gr.E_u - gr.S_u < 0);
}

// LabelCells over the list of the grid's taking-part cells.
int LabelListed(const StageGeometry& g, Grid* grid, const TakingPartCells& list) {
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

}  // namespace

bool TakesPart(const Grid& c) { return c.exist == EXIST_OCCUPIED && c.count > 0; }

int LabelCells(const StageGeometry& g, Grid* grid) { return LabelListed(g, grid, ListTakingPart(g, grid)); }

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
    const TakingPartCells list = ListTakingPart(g, grid);  // labelling leaves it as it is
    const int orgGrNo = RenumberGroups(g, grid, LabelListed(g, grid, list));
    std::vector<DetectedObject> groups = MeasureGroups(grid, list, orgGrNo);
    std::vector<DetectedObject> newObject;
    for (const SortNum& group : RankGroups(groups)) {
        if (group.key < MIN_D) break;
        DetectedObject& gr = groups[group.num];
        FitDisparityLine(gr);
        if (WideEnough(gr)) newObject.push_back(gr);
    }
    return newObject;
}

void GroupObjects(RunState& run) { run.newObject = ExtractObjects(run.geometry, run.grid.data()); }
