// Road disparity map and V-disparity peaks: the road row of every disparity class is the row in
// which that class is most frequent, leaving out obstacle faces (a column's dominant disparities).
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "RoadDisparityMap.h"

#include "ColorMap.h"
#include "DisparityCodes.h"

namespace {

constexpr int FOLD_FROM_CLASS = 16;  // from here on a class holds two rounded disparities

// Counts that separate few from many entries of one class: a column with more is an obstacle face,
// a row needs at least as many for a road peak. Folded classes hold two values, hence more.
int FaceLimit(const StageGeometry& g, int d) { return d < FOLD_FROM_CLASS ? g.faceLimitSingle : g.faceLimitFolded; }
int PeakMin(const StageGeometry& g, int d) { return d < FOLD_FROM_CLASS ? g.peakMinSingle : g.peakMinFolded; }

// Decodes the picture row by row: each pixel's code, written through `Of` (its value or the code
// itself), and on the even rows its road class, handed to `Count` with its column. Pixels the
// picture does not have are no disparity.
template <typename Out, typename OutOf, typename CountOf>
void DecodeRows(const StageGeometry& g, const PictureView& src, Out* decoded, RoadClass* classes, OutOf Of,
                CountOf Count) {
    const bool colour = src.top != nullptr && src.bytesPerPixel >= 3;
    const int rows = colour ? std::min(src.rows, g.height) : 0;
    const int cols = colour ? std::min(src.cols, g.width) : 0;
    const int channels = src.bytesPerPixel;
    const DisparityCodeTables& codes = DisparityCodes();
    const uint32_t* segment = codes.segment;
    const RoadClass* roadClassOf = codes.roadClass;
    for (int y = 0; y < g.height; ++y) {
        Out* out = decoded + PIXEL(0, y, g.width);
        const int width = y < rows ? cols : 0;
        const uchar* pixel = width > 0 ? src.Row(y) : nullptr;
        if (y % 2 == 0) {
            RoadClass* road = classes + RoadRowStart(g.width, y);
            for (int x = 0; x < width; ++x, pixel += channels) {
                const int code = ColourCode(pixel, segment);
                const RoadClass c = roadClassOf[code];
                out[x] = Of(code);
                road[x] = c;
                Count(x, c);
            }
            std::fill(road + width, road + g.width, NO_ROAD_CLASS);
            for (int x = width; x < g.width; ++x) Count(x, NO_ROAD_CLASS);
        } else {
            for (int x = 0; x < width; ++x, pixel += channels) out[x] = Of(ColourCode(pixel, segment));
        }
        std::fill(out + width, out + g.width, Of(NO_DISPARITY_CODE));
    }
}

// Sample x of a row of 16-bit values, wherever the row lies in memory.
uint16_t Fixed16Sample(const uchar* row, int x) {
    uint16_t v;
    std::memcpy(&v, row + sizeof v * x, sizeof v);
    return v;
}

// The V-disparity histogram counts each row's entries per class, and an entry of row y is read
// and written only while row y is scanned: the search holds one row of it at a time.
struct PeakSearch {
    int axisU;
    int width;
    int scanCap;
    int rowCounts[LUT_NUM];  // the histogram's row being scanned: entries per class
    int histMaxY[LUT_NUM];   // best row count so far per class
    int peakMin[LUT_NUM];    // fewest entries of a road peak per class
    int faceAbove[ROAD_CLASS_SLOTS];  // the column count above which a class is a face; never for NO_ROAD_CLASS
    int* MaxY;

    void ScanRow(const RoadClass* classes, const uint16_t* columnCounts, int y) {
        std::fill_n(rowCounts, LUT_NUM, 0);
        const RoadClass* row = classes + RoadRowStart(width, y);
        ScanRowSide(row, columnCounts, y, -1, axisU);
        ScanRowSide(row, columnCounts, y, +1, width - 1 - axisU);
    }

    // Counts the first scanCap road entries of row y met from the axis column in direction step,
    // up to the picture's first column (left) or its last (right), neither included: `columns`
    // columns in all. The entries of a face of their column are not road entries.
    void ScanRowSide(const RoadClass* row, const uint16_t* columnCounts, int y, int step, int columns) {
        const int cap = scanCap;
        const std::ptrdiff_t countStep = static_cast<std::ptrdiff_t>(step) * ROAD_CLASS_SLOTS;
        const uint16_t* counts = columnCounts + static_cast<std::ptrdiff_t>(axisU) * ROAD_CLASS_SLOTS;
        int counted = 0;
        for (int k = 0, x = axisU; k < columns; ++k, x += step, counts += countStep) {
            const int c = row[x];
            if (counts[c] > faceAbove[c]) continue;
            if (++counted > cap) return;
            Count(y, c);
        }
    }

    // A strictly greater count is needed, so among equal counts the topmost row wins.
    void Count(int y, int d) {
        const int n = ++rowCounts[d];
        if (n > histMaxY[d] && n >= peakMin[d]) {
            histMaxY[d] = n;
            MaxY[d] = y;
        }
    }
};

// Whether a column block holds a disparity in any row (`holds` tests one entry).
template <typename Entry, typename Holds>
bool BlockHoldsDisparity(const StageGeometry& g, const Entry* entries, int uBl, Holds holds) {
    for (int v = 0; v < g.height; ++v) {
        const Entry* row = entries + static_cast<std::ptrdiff_t>(v) * g.width + uBl * SHIFT_PITCH;
        for (int i = 0; i < SHIFT_PITCH; ++i) {
            if (holds(row[i])) return true;
        }
    }
    return false;
}

// Scans inward from either side; a picture without disparities gives first > last.
template <typename Entry, typename Holds>
MeasuredBlocks MeasuredBlocksOf(const StageGeometry& g, const Entry* entries, Holds holds) {
    MeasuredBlocks span{g.blocksU, -1};
    for (int uBl = 0; uBl < g.blocksU; ++uBl) {
        if (BlockHoldsDisparity(g, entries, uBl, holds)) {
            span.first = uBl;
            break;
        }
    }
    for (int uBl = g.blocksU - 1; uBl >= span.first; --uBl) {
        if (BlockHoldsDisparity(g, entries, uBl, holds)) {
            span.last = uBl;
            break;
        }
    }
    return span;
}

// Folded odd classes never receive counts: they lie halfway between their even neighbours.
void FillOddClasses(int MaxY[LUT_NUM]) {
    for (int d = FOLD_FROM_CLASS + 1; d < LUT_NUM - 1; d += 2) MaxY[d] = (MaxY[d - 1] + MaxY[d + 1]) / 2;
}

}  // namespace

MeasuredBlocks MeasuredColumnBlocks(const StageGeometry& g, const double* decoded) {
    return MeasuredBlocksOf(g, decoded, [](double v) { return v > 0.0; });
}

MeasuredBlocks MeasuredColumnBlocks(const StageGeometry& g, const DisparityCode* codes) {
    return MeasuredBlocksOf(g, codes, [](DisparityCode c) { return c != NO_DISPARITY_CODE; });
}

bool IsRoadDisparity(double v) { return v >= ROAD_MIN_DISPARITY && v <= ROAD_MAX_DISPARITY; }

int RoundedDisparity(double v) { return static_cast<int>(v + 0.5); }

int DisparityClass(double v) {
    const int rounded = RoundedDisparity(v);
    return rounded > FOLD_FROM_CLASS && rounded % 2 == 1 ? rounded - 1 : rounded;
}

void DecodePicture(const StageGeometry& g, const PictureView& src, double* decoded, RoadClass* classes) {
    const double* value = DisparityCodes().value;
    DecodeRows(g, src, decoded, classes, [value](int code) { return value[code]; }, [](int, RoadClass) {});
}

void DecodePictureCodes(const StageGeometry& g, const PictureView& src, DisparityCode* codes, RoadClass* classes,
                        uint16_t* columnCounts) {
    std::fill_n(columnCounts, static_cast<size_t>(g.width) * ROAD_CLASS_SLOTS, uint16_t{0});
    DecodeRows(
        g, src, codes, classes, [](int code) { return static_cast<DisparityCode>(code); },
        [columnCounts](int x, RoadClass c) { ++columnCounts[static_cast<size_t>(x) * ROAD_CLASS_SLOTS + c]; });
}

void DecodeFixed16Codes(const StageGeometry& g, const PictureView& src, const Fixed16Codes& codes,
                        DisparityCode* out, RoadClass* classes, uint16_t* columnCounts) {
    std::fill_n(columnCounts, static_cast<size_t>(g.width) * ROAD_CLASS_SLOTS, uint16_t{0});
    const int rows = src.top != nullptr && src.bytesPerPixel == 2 ? std::min(src.rows, g.height) : 0;
    const int cols = std::min(src.cols, g.width);
    const uint16_t last = codes.last;
    const RoadClass* roadClass = codes.roadClass.data();  // held here: the class stores may alias anything
    const int pictureWidth = g.width;
    for (int y = 0; y < g.height; ++y) {
        DisparityCode* row = out + PIXEL(0, y, pictureWidth);
        const int width = y < rows ? cols : 0;
        const uchar* in = width > 0 ? src.Row(y) : nullptr;
        for (int x = 0; x < width; ++x) row[x] = std::min(Fixed16Sample(in, x), last);
        std::fill(row + width, row + pictureWidth, NO_DISPARITY_CODE);
        if (y % 2 != 0) continue;
        RoadClass* road = classes + RoadRowStart(pictureWidth, y);
        uint16_t* counts = columnCounts;
        for (int x = 0; x < pictureWidth; ++x, counts += ROAD_CLASS_SLOTS) {
            const RoadClass c = roadClass[row[x]];
            road[x] = c;
            ++counts[c];
        }
    }
}

void Fixed16Disparities(const StageGeometry& g, const PictureView& src, double scale, double* disparities) {
    std::fill_n(disparities, g.pixels, 0.0);
    const int rows = src.top != nullptr && src.bytesPerPixel == 2 ? std::min(src.rows, g.height) : 0;
    const int cols = std::min(src.cols, g.width);
    for (int y = 0; y < rows; ++y) {
        const uchar* in = src.Row(y);
        double* row = disparities + PIXEL(0, y, g.width);
        for (int x = 0; x < cols; ++x) row[x] = Fixed16Sample(in, x) * scale;
    }
}

double LimitedDisparity(double v) { return std::isfinite(v) && v > 0.0 ? std::min(v, LARGEST_CODED_DISPARITY) : 0.0; }

void LimitGivenDisparities(const StageGeometry& g, double* disparities) {
    for (int i = 0; i < g.pixels; ++i) disparities[i] = LimitedDisparity(disparities[i]);
}

RoadClass RoadClassOf(double v) {
    return IsRoadDisparity(v) ? static_cast<RoadClass>(DisparityClass(v)) : NO_ROAD_CLASS;
}

void SelectRoadClasses(const StageGeometry& g, const double* decoded, RoadClass* classes) {
    const int width = g.width;
    for (int y = 0; y < g.height; y += 2) {
        const double* in = decoded + PIXEL(0, y, width);
        RoadClass* out = classes + RoadRowStart(width, y);
        for (int x = 0; x < width; ++x) out[x] = RoadClassOf(in[x]);
    }
}

void CountColumnClasses(const StageGeometry& g, const RoadClass* classes, uint16_t* columnCounts) {
    const int width = g.width;
    std::fill_n(columnCounts, static_cast<size_t>(width) * ROAD_CLASS_SLOTS, uint16_t{0});
    for (int y = 0; y < g.height; y += 2) {
        const RoadClass* row = classes + RoadRowStart(width, y);
        uint16_t* counts = columnCounts;
        for (int x = 0; x < width; ++x, counts += ROAD_CLASS_SLOTS) ++counts[row[x]];
    }
}

bool IsObstacleFace(const StageGeometry& g, const uint16_t* columnCounts, int x, RoadClass c) {
    return c != NO_ROAD_CLASS && columnCounts[static_cast<size_t>(x) * ROAD_CLASS_SLOTS + c] > FaceLimit(g, c);
}

void VDisparityPeaks(const StageGeometry& g, const RoadClass* classes, const uint16_t* columnCounts,
                     int MaxY[LUT_NUM]) {
    PeakSearch search{g.axisU, g.width, g.scanCap, {}, {}, {}, {}, MaxY};
    for (int d = 0; d < LUT_NUM; ++d) search.peakMin[d] = PeakMin(g, d);
    for (int d = 0; d < ROAD_CLASSES; ++d) search.faceAbove[d] = FaceLimit(g, d);
    search.faceAbove[NO_ROAD_CLASS] = -1;  // skipped at any count
    std::copy(g.uncountedRoadRow, g.uncountedRoadRow + LUT_NUM, MaxY);
    for (int y = g.roadFirstRow; y < g.height; y += 2) search.ScanRow(classes, columnCounts, y);
    FillOddClasses(MaxY);
}

void RoadDisparityMap(RunState& run) {
    const StageGeometry& g = run.geometry;
    RoadClass* classes = run.roadClasses.data();
    uint16_t* columnCounts = run.scratch.columnCounts.data();
    if (run.disparityValuesGiven) {
        LimitGivenDisparities(g, run.measuredDisparity.data());
        SelectRoadClasses(g, run.measuredDisparity.data(), classes);
        CountColumnClasses(g, classes, columnCounts);
    } else if (run.fixed16Picture.top != nullptr) {
        const Fixed16Codes& codes = Fixed16CodesOf(run);
        DecodeFixed16Codes(g, run.fixed16Picture, codes, run.disparityCodes.data(), classes, columnCounts);
        run.frameCodes = {codes.value.data(), codes.roadClass.data(), &codes.grid};
    } else {
        DecodePictureCodes(g, DisparityPictureOf(run), run.disparityCodes.data(), classes, columnCounts);
        run.frameCodes = ColourCodeTables();
    }
    run.measured = run.disparityValuesGiven ? MeasuredColumnBlocks(g, run.measuredDisparity.data())
                                            : MeasuredColumnBlocks(g, run.disparityCodes.data());
    VDisparityPeaks(g, classes, columnCounts, run.MaxY);
}
