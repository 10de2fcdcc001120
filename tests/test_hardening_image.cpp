// Hostile and unusual uses of the image container: every block it takes must come back.
#include <gtest/gtest.h>

#include "core.h"

TEST(HardeningImage, ReleasingAThreeDimensionalImageReturnsItsDimensionBlock) {
    qim::Image img;
    const int sizes[] = {2, 3, 4};
    img.create(3, sizes, SGBM_8UC1);
    ASSERT_EQ(img.dims, 3);
    ASSERT_NE(img.step.p, img.step.buf);
    img.release();
    EXPECT_EQ(img.dims, 0);
    EXPECT_EQ(img.rows, 0);
    EXPECT_EQ(img.cols, 0);
    EXPECT_EQ(img.step.p, img.step.buf);
    EXPECT_EQ(img.size.p, &img.rows);
    EXPECT_TRUE(img.empty());
    img.release();  // a second release of the empty header frees nothing

    // The released header takes any shape again.
    img.create(3, sizes, SGBM_8UC1);
    EXPECT_EQ(img.size[2], 4);
    EXPECT_EQ(img.total(), 24u);
    img.create(5, 7, SGBM_8UC3);
    EXPECT_EQ(img.dims, 2);
    EXPECT_EQ(img.step.p, img.step.buf);
    EXPECT_EQ(img.step[0], 21u);
    img.release();
    EXPECT_EQ(img.rows, 0);
    EXPECT_EQ(img.cols, 7);  // a two-dimensional release keeps cols, dims and flags
    EXPECT_EQ(img.dims, 2);
}
