#include "EmbeddedPictures.h"

#include <cstddef>

#include "Config.h"
#include "Imageread.h"
#include "format10bmpdata.h"
#include "images.h"
#include "inputbmpdatab8bpp.h"

namespace {

constexpr int DISPARITY_ROWS = 360;
constexpr int DISPARITY_COLS = 560;
constexpr int TOPVIEW_ROWS = 480;
constexpr int TOPVIEW_COLS = 200;

}  // namespace

void bmp_reader_dsip_32bpp(const char*, qim::Image& InputImage) {
    StoreBottomUpRows(bmpdata_disparity, DISPARITY_ROWS, DISPARITY_COLS, 32, InputImage);
}

PictureView EmbeddedDisparityPicture() {
    constexpr int PIXEL_BYTES = 4;
    constexpr std::ptrdiff_t ROW_BYTES = static_cast<std::ptrdiff_t>(DISPARITY_COLS) * PIXEL_BYTES;
    return {bmpdata_disparity + (DISPARITY_ROWS - 1) * ROW_BYTES, -ROW_BYTES, PIXEL_BYTES, DISPARITY_ROWS,
            DISPARITY_COLS};
}

void bmp_reader_dsip_8ppp(const char*, qim::Image& InputImage) {
    StoreBottomUpRows(bmpdata_8bpp, CAMERA_ROWS, CAMERA_COLS, 8, InputImage);
}

void bmp_reader_24bpp(const char*, qim::Image& InputImage) {
    StoreBottomUpRows(data_f10, TOPVIEW_ROWS, TOPVIEW_COLS, 8, InputImage);
}
