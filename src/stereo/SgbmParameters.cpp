#include <cmath>

#include "StereoMatcher.h"

SgbmParameters RoadSgbmParameters(const Camera& camera) {
    SgbmParameters parameters;
    const double nearest_pix = camera.bf_pix / SGBM_NEAREST_M;
    const double steps = std::ceil(nearest_pix / SGBM_LEVEL_STEP);
    const double levels = std::fmin(std::fmax(steps, 1.0) * SGBM_LEVEL_STEP, SGBM_MAX_LEVELS);
    parameters.levels = static_cast<int>(levels);
    return parameters;
}

std::string SgbmLevelsProblem(int levels) {
    if (levels >= SGBM_LEVEL_STEP && levels <= SGBM_MAX_LEVELS && levels % SGBM_LEVEL_STEP == 0) return "";
    return std::to_string(levels) + " is not a multiple of " + std::to_string(SGBM_LEVEL_STEP) + " from " +
           std::to_string(SGBM_LEVEL_STEP) + " to " + std::to_string(SGBM_MAX_LEVELS);
}

std::string SgbmBlockProblem(int block_pix) {
    if (block_pix >= 1 && block_pix <= SGBM_MAX_BLOCK_PIX && block_pix % 2 == 1) return "";
    return std::to_string(block_pix) + " is not an odd side from 1 to " + std::to_string(SGBM_MAX_BLOCK_PIX);
}
