#include "Overlay.h"

#include <algorithm>
#include <string>

#include "BmpWriter.h"
#include "ColorMap.h"
#include "Draw.h"

namespace {

constexpr int PALETTE_SIZE = 20;
constexpr int DIGIT_COLS = 3;
constexpr int DIGIT_ROWS = 5;

// 3 x 5 digit shapes, one row per entry, bit 2 the left column.
constexpr uint8_t DIGITS[10][DIGIT_ROWS] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

std::string DecimalDigits(int value) { return std::to_string(value < 0 ? 0 : value); }

}  // namespace

uint8_t IdentifierInk(int id) {
    if (id < 1) return NEUTRAL_INK;
    return static_cast<uint8_t>((id - 1) % PALETTE_SIZE + 1);
}

ColorSet InkColour(uint8_t ink) {
    ColorSet colour{255, 255, 255};
    if (ink >= 1 && ink <= PALETTE_SIZE) SetColorMapId(&colour, ink);
    return colour;
}

InkLayer::InkLayer(int w, int h) : width(w), height(h), ink(static_cast<size_t>(w) * h, 0) {}

// drawRectGrayImg leaves the corner (x1, y1) of its outline unset: it is drawn as a line of one pixel.
void InkLayer::Outline(int x0, int y0, int x1, int y1, uint8_t colour, int thickness) {
    for (int k = 0; k < thickness && x0 + k <= x1 - k && y0 + k <= y1 - k; ++k) {
        drawRectGrayImg(ink.data(), x0 + k, y0 + k, x1 - k, y1 - k, width, height, colour);
        drawLineGrayImg(ink.data(), x1 - k, y1 - k, x1 - k + 1, y1 - k, width, height, colour);
    }
}

void InkLayer::Fill(int x0, int y0, int x1, int y1, uint8_t colour) {
    // Only the part inside the layer is walked, however far the box reaches.
    x0 = std::max(x0, -1);
    x1 = std::min(x1, width);
    y0 = std::max(y0, -1);
    y1 = std::min(y1, height);
    for (int y = y0; y <= y1; ++y) drawLineGrayImg(ink.data(), x0, y, x1 + 1, y, width, height, colour);
}

void InkLayer::Number(int x, int y, int value, uint8_t colour, int scale) {
    for (char digit : DecimalDigits(value)) {
        const uint8_t* shape = DIGITS[digit - '0'];
        for (int row = 0; row < DIGIT_ROWS; ++row) {
            for (int col = 0; col < DIGIT_COLS; ++col) {
                if ((shape[row] >> (DIGIT_COLS - 1 - col) & 1) == 0) continue;
                const int px = x + col * scale;
                const int py = y + row * scale;
                Fill(px, py, px + scale - 1, py + scale - 1, colour);
            }
        }
        x += (DIGIT_COLS + 1) * scale;
    }
}

int InkLayer::NumberWidth(int value, int scale) {
    return static_cast<int>(DecimalDigits(value).size()) * (DIGIT_COLS + 1) * scale - scale;
}

int InkLayer::NumberHeight(int scale) { return DIGIT_ROWS * scale; }

void InkLayer::PaintOnto(qim::Image& picture) const {
    for (int y = 0; y < height; ++y) {
        uchar* row = picture.ptr(y);
        for (int x = 0; x < width; ++x) {
            const uint8_t colour = At(x, y);
            if (colour == 0) continue;
            const ColorSet c = InkColour(colour);
            row[3 * x] = static_cast<uchar>(c.blue);
            row[3 * x + 1] = static_cast<uchar>(c.green);
            row[3 * x + 2] = static_cast<uchar>(c.red);
        }
    }
}

// The blend with weight 0 writes the background grey into all three channels.
void GreyToColour(const qim::Image& grey, qim::Image& picture) {
    picture.create(grey.rows, grey.cols, SGBM_8UC3);
    if (picture.empty()) return;
    ColorSet none{0, 0, 0};
    for (int v = 0; v < grey.rows; ++v) {
        for (int u = 0; u < grey.cols; ++u) AlphaBlending_new(grey, picture, u, v, &none, 0.0f);
    }
}

void DimmedColour(const PictureView& colour, qim::Image& picture) {
    constexpr int CHANNELS = 3;
    if (colour.bytesPerPixel < CHANNELS) {
        picture.release();
        return;
    }
    picture.create(colour.rows, colour.cols, SGBM_8UC3);
    if (picture.empty()) return;
    for (int v = 0; v < colour.rows; ++v) {
        const uchar* from = colour.Row(v);
        uchar* to = picture.ptr(v);
        for (int u = 0; u < colour.cols; ++u, from += colour.bytesPerPixel, to += CHANNELS) {
            for (int c = 0; c < CHANNELS; ++c) to[c] = static_cast<uchar>(from[c] / 2);
        }
    }
}

bool WriteColourBmp(const std::string& path, const qim::Image& picture, std::string* error) {
    if (picture.empty()) {
        if (error != nullptr) *error = "has no picture to write";
        return false;
    }
    const size_t rowBytes = static_cast<size_t>(picture.cols) * 3;
    std::vector<unsigned char> bottomUp(rowBytes * static_cast<size_t>(picture.rows));
    for (int v = 0; v < picture.rows; ++v) {
        std::copy(picture.ptr(v), picture.ptr(v) + rowBytes, bottomUp.begin() + static_cast<std::ptrdiff_t>(rowBytes * (picture.rows - 1 - v)));
    }
    return WriteBmp(path, bottomUp.data(), picture.cols, picture.rows, 24, error);
}
