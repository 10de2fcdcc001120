#include "ReferenceStages.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "ColorMap.h"
#include "Geometry.h"
#include "GridSearch.h"
#include "GridSmoothing.h"
#include "GroupObjects.h"
#include "OccupancyGrid.h"
#include "RoadDisparityMap.h"
#include "RoadProfile.h"
#include "TrackingObject.h"

namespace reference {
namespace {

constexpr int FOLD_FROM_CLASS = 16;
constexpr int FINE_BIN_NUM = 30;
constexpr double FINE_BIN_WIDTH = 0.1;

int FaceLimit(const StageGeometry& g, int d) { return d < FOLD_FROM_CLASS ? g.faceLimitSingle : g.faceLimitFolded; }

double DecodeColor(const uchar* pixel) {
    const ColorSet colorSet{pixel[2], pixel[1], pixel[0]};
    return ColorToValue(&colorSet, 2);
}

// ---- Road disparity map ----

void ColumnHistogram(const StageGeometry& g, const double* road, int x, int histD_1v[LUT_NUM]) {
    std::fill(histD_1v, histD_1v + LUT_NUM, 0);
    for (int y = 0; y < g.height; y += 2) {
        const double v = road[PIXEL(x, y, g.width)];
        if (IsRoadDisparity(v)) ++histD_1v[DisparityClass(v)];
    }
}

void EraseColumnValues(const StageGeometry& g, double* road, int x, int first, int last) {
    for (int y = 0; y < g.height; y += 2) {
        double& v = road[PIXEL(x, y, g.width)];
        if (!IsRoadDisparity(v)) continue;
        const int rounded = RoundedDisparity(v);
        if (rounded >= first && rounded <= last) v = 0.0;
    }
}

// A value a frame source gave, as the stages take it: at most the largest coded disparity, and no
// disparity where it is not finite or not positive.
double GivenValue(double v) { return std::isfinite(v) && v > 0.0 ? std::min(v, LARGEST_CODED_DISPARITY) : 0.0; }

// ---- Occupancy grid ----

ColorSet PixelColor(const qim::Image& colorD, int u, int v) {
    if (colorD.data == nullptr || colorD.channels() < 3 || u >= colorD.cols || v >= colorD.rows) {
        return ColorSet{0, 0, 0};
    }
    const uchar* pixel = colorD.data + v * colorD.step[0] + u * colorD.channels();
    return ColorSet{pixel[2], pixel[1], pixel[0]};
}

bool IsOverheadBlock(const StageGeometry& g, int u, int v, const int* ground, const double* measuredDisparity) {
    const double d = FindDisparityInBlock(g, u, v, measuredDisparity);
    const double dh = ComputeHeight(g.camera, d, v, ground[TableLevel(d + 0.5)]);
    return dh > MYCAR_HIGHT && d != 0.0 && CountFarBlock(g, u, v, d, measuredDisparity) > g.farBlocks;
}

void BlankBlock(const StageGeometry& g, int u, int v, double* measuredDisparity) {
    for (int j = 0; j < g.blockRows; ++j) std::fill_n(measuredDisparity + PIXEL(u, v + j, g.width), SHIFT_PITCH, 0.0);
}

// The histogram of the straightforward stage: values stored as added, each counted by LinearBin.
class Histogram {
public:
    Histogram(int n, double w, double f) : widthBin(w), firstBin(f), histogram(n, 0) {}

    void AddData(double x) {
        originalData.push_back(x);
        counted = false;
    }
    int GetFreqOfBin(int i) {
        CountIfNeeded();
        return histogram.at(i);
    }
    int GetNumOfMax() {
        CountIfNeeded();
        int bestCount = 0;
        int bestIndex = 0;
        for (int i = 0; i < static_cast<int>(histogram.size()); ++i) {
            if (histogram[i] > bestCount) {
                bestCount = histogram[i];
                bestIndex = i;
            }
        }
        return bestIndex;
    }
    void Clear() {
        originalData.clear();
        histogram.assign(histogram.size(), 0);
        counted = false;
    }

private:
    void CountIfNeeded() {
        if (counted) return;
        histogram.assign(histogram.size(), 0);
        for (double x : originalData) {
            const int j = LinearBin(x, firstBin, widthBin, static_cast<int>(histogram.size()));
            if (j >= 0) histogram[j] += 1;
        }
        counted = true;
    }

    bool counted = false;
    double widthBin;
    double firstBin;
    std::vector<int> histogram;
    std::vector<double> originalData;
};

double FineDisparity(const StageGeometry& g, const double* measuredDisparity, int u0, int d, const double* disparity) {
    Histogram histogramShisa(FINE_BIN_NUM, FINE_BIN_WIDTH, disparity[d - 1]);
    for (int u = u0; u < u0 + SHIFT_PITCH; ++u) {
        for (int v = 0; v < g.height; ++v) {
            const double mDisparity = measuredDisparity[PIXEL(u, v, g.width)];
            if (d - 1 < mDisparity && mDisparity < d + 2) histogramShisa.AddData(mDisparity);
        }
    }
    return disparity[d - 1] + histogramShisa.GetNumOfMax() * FINE_BIN_WIDTH;
}

void ClassifyCell(const StageGeometry& g, Grid& cell, int freq, const double* measuredDisparity, int u0, int d,
                  const double* disparity, const double* threshold) {
    if (freq < C_THRESHOLD1 * threshold[d]) {
        cell.exist = EXIST_EMPTY;
        return;
    }
    if (freq < C_THRESHOLD2 * threshold[d]) cell.exist = EXIST_WEAK;
    cell.aveD = FineDisparity(g, measuredDisparity, u0, d, disparity);
    cell.z_m = g.camera.bf_pix / cell.aveD;
    cell.x_m = Img2RealX(g.camera, u0, cell.z_m);
}

// Top, bottom and height of the run of matching rows in column u, every row examined.
void SearchHeight(const StageGeometry& g, Grid& cell, const double* measuredDisparity, int u, int groundPoint) {
    const int probe = g.blockRows * g.width;
    int height_pix = groundPoint;
    int low_pix = groundPoint;
    bool found = false;
    for (int v = 0; v <= groundPoint && v < EndBlockRow(g); ++v) {
        const double* pixel = measuredDisparity + PIXEL(u, v, g.width);
        if (!MatchesCell(cell, pixel[0], g.camera.bf_pix) || !MatchesCell(cell, pixel[probe], g.camera.bf_pix)) {
            continue;
        }
        if (!found) height_pix = v;
        low_pix = v + g.blockRows;
        found = true;
    }
    cell.h_pix = height_pix;
    cell.hl_pix = low_pix;
    cell.h_m = (static_cast<double>(groundPoint - height_pix) * g.camera.baseline_m) / cell.aveD;
}

void MeasureHeights(const StageGeometry& g, const double* measuredDisparity, const int* ground, Grid* newGrid) {
    for (int uBl = 0; uBl < g.blocksU; ++uBl) {
        for (int d = LUT_NUM - 1; d >= FIRST_GRID_LEVEL; --d) {
            Grid& cell = newGrid[GRID(uBl, d, g.blocksU)];
            if (cell.exist == EXIST_WEAK) cell.exist = EXIST_EMPTY;
            if (cell.exist != EXIST_OCCUPIED) continue;
            SearchHeight(g, cell, measuredDisparity, uBl * SHIFT_PITCH, ground[d]);
            if (ground[d] == cell.h_pix || cell.h_m < OBJECT_MIN_HEIGHT_M) cell.exist = EXIST_EMPTY;
        }
    }
}

// ---- Grouping ----

int GroupOf(const Grid& c) { return TakesPart(c) ? c.id : 0; }

void ReferCandidates(const StageGeometry& g, Grid* grid, int uBl, int d) {
    for (int rd = d; rd < LUT_NUM; ++rd) {
        for (int ruBl = 0; ruBl < g.blocksU; ++ruBl) {
            if ((rd == d && ruBl == uBl) || !TakesPart(grid[GRID(ruBl, rd, g.blocksU)])) continue;
            ReferGroup(g, grid, uBl, d, ruBl, rd);
        }
    }
}

std::vector<SortNum> RankGroups(const StageGeometry& g, const Grid* grid, int orgGrNo) {
    std::vector<double> sumD(orgGrNo, 0.0);
    std::vector<int> cells(orgGrNo, 0);
    for (int d = FIRST_GRID_LEVEL; d < LUT_NUM; ++d) {
        for (int uBl = 0; uBl < g.blocksU; ++uBl) {
            const Grid& c = grid[GRID(uBl, d, g.blocksU)];
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

DetectedObject MeasureGroup(const StageGeometry& g, const Grid* grid, int num, double meanD) {
    DetectedObject gr{};
    gr.lX_m = 100.0;
    gr.rX_m = -100.0;
    gr.d_pix = meanD;
    gr.S_u = 10000;
    for (int d = FIRST_GRID_LEVEL; d < LUT_NUM; ++d) {
        for (int uBl = 0; uBl < g.blocksU; ++uBl) {
            const Grid& c = grid[GRID(uBl, d, g.blocksU)];
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

}  // namespace

int LinearBin(double x, double firstBin, double widthBin, int numBin) {
    if (x < firstBin) return -1;
    for (int j = 0; j < numBin; ++j) {
        if (x < firstBin + widthBin * j) return j;
    }
    return -1;
}

void DecodeRoadDisparities(const StageGeometry& g, const qim::Image& src, double* road) {
    std::fill(road, road + g.pixels, 0.0);
    if (src.data == nullptr || src.channels() < 3) return;
    const int rows = std::min(src.rows, g.height);
    const int cols = std::min(src.cols, g.width);
    for (int y = 0; y < rows; y += 2) {
        const uchar* line = src.ptr(y);
        for (int x = 0; x < cols; ++x) {
            const double v = DecodeColor(line + x * src.channels());
            if (IsRoadDisparity(v)) road[PIXEL(x, y, g.width)] = v;
        }
    }
}

void TakeRoadValues(const StageGeometry& g, double* measuredDisparity, double* road) {
    for (int y = 0; y < g.height; ++y) {
        for (int x = 0; x < g.width; ++x) {
            double& value = measuredDisparity[PIXEL(x, y, g.width)];
            value = GivenValue(value);
            road[PIXEL(x, y, g.width)] = y % 2 == 0 && IsRoadDisparity(value) ? value : 0.0;
        }
    }
}

void EraseObstacleDisparities(const StageGeometry& g, double* road) {
    int histD_1v[LUT_NUM];
    for (int x = 0; x < g.width; ++x) {
        ColumnHistogram(g, road, x, histD_1v);
        for (int i = 0; i < LUT_NUM - 1; ++i) {
            if (histD_1v[i] <= FaceLimit(g, i)) continue;
            EraseColumnValues(g, road, x, i, i < FOLD_FROM_CLASS ? i : i + 1);
        }
    }
}

void RoadClasses(const StageGeometry& g, const double* road, uint8_t* classes) {
    for (int y = 0; y < g.height; y += 2) {
        for (int x = 0; x < g.width; ++x) classes[RoadRowStart(g.width, y) + x] = RoadClassOf(road[PIXEL(x, y, g.width)]);
    }
}

// Whether the frame's disparities are values: given, or a 16-bit picture's (value x scale, put
// into measuredDisparity here).
namespace {
bool TakesValues(const RunState& run) { return run.disparityValuesGiven || run.fixed16Picture.top != nullptr; }
}  // namespace

void RoadDisparityMap(RunState& run) {
    std::vector<double> road(static_cast<size_t>(run.geometry.pixels));
    if (!run.disparityValuesGiven && run.fixed16Picture.top != nullptr) {
        Fixed16Disparities(run.geometry, run.fixed16Picture, run.fixed16Scale, run.measuredDisparity.data());
    }
    if (TakesValues(run)) {
        reference::TakeRoadValues(run.geometry, run.measuredDisparity.data(), road.data());
    } else {
        reference::DecodeRoadDisparities(run.geometry, run.src_img_colorD, road.data());
    }
    reference::EraseObstacleDisparities(run.geometry, road.data());
    RoadClasses(run.geometry, road.data(), run.roadClasses.data());
    const std::vector<uint16_t> noFaces(static_cast<size_t>(run.geometry.width) * ROAD_CLASS_SLOTS, 0);
    VDisparityPeaks(run.geometry, run.roadClasses.data(), noFaces.data(), run.MaxY);
}

void DecodeObstacleDisparity(const StageGeometry& g, const qim::Image& colorD, const int* blind,
                             double* measuredDisparity) {
    for (int u = 0; u < g.width; ++u) {
        for (int v = 0; v < g.height; ++v) {
            const ColorSet colorSet = PixelColor(colorD, u, v);
            const double value = ColorToValue(&colorSet, 2);
            measuredDisparity[PIXEL(u, v, g.width)] = blind[TableLevel(value)] < v ? 0.0 : value;
        }
    }
}

void DropBelowBlind(const StageGeometry& g, const int* blind, double* measuredDisparity) {
    for (int u = 0; u < g.width; ++u) {
        for (int v = 0; v < g.height; ++v) {
            double& value = measuredDisparity[PIXEL(u, v, g.width)];
            if (blind[TableLevel(value)] < v) value = 0.0;
        }
    }
}

void RemoveOverheadBlocks(const StageGeometry& g, const int* ground, double* measuredDisparity) {
    for (int u = 0; u + SHIFT_PITCH <= g.width; u += SHIFT_PITCH) {
        for (int v = 0; v + g.blockRows <= g.height; v += g.blockRows) {
            if (IsOverheadBlock(g, u, v, ground, measuredDisparity)) BlankBlock(g, u, v, measuredDisparity);
        }
    }
}

void ClassifyStrips(const StageGeometry& g, const double* measuredDisparity, const double* disparity,
                    const double* threshold, Grid* newGrid) {
    Histogram histogram(LUT_NUM, 1.0, 1.0);
    for (int uBl = 0; uBl < g.blocksU; ++uBl) {
        const int u0 = uBl * SHIFT_PITCH;
        for (int u = u0; u < u0 + SHIFT_PITCH; ++u) {
            for (int v = 0; v < g.height; ++v) histogram.AddData(measuredDisparity[PIXEL(u, v, g.width)] + 0.5);
        }
        for (int d = LUT_NUM - 1; d >= FIRST_GRID_LEVEL; --d) {
            ClassifyCell(g, newGrid[GRID(uBl, d, g.blocksU)], histogram.GetFreqOfBin(d), measuredDisparity, u0, d,
                         disparity, threshold);
        }
        histogram.Clear();
    }
}

void OccupancyGrid(RunState& run) {
    const StageGeometry& g = run.geometry;
    double* measuredDisparity = run.measuredDisparity.data();
    if (TakesValues(run)) {
        reference::DropBelowBlind(g, run.blind, measuredDisparity);
    } else {
        reference::DecodeObstacleDisparity(g, run.src_img_colorD, run.blind, measuredDisparity);
    }
    reference::RemoveOverheadBlocks(g, run.ground, measuredDisparity);
    InitializeGrid(g, run.newGrid);
    reference::ClassifyStrips(g, measuredDisparity, run.disparity, run.threshold, run.newGrid.data());
    PromoteWeakRuns(g, run.newGrid.data());
    reference::MeasureHeights(g, measuredDisparity, run.ground, run.newGrid.data());
}

void GridSmoothing(RunState& run) {
    LinkToPreviousGrid(run.geometry, run.newGrid.data(), run.grid.data(), run.nonGridFlg);
    run.grid = run.newGrid;
    run.nonGridFlg = false;
}

int LabelCells(const StageGeometry& g, Grid* grid) {
    int groupNum = 1;
    for (int uBl = 0; uBl < g.blocksU; ++uBl) {
        for (int d = FIRST_GRID_LEVEL; d < LUT_NUM; ++d) {
            Grid& b = grid[GRID(uBl, d, g.blocksU)];
            if (!TakesPart(b)) continue;
            if (b.id == 0) b.id = groupNum++;
            ReferCandidates(g, grid, uBl, d);
        }
    }
    return groupNum;
}

std::vector<DetectedObject> ExtractObjects(const StageGeometry& g, Grid* grid) {
    const int orgGrNo = RenumberGroups(g, grid, reference::LabelCells(g, grid));
    std::vector<DetectedObject> newObject;
    for (const SortNum& group : RankGroups(g, grid, orgGrNo)) {
        if (group.key < MIN_D) break;
        const DetectedObject gr = MeasureGroup(g, grid, group.num, group.key);
        if (KeptAsObstacle(g, gr)) newObject.push_back(gr);
    }
    return newObject;
}

void GroupObjects(RunState& run) { run.newObject = reference::ExtractObjects(run.geometry, run.grid.data()); }

void DetectObstacles(RunState& run) {
    reference::RoadDisparityMap(run);
    ::RoadProfile(run);
    reference::OccupancyGrid(run);
    reference::GridSmoothing(run);
    reference::GroupObjects(run);
}

}  // namespace reference
