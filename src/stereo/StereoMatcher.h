// Disparity from a rectified stereo pair: OpenCV's semi-global matcher (StereoSGBM) where the
// build found OpenCV, and a refusal naming what is missing where it did not. The parameters and
// their bounds need the standard library only, so that the options are read and checked alike on
// every build.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Camera.h"

// The nearest distance the default level count reaches: just beyond a car's bonnet.
constexpr double SGBM_NEAREST_M = 3.0;
// The matcher searches levels in steps of this many; at most SGBM_MAX_LEVELS levels, whose
// sixteenths times 16 still fit a 16-bit PNG in KITTI's convention (value = disparity x 256).
constexpr int SGBM_LEVEL_STEP = 16;
constexpr int SGBM_MAX_LEVELS = 240;
// The matching block's side: odd, at most this (pixel).
constexpr int SGBM_MAX_BLOCK_PIX = 21;
// The smoothness penalties per pixel of the block, for a change of one level (P1) and of more (P2):
// P1 = 8 x block^2 and P2 = 32 x block^2 on a grey picture.
constexpr int SGBM_P1_PER_PIXEL = 8;
constexpr int SGBM_P2_PER_PIXEL = 32;

// The matcher's parameters. Defaults suit road scenes (KITTI's own SGBM disparities are made with
// them, and the street's come out the same to the bit): 3-way matching, block 5, uniqueness 10 %,
// speckles of up to 100 pixels spread by at most 2 levels removed, the pictures' horizontal
// gradients clipped at 63.
struct SgbmParameters {
    int levels = 128;          // disparity levels searched, 0 to levels - 1; a multiple of 16
    int block_pix = 5;         // side of the matching block (pixel); odd
    int uniqueness_pct = 10;   // the best cost must beat the second best by this share (per cent)
    int speckleWindow_pix = 100;  // largest blob of disparities told apart from its surroundings (pixel)
    int speckleRange = 2;      // largest disparity spread inside such a blob (level)
    int preFilterCap = 63;     // the pre-filter's clipping of the horizontal gradient (grey level)
};

// The defaults for `camera`: levels enough to reach SGBM_NEAREST_M at its focal length and
// baseline, rounded up to a multiple of SGBM_LEVEL_STEP and capped at SGBM_MAX_LEVELS.
SgbmParameters RoadSgbmParameters(const Camera& camera);

// Why a level count or block side cannot be used, or "".
std::string SgbmLevelsProblem(int levels);
std::string SgbmBlockProblem(int block_pix);

// Whether this build matches stereo pairs (OpenCV was found when it was configured), and what a
// build without it says of a pair.
bool StereoMatcherBuilt();
constexpr const char* STEREO_MATCHER_MISSING =
    "built without OpenCV (Debian libopencv-calib3d-dev, tools/install-deps installs it): stereo pairs cannot be "
    "matched; give --disparity pictures";

class StereoMatcher {
public:
    explicit StereoMatcher(const SgbmParameters& parameters);
    ~StereoMatcher();
    StereoMatcher(const StereoMatcher&) = delete;
    StereoMatcher& operator=(const StereoMatcher&) = delete;

    // The left picture's disparities from 8-bit grey pictures of cols x rows pixels (row 0 at the
    // top, rows packed; the caller keeps them) into `sixteenths` (cols x rows, index u + v x cols):
    // disparity x 16, below 0 where there is none. False with the problem where the picture is no
    // wider than the levels searched or the build has no matcher.
    bool Match(const unsigned char* left, const unsigned char* right, int cols, int rows,
               std::vector<int16_t>& sixteenths, std::string& problem);

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};
