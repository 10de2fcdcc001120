// The matcher of a build without OpenCV: every pair is refused, naming what the build lacks.
#include "StereoMatcher.h"

struct StereoMatcher::Impl {};

bool StereoMatcherBuilt() { return false; }

StereoMatcher::StereoMatcher(const SgbmParameters&) {}

StereoMatcher::~StereoMatcher() = default;

bool StereoMatcher::Match(const unsigned char*, const unsigned char*, int, int, std::vector<int16_t>&,
                          std::string& problem) {
    problem = STEREO_MATCHER_MISSING;
    return false;
}
