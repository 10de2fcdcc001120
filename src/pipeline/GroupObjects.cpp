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

constexpr int CHUNK_CELLS = 8;   // listed cells of one row whose ranges are kept together
constexpr int SPAN_CHUNKS = 8;   // consecutive chunks whose ranges are kept together

// The ranges of the disparities, distances, column blocks and lateral positions of a set of cells.
struct CellRanges {
    DepthRange depths;
    LateralRange lateral;
};

// Consecutive taking-part cells of row d (entries first .. end - 1 of the list) and their ranges.
struct CellChunk {
    int d;
    int first;
    int end;
    CellRanges ranges;
};

// The taking-part cells in grid order (row by row, each row left to right), and each row's cells in
// chunks of at most CHUNK_CELLS: row d's chunks are entries rowChunks[d] .. rowChunks[d + 1] - 1 of
// chunks (rows FIRST_GRID_LEVEL .. LUT_NUM; the last entry ends the chunks). Span k holds the
// ranges of chunks k SPAN_CHUNKS .. (k + 1) SPAN_CHUNKS - 1 together, whatever rows they are of.
struct TakingPartCells {
    std::vector<ListedCell> cells;
    std::vector<CellChunk> chunks;
    std::vector<CellRanges> spans;
    int rowChunks[LUT_NUM + 1];
};

CellRanges Union(const CellRanges& a, const CellRanges& b) {
    return {{std::min(a.depths.minD, b.depths.minD), std::max(a.depths.maxD, b.depths.maxD),
             std::min(a.depths.minZ, b.depths.minZ), std::max(a.depths.maxZ, b.depths.maxZ)},
            {std::min(a.lateral.firstU, b.lateral.firstU), std::max(a.lateral.lastU, b.lateral.lastU),
             std::min(a.lateral.minX, b.lateral.minX), std::max(a.lateral.maxX, b.lateral.maxX)}};
}

// Whether some cell of the ranges may be joined to base cell b of column block bU (exact: false
// only when none can pass ReferGroup's depth or lateral test).
bool MayJoin(const Grid& b, int bU, const CellRanges& ranges) {
    return MayBeCloseInDepth(b, ranges.depths) && MayBeCloseLaterally(b, bU, ranges.lateral);
}

std::vector<CellRanges> SpansOf(const std::vector<CellChunk>& chunks) {
    std::vector<CellRanges> spans;
    for (size_t n = 0; n < chunks.size(); ++n) {
        if (n % SPAN_CHUNKS == 0) {
            spans.push_back(chunks[n].ranges);
        } else {
            spans.back() = Union(spans.back(), chunks[n].ranges);
        }
    }
    return spans;
}

CellChunk ChunkOf(const Grid* grid, const std::vector<ListedCell>& cells, int d, int first, int end) {
    const Grid& c0 = grid[cells[first].index];
    CellChunk chunk{d, first, end, {{c0.aveD, c0.aveD, c0.z_m, c0.z_m},
                                    {cells[first].uBl, cells[end - 1].uBl, c0.x_m, c0.x_m}}};
    for (int k = first + 1; k < end; ++k) {
        const Grid& cell = grid[cells[k].index];
        DepthRange& depths = chunk.ranges.depths;
        depths.minD = std::min(depths.minD, cell.aveD);
        depths.maxD = std::max(depths.maxD, cell.aveD);
        depths.minZ = std::min(depths.minZ, cell.z_m);
        depths.maxZ = std::max(depths.maxZ, cell.z_m);
        chunk.ranges.lateral.minX = std::min(chunk.ranges.lateral.minX, cell.x_m);
        chunk.ranges.lateral.maxX = std::max(chunk.ranges.lateral.maxX, cell.x_m);
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
    list.spans = SpansOf(list.chunks);
    return list;
}

// Candidates lie in the base's own row (on both sides of it) and in every farther-indexed row;
// the rows before it were compared when their own cells were the base. Only taking-part cells
// can be joined, so they are read from the list, which keeps the grid's order of the joins; a span
// or a chunk none of whose cells can be close in depth or laterally to the base is passed over whole.
void ReferCandidates(const StageGeometry& g, Grid* grid, const TakingPartCells& list, int uBl, int d) {
    const int base = GRID(uBl, d, g.blocksU);
    const Grid& b = grid[base];
    const int end = list.rowChunks[LUT_NUM];
    for (int n = list.rowChunks[d]; n < end; ++n) {
        if (n % SPAN_CHUNKS == 0 && !MayJoin(b, uBl, list.spans[n / SPAN_CHUNKS])) {
            n += SPAN_CHUNKS - 1;
            continue;
        }
        const CellChunk& chunk = list.chunks[n];
        if (!MayJoin(b, uBl, chunk.ranges)) continue;
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

bool ThinObstacle(const StageGeometry& g, const DetectedObject& gr) {
    const double block_m = SHIFT_PITCH * g.camera.baseline_m / gr.d_pix;  // a block's width at its distance
    const bool blocksHideWidth = 2.0 * block_m > THIN_OBSTACLE_WIDTH_M - OBJECT_MIN_WIDTH_M;
    return g.columnScale < 1.0 && blocksHideWidth && gr.E_u - gr.S_u + 1 >= THIN_OBSTACLE_MIN_BLOCKS &&
           gr.h_m >= THIN_OBSTACLE_MIN_HEIGHT_M && gr.h_m <= THIN_OBSTACLE_MAX_HEIGHT_M;
}

bool KeptAsObstacle(const StageGeometry& g, const DetectedObject& gr) {
    const bool wideEnough = !(gr.rX_m - gr.lX_m < OBJECT_MIN_WIDTH_M || gr.E_u - gr.S_u < 0);
    return wideEnough || ThinObstacle(g, gr);
}

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
        if (KeptAsObstacle(g, gr)) newObject.push_back(gr);
    }
    return newObject;
}

void GroupObjects(RunState& run) { run.newObject = ExtractObjects(run.geometry, run.grid.data()); }
