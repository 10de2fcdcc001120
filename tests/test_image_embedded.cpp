// The embedded frame sources against the arrays they are built from, whatever pictures those hold.
#include <gtest/gtest.h>

#include "EmbeddedPictures.h"
#include "Imageread.h"
#include "format10bmpdata.h"
#include "images.h"
#include "inputbmpdatab8bpp.h"

namespace {

// Number of pixels of a one-byte-per-pixel image that differ from the bottom-up source.
int GreyMismatches(const qim::Image& img, const unsigned char* src, int rows, int cols) {
    int mismatches = 0;
    for (int v = 0; v < rows; ++v) {
        for (int u = 0; u < cols; ++u) mismatches += img.data[v * cols + u] != src[(rows - 1 - v) * cols + u];
    }
    return mismatches;
}

}  // namespace

TEST(ImageEmbedded, DisparityPictureIsFlippedAndStripped) {
    qim::Image img;
    char name[] = "disparity_00410.bmp";
    bmp_reader_dsip_32bpp(name, img);
    ASSERT_EQ(img.rows, 360);
    ASSERT_EQ(img.cols, 560);
    EXPECT_EQ(img.type(), SGBM_8UC3);
    EXPECT_EQ(img.step[0], 1680u);
    EXPECT_TRUE(img.isContinuous());
    int mismatches = 0;
    for (int v = 0; v < 360; ++v) {
        const unsigned char* srcRow = bmpdata_disparity + (359 - v) * 2240;
        for (int u = 0; u < 560; ++u) {
            for (int c = 0; c < 3; ++c) mismatches += img.ptr(v)[3 * u + c] != srcRow[4 * u + c];
        }
    }
    EXPECT_EQ(mismatches, 0);

    // A second call, whatever the name, refills the same block with the same picture.
    uchar* const block = img.data;
    const unsigned char first = img.data[0];
    bmp_reader_dsip_32bpp(nullptr, img);
    EXPECT_EQ(img.data, block);
    EXPECT_EQ(img.data[0], first);
    img.release();
}

TEST(ImageEmbedded, GreyPicturesAreFlippedOneBytePerPixel) {
    qim::Image grey;
    bmp_reader_dsip_8ppp(nullptr, grey);
    ASSERT_EQ(grey.rows, 486);
    ASSERT_EQ(grey.cols, 656);
    EXPECT_EQ(grey.type(), SGBM_8UC3);
    EXPECT_EQ(GreyMismatches(grey, bmpdata_8bpp, 486, 656), 0);
    grey.release();

    qim::Image top;
    bmp_reader_24bpp("format10.bmp", top);
    ASSERT_EQ(top.rows, 480);
    ASSERT_EQ(top.cols, 200);
    EXPECT_EQ(top.type(), SGBM_8UC3);
    EXPECT_EQ(GreyMismatches(top, data_f10, 480, 200), 0);
    top.release();
}

// The picture read where it lies shows, row for row from the top, the pixels the copy holds; its
// fourth byte is skipped, never taken for a channel.
TEST(ImageEmbedded, DisparityPictureInPlaceShowsTheCopysPixels) {
    qim::Image img;
    bmp_reader_dsip_32bpp(nullptr, img);
    const PictureView view = EmbeddedDisparityPicture();
    ASSERT_EQ(view.rows, img.rows);
    ASSERT_EQ(view.cols, img.cols);
    ASSERT_EQ(view.bytesPerPixel, 4);
    EXPECT_EQ(view.Row(0), bmpdata_disparity + 359 * 2240);
    EXPECT_EQ(view.Row(359), bmpdata_disparity);
    int mismatches = 0;
    for (int v = 0; v < img.rows; ++v) {
        for (int u = 0; u < img.cols; ++u) {
            for (int c = 0; c < 3; ++c) mismatches += img.ptr(v)[3 * u + c] != view.Row(v)[4 * u + c];
        }
    }
    EXPECT_EQ(mismatches, 0);
    img.release();
}
