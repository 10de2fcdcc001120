// Rounding, saturation and the 16-bit to 8-bit conversion of the image container.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core.h"

namespace {

const int SHORT_C1 = SGBM_MAKETYPE(SGBM_16S, 1);

}  // namespace

TEST(ImageConvert, RoundHalvesToEvenAndSaturates) {
    EXPECT_EQ(operations::round(2.5), 2);
    EXPECT_EQ(operations::round(3.5), 4);
    EXPECT_EQ(operations::round(-2.5), -2);
    EXPECT_EQ(operations::round(-3.5), -4);
    EXPECT_EQ(operations::round(2.7), 3);
    EXPECT_EQ(operations::round(-2.7), -3);
    EXPECT_EQ(operations::round(0.5), 0);
    EXPECT_EQ(operations::round(-0.5), 0);
    EXPECT_EQ(operations::round(2.4999999), 2);
    EXPECT_EQ(operations::round(1e10), INT_MAX);
    EXPECT_EQ(operations::round(-1e10), INT_MIN);
    EXPECT_EQ(operations::round(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(ImageConvert, SaturateCastClampsToByte) {
    EXPECT_EQ(operations::saturate_cast<unsigned char>(-1), 0);
    EXPECT_EQ(operations::saturate_cast<unsigned char>(0), 0);
    EXPECT_EQ(operations::saturate_cast<unsigned char>(255), 255);
    EXPECT_EQ(operations::saturate_cast<unsigned char>(256), 255);
    EXPECT_EQ(operations::saturate_cast<unsigned char>(INT_MIN), 0);
    EXPECT_EQ(operations::saturate_cast<unsigned char>(2.5f), 2);
    EXPECT_EQ(operations::saturate_cast<unsigned char>(254.5f), 254);
    EXPECT_EQ(operations::saturate_cast<unsigned char>(255.5f), 255);
    EXPECT_EQ(operations::saturate_cast<unsigned char>(-0.4f), 0);
    EXPECT_EQ(operations::saturate_cast<unsigned char>(1e20f), 255);
    EXPECT_EQ(operations::saturate_cast<unsigned char>(std::nanf("")), 0);
}

TEST(ImageConvert, ScalesRoundsAndSaturatesElements) {
    short src[] = {1000, 1000, -4, 5, 7};
    qim::Image in(1, 5, SHORT_C1, src);
    qim::Image out;
    in.convertTo(&out, SGBM_8U, 0.25, 0.0);
    EXPECT_EQ(out.type(), SGBM_8UC1);
    ASSERT_EQ(out.rows, 1);
    ASSERT_EQ(out.cols, 5);
    EXPECT_EQ(out.data[0], 250);
    EXPECT_EQ(out.data[2], 0);
    in.convertTo(&out, SGBM_8U, 0.3, 0.0);
    EXPECT_EQ(out.data[0], 255);  // 300 saturates
    in.convertTo(&out, SGBM_8U, 1.0, 0.0);
    EXPECT_EQ(out.data[2], 0);  // -4
    in.convertTo(&out, SGBM_8U, 0.5, 0.0);
    EXPECT_EQ(out.data[3], 2);  // 2.5
    EXPECT_EQ(out.data[4], 4);  // 3.5
    in.convertTo(&out, SGBM_8U, 0.5, 10.0);
    EXPECT_EQ(out.data[3], 12);  // 12.5
    EXPECT_EQ(out.data[4], 14);  // 13.5
    out.release();
}

TEST(ImageConvert, ContinuousImageIsOneLongRowWithTail) {
    short src[15];
    for (int i = 0; i < 15; ++i) src[i] = static_cast<short>(i * 16 + 3);
    const qim::Image in(3, 5, SHORT_C1, src);
    qim::Image out;
    out.create(3, 5, SGBM_8UC1);
    for (int i = 0; i < 15; ++i) out.data[i] = 0xAA;
    uchar* const block = out.data;

    const operations::Size sz = qim::Image::getContinuousSize(in, out, 1);
    EXPECT_EQ(sz.width, 15);
    EXPECT_EQ(sz.height, 1);

    in.convertTo(&out, SGBM_8U, 0.5, 0.0);
    EXPECT_EQ(out.data, block);
    for (int i = 0; i < 15; ++i) {
        // (16i + 3) / 2 = 8i + 1.5 rounds to the even neighbour.
        const int half = 8 * i + 1;
        EXPECT_EQ(out.data[i], half % 2 == 0 ? half : half + 1) << "element " << i;
    }
    out.release();
}

TEST(ImageConvert, PaddedRowsAreConvertedRowByRow) {
    // Two rows of three shorts, each row followed by one padding element that must not be read.
    short src[] = {10, 20, 30, -999, 40, 50, 60, -999};
    const qim::Image in(2, 3, SHORT_C1, src, 8);
    ASSERT_FALSE(in.isContinuous());
    qim::Image out;
    const operations::Size sz = qim::Image::getContinuousSize(in, out, 2);
    EXPECT_EQ(sz.width, 6);
    EXPECT_EQ(sz.height, 2);

    in.convertTo(&out, SGBM_8U, 1.0, 0.0);
    ASSERT_EQ(out.step[0], 3u);
    const uchar expected[] = {10, 20, 30, 40, 50, 60};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(out.data[i], expected[i]);
    out.release();
}

TEST(ImageConvert, DestinationTakesChannelsOfSourceAndDepthRequested) {
    short src[2 * 2 * 3];
    for (int i = 0; i < 12; ++i) src[i] = static_cast<short>(i);
    const qim::Image in(2, 2, SGBM_MAKETYPE(SGBM_16S, 3), src);
    qim::Image out;
    out.create(7, 7, SGBM_8UC1);
    in.convertTo(&out, SGBM_8UC1, 2.0, 1.0);
    EXPECT_EQ(out.type(), SGBM_8UC3);
    EXPECT_EQ(out.rows, 2);
    EXPECT_EQ(out.cols, 2);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(out.data[i], 2 * i + 1);
    out.release();
}

TEST(ImageConvert, CvtScaleHandlesRowTailsAndSteps) {
    // Seven elements per row: one block of four and three single ones; rows 8 shorts apart.
    short src[16];
    for (int i = 0; i < 16; ++i) src[i] = static_cast<short>(i * 100);
    uchar dst[2 * 9];
    for (uchar& b : dst) b = 0x55;
    qim::Image::cvtScale_(src, 16, dst, 9, operations::Size(7, 2), 0.1f, -5.0f);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 7; ++x) EXPECT_EQ(dst[y * 9 + x], (y * 8 + x) * 10 - 5 < 0 ? 0 : (y * 8 + x) * 10 - 5);
        EXPECT_EQ(dst[y * 9 + 7], 0x55);
        EXPECT_EQ(dst[y * 9 + 8], 0x55);
    }
}

TEST(ImageConvert, HigherDimensionsLeaveDestinationUntouched) {
    qim::Image in;
    const int sizes[] = {2, 2, 2};
    in.create(3, sizes, SHORT_C1);
    qim::Image out;
    in.convertTo(&out, SGBM_8U, 1.0, 0.0);
    EXPECT_EQ(out.flags, 1);
    EXPECT_EQ(out.data, nullptr);
    in.release();
}

TEST(ImageConvert, ConvertingIntoItselfReadsTheOriginalPixels) {
    qim::Image img;
    img.create(3, 5, SHORT_C1);
    short* values = reinterpret_cast<short*>(img.data);
    for (int i = 0; i < 15; ++i) values[i] = static_cast<short>(i * 3);
    img.convertTo(&img, SGBM_8U, 1.0, 0.0);
    EXPECT_EQ(img.type(), SGBM_8UC1);
    EXPECT_EQ(img.refcount, 1);
    ASSERT_EQ(img.step[0], 5u);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(img.data[i], i * 3);
    img.release();
}
