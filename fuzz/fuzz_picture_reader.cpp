// Any bytes as one frame's disparity picture and as its grey picture, read as obstacle-track reads
// them: told apart by their first bytes (BMP, PNG through libspng, PFM), checked on their header
// against the camera's size and depth, then read. The camera takes the size the header declares
// (up to 256 x 256), so that every header that parses leads to its pixels. A refusal must name the
// file and leave no picture; an accepted disparity picture gives only finite disparities of 0
// (none) or more, an accepted grey picture the camera's size.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FileFrames.h"
#include "PictureFiles.h"
#include "ScratchFile.h"

namespace {

const std::string& ScratchFile() { return FuzzScratchFile("fuzz_picture_reader", ""); }

constexpr int MAX_SIDE = 256;

void CheckRefusal(bool loaded, const std::string& option, const std::string& error, const PictureView& picture) {
    if (loaded) return;
    if (error.compare(0, option.size() + 2 + ScratchFile().size(), option + ": " + ScratchFile()) != 0) std::abort();
    if (picture.top != nullptr) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteScratch(ScratchFile(), data, size);
    Camera camera = DEFAULT_CAMERA;
    PictureReader header;
    std::string problem;
    if (header.Open(ScratchFile(), problem)) {
        const PictureHeader& h = header.Header();
        if (h.cols >= 1 && h.cols <= MAX_SIDE && h.rows >= 1 && h.rows <= MAX_SIDE) {
            camera.width_pix = h.cols;
            camera.height_pix = h.rows;
        }
    }
    static RunState run;  // its buffers are allocated once, not per input
    FileFrames frames(camera, {ScratchFile(), ScratchFile(), {}, true});
    FrameNames names{};
    std::string error;
    const bool disparity = frames.LoadDisparity(names, 0, run, error);
    // A colour-coded BMP stays where the source read it; values with their colour picture in the run.
    const PictureView colour = DisparityPictureOf(run);
    CheckRefusal(disparity, "--disparity", error, colour);
    if (disparity) {
        if (colour.rows != camera.height_pix || colour.cols != camera.width_pix) std::abort();
        const size_t pixels = static_cast<size_t>(camera.width_pix) * static_cast<size_t>(camera.height_pix);
        for (size_t i = 0; run.disparityValuesGiven && i < pixels; ++i) {
            if (!std::isfinite(run.measuredDisparity[i]) || run.measuredDisparity[i] < 0.0) std::abort();
        }
    }
    run.src_img_colorD.release();
    error.clear();
    qim::Image grey;
    const bool loaded = frames.LoadGrey(names, 0, grey, error);
    CheckRefusal(loaded, "--grey", error, ViewOf(grey));
    const GreyWindow window = GreyPictureOf(camera);
    if (loaded && (grey.rows != window.rows || grey.cols != window.cols)) std::abort();
    grey.release();
    return 0;
}
