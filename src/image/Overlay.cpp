#include "Overlay.h"

#include <algorithm>
#include <array>
#include <string>

#include "BmpWriter.h"
#include "ColorMap.h"

namespace {

constexpr int PALETTE_SIZE = 20;
constexpr int INK_COUNT = 256;
constexpr ColorSet BACKDROP_COLOUR{16, 16, 16};
constexpr ColorSet RULE_COLOUR{88, 88, 88};
constexpr ColorSet NEUTRAL_COLOUR{255, 255, 255};

// A glyph: 7 rows of 5 bits, bit 4 the left column.
using Glyph = std::array<uint8_t, GLYPH_ROWS>;

constexpr Glyph BLANK{};
constexpr Glyph DIGITS[10] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
};
constexpr Glyph LETTERS[26] = {
    {0x0E, 0x11, 0x11, 0x11, 0x1F, 0x11, 0x11}, {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E},  // A B
    {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}, {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C},  // C D
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}, {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10},  // E F
    {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}, {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},  // G H
    {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}, {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C},  // I J
    {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}, {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F},  // K L
    {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}, {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11},  // M N
    {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10},  // O P
    {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}, {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11},  // Q R
    {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}, {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04},  // S T
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04},  // U V
    {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}, {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11},  // W X
    {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F},  // Y Z
};
constexpr Glyph SMALL_M{0x00, 0x00, 0x1A, 0x15, 0x15, 0x11, 0x11};
constexpr Glyph HASH{0x0A, 0x0A, 0x1F, 0x0A, 0x1F, 0x0A, 0x0A};
constexpr Glyph POINT{0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C};
constexpr Glyph MINUS{0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00};
constexpr Glyph COLON{0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00};
constexpr Glyph SLASH{0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00};

const Glyph& GlyphOf(char c) {
    if (c >= '0' && c <= '9') return DIGITS[c - '0'];
    if (c == 'm') return SMALL_M;
    if (c >= 'a' && c <= 'z') return LETTERS[c - 'a'];
    if (c >= 'A' && c <= 'Z') return LETTERS[c - 'A'];
    switch (c) {
        case '#': return HASH;
        case '.': return POINT;
        case '-': return MINUS;
        case ':': return COLON;
        case '/': return SLASH;
        default: return BLANK;
    }
}

}  // namespace

uint8_t IdentifierInk(int id) {
    if (id < 1) return NEUTRAL_INK;
    return static_cast<uint8_t>((id - 1) % PALETTE_SIZE + 1);
}

ColorSet InkColour(uint8_t ink) {
    if (ink >= 1 && ink <= PALETTE_SIZE) {
        ColorSet colour{};
        SetColorMapId(&colour, ink);
        return colour;
    }
    if (ink == BACKDROP_INK) return BACKDROP_COLOUR;
    if (ink == RULE_INK) return RULE_COLOUR;
    return NEUTRAL_COLOUR;
}

InkLayer::InkLayer(int w, int h) : width(w), height(h), ink(static_cast<size_t>(w) * h, 0) {}

void InkLayer::Outline(int x0, int y0, int x1, int y1, uint8_t colour, int thickness) {
    for (int k = 0; k < thickness && x0 + k <= x1 - k && y0 + k <= y1 - k; ++k) {
        Fill(x0 + k, y0 + k, x1 - k, y0 + k, colour);
        Fill(x0 + k, y1 - k, x1 - k, y1 - k, colour);
        Fill(x0 + k, y0 + k, x0 + k, y1 - k, colour);
        Fill(x1 - k, y0 + k, x1 - k, y1 - k, colour);
    }
}

void InkLayer::Segment(bool vertical, int at, int from, int to, int thickness, int inward, int dash, uint8_t colour) {
    for (int k = 0; k < thickness; ++k) {
        const int across = at + inward * k;
        for (int along = from; along <= to; ++along) {
            if (dash > 0 && (along - from) / dash % 2 == 1) continue;
            if (vertical) {
                Fill(across, along, across, along, colour);
            } else {
                Fill(along, across, along, across, colour);
            }
        }
    }
}

void InkLayer::StyledOutline(int x0, int y0, int x1, int y1, uint8_t colour, int thickness, OutlineStyle style,
                             int dash) {
    if (style == OutlineStyle::Solid || x1 < x0 || y1 < y0) {
        Outline(x0, y0, x1, y1, colour, thickness);
        return;
    }
    if (style == OutlineStyle::Dashed) {
        Segment(false, y0, x0, x1, thickness, 1, dash, colour);
        Segment(false, y1, x0, x1, thickness, -1, dash, colour);
        Segment(true, x0, y0, y1, thickness, 1, dash, colour);
        Segment(true, x1, y0, y1, thickness, -1, dash, colour);
        return;
    }
    const int reachX = std::min(x1 - x0, std::max(dash, (x1 - x0 + 1) / 4));
    const int reachY = std::min(y1 - y0, std::max(dash, (y1 - y0 + 1) / 4));
    for (const int y : {y0, y1}) {
        const int inward = y == y0 ? 1 : -1;
        Segment(false, y, x0, x0 + reachX, thickness, inward, 0, colour);
        Segment(false, y, x1 - reachX, x1, thickness, inward, 0, colour);
    }
    for (const int x : {x0, x1}) {
        const int inward = x == x0 ? 1 : -1;
        Segment(true, x, y0, y0 + reachY, thickness, inward, 0, colour);
        Segment(true, x, y1 - reachY, y1, thickness, inward, 0, colour);
    }
}

void InkLayer::Fill(int x0, int y0, int x1, int y1, uint8_t colour) {
    // Only the part inside the layer is walked, however far the box reaches.
    x0 = std::max(x0, 0);
    x1 = std::min(x1, width - 1);
    y0 = std::max(y0, 0);
    y1 = std::min(y1, height - 1);
    for (int y = y0; y <= y1; ++y) {
        if (x0 <= x1) std::fill_n(ink.begin() + static_cast<std::ptrdiff_t>(y) * width + x0, x1 - x0 + 1, colour);
    }
}

void InkLayer::Text(int x, int y, const std::string& text, uint8_t colour, int scale) {
    for (const char c : text) {
        const Glyph& glyph = GlyphOf(c);
        for (int row = 0; row < GLYPH_ROWS; ++row) {
            for (int col = 0; col < GLYPH_COLS; ++col) {
                if ((glyph[static_cast<size_t>(row)] >> (GLYPH_COLS - 1 - col) & 1) == 0) continue;
                const int px = x + col * scale;
                const int py = y + row * scale;
                Fill(px, py, px + scale - 1, py + scale - 1, colour);
            }
        }
        x += TEXT_ADVANCE_CELLS * scale;
    }
}

int InkLayer::TextWidth(const std::string& text, int scale) {
    if (text.empty()) return 0;
    return static_cast<int>(text.size()) * TEXT_ADVANCE_CELLS * scale - scale;
}

int InkLayer::TextHeight(int scale) { return GLYPH_ROWS * scale; }

void InkLayer::PaintOnto(qim::Image& picture) const {
    std::array<ColorSet, INK_COUNT> colours{};
    for (int k = 1; k < INK_COUNT; ++k) colours[static_cast<size_t>(k)] = InkColour(static_cast<uint8_t>(k));
    for (int y = 0; y < height; ++y) {
        uchar* row = picture.ptr(y);
        const uint8_t* inks = &ink[static_cast<size_t>(y) * width];
        for (int x = 0; x < width; ++x) {
            if (inks[x] == 0) continue;
            const ColorSet& c = colours[inks[x]];
            row[3 * x] = static_cast<uchar>(c.blue);
            row[3 * x + 1] = static_cast<uchar>(c.green);
            row[3 * x + 2] = static_cast<uchar>(c.red);
        }
    }
}

void GreyToColour(const qim::Image& grey, qim::Image& picture) {
    picture.create(grey.rows, grey.cols, SGBM_8UC3);
    if (picture.empty()) return;
    const uchar* from = grey.data;
    for (int v = 0; v < grey.rows; ++v) {
        uchar* to = picture.ptr(v);
        for (int u = 0; u < grey.cols; ++u, ++from, to += 3) to[0] = to[1] = to[2] = *from;
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
