// Road disparity map and V-disparity peaks: the road row of every disparity class is the row in
// which that class is most frequent, once obstacle faces (a column's dominant disparities) are gone.
#include <algorithm>
#include <cstdint>

#include "ColorMap.h"
#include "ObjectDetection.h"
#include "RoadStages.h"

namespace {

constexpr int X_START = U0 - DISPARITY_OFS_U;  // optical axis column: row scans start here
constexpr int Y_START = 110;                   // rows above hold no road
constexpr int SCAN_CAP = 100;                  // entries counted per side of a row scan
constexpr int NO_ROAD_ROW = TOTAL_V - 1;
constexpr int FOLD_FROM_CLASS = 16;            // from here on a class holds two rounded disparities

// Count that separates few from many pixels of one class: a column with more is an obstacle face,
// a row needs at least as many for a road peak. Folded classes hold two values, hence more.
int CountLimit(int d) { return d < FOLD_FROM_CLASS ? 5 : 10; }

// ColorToValue reads one channel once it knows the segment of the colour, so its value on each
// segment is a table of that channel, filled by ColorToValue itself. A picture mixes segments
// unpredictably; choosing among the four table entries by selection instead of by branches makes
// the decode several times cheaper, with the very same values.
struct SegmentTables {
    double blueFull[256];    // blue 255: by green
    double greenFull[256];   // blue 0, green 255: by red
    double greenRamp[256];   // blue 0, green below 255, not black: by green
    double blueRamp[256];    // blue 1 .. 254: by blue
};

double Decode(int red, int green, int blue) {
    const ColorSet colorSet{red, green, blue};
    return ColorToValue(&colorSet, 2);
}

SegmentTables FillSegmentTables() {
    SegmentTables t{};
    for (int c = 0; c < 256; ++c) {
        t.blueFull[c] = Decode(0, c, 255);
        t.greenFull[c] = Decode(c, 255, 0);
        t.greenRamp[c] = Decode(1, c, 0);
        t.blueRamp[c] = Decode(0, 0, c);
    }
    return t;
}

const SegmentTables& Segments() {
    static const SegmentTables tables = FillSegmentTables();
    return tables;
}

double DecodePixel(const uchar* pixel, const SegmentTables& t) {
    const int blue = pixel[0];
    const int green = pixel[1];
    const int red = pixel[2];
    if ((blue | green | red) == 0) return 0.0;  // holes and the sky are black over long runs
    const double blueZero = green == 255 ? t.greenFull[red] : (green == 0 && red == 0 ? 0.0 : t.greenRamp[green]);
    const double blueOther = blue == 0 ? blueZero : t.blueRamp[blue];
    return blue == 255 ? t.blueFull[green] : blueOther;
}

// Classes of road disparities: 2.0 .. 40.0 round to at most 40. The column histograms count the
// entries of no road disparity too, in one more class, NO_CLASS, which is never erased.
constexpr int ROAD_CLASSES = static_cast<int>(ROAD_MAX_DISPARITY + 0.5) + 1;
constexpr int NO_CLASS = ROAD_CLASSES;

// Class counts of every column, histD_1v of column x from [CLASS_SLOTS * x]; a column has
// TOTAL_V / 2 even rows.
constexpr int CLASS_SLOTS = ROAD_CLASSES + 1;
using ColumnCounts = uint8_t[TOTAL_U * CLASS_SLOTS];
static_assert(TOTAL_V / 2 <= UINT8_MAX, "a column's count must fit its counter");

// The erasure's class of every rounded road disparity, and its count limit per class.
struct ErasureTables {
    int classOf[ROAD_CLASSES];  // [rounded disparity]; 0 and 1 only ever come from non-road entries
    int eraseAbove[CLASS_SLOTS];
};

struct PeakSearch {
    int histDisparity[TOTAL_V / 2][LUT_NUM];  // V-disparity histogram, [row / 2][class]
    int histMaxY[LUT_NUM];                    // best row count so far per class
    int* MaxY;

    // Counts the first SCAN_CAP road entries of row y met from X_START in direction step, up to
    // (not including) column end.
    void ScanRowSide(const double* road, int y, int step, int end) {
        int counted = 0;
        for (int x = X_START; x != end; x += step) {
            const double v = road[PIXEL(x, y)];
            if (!IsRoadDisparity(v)) continue;
            if (++counted > SCAN_CAP) return;
            Count(y, DisparityClass(v));
        }
    }

    // A strictly greater count is needed, so among equal counts the topmost row wins.
    void Count(int y, int d) {
        const int n = ++histDisparity[y / 2][d];
        if (n > histMaxY[d] && n >= CountLimit(d)) {
            histMaxY[d] = n;
            MaxY[d] = y;
        }
    }
};

// Folded odd classes never receive counts: they lie halfway between their even neighbours.
void FillOddClasses(int MaxY[LUT_NUM]) {
    for (int d = FOLD_FROM_CLASS + 1; d < LUT_NUM - 1; d += 2) MaxY[d] = (MaxY[d - 1] + MaxY[d + 1]) / 2;
}

}  // namespace

bool IsRoadDisparity(double v) { return v >= ROAD_MIN_DISPARITY && v <= ROAD_MAX_DISPARITY; }

int RoundedDisparity(double v) { return static_cast<int>(v + 0.5); }

int DisparityClass(double v) {
    const int rounded = RoundedDisparity(v);
    return rounded > FOLD_FROM_CLASS && rounded % 2 == 1 ? rounded - 1 : rounded;
}

void DecodePicture(const qim::Image& src, double* decoded) {
    const bool colour = src.data != nullptr && src.channels() >= 3;
    const int rows = colour ? std::min(src.rows, TOTAL_V) : 0;
    const int cols = colour ? std::min(src.cols, TOTAL_U) : 0;
    const int channels = src.channels();
    const SegmentTables& segments = Segments();
    for (int y = 0; y < TOTAL_V; ++y) {
        double* out = decoded + PIXEL(0, y);
        const int width = y < rows ? cols : 0;
        const uchar* pixel = width > 0 ? src.ptr(y) : nullptr;
        for (int x = 0; x < width; ++x, pixel += channels) out[x] = DecodePixel(pixel, segments);
        std::fill(out + width, out + TOTAL_U, 0.0);
    }
}

void SelectRoadDisparities(const double* decoded, double* road) {
    for (int y = 0; y < TOTAL_V; ++y) {
        double* out = road + PIXEL(0, y);
        if (y % 2 == 1) {
            std::fill(out, out + TOTAL_U, 0.0);
            continue;
        }
        const double* in = decoded + PIXEL(0, y);
        for (int x = 0; x < TOTAL_U; ++x) out[x] = IsRoadDisparity(in[x]) ? in[x] : 0.0;
    }
}

namespace {

ErasureTables FillErasureTables() {
    ErasureTables t{};
    for (int rounded = 0; rounded < ROAD_CLASSES; ++rounded) {
        t.classOf[rounded] = rounded < ROAD_MIN_DISPARITY ? NO_CLASS : DisparityClass(rounded);
        t.eraseAbove[rounded] = CountLimit(rounded);
    }
    t.eraseAbove[NO_CLASS] = TOTAL_V;
    return t;
}

// A non-road entry is read as 0.0, whose class is NO_CLASS, so that both passes treat every entry
// alike through one table.
int EntryClass(double v, const ErasureTables& t) {
    return t.classOf[RoundedDisparity(IsRoadDisparity(v) ? v : 0.0)];
}

}  // namespace

// The column histograms are counted row by row, all columns at once. A dominant class i is erased
// through the rounded values folded into it (i, and i + 1 from the folded classes on): exactly the
// entries whose own class is i. Only the columns with a dominant class are visited again.
void EraseObstacleDisparities(double* road) {
    static const ErasureTables tables = FillErasureTables();
    ColumnCounts histD_1v = {};
    for (int y = 0; y < TOTAL_V; y += 2) {
        const double* row = road + PIXEL(0, y);
        uint8_t* counts = histD_1v;
        for (int x = 0; x < TOTAL_U; ++x, counts += CLASS_SLOTS) ++counts[EntryClass(row[x], tables)];
    }
    bool dominated[TOTAL_U];
    for (int x = 0; x < TOTAL_U; ++x) {
        dominated[x] = false;
        for (int d = 0; d < ROAD_CLASSES; ++d) dominated[x] = dominated[x] || histD_1v[CLASS_SLOTS * x + d] > tables.eraseAbove[d];
    }
    for (int y = 0; y < TOTAL_V; y += 2) {
        double* row = road + PIXEL(0, y);
        for (int x = 0; x < TOTAL_U; ++x) {
            if (!dominated[x]) continue;
            const int d = EntryClass(row[x], tables);
            if (histD_1v[CLASS_SLOTS * x + d] > tables.eraseAbove[d]) row[x] = 0.0;
        }
    }
}

void VDisparityPeaks(const double* road, int MaxY[LUT_NUM]) {
    PeakSearch search{};
    search.MaxY = MaxY;
    std::fill(MaxY, MaxY + LUT_NUM, NO_ROAD_ROW);
    for (int y = Y_START; y < TOTAL_V; y += 2) {
        search.ScanRowSide(road, y, -1, 0);
        search.ScanRowSide(road, y, +1, TOTAL_U - 1);
    }
    FillOddClasses(MaxY);
}

void RoadDisparityMap(RunState& run) {
    double* road = run.measuredDisparityRoad.data();
    if (!run.disparityValuesGiven) DecodePicture(run.src_img_colorD, run.measuredDisparity.data());
    SelectRoadDisparities(run.measuredDisparity.data(), road);
    EraseObstacleDisparities(road);
    VDisparityPeaks(road, run.MaxY);
}
