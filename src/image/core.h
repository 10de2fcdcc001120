// qim::Image: a small image header over one 16-byte aligned block of pixels.
//
// Ownership: `refcount` is 1 when this header allocated `data` (it frees it on release() or on a
// create() of another shape or type) and 0 when it views memory owned by someone else. Copies share
// the pixels and copy the marker, so exactly one of the sharing headers may release them. There is
// no destructor: whoever creates pixels releases them explicitly.
#pragma once

#include <cstddef>
#include <cstdint>

#include "operations.h"
#include "types_c.h"

typedef unsigned char uchar;
typedef int64_t int64;

#define SGBM_MALLOC_ALIGN 16

namespace qim {

constexpr uint32_t MAGIC_MASK = 0xFFFF0000u;
constexpr int TYPE_MASK = 0x00000FFF;
constexpr int DEPTH_MASK = 7;

void* fastMalloc(size_t size);
void fastFree(void* ptr);
size_t alignSize(size_t sz, int n);
uchar* alignPtr(uchar* ptr, int n);

class Image {
public:
    enum { MAGIC_VAL = 0x42FF0000, AUTO_STEP = 0, CONTINUOUS_FLAG = 1 << 14, SUBMATRIX_FLAG = 1 << 15 };

    Image();
    Image(int rows, int cols, int type, void* data, size_t step = AUTO_STEP);
    Image(const Image& m);
    Image& operator=(const Image& m);

    void create(int rows, int cols, int type);
    void create(operations::Size size, int type);
    void create(int d, const int* sizes, int type);
    void release();

    void setSize(Image& m, int dims, const int* sz, bool autoSteps);
    void copySize(const Image& m);
    void updateContinuityFlag(Image& m);
    void finalizeHdr(Image& m);
    void initEmpty();

    bool isContinuous() const;
    size_t elemSize() const;
    int type() const;
    int depth() const;
    int channels() const;
    size_t total() const;
    bool empty() const;
    uchar* ptr(int y);
    const uchar* ptr(int y) const;

    static operations::Size getContinuousSize(const Image& m1, const Image& m2, int widthScale);
    static void cvtScale_(const short* src, size_t sstep, uchar* dst, size_t dstep, operations::Size size,
                          float scale, float shift);
    void convertTo(Image* _dst, int _type, double alpha, double beta) const;

    struct MSize {
        explicit MSize(int* p);
        operations::Size operator()() const;
        int& operator[](int i);
        const int& operator[](int i) const;
        operator const int*() const;
        int* p;
    };

    struct MStep {
        MStep();
        size_t& operator[](int i);
        const size_t& operator[](int i) const;
        operator size_t() const;
        size_t* p;
        size_t buf[2];
    };

    int refcount;
    int flags;
    int dims;
    int rows;
    int cols;
    uchar* data;
    uchar* m_rgba_data;
    MSize size;
    MStep step;
};

}  // namespace qim
