// Small value types and numeric helpers of the image container.
#pragma once

namespace operations {

struct Size {
    Size() : width(0), height(0) {}
    Size(int w, int h) : width(w), height(h) {}
    Size(const Size& other) = default;
    Size& operator=(const Size& other) = default;
    int width;
    int height;
};

// Nearest integer, halves to the even neighbour.
int round(double value);

template <typename T> T saturate_cast(int v);
template <typename T> T saturate_cast(float v);
template <> unsigned char saturate_cast<unsigned char>(int v);
template <> unsigned char saturate_cast<unsigned char>(float v);

}  // namespace operations
