// Marks drawn over a picture for a person to look at: outlines, filled bars and identifier numbers
// are drawn with the grey-buffer drawing helpers into an ink layer (one byte per pixel, 0 = no ink)
// and painted onto a colour picture at the end, so that later marks cover earlier ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Config.h"
#include "PictureView.h"
#include "core.h"

// Inks 1 to 20 are the identifier palette colours; NEUTRAL_INK is white.
constexpr uint8_t NEUTRAL_INK = 21;

// The palette ink of a track identifier: every identifier from 1 on has one of the 20 colours,
// repeating every 20 identifiers (20, 40, 60, ... all take the 20th).
uint8_t IdentifierInk(int id);

// Colour of an ink (blue, green, red written as a ColorSet).
ColorSet InkColour(uint8_t ink);

class InkLayer {
public:
    InkLayer(int width, int height);

    uint8_t At(int x, int y) const { return ink[static_cast<size_t>(y) * width + x]; }

    // Outline of the box with corners (x0, y0) and (x1, y1), both included, `thickness` pixels
    // wide inside the box. Parts outside the layer are left out.
    void Outline(int x0, int y0, int x1, int y1, uint8_t colour, int thickness);
    // The filled box, corners included.
    void Fill(int x0, int y0, int x1, int y1, uint8_t colour);
    // Decimal digits of a non-negative value, top-left corner at (x, y), each digit 3 x 5 cells
    // of scale x scale pixels with one cell between digits.
    void Number(int x, int y, int value, uint8_t colour, int scale);
    // Width in pixels of Number's digits for `value` at `scale`.
    static int NumberWidth(int value, int scale);
    static int NumberHeight(int scale);

    // Writes the colour of every inked pixel into `picture`, a three-channel image of the layer's size.
    void PaintOnto(qim::Image& picture) const;

private:
    int width;
    int height;
    std::vector<uint8_t> ink;
};

// A three-channel picture of a grey picture as the frame readers store it (one byte per pixel,
// rows of `cols` bytes): each pixel's grey in all three channels.
void GreyToColour(const qim::Image& grey, qim::Image& picture);

// A colour picture (blue, green, red first in each pixel) at half its brightness, three channels,
// so that marks in the palette colours stand out against it; a view of fewer than three bytes a
// pixel gives an empty picture.
void DimmedColour(const PictureView& colour, qim::Image& picture);

// Writes a three-channel picture (row 0 at the top) to a 24-bit BMP file through WriteFileReplacing;
// false on any failure, which leaves no file behind under `path`, with the reason in `error` when given.
bool WriteColourBmp(const std::string& path, const qim::Image& picture, std::string* error = nullptr);
