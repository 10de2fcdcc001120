#include "RunState.h"

#include <algorithm>

#include "OccupancyGrid.h"
#include "RoadDisparityMap.h"

StageScratch::StageScratch(const StageGeometry& g)
    : columnCounts(static_cast<size_t>(g.width) * ROAD_CLASS_SLOTS),
      stripValues(static_cast<size_t>(SHIFT_PITCH) * g.height),
      stripRows(static_cast<size_t>(g.height)),
      smallestBlockValues(static_cast<size_t>(FarBlocksNeeded(g))) {}

RunState::RunState(const Camera& cam)
    : geometry(cam),
      camera(geometry.camera),
      grid(static_cast<size_t>(geometry.gridCells), Grid{}),
      measuredDisparity(static_cast<size_t>(geometry.pixels), 0.0),
      disparityCodes(static_cast<size_t>(geometry.pixels), NO_DISPARITY_CODE),
      frameCodes(ColourCodeTables()),
      roadClasses(static_cast<size_t>(geometry.width) * RoadClassRows(geometry.height), NO_ROAD_CLASS),
      newGrid(static_cast<size_t>(geometry.gridCells), Grid{}),
      scratch(geometry) {
    InitialRoadRows(camera, pre_ground);
    ResetFrameTables(geometry, disparity, threshold);
    for (int i = 0; i < LUT_NUM; ++i) {
        ground[i] = blind[i] = ceiling[i] = 0;
        MaxY[i] = geometry.noRoadRow;
    }
}

RunState::~RunState() {
    src_img_colorD.release();
    src_img_grayR.release();
}

PictureView DisparityPictureOf(const RunState& run) {
    return run.disparityPicture.top != nullptr ? run.disparityPicture : ViewOf(run.src_img_colorD);
}

const Fixed16Codes& Fixed16CodesOf(RunState& run) {
    if (!run.fixed16Codes || run.fixed16Codes->scale != run.fixed16Scale) {
        run.fixed16Codes = std::make_unique<Fixed16Codes>(run.fixed16Scale);
    }
    return *run.fixed16Codes;
}

void InitialRoadRows(const Camera& camera, int pre_ground[LUT_NUM]) {
    for (int k = 0; k < LUT_NUM; ++k) pre_ground[k] = FlatRoadRowInPicture(camera, k + 1);
}

void ResetFrameTables(const StageGeometry& geometry, double disparity[LUT_NUM], double threshold[LUT_NUM]) {
    for (int i = 0; i < LUT_NUM; ++i) disparity[i] = i;
    std::copy(geometry.threshold, geometry.threshold + LUT_NUM, threshold);
}
