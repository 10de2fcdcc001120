// The image container: headers, ownership, continuity and the size limits of the pixel block.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "core.h"

namespace {

const char* const SIZE_MESSAGE = "The total matrix size does not fit to \"size_t\" type";

uintptr_t Address(const void* p) { return reinterpret_cast<uintptr_t>(p); }

void ExpectCleanEmpty(const qim::Image& img) {
    EXPECT_EQ(img.data, nullptr);
    EXPECT_EQ(img.refcount, 0);
    EXPECT_TRUE(img.empty());
}

}  // namespace

TEST(ImageContainer, CreateBuildsContinuousThreeChannelHeader) {
    qim::Image img;
    img.create(360, 560, SGBM_8UC3);
    EXPECT_EQ(img.dims, 2);
    EXPECT_EQ(img.rows, 360);
    EXPECT_EQ(img.cols, 560);
    EXPECT_EQ(img.step[0], 1680u);
    EXPECT_EQ(img.step[1], 3u);
    EXPECT_EQ(static_cast<size_t>(img.step), 1680u);
    EXPECT_EQ(img.elemSize(), 3u);
    EXPECT_EQ(img.channels(), 3);
    EXPECT_EQ(img.depth(), 0);
    EXPECT_EQ(img.type(), SGBM_8UC3);
    EXPECT_TRUE(img.isContinuous());
    EXPECT_EQ(static_cast<uint32_t>(img.flags), 0x42FF4010u);
    EXPECT_EQ(img.refcount, 1);
    ASSERT_NE(img.data, nullptr);
    EXPECT_EQ(Address(img.data) % 16, 0u);
    EXPECT_EQ(img.total(), 201600u);
    EXPECT_FALSE(img.empty());
    EXPECT_EQ(img.ptr(2), img.data + 3360);
    const operations::Size sz = img.size();
    EXPECT_EQ(sz.width, 560);
    EXPECT_EQ(sz.height, 360);
    EXPECT_EQ(img.size[0], 360);
    EXPECT_EQ(img.size[1], 560);
    // The whole block is usable: the last byte of the last row lies inside it.
    img.data[360 * 1680 - 1] = 7;
    img.release();
}

TEST(ImageContainer, DefaultImageIsTheEmptyState) {
    const qim::Image img;
    EXPECT_EQ(img.flags, 1);
    EXPECT_EQ(img.type(), 1);
    EXPECT_EQ(img.channels(), 1);
    EXPECT_EQ(img.depth(), 1);
    EXPECT_EQ(img.dims, 0);
    EXPECT_EQ(img.rows, 0);
    EXPECT_EQ(img.cols, 0);
    EXPECT_EQ(img.elemSize(), 0u);
    EXPECT_EQ(img.step[0], 0u);
    EXPECT_EQ(img.step[1], 0u);
    EXPECT_EQ(img.size.p, &img.rows);
    ExpectCleanEmpty(img);
}

TEST(ImageContainer, RecreateKeepsOrReplacesTheBlock) {
    qim::Image img;
    img.create(4, 6, SGBM_8UC3);
    uchar* const first = img.data;
    for (int i = 0; i < 72; ++i) img.data[i] = static_cast<uchar>(i);
    img.create(4, 6, SGBM_8UC3);
    EXPECT_EQ(img.data, first);
    img.create(operations::Size(6, 4), SGBM_8UC3 | 0x42FF0000);  // bits above the type are ignored
    EXPECT_EQ(img.data, first);
    for (int i = 0; i < 72; ++i) ASSERT_EQ(img.data[i], i);

    img.create(5, 6, SGBM_8UC3);
    EXPECT_EQ(img.rows, 5);
    EXPECT_EQ(img.refcount, 1);
    ASSERT_NE(img.data, nullptr);
    img.data[5 * 18 - 1] = 1;

    img.create(5, 6, SGBM_8UC1);
    EXPECT_EQ(img.step[0], 6u);
    EXPECT_EQ(img.type(), SGBM_8UC1);

    // A zero size releases the old block and allocates nothing.
    img.create(0, 5, SGBM_8UC3);
    ExpectCleanEmpty(img);
    EXPECT_EQ(img.rows, 0);
    EXPECT_EQ(img.cols, 5);
    EXPECT_EQ(static_cast<uint32_t>(img.flags) & 0xFFFF0FFFu, 0x42FF0000u | SGBM_8UC3);
}

TEST(ImageContainer, OneDimensionalRequestBecomesColumn) {
    qim::Image img;
    const int sizes[] = {7};
    img.create(1, sizes, SGBM_8UC3);
    EXPECT_EQ(img.dims, 2);
    EXPECT_EQ(img.rows, 7);
    EXPECT_EQ(img.cols, 1);
    EXPECT_EQ(img.step[0], 3u);
    EXPECT_EQ(img.step[1], 3u);
    EXPECT_EQ(img.elemSize(), 3u);
    EXPECT_TRUE(img.isContinuous());
    uchar* const block = img.data;
    img.create(1, sizes, SGBM_8UC3);
    EXPECT_EQ(img.data, block);
    img.release();
}

TEST(ImageContainer, ThreeDimensionsUseADimensionBlock) {
    qim::Image img;
    const int sizes[] = {2, 3, 4};
    img.create(3, sizes, SGBM_8UC1);
    EXPECT_EQ(img.dims, 3);
    EXPECT_EQ(img.rows, -1);
    EXPECT_EQ(img.cols, -1);
    EXPECT_EQ(img.size.p[-1], 3);
    EXPECT_EQ(img.size[2], 4);
    EXPECT_EQ(img.step[0], 12u);
    EXPECT_EQ(img.step[1], 4u);
    EXPECT_EQ(img.step[2], 1u);
    EXPECT_EQ(img.total(), 24u);
    EXPECT_EQ(img.elemSize(), 1u);
    EXPECT_TRUE(img.isContinuous());

    qim::Image copy(img);
    EXPECT_NE(copy.step.p, img.step.p);
    EXPECT_EQ(copy.dims, 3);
    EXPECT_EQ(copy.size[1], 3);
    EXPECT_EQ(copy.step[1], 4u);
    EXPECT_EQ(copy.data, img.data);
    // The copy's dimension block is its own: released without the pixels, which img owns, it
    // goes back to the empty two-dimensional header.
    copy.refcount = 0;
    copy.release();
    EXPECT_EQ(copy.dims, 0);
    EXPECT_EQ(copy.step.p, copy.step.buf);
    EXPECT_EQ(copy.size.p, &copy.rows);
    EXPECT_TRUE(copy.empty());

    uchar* const block = img.data;
    img.create(3, sizes, SGBM_8UC1);
    EXPECT_EQ(img.data, block);
    // Back to two dimensions: the header points at its own fields again.
    img.create(2, 2, SGBM_8UC1);
    EXPECT_EQ(img.step.p, img.step.buf);
    EXPECT_EQ(img.size.p, &img.rows);
    EXPECT_EQ(img.rows, 2);
    img.release();
}

TEST(ImageContainer, ReleaseKeepsShapeFieldsAndNeverFreesForeignMemory) {
    qim::Image img;
    img.create(3, 4, SGBM_8UC3);
    const int flags = img.flags;
    img.release();
    ExpectCleanEmpty(img);
    EXPECT_EQ(img.rows, 0);
    EXPECT_EQ(img.cols, 4);
    EXPECT_EQ(img.dims, 2);
    EXPECT_EQ(img.flags, flags);
    img.release();  // a second release is harmless
    ExpectCleanEmpty(img);

    uchar pixels[2 * 15] = {};
    qim::Image view(2, 5, SGBM_8UC3, pixels);
    EXPECT_EQ(view.refcount, 0);
    view.release();  // freeing the caller's array would abort here
    view = qim::Image(2, 5, SGBM_8UC3, pixels);
    view.create(3, 3, SGBM_8UC1);  // a new shape allocates without touching the caller's array
    EXPECT_NE(view.data, pixels);
    EXPECT_EQ(view.refcount, 1);
    view.release();
}

TEST(ImageContainer, ExternalDataStepDecidesContinuity) {
    uchar pixels[3 * 16] = {};
    const qim::Image automatic(3, 5, SGBM_8UC3, pixels);
    EXPECT_EQ(automatic.step[0], 15u);
    EXPECT_EQ(automatic.step[1], 3u);
    EXPECT_TRUE(automatic.isContinuous());
    EXPECT_EQ(static_cast<uint32_t>(automatic.flags), 0x42FF4010u);
    EXPECT_EQ(automatic.data, pixels);

    const qim::Image padded(3, 5, SGBM_8UC3, pixels, 16);
    EXPECT_EQ(padded.step[0], 16u);
    EXPECT_FALSE(padded.isContinuous());
    EXPECT_EQ(padded.ptr(2), pixels + 32);

    const qim::Image exact(3, 5, SGBM_8UC3, pixels, 15);
    EXPECT_TRUE(exact.isContinuous());

    const qim::Image oneRow(1, 5, SGBM_8UC3, pixels, 16);
    EXPECT_EQ(oneRow.step[0], 15u);
    EXPECT_TRUE(oneRow.isContinuous());

    const int shortType = SGBM_MAKETYPE(SGBM_16S, 2);
    const qim::Image shorts(2, 3, shortType, pixels);
    EXPECT_EQ(shorts.elemSize(), 4u);
    EXPECT_EQ(shorts.step[0], 12u);
    EXPECT_EQ(shorts.depth(), SGBM_16S);
    EXPECT_EQ(shorts.channels(), 2);
}

TEST(ImageContainer, CopiesShareAndAssignmentTakesOverTheHeader) {
    qim::Image owner;
    owner.create(2, 3, SGBM_8UC3);
    const qim::Image copy(owner);
    EXPECT_EQ(copy.data, owner.data);
    EXPECT_EQ(copy.refcount, 1);
    EXPECT_EQ(copy.rows, 2);
    EXPECT_EQ(copy.cols, 3);
    EXPECT_EQ(copy.step[0], 9u);
    EXPECT_EQ(copy.flags, owner.flags);
    EXPECT_EQ(copy.size.p, &copy.rows);

    qim::Image target;
    target = owner;
    EXPECT_EQ(target.data, owner.data);
    EXPECT_EQ(target.refcount, 1);
    EXPECT_EQ(target.dims, 2);
    EXPECT_EQ(target.step[1], 3u);
    const qim::Image& same = target;  // assigned to itself through another name
    target = same;
    EXPECT_EQ(target.data, owner.data);
    EXPECT_EQ(target.rows, 2);
    owner.release();  // exactly one of the sharing headers frees the block
}

TEST(ImageContainer, SizesBeyondSizeTPrintTheMessageAndStayEmpty) {
    qim::Image img;
    img.create(2, 2, SGBM_8UC3);
    testing::internal::CaptureStdout();
    img.create(100000, 100000, SGBM_8UC3);
    const std::string out = testing::internal::GetCapturedStdout();
    if (sizeof(size_t) == 4) {
        EXPECT_EQ(out, SIZE_MESSAGE);
        ExpectCleanEmpty(img);
        EXPECT_EQ(img.rows, 0);
    } else {
        // 30 GB fit a 64-bit size_t: the block is either had or cleanly refused.
        EXPECT_EQ(out, "");
        if (img.data != nullptr) {
            EXPECT_EQ(img.refcount, 1);
            EXPECT_EQ(img.rows, 100000);
            EXPECT_EQ(img.step[0], 300000u);
        } else {
            ExpectCleanEmpty(img);
        }
    }
    img.release();

    if (sizeof(size_t) == 4) {
        // 2^32 + 65536 bytes wrap to 64 KiB: a block that small must not be handed out.
        testing::internal::CaptureStdout();
        img.create(65536, 65537, SGBM_8UC1);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), SIZE_MESSAGE);
        ExpectCleanEmpty(img);
        EXPECT_EQ(img.rows, 0);
    }

    // A negative size never fits, on either target.
    testing::internal::CaptureStdout();
    img.create(-1, 5, SGBM_8UC1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), SIZE_MESSAGE);
    ExpectCleanEmpty(img);
}

TEST(ImageContainer, FailedAllocationLeavesAnEmptyImage) {
    // About 2^62 bytes: beyond size_t on the 32-bit target, beyond any heap on a 64-bit one.
    qim::Image img;
    img.create(3, 3, SGBM_8UC1);
    testing::internal::CaptureStdout();
    img.create(INT_MAX, INT_MAX, SGBM_8UC1);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, sizeof(size_t) == 4 ? SIZE_MESSAGE : "");
    ExpectCleanEmpty(img);
    img.release();
    ExpectCleanEmpty(img);
    // The image is usable again afterwards.
    img.create(2, 2, SGBM_8UC1);
    EXPECT_NE(img.data, nullptr);
    EXPECT_EQ(img.refcount, 1);
    img.release();
}

TEST(ImageContainer, AlignedBlocksAndRounding) {
    EXPECT_EQ(qim::alignSize(13, 4), 16u);
    EXPECT_EQ(qim::alignSize(16, 4), 16u);
    EXPECT_EQ(qim::alignSize(0, 16), 0u);
    EXPECT_EQ(qim::alignSize(17, 16), 32u);
    uchar* base = reinterpret_cast<uchar*>(static_cast<uintptr_t>(0x1000));
    EXPECT_EQ(qim::alignPtr(base + 1, 16), base + 16);
    EXPECT_EQ(qim::alignPtr(base, 16), base);

    for (size_t n : {size_t(0), size_t(1), size_t(15), size_t(16), size_t(1000)}) {
        uchar* p = static_cast<uchar*>(qim::fastMalloc(n));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(Address(p) % SGBM_MALLOC_ALIGN, 0u);
        for (size_t i = 0; i < n; ++i) p[i] = 0xEE;
        qim::fastFree(p);
    }
    EXPECT_EQ(qim::fastMalloc(SIZE_MAX), nullptr);
    EXPECT_EQ(qim::fastMalloc(SIZE_MAX - 8), nullptr);
    qim::fastFree(nullptr);
}

TEST(ImageContainer, TypeMacros) {
    EXPECT_EQ(SGBM_8UC3, 16);
    EXPECT_EQ(SGBM_8UC1, 0);
    EXPECT_EQ(SGBM_IMAGE_CN(SGBM_8UC3), 3);
    EXPECT_EQ(CV_MAT_CN(SGBM_MAKETYPE(SGBM_16S, 4)), 4);
    EXPECT_EQ(SGBM_ELEM_SIZE(SGBM_MAKETYPE(SGBM_16S, 3)), 6);
    EXPECT_EQ(SGBM_ELEM_SIZE(SGBM_MAKETYPE(4, 1)), 4);
    EXPECT_EQ(SGBM_ELEM_SIZE(SGBM_MAKETYPE(6, 1)), 8);
    EXPECT_EQ(SGBM_ELEM_SIZE(SGBM_MAKETYPE(7, 1)), static_cast<int>(sizeof(size_t)));
}
