// A view of a colour picture's pixels where they lie: the stages read a frame's picture through it
// without copying it. The view owns nothing; whoever owns the pixels keeps them while it is used.
#pragma once

#include <cstddef>

#include "core.h"

struct PictureView {
    const uchar* top = nullptr;    // the first pixel of the top row; nullptr for no picture
    std::ptrdiff_t rowStride = 0;  // bytes from a row to the next lower one (negative for rows stored bottom first)
    int bytesPerPixel = 0;         // blue, green, red first, then bytes the stages skip
    int rows = 0;
    int cols = 0;

    const uchar* Row(int v) const { return top + v * rowStride; }
};

// The pixels of an image (an empty view for an empty image).
inline PictureView ViewOf(const qim::Image& image) {
    if (image.empty()) return {};
    return {image.data, static_cast<std::ptrdiff_t>(image.step[0]), image.channels(), image.rows, image.cols};
}
