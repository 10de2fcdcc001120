// Element type codes of the image container: depth in bits 0-2, channel count - 1 in bits 3-11.
#pragma once

#include <cstddef>

#define SGBM_CN_MAX 512
#define SGBM_CN_SHIFT 3
#define SGBM_DEPTH_MAX (1 << SGBM_CN_SHIFT)

#define SGBM_8U 0
#define SGBM_16S 3

#define SGBM_IMAGE_DEPTH_MASK (SGBM_DEPTH_MAX - 1)
#define SGBM_IMAGE_DEPTH(flags) ((flags) & SGBM_IMAGE_DEPTH_MASK)

#define SGBM_MAKETYPE(depth, cn) (SGBM_IMAGE_DEPTH(depth) + (((cn) - 1) << SGBM_CN_SHIFT))
#define SGBM_MAKE_TYPE SGBM_MAKETYPE

#define SGBM_8UC1 SGBM_MAKETYPE(SGBM_8U, 1)
#define SGBM_8UC3 SGBM_MAKETYPE(SGBM_8U, 3)

#define SGBM_IMAGE_CN_MASK ((SGBM_CN_MAX - 1) << SGBM_CN_SHIFT)
#define SGBM_IMAGE_CN(flags) ((((flags) & SGBM_IMAGE_CN_MASK) >> SGBM_CN_SHIFT) + 1)
#define SGBM_IMAGE_TYPE_MASK (SGBM_DEPTH_MAX * SGBM_CN_MAX - 1)
#define SGBM_IMAGE_TYPE(flags) ((flags) & SGBM_IMAGE_TYPE_MASK)
#define SGBM_IMAGE_CONT_FLAG_SHIFT 14
#define SGBM_IMAGE_CONT_FLAG (1 << SGBM_IMAGE_CONT_FLAG_SHIFT)
#define SGBM_SUBMAT_FLAG_SHIFT 15
#define SGBM_SUBMAT_FLAG (1 << SGBM_SUBMAT_FLAG_SHIFT)

// Bytes per element: a 2-bit shift per depth packed into one constant (depth 7 is 8 bytes wide
// where size_t is).
#define SGBM_ELEM_SIZE(type)                                                                   \
    (SGBM_IMAGE_CN(type) << ((((sizeof(size_t) / 4 + 1) * 16384 | 0x3a50) >> SGBM_IMAGE_DEPTH(type) * 2) & 3))

#define CV_CN_MAX 512
#define CV_CN_SHIFT 3
#define CV_MAT_CN_MASK ((CV_CN_MAX - 1) << CV_CN_SHIFT)
#define CV_MAT_CN(flags) ((((flags) & CV_MAT_CN_MASK) >> CV_CN_SHIFT) + 1)
