#include "OccupancyGrid.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cmath>
#include <map>
#include <memory>
#include <utility>

#include "Camera.h"
#include "ColorMap.h"
#include "DisparityCodes.h"
#include "Geometry.h"
#include "GridSearch.h"
#include "Histogram.h"

namespace {

constexpr int FINE_BIN_NUM = 30;     // 0.1-wide bins covering (d - 1, d + 2)
constexpr double FINE_BIN_WIDTH = 0.1;

template <typename Pixel>
void BlankBlock(const StageGeometry& g, int u, int v, int blockRows, Pixel* buffer) {
    for (int j = 0; j < blockRows; ++j) std::fill_n(buffer + PIXEL(u, v + j, g.width), SHIFT_PITCH, Pixel{0});
}

// The smallest non-zero block disparities met so far, ascending, at most `capacity` of them, kept in
// the caller's room for `capacity` values: a block has more than farBlocks farther blocks below it
// exactly when, with the blocks below it entered, the list is full and its last value lies below
// the block's disparity minus 1.0.
class SmallestBlockValues {
public:
    SmallestBlockValues(double* room, int capacity) : values_(room), capacity_(capacity) {}

    // An entered value goes after the values equal to it; when the list is full the largest goes.
    void Enter(double d) {
        if (d == 0.0 || capacity_ == 0) return;
        int i = size_;
        if (i == capacity_) {
            if (!(d < values_[i - 1])) return;
            --i;
        } else {
            ++size_;
        }
        for (; i > 0 && d < values_[i - 1]; --i) values_[i] = values_[i - 1];
        values_[i] = d;
    }

    bool EnoughBelow(double d) const { return capacity_ == 0 || (size_ == capacity_ && values_[size_ - 1] < d - 1.0); }

private:
    double* values_;
    int capacity_;
    int size_ = 0;
};

// A strip's rows that hold some disparity, top to bottom: rows[first] .. rows[end - 1].
struct StripRows {
    int* rows;
    int first;
    int end;
};

// The scratch a strip's steps work in (StageScratch).
struct StripWork {
    int* rows;
    double* smallestBlockValues;
    int farBlocksNeeded;
};
StripWork WorkOf(StageScratch& scratch) {
    return {scratch.stripRows.data(), scratch.smallestBlockValues.data(),
            static_cast<int>(scratch.smallestBlockValues.size())};
}

// The block's first disparity lies more than MYCAR_HIGHT above the road at that disparity.
bool IsHighBlock(const StageGeometry& g, int v, double d, const int* ground) {
    return d != 0.0 && ComputeHeight(g.camera, d, v, ground[TableLevel(d + 0.5)]) > MYCAR_HIGHT;
}

// Bin counts of one strip: the strip histogram (values d + 0.5 in 100 bins of width 1.0 from 1.0,
// so bin d counts the disparities in [d - 0.5, d + 0.5)) and, for every level d examined, the fine
// histogram of the values in (d - 1, d + 2): 30 bins of width 0.1 from disparity[d - 1]. The
// strip's values that lie in any level's window are kept aside for the fine histograms.
template <typename Pixel>
struct StripCounts {
    int freq[LUT_NUM + 1];  // entry LUT_NUM gathers the values of no bin
    bool examined[LUT_NUM];
    int fine[LUT_NUM][FINE_BIN_NUM];
    Pixel* windowed;        // values: room for every pixel of the strip
    int windowedCount;
    const GridCodeTables* codes;    // codes: their tables
    uint16_t tallyCount[MAX_TALLIES];  // codes: the strip's pixels of each tally
};

// A strip's pixels fit a 16-bit count; half the bytes to clear per strip as an int's.
static_assert(int64_t{SHIFT_PITCH} * CAMERA_MAX_SIDE_PIX <= UINT16_MAX, "a strip's pixel count fits 16 bits");

// The strip histogram's bin of disparity m: HistogramBin(m + 0.5, 1.0, 1.0, LUT_NUM). Its edges
// 1.0 + 1.0 * j are exact integers, so the bin rule's smallest j with m + 0.5 < 1 + j is the
// integer part of m + 0.5. A value of no bin gets LUT_NUM.
int StripBin(double m) {
    const double x = m + 0.5;
    return x >= 1.0 && x < LUT_NUM ? static_cast<int>(x) : LUT_NUM;
}

// A level is examined when its strip count reaches C_THRESHOLD1 x threshold[d], and its cell is
// occupied (not weak) when the count reaches C_THRESHOLD2 x threshold[d]. A count n reaches a limit
// L when !(n < L): exactly when n is at least the fewest count given here, taken once per frame.
int FewestReaching(double limit) {
    if (!(limit > 0.0)) return 0;  // every count reaches it, a limit that is not a number too
    return limit < INT_MAX ? static_cast<int>(std::ceil(limit)) : INT_MAX;  // no strip holds INT_MAX pixels
}
struct CountLimits {
    int examine[LUT_NUM];
    int occupy[LUT_NUM];
};
CountLimits CountLimitsOf(const double* threshold) {
    CountLimits limits;
    for (int d = 0; d < LUT_NUM; ++d) {
        limits.examine[d] = FewestReaching(C_THRESHOLD1 * threshold[d]);
        limits.occupy[d] = FewestReaching(C_THRESHOLD2 * threshold[d]);
    }
    return limits;
}

// The windows of levels FIRST_GRID_LEVEL .. LUT_NUM - 1 together span (1, LUT_NUM + 1).
bool InSomeWindow(double m) { return m > FIRST_GRID_LEVEL - 1 && m < LUT_NUM + 1; }

// The levels whose windows (d - 1, d + 2) hold a value m with integer part k: k - 1 and k, and
// k + 1 unless m is k itself; those of the grid from FIRST_GRID_LEVEL to LUT_NUM - 1.
int FirstFineLevel(int k) { return std::max(k - 1, FIRST_GRID_LEVEL); }
int LastFineLevel(double m, int k) { return std::min(m != k ? k + 1 : k, LUT_NUM - 1); }

// The fine bin of value m in level d's window: the bins start at disparity[d - 1].
int FineBin(double m, int d, const double* disparity) {
    return HistogramBin(m, disparity[d - 1], FINE_BIN_WIDTH, FINE_BIN_NUM);
}

// The fine bins of value m: (level, bin) of every level whose window holds it, at most three. The
// levels are the integer disparities (ResetFrameTables): level d's fine bins start at d - 1.
using FineBins = std::vector<std::pair<int, int>>;
void FindFineBins(double m, FineBins& bins) {
    bins.clear();
    if (!InSomeWindow(m)) return;
    const int k = static_cast<int>(m);
    for (int d = FirstFineLevel(k); d <= LastFineLevel(m, k); ++d) {
        const int j = HistogramBin(m, d - 1, FINE_BIN_WIDTH, FINE_BIN_NUM);
        if (j >= 0) bins.emplace_back(d, j);
    }
}

// Counts all fine histograms of the strip in one pass over its windowed values. A value lies in
// the windows of the levels from FirstFineLevel to LastFineLevel only.
void CountFineBins(const double* disparity, StripCounts<double>& counts) {
    for (int n = 0; n < counts.windowedCount; ++n) {
        const double m = counts.windowed[n];
        const int k = static_cast<int>(m);
        for (int d = FirstFineLevel(k); d <= LastFineLevel(m, k); ++d) {
            if (!counts.examined[d]) continue;
            const int j = FineBin(m, d, disparity);
            if (j >= 0) ++counts.fine[d][j];
        }
    }
}

// The same from the strip's count of each code: a level's window holds a list of codes.
void CountFineBins(const double*, StripCounts<DisparityCode>& counts) {
    const GridCodeTables& t = *counts.codes;
    for (int d = FIRST_GRID_LEVEL; d < LUT_NUM; ++d) {
        if (!counts.examined[d]) continue;
        for (int e = t.levelStart[d]; e < t.levelStart[d + 1]; ++e) {
            counts.fine[d][t.entryBin[e]] += counts.tallyCount[t.entryTally[e]];
        }
    }
}

// How the value path asks a pixel's strip bin and blind row, and the code path a code's, from the
// tables of its codes. The blind row of every code is filled once per frame (its blind rows are
// the frame's).
struct ValueStripBins {
    int Of(double m) const { return StripBin(m); }
};
struct CodeStripBins {
    const uint8_t* bin;
    int Of(DisparityCode c) const { return bin[c]; }
};
ValueStripBins StripBinsOf(const StripCounts<double>&) { return {}; }
CodeStripBins StripBinsOf(const StripCounts<DisparityCode>& counts) { return {counts.codes->stripBin.data()}; }

struct ValueBlindRows {
    const int* blind;
    int Of(double m) const { return blind[TableLevel(m)]; }
};
struct CodeBlindRows {
    std::unique_ptr<int[]> row;  // every entry written: a cleared vector would clear it first
    int Of(DisparityCode c) const { return row[c]; }
};
ValueBlindRows BlindRowsOf(const double*, const int* blind, const GridCodeTables*) { return {blind}; }
CodeBlindRows BlindRowsOf(const DisparityCode*, const int* blind, const GridCodeTables* codes) {
    const size_t n = codes->level.size();
    CodeBlindRows rows{std::unique_ptr<int[]>(new int[n])};
    const uint8_t* level = codes->level.data();
    for (size_t c = 0; c < n; ++c) rows.row[c] = blind[level[c]];
    return rows;
}

// Starts a strip's tally, which then tallies each of its pixels with a disparity for the fine
// histograms: a value in some level's window among the windowed values (it is written after them
// in any case), a code in its count. The code path holds its table where the counts' stores cannot
// make the compiler read it again.
struct ValueTally {
    StripCounts<double>& counts;
    void operator()(double m) const {
        counts.windowed[counts.windowedCount] = m;
        counts.windowedCount += InSomeWindow(m);
    }
};
struct CodeTally {
    const uint16_t* tally;
    uint16_t* count;
    void operator()(DisparityCode c) const { ++count[tally[c]]; }
};
ValueTally StartTally(StripCounts<double>& counts) {
    counts.windowedCount = 0;
    return {counts};
}
CodeTally StartTally(StripCounts<DisparityCode>& counts) {
    std::fill_n(counts.tallyCount, counts.codes->tallies, 0);
    return {counts.codes->tally.data(), counts.tallyCount};
}

// The strip's listed rows one by one; the order of the counts does not matter. Pixels without
// disparity are skipped; every other one is counted (one of no bin in the extra entry) and tallied.
template <typename Pixel>
void CountStrip(const StageGeometry& g, const Pixel* buffer, int u0, const StripRows& listed, const double* disparity,
                const CountLimits& limits, StripCounts<Pixel>& counts) {
    const int width = g.width;
    const auto stripBins = StripBinsOf(counts);
    std::fill_n(counts.freq, LUT_NUM + 1, 0);
    const auto tally = StartTally(counts);
    for (int n = listed.first; n < listed.end; ++n) {
        const Pixel* row = buffer + PIXEL(u0, listed.rows[n], width);
        for (int i = 0; i < SHIFT_PITCH; ++i) {
            const Pixel m = row[i];
            if (m == Pixel{0}) continue;  // no disparity: empty and dropped pixels come in long runs
            ++counts.freq[stripBins.Of(m)];
            tally(m);
        }
    }
    for (int d = 0; d < LUT_NUM; ++d) {
        counts.examined[d] = d >= FIRST_GRID_LEVEL && counts.freq[d] >= limits.examine[d];
        if (counts.examined[d]) std::fill_n(counts.fine[d], FINE_BIN_NUM, 0);
    }
    CountFineBins(disparity, counts);
}

// The fine disparity is the upper edge of the fullest 0.1-wide bin.
template <typename Pixel>
void ClassifyCell(const Camera& camera, Grid& cell, const StripCounts<Pixel>& counts, int u0, int d,
                  const double* disparity, const CountLimits& limits) {
    if (!counts.examined[d]) {
        cell.exist = EXIST_EMPTY;
        return;
    }
    if (counts.freq[d] < limits.occupy[d]) cell.exist = EXIST_WEAK;
    cell.aveD = disparity[d - 1] + FullestBin(counts.fine[d], FINE_BIN_NUM) * FINE_BIN_WIDTH;
    cell.z_m = camera.bf_pix / cell.aveD;
    cell.x_m = Img2RealX(camera, u0, cell.z_m);
}

// Promotes the weak cells of row d from uBl up to the last occupied cell within XW metres of block
// uBl (an occupied cell itself); returns that last occupied block.
int PromoteWindow(const StageGeometry& g, Grid* row, int uBl) {
    const int uWBl = uBl + static_cast<int>((row[uBl].aveD * XW) / (g.camera.baseline_m * SHIFT_PITCH));
    const int lastBl = std::min(uWBl, g.blocksU - 1);
    int eBl = uBl;
    for (int sBl = uBl; sBl <= lastBl; ++sBl) {
        if (row[sBl].exist == EXIST_OCCUPIED) eBl = sBl;
    }
    for (int sBl = uBl; sBl <= eBl; ++sBl) {
        if (row[sBl].exist == EXIST_WEAK) row[sBl].exist = EXIST_OCCUPIED;
    }
    return eBl;
}

// What tells a pixel that matches a cell: for values the test itself, for codes the codes whose
// values pass it.
struct ValueMatcher {
    auto operator()(const Grid& cell, double bf_pix) const {
        return [&cell, bf_pix](double m) { return MatchesCell(cell, m, bf_pix); };
    }
};
struct CodeMatcher {
    const CodeRanking& ranking;  // the frame's codes by value
    MatchingCodes operator()(const Grid& cell, double bf_pix) const { return CodesMatchingCell(cell, bf_pix, ranking); }
};

// The codes of one range of ranks that match a cell.
struct CodesOfRange {
    const uint16_t* rank;
    CodeRange range;
    bool operator()(uint16_t c) const { return range.Holds(rank[c]); }
};

// The union of two ranges of ranks when it is one range (they overlap or meet, or one is empty).
bool JoinRanges(const CodeRange& a, const CodeRange& b, CodeRange& joined) {
    if (a.first == a.end || b.first == b.end) {
        joined = a.first == a.end ? b : a;
        return true;
    }
    joined = CodeRange{std::min(a.first, b.first), std::max(a.end, b.end)};
    return a.first <= b.end && b.first <= a.end;
}

template <typename Pixel, typename Match>
void SearchMatching(const StageGeometry& g, Grid& cell, const Pixel* buffer, Match matches, int u, int groundRow) {
    SearchHeight(g, &cell, buffer, matches, u, groundRow);
}

// Where the two ranges of matching codes make one, a pixel is tested against it once.
void SearchMatching(const StageGeometry& g, Grid& cell, const DisparityCode* buffer, const MatchingCodes& matches,
                    int u, int groundRow) {
    CodeRange joined;
    if (JoinRanges(matches.byDisparity, matches.byDistance, joined)) {
        SearchHeight(g, &cell, buffer, CodesOfRange{matches.rank, joined}, u, groundRow);
    } else {
        SearchHeight(g, &cell, buffer, matches, u, groundRow);
    }
}

template <typename Pixel, typename Matcher>
void MeasureCell(const StageGeometry& g, Grid& cell, const Pixel* buffer, Matcher matcher, int uBl, int groundRow) {
    if (cell.exist == EXIST_WEAK) {
        cell.exist = EXIST_EMPTY;
        return;
    }
    if (cell.exist != EXIST_OCCUPIED) return;
    SearchMatching(g, cell, buffer, matcher(cell, g.camera.bf_pix), uBl * SHIFT_PITCH, groundRow);
    if (groundRow == cell.h_pix || cell.h_m < OBJECT_MIN_HEIGHT_M) cell.exist = EXIST_EMPTY;
}

// The uniform steps over either buffer, defined once: the public functions below name the buffer.

// Lists the strip's rows that hold some disparity into `rows`.
template <typename Pixel>
StripRows ListStripRows(const StageGeometry& g, const Pixel* buffer, int u0, int* rows) {
    int n = 0;
    for (int v = 0; v < g.height; ++v) {
        rows[n] = v;
        n += !NoneInStripRow(buffer + PIXEL(u0, v, g.width));
    }
    return {rows, 0, n};
}

// No pixel lies below a blind row before the lowest blind row has passed: the rows above it are
// left as they are, and so are the rows without disparity.
template <typename Pixel, typename BlindRows>
void DropBelowBlind(const StageGeometry& g, const int* blind, const BlindRows& blindRows, int u0, Pixel* buffer) {
    const int firstDropRow = std::max(*std::min_element(blind, blind + LUT_NUM) + 1, 0);
    const int width = g.width;
    for (int v = firstDropRow; v < g.height; ++v) {
        Pixel* row = buffer + PIXEL(u0, v, width);
        if (NoneInStripRow(row)) continue;
        for (int i = 0; i < SHIFT_PITCH; ++i) {
            row[i] = blindRows.Of(row[i]) < v ? Pixel{0} : row[i];
        }
    }
}

// Lists the rows of one strip's block (`rows` of them from row v) that hold some disparity: before
// the rows listed so far, which lie below it, so the list stays in order from the top.
template <typename Pixel>
void ListBlockRows(const Pixel* block, int v, int rows, int width, StripRows& listed) {
    for (int j = rows - 1; j >= 0; --j) {
        listed.rows[listed.first - 1] = v + j;
        listed.first -= !NoneInStripRow(block + static_cast<std::ptrdiff_t>(j) * width);
    }
}

// A high block with enough farther measurements below it is background seen over the obstacles.
// The blocks are visited once each, bottom to top, each read before it may be blanked: the farther
// blocks below a block are counted on the values the strip had before any blanking, as a scan from
// the top, which blanks only blocks above the ones it still reads, sees them. The bottom block row
// is never counted as a farther block. Returns the rows left holding a disparity. A block is
// FIXED_ROWS rows tall, or geometry.blockRows for FIXED_ROWS 0.
template <int FIXED_ROWS, typename Pixel, typename Reader>
StripRows RemoveOverheadBlocksOf(const StageGeometry& g, const int* ground, int u0, Pixel* buffer, Reader read,
                                 const StripWork& work) {
    SmallestBlockValues below(work.smallestBlockValues, work.farBlocksNeeded);
    const int width = g.width;
    const int blockRows = FIXED_ROWS > 0 ? FIXED_ROWS : g.blockRows;
    const int lastBlock = (g.height / blockRows - 1) * blockRows;
    const int firstBottomRow = g.height - blockRows;
    StripRows listed{work.rows, g.height, g.height};
    const int belowBlocks = std::max(lastBlock + blockRows, 0);  // rows below the last whole block
    ListBlockRows(buffer + PIXEL(u0, belowBlocks, width), belowBlocks, g.height - belowBlocks, width, listed);
    const Pixel* block = buffer + PIXEL(u0, lastBlock, width);
    const std::ptrdiff_t blockStep = static_cast<std::ptrdiff_t>(blockRows) * width;
    for (int v = lastBlock; v >= 0; v -= blockRows, block -= blockStep) {
        const Pixel first = FirstInRows(block, blockRows, width);
        if (first == Pixel{0}) continue;  // an empty block is neither high nor counted
        const double d = read(first);
        const bool overhead = below.EnoughBelow(d) && IsHighBlock(g, v, d, ground);
        if (v < firstBottomRow) below.Enter(d);
        if (overhead) {
            BlankBlock(g, u0, v, blockRows, buffer);
        } else {
            ListBlockRows(block, v, blockRows, width, listed);
        }
    }
    return listed;
}

// Blocks of one row, as a wide baseline's cameras have, are walked with the block loops folded away.
template <typename Pixel, typename Reader>
StripRows RemoveOverheadBlocks(const StageGeometry& g, const int* ground, int u0, Pixel* buffer, Reader read,
                               const StripWork& work) {
    if (g.blockRows == 1) return RemoveOverheadBlocksOf<1>(g, ground, u0, buffer, read, work);
    return RemoveOverheadBlocksOf<0>(g, ground, u0, buffer, read, work);
}

template <typename Pixel>
void Classify(const StageGeometry& g, const Pixel* buffer, int uBl, const StripRows& listed, const double* disparity,
              const CountLimits& limits, Pixel* stripValues, const GridCodeTables* codes, Grid* newGrid) {
    const int u0 = uBl * SHIFT_PITCH;
    StripCounts<Pixel> counts;
    counts.windowed = stripValues;
    counts.codes = codes;
    CountStrip(g, buffer, u0, listed, disparity, limits, counts);
    for (int d = FIRST_GRID_LEVEL; d < LUT_NUM; ++d) {
        ClassifyCell(g.camera, newGrid[GRID(uBl, d, g.blocksU)], counts, u0, d, disparity, limits);
    }
}

template <typename Pixel, typename Matcher>
void Measure(const StageGeometry& g, const Pixel* buffer, Matcher matcher, const int* ground, Grid* newGrid) {
    for (int uBl = 0; uBl < g.blocksU; ++uBl) {
        for (int d = LUT_NUM - 1; d >= FIRST_GRID_LEVEL; --d) {
            MeasureCell(g, newGrid[GRID(uBl, d, g.blocksU)], buffer, matcher, uBl, ground[d]);
        }
    }
}

// Dropping, blanking and counting read and change nothing outside the strip, so each strip goes
// through all three while its pixels are at hand, the later steps over the rows the earlier ones
// left holding a disparity; only the promotion works across strips.
template <typename Pixel, typename Reader, typename Matcher>
void BuildGrid(RunState& run, Pixel* buffer, Reader read, Matcher matcher, Pixel* stripValues,
               const GridCodeTables* codes) {
    const StageGeometry& g = run.geometry;
    InitializeGrid(g, run.newGrid);
    const auto blindRows = BlindRowsOf(buffer, run.blind, codes);
    const CountLimits limits = CountLimitsOf(run.threshold);
    const StripWork work = WorkOf(run.scratch);
    for (int uBl = 0; uBl < g.blocksU; ++uBl) {
        const int u0 = uBl * SHIFT_PITCH;
        DropBelowBlind(g, run.blind, blindRows, u0, buffer);
        const StripRows listed = RemoveOverheadBlocks(g, run.ground, u0, buffer, read, work);
        Classify(g, buffer, uBl, listed, run.disparity, limits, stripValues, codes, run.newGrid.data());
    }
    PromoteWeakRuns(g, run.newGrid.data());
    Measure(g, buffer, matcher, run.ground, run.newGrid.data());
}

}  // namespace

// Codes of neighbouring values mostly share their fine bins: a code's bins are compared with the
// previous code's tally before they are looked up.
GridCodeTables::GridCodeTables(const double* value, int codes)
    : level(static_cast<size_t>(codes)),
      stripBin(static_cast<size_t>(codes)),
      tally(static_cast<size_t>(codes)),
      ranking(RankCodes(value, codes)) {
    std::map<FineBins, int> tallyOf{{FineBins{}, 0}};  // tally 0: the values of no window
    std::vector<const FineBins*> binsOf{&tallyOf.begin()->first};
    FineBins bins;
    int previous = 0;
    for (int c = 0; c < codes; ++c) {
        level[c] = static_cast<uint8_t>(TableLevel(value[c]));
        stripBin[c] = static_cast<uint8_t>(StripBin(value[c]));
        FindFineBins(value[c], bins);
        if (bins != *binsOf[previous]) {
            const auto found = tallyOf.emplace(bins, static_cast<int>(tallyOf.size()));
            if (found.second) binsOf.push_back(&found.first->first);
            previous = found.first->second;
        }
        tally[c] = static_cast<uint16_t>(previous);
    }
    tallies = static_cast<int>(binsOf.size());
    // Each level's entries in the order of their tallies.
    std::vector<std::vector<std::pair<uint16_t, uint8_t>>> entriesOf(LUT_NUM);
    for (int t = 0; t < tallies; ++t) {
        for (const auto& [binLevel, bin] : *binsOf[t]) {
            entriesOf[binLevel].emplace_back(static_cast<uint16_t>(t), static_cast<uint8_t>(bin));
        }
    }
    for (const auto& entries : entriesOf) {
        levelStart.push_back(static_cast<int>(entryTally.size()));
        for (const auto& [t, bin] : entries) {
            entryTally.push_back(t);
            entryBin.push_back(bin);
        }
    }
    levelStart.push_back(static_cast<int>(entryTally.size()));
}

// Written as two selections rather than early returns: the grid stage asks once per pixel.
int TableLevel(double disparity) {
    const double low = disparity >= 0.0 ? disparity : 0.0;
    return static_cast<int>(low < LUT_NUM - 1 ? low : LUT_NUM - 1);
}

int FarBlocksNeeded(const StageGeometry& g) { return std::max(0, static_cast<int>(std::floor(g.farBlocks)) + 1); }

void DropStripBelowBlind(const StageGeometry& g, const int* blind, int u0, double* measuredDisparity) {
    DropBelowBlind(g, blind, BlindRowsOf(measuredDisparity, blind, nullptr), u0, measuredDisparity);
}

void DropStripBelowBlind(const StageGeometry& g, const int* blind, int u0, DisparityCode* codes) {
    DropBelowBlind(g, blind, BlindRowsOf(codes, blind, ColourCodeTables().grid), u0, codes);
}

void RemoveStripOverheadBlocks(const StageGeometry& g, const int* ground, int u0, double* measuredDisparity) {
    StageScratch scratch(g);
    RemoveOverheadBlocks(g, ground, u0, measuredDisparity, ValueReader{}, WorkOf(scratch));
}

void RemoveStripOverheadBlocks(const StageGeometry& g, const int* ground, int u0, DisparityCode* codes) {
    StageScratch scratch(g);
    RemoveOverheadBlocks(g, ground, u0, codes, CodeReader{ColourCodeTables().value}, WorkOf(scratch));
}
// Field by field: a whole-record assignment compiles to a library call per cell on the ARM target.
void InitializeGrid(const StageGeometry& g, std::vector<Grid>& newGrid) {
    newGrid.resize(static_cast<size_t>(g.gridCells));
    const int firstOccupiable = GRID(0, FIRST_GRID_LEVEL, g.blocksU);
    for (int i = 0; i < g.gridCells; ++i) {
        Grid& c = newGrid[i];
        c.exist = i >= firstOccupiable ? EXIST_OCCUPIED : EXIST_EMPTY;
        c.h_pix = 0;
        c.hl_pix = 0;
        c.aveD = 0.0;
        c.id = 0;
        c.ref = i;
        c.x_m = 0.0;
        c.z_m = 0.0;
        c.h_m = 0.0;
        c.count = 0;
        c.nowAveD = 0.0;
        c.preAveD = 0.0;
    }
}

void ClassifyStrip(const StageGeometry& g, const double* measuredDisparity, int uBl, const double* disparity,
                   const double* threshold, double* stripValues, Grid* newGrid) {
    std::vector<int> rows(static_cast<size_t>(g.height));
    const StripRows listed = ListStripRows(g, measuredDisparity, uBl * SHIFT_PITCH, rows.data());
    Classify(g, measuredDisparity, uBl, listed, disparity, CountLimitsOf(threshold), stripValues, nullptr, newGrid);
}

void ClassifyStrip(const StageGeometry& g, const DisparityCode* codes, int uBl, const double* disparity,
                   const double* threshold, Grid* newGrid) {
    std::vector<int> rows(static_cast<size_t>(g.height));
    const StripRows listed = ListStripRows(g, codes, uBl * SHIFT_PITCH, rows.data());
    Classify(g, codes, uBl, listed, disparity, CountLimitsOf(threshold), static_cast<DisparityCode*>(nullptr),
             ColourCodeTables().grid, newGrid);
}

// An occupied cell that ends a window does not start one: the scan resumes after it.
void PromoteWeakRuns(const StageGeometry& g, Grid* newGrid) {
    for (int d = FIRST_GRID_LEVEL; d < LUT_NUM; ++d) {
        Grid* row = newGrid + GRID(0, d, g.blocksU);
        for (int uBl = 0; uBl < g.blocksU; ++uBl) {
            if (row[uBl].exist == EXIST_OCCUPIED) uBl = PromoteWindow(g, row, uBl);
        }
    }
}

void MeasureHeights(const StageGeometry& g, const double* measuredDisparity, const int* ground, const int* /*ceiling*/,
                    Grid* newGrid) {
    Measure(g, measuredDisparity, ValueMatcher{}, ground, newGrid);
}

void MeasureHeights(const StageGeometry& g, const DisparityCode* codes, const int* ground, const int* /*ceiling*/,
                    Grid* newGrid) {
    Measure(g, codes, CodeMatcher{ColourCodeTables().grid->ranking}, ground, newGrid);
}

void OccupancyGrid(RunState& run) {
    if (run.disparityValuesGiven) {
        BuildGrid(run, run.measuredDisparity.data(), ValueReader{}, ValueMatcher{}, run.scratch.stripValues.data(),
                  nullptr);
    } else {
        const CodeReader read{run.frameCodes.value};
        const CodeMatcher matcher{run.frameCodes.grid->ranking};
        BuildGrid(run, run.disparityCodes.data(), read, matcher, static_cast<DisparityCode*>(nullptr),
                  run.frameCodes.grid);
    }
}
