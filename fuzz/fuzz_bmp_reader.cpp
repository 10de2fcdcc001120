// Any bytes as a BMP file. The reader must refuse what it cannot read, and what it accepts must
// fill exactly the picture its header declares. obstacle-track's frame loaders, which check the
// size and depth a run needs, read the same file as a disparity and as a grey picture.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FileFrames.h"
#include "Imageread.h"
#include "ScratchFile.h"

namespace {

const std::string& ScratchFile() { return FuzzScratchFile("fuzz_bmp_reader", ".bmp"); }

volatile unsigned checksumSink;  // keeps the pixel reads from being optimised away

int32_t Int32At(const uint8_t* data, int offset) {
    return static_cast<int32_t>(static_cast<uint32_t>(data[offset]) | static_cast<uint32_t>(data[offset + 1]) << 8 |
                                static_cast<uint32_t>(data[offset + 2]) << 16 |
                                static_cast<uint32_t>(data[offset + 3]) << 24);
}

// Reads every byte the image claims, so that a block smaller than its header is caught.
unsigned Checksum(const qim::Image& img) {
    unsigned sum = 0;
    for (int y = 0; y < img.rows; ++y) {
        const uchar* row = img.ptr(y);
        for (size_t x = 0; x < img.step[0]; ++x) sum += row[x];
    }
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteScratch(ScratchFile(), data, size);
    // The image starts with a block of another shape, as when a reader is called again.
    qim::Image img;
    img.create(2, 3, SGBM_8UC3);
    std::string error;
    const bool read = bmp_reader(ScratchFile().c_str(), img, &error);
    if (read) {
        const int32_t width = Int32At(data, 18);
        const int32_t height = Int32At(data, 22);
        const bool shapeMatches = img.cols == width && img.rows == (height < 0 ? -height : height);
        if (!shapeMatches || img.type() != SGBM_8UC3 || img.step[0] != static_cast<size_t>(width) * 3 ||
            !error.empty()) {
            std::abort();
        }
        checksumSink = Checksum(img);
    } else if (!img.empty() || error.empty()) {
        std::abort();
    }
    img.release();

    FrameNames names;
    InitialNames(names);
    static RunState run;  // its buffers are allocated once, not per input
    for (const bool grey : {false, true}) {
        FileFrames frames(DEFAULT_CAMERA, {grey ? "" : ScratchFile(), grey ? ScratchFile() : "", {}, false});
        std::string problem;
        const bool loaded = grey ? frames.LoadGrey(names, 0, img, problem) : frames.LoadDisparity(names, 0, run, problem);
        // A colour-coded picture stays where the source read it.
        const PictureView picture = grey ? ViewOf(img) : DisparityPictureOf(run);
        const int rows = grey ? CAMERA_ROWS : TOTAL_V;
        const int cols = grey ? CAMERA_COLS : TOTAL_U;
        if (loaded ? (picture.rows != rows || picture.cols != cols || !problem.empty())
                   : (picture.top != nullptr || problem.empty())) {
            std::abort();
        }
        img.release();
        run.src_img_colorD.release();
    }
    return 0;
}
