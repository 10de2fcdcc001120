#include "StereoMatcher.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>

struct StereoMatcher::Impl {
    SgbmParameters parameters;
    cv::Ptr<cv::StereoSGBM> sgbm;
};

bool StereoMatcherBuilt() { return true; }

StereoMatcher::StereoMatcher(const SgbmParameters& p) : impl(new Impl{p, nullptr}) {
    const int blockArea = p.block_pix * p.block_pix;
    const int minDisparity = 0;
    const int disp12MaxDiff = 0;  // no left-right check: uniqueness and speckles weed out mismatches
    impl->sgbm = cv::StereoSGBM::create(minDisparity, p.levels, p.block_pix, SGBM_P1_PER_PIXEL * blockArea,
                                        SGBM_P2_PER_PIXEL * blockArea, disp12MaxDiff, p.preFilterCap,
                                        p.uniqueness_pct, p.speckleWindow_pix, p.speckleRange,
                                        cv::StereoSGBM::MODE_SGBM_3WAY);
}

StereoMatcher::~StereoMatcher() = default;

bool StereoMatcher::Match(const unsigned char* left, const unsigned char* right, int cols, int rows,
                          std::vector<int16_t>& sixteenths, std::string& problem) {
    if (cols <= impl->parameters.levels) {
        problem = "pictures " + std::to_string(cols) + " pixels wide, no wider than the " +
                  std::to_string(impl->parameters.levels) + " disparity levels searched (--sgbm-levels)";
        return false;
    }
    // OpenCV reads the caller's rows in place and writes into `sixteenths` directly.
    const cv::Mat leftView(rows, cols, CV_8UC1, const_cast<unsigned char*>(left));
    const cv::Mat rightView(rows, cols, CV_8UC1, const_cast<unsigned char*>(right));
    sixteenths.resize(static_cast<size_t>(cols) * static_cast<size_t>(rows));
    cv::Mat out(rows, cols, CV_16SC1, sixteenths.data());
    impl->sgbm->compute(leftView, rightView, out);
    if (out.data == reinterpret_cast<unsigned char*>(sixteenths.data())) return true;
    problem = "the matcher did not write its disparities in place";
    return false;
}
