// Display helpers: end points of lines in normal form, lines and rectangles in grey buffers, and
// a colour blended over a grey background. The detector itself does not draw.
#pragma once

#include <cstdint>

#include "Config.h"
#include "core.h"

// End point of the line x cos(dRag) + y sin(dRag) = dr (dRag in radians): the point on the
// vertical x = dX, or, when that lies below dmaxY (or the line is horizontal in that sense), on
// y = dmaxY, and when above dminY, on y = dminY.
void getXY(double dr, double dRag, double dX, double dmaxY, double dminY, double* RetX, double* RetY);

// Sets the pixels of the line from (x0, y0) towards (x1, y1) in a grey buffer of imWidth x imHeight
// bytes, stepping along the longer axis. The end with the larger coordinate along that axis is not
// drawn, so a line from a point to itself draws nothing. Points outside the buffer are skipped.
void drawLineGrayImg(uint8_t* img, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t imWidth,
                     int32_t imHeight, uint8_t setVal);

// The outline of the rectangle with corners (x0, y0) and (x1, y1), drawn as four such lines; the
// corner (max x, max y) stays unset.
void drawRectGrayImg(uint8_t* img, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t imWidth,
                     int32_t imHeight, uint8_t setVal);

// Blends rgb with weight alpha (0..1) over the grey background byte v * cols + u of src_img and
// writes blue, green, red to pixel (u, v) of dst_img. (u, v) must lie inside both images.
void AlphaBlending_new(qim::Image src_img, qim::Image dst_img, int u, int v, ColorSet* rgb, float alpha);
