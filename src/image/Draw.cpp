#include "Draw.h"

#include <cmath>
#include <cstdlib>

namespace {

void SetIfInside(uint8_t* img, int32_t x, int32_t y, int32_t imWidth, int32_t imHeight, uint8_t setVal) {
    if (x >= 0 && x < imWidth && y >= 0 && y < imHeight) img[y * imWidth + x] = setVal;
}

// One blended channel, in single precision with each product formed before the sum.
int BlendChannel(uint8_t back, int32_t colour, float alpha) {
    const float backPart = static_cast<float>(back) * (1.0f - alpha);
    const float colourPart = static_cast<float>(colour) * alpha;
    return static_cast<int>(backPart + colourPart);
}

}  // namespace

void getXY(double dr, double dRag, double dX, double dmaxY, double dminY, double* RetX, double* RetY) {
    const double sinRag = std::sin(dRag);
    const double cosRag = std::cos(dRag);
    if (sinRag != 0.0) {
        const double along = dX * cosRag;
        *RetX = dX;
        *RetY = (dr - along) / sinRag;
    }
    if (sinRag == 0.0 || *RetY > dmaxY) {
        const double along = dmaxY * sinRag;
        *RetY = dmaxY;
        *RetX = (dr - along) / cosRag;
    }
    if (*RetY < dminY) {
        const double along = dminY * sinRag;
        *RetY = dminY;
        *RetX = (dr - along) / cosRag;
    }
}

void drawLineGrayImg(uint8_t* img, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t imWidth,
                     int32_t imHeight, uint8_t setVal) {
    const int changeX = x1 - x0;
    const int changeY = y1 - y0;
    const unsigned int absChangeX = static_cast<unsigned int>(std::abs(changeX));
    const unsigned int absChangeY = static_cast<unsigned int>(std::abs(changeY));
    const int minX = x0 < x1 ? x0 : x1;
    const int maxX = x0 < x1 ? x1 : x0;
    const int minY = y0 < y1 ? y0 : y1;
    const int maxY = y0 < y1 ? y1 : y0;

    if (changeX != 0 && changeY != 0) {
        const float lineSlope = static_cast<float>(changeY) / static_cast<float>(changeX);
        const float x0Rise = static_cast<float>(x0) * lineSlope;
        const float yIntercept = static_cast<float>(y0) - x0Rise;
        if (absChangeX >= absChangeY) {
            for (int iX = minX; iX < maxX; ++iX) {
                const float rise = static_cast<float>(iX) * lineSlope;
                SetIfInside(img, iX, static_cast<int>(rise + yIntercept), imWidth, imHeight, setVal);
            }
        } else {
            for (int iY = minY; iY < maxY; ++iY) {
                const float run = (static_cast<float>(iY) - yIntercept) / lineSlope;
                SetIfInside(img, static_cast<int>(run), iY, imWidth, imHeight, setVal);
            }
        }
    } else if (changeX == 0) {
        for (int iY = minY; iY < maxY; ++iY) SetIfInside(img, x0, iY, imWidth, imHeight, setVal);
    } else {
        for (int iX = minX; iX < maxX; ++iX) SetIfInside(img, iX, y0, imWidth, imHeight, setVal);
    }
}

void drawRectGrayImg(uint8_t* img, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t imWidth,
                     int32_t imHeight, uint8_t setVal) {
    drawLineGrayImg(img, x0, y0, x0, y1, imWidth, imHeight, setVal);
    drawLineGrayImg(img, x0, y0, x1, y0, imWidth, imHeight, setVal);
    drawLineGrayImg(img, x0, y1, x1, y1, imWidth, imHeight, setVal);
    drawLineGrayImg(img, x1, y0, x1, y1, imWidth, imHeight, setVal);
}

void AlphaBlending_new(qim::Image src_img, qim::Image dst_img, int u, int v, ColorSet* rgb, float alpha) {
    const uint8_t backIntensity = src_img.data[v * src_img.cols + u];
    uchar* pixel = dst_img.ptr(v) + u * dst_img.channels();
    pixel[0] = static_cast<uchar>(BlendChannel(backIntensity, rgb->blue, alpha));
    pixel[1] = static_cast<uchar>(BlendChannel(backIntensity, rgb->green, alpha));
    pixel[2] = static_cast<uchar>(BlendChannel(backIntensity, rgb->red, alpha));
}
