// Marks drawn over a picture for a person to look at: outlines in three styles, filled bars and
// text in a 5 x 7 bitmap font are drawn into an ink layer (one byte per pixel, 0 = no ink) and
// painted onto a colour picture at the end, so that later marks cover earlier ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Config.h"
#include "PictureView.h"
#include "core.h"

// Inks 1 to 20 are the identifier palette colours; NEUTRAL_INK is white, BACKDROP_INK the near
// black behind text, RULE_INK the grey of the top view's distance rules.
constexpr uint8_t NEUTRAL_INK = 21;
constexpr uint8_t BACKDROP_INK = 22;
constexpr uint8_t RULE_INK = 23;

// The palette ink of a track identifier: every identifier from 1 on has one of the 20 colours,
// repeating every 20 identifiers (20, 40, 60, ... all take the 20th).
uint8_t IdentifierInk(int id);

// Colour of an ink (blue, green, red written as a ColorSet).
ColorSet InkColour(uint8_t ink);

// How a box is outlined: a solid line, a dashed line, or its four corners only.
enum class OutlineStyle { Solid, Dashed, Corners };

// The font's glyphs: 5 x 7 cells, each cell scale x scale pixels; a text line advances by
// TEXT_LINE_CELLS cells, a character by TEXT_ADVANCE_CELLS.
constexpr int GLYPH_COLS = 5;
constexpr int GLYPH_ROWS = 7;
constexpr int TEXT_ADVANCE_CELLS = GLYPH_COLS + 1;
constexpr int TEXT_LINE_CELLS = GLYPH_ROWS + 1;

class InkLayer {
public:
    InkLayer(int width, int height);

    int Width() const { return width; }
    int Height() const { return height; }
    uint8_t At(int x, int y) const { return ink[static_cast<size_t>(y) * width + x]; }

    // Outline of the box with corners (x0, y0) and (x1, y1), both included, `thickness` pixels
    // wide inside the box. Parts outside the layer are left out.
    void Outline(int x0, int y0, int x1, int y1, uint8_t colour, int thickness);
    // The outline in `style`: dashes of `dash` pixels with gaps as long, or corners reaching a
    // quarter of each side (at least `dash` pixels).
    void StyledOutline(int x0, int y0, int x1, int y1, uint8_t colour, int thickness, OutlineStyle style, int dash);
    // The filled box, corners included.
    void Fill(int x0, int y0, int x1, int y1, uint8_t colour);
    // One line of text, top-left corner of its first glyph at (x, y). Digits, letters (lower case
    // drawn as upper case, except m), space and # . - : / have glyphs; other characters are blank.
    void Text(int x, int y, const std::string& text, uint8_t colour, int scale);
    // The text's width and a glyph's height in pixels at `scale`.
    static int TextWidth(const std::string& text, int scale);
    static int TextHeight(int scale);

    // Writes the colour of every inked pixel into `picture`, a three-channel image of the layer's size.
    void PaintOnto(qim::Image& picture) const;

private:
    // The pixels of a line along x (vertical false) or y from `from` to `to` at `at`, `thickness`
    // thick towards `inward` (+1 or -1), in dashes of `dash` pixels (0: solid).
    void Segment(bool vertical, int at, int from, int to, int thickness, int inward, int dash, uint8_t colour);

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
