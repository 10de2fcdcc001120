#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core.h"

namespace qim {

namespace {

const char* const SIZE_T_MESSAGE = "The total matrix size does not fit to \"size_t\" type";

// Whether total x size is representable as a size_t; a negative size never is.
bool ProductFitsSizeT(size_t total, int64 size) {
    if (size < 0) return false;
    return size == 0 || total <= SIZE_MAX / static_cast<uint64_t>(size);
}

}  // namespace

void* fastMalloc(size_t size) {
    const size_t extra = sizeof(void*) + SGBM_MALLOC_ALIGN;
    if (size > SIZE_MAX - extra) return nullptr;
    uchar* raw = static_cast<uchar*>(std::malloc(size + extra));
    if (raw == nullptr) return nullptr;
    uchar** aligned = reinterpret_cast<uchar**>(alignPtr(raw + sizeof(void*), SGBM_MALLOC_ALIGN));
    aligned[-1] = raw;
    return aligned;
}

void fastFree(void* ptr) {
    if (ptr == nullptr) return;
    std::free(static_cast<uchar**>(ptr)[-1]);
}

size_t alignSize(size_t sz, int n) { return (sz + n - 1) & ~(static_cast<size_t>(n) - 1); }

uchar* alignPtr(uchar* ptr, int n) {
    const uintptr_t address = reinterpret_cast<uintptr_t>(ptr);
    return reinterpret_cast<uchar*>((address + n - 1) & ~(static_cast<uintptr_t>(n) - 1));
}

Image::MSize::MSize(int* p_) : p(p_) {}
operations::Size Image::MSize::operator()() const { return operations::Size(p[1], p[0]); }
int& Image::MSize::operator[](int i) { return p[i]; }
const int& Image::MSize::operator[](int i) const { return p[i]; }
Image::MSize::operator const int*() const { return p; }

Image::MStep::MStep() : p(buf), buf{0, 0} {}
size_t& Image::MStep::operator[](int i) { return p[i]; }
const size_t& Image::MStep::operator[](int i) const { return p[i]; }
Image::MStep::operator size_t() const { return buf[0]; }

Image::Image() : m_rgba_data(nullptr), size(&rows) { initEmpty(); }

Image::Image(int rows_, int cols_, int type_, void* data_, size_t step_)
    : refcount(0), flags(MAGIC_VAL + (type_ & TYPE_MASK)), dims(2), rows(rows_), cols(cols_),
      data(static_cast<uchar*>(data_)), m_rgba_data(nullptr), size(&rows) {
    const size_t esz = SGBM_ELEM_SIZE(type_);
    const size_t minstep = cols * esz;
    if (step_ == AUTO_STEP || rows == 1) step_ = minstep;
    if (step_ == minstep) flags |= CONTINUOUS_FLAG;
    step[0] = step_;
    step[1] = esz;
}

Image::Image(const Image& m)
    : refcount(m.refcount), flags(m.flags), dims(m.dims), rows(m.rows), cols(m.cols), data(m.data),
      m_rgba_data(nullptr), size(&rows) {
    if (m.dims <= 2) {
        step[0] = m.step[0];
        step[1] = m.step[1];
    } else {
        dims = 0;
        copySize(m);
    }
}

Image& Image::operator=(const Image& m) {
    if (this == &m) return *this;
    release();
    flags = m.flags;
    if (dims <= 2 && m.dims <= 2) {
        dims = m.dims;
        rows = m.rows;
        cols = m.cols;
        step[0] = m.step[0];
        step[1] = m.step[1];
    } else {
        copySize(m);
    }
    data = m.data;
    refcount = m.refcount;
    return *this;
}

void Image::create(int rows_, int cols_, int type_) {
    type_ &= TYPE_MASK;
    if (dims <= 2 && rows == rows_ && cols == cols_ && type() == type_ && data != nullptr) return;
    const int sizes[] = {rows_, cols_};
    create(2, sizes, type_);
}

void Image::create(operations::Size sz, int type_) { create(sz.height, sz.width, type_); }

void Image::create(int d, const int* sizes, int type_) {
    type_ &= TYPE_MASK;
    if (data != nullptr && type_ == type() && (d == dims || (d == 1 && dims <= 2))) {
        if (d == 2 && rows == sizes[0] && cols == sizes[1]) return;
        int i = 0;
        while (i < d && size[i] == sizes[i]) ++i;
        if (i == d && (d > 1 || size[1] == 1)) return;
    }
    release();
    if (d == 0) return;
    flags = type_ | MAGIC_VAL;
    setSize(*this, d, sizes, true);
    if (total() > 0) {
        // A block that cannot be had leaves the image empty rather than half-made.
        const size_t bytes = step[0] * static_cast<size_t>(size[0]);
        data = bytes > SIZE_MAX - 8 ? nullptr : static_cast<uchar*>(fastMalloc(alignSize(bytes, 4) + 4));
        if (data == nullptr) {
            release();
        } else {
            refcount = 1;
        }
    }
    finalizeHdr(*this);
}

void Image::release() {
    if (refcount != 0) fastFree(data);
    data = nullptr;
    size.p[0] = 0;
    refcount = 0;
    if (dims > 2) {
        // The dimension block is this header's own; with no destructor, release is the last
        // chance to return it. The header goes back to the empty two-dimensional form.
        setSize(*this, 0, nullptr, false);
        rows = cols = 0;
    }
}

void Image::setSize(Image& m, int dims_, const int* sz, bool autoSteps) {
    if (m.dims != dims_) {
        if (m.step.p != m.step.buf) {
            fastFree(m.step.p);
            m.step.p = m.step.buf;
            m.size.p = &m.rows;
        }
        if (dims_ > 2) {
            void* block = fastMalloc(dims_ * sizeof(size_t) + (dims_ + 1) * sizeof(int));
            if (block == nullptr) {
                m.dims = m.rows = m.cols = 0;
                return;
            }
            m.step.p = static_cast<size_t*>(block);
            m.size.p = reinterpret_cast<int*>(m.step.p + dims_) + 1;
            m.size.p[-1] = dims_;
            m.rows = m.cols = -1;
        }
    }
    m.dims = dims_;
    if (sz == nullptr) return;

    const size_t esz = SGBM_ELEM_SIZE(m.flags);
    size_t running = esz;
    bool fits = true;
    for (int i = dims_ - 1; i >= 0; --i) {
        m.size.p[i] = sz[i];
        if (autoSteps) {
            m.step.p[i] = running;
            fits = fits && ProductFitsSizeT(running, sz[i]);
            running *= static_cast<size_t>(sz[i]);
        }
    }
    if (!fits) {
        // Allocating the truncated size would hand out a block smaller than the image it claims.
        std::fputs(SIZE_T_MESSAGE, stdout);
        for (int i = 0; i < dims_; ++i) m.size.p[i] = 0;
    }
    if (dims_ == 1) {
        m.dims = 2;
        m.cols = 1;
        m.step.p[1] = esz;
    }
}

void Image::copySize(const Image& m) {
    setSize(*this, m.dims, nullptr, false);
    for (int i = 0; i < dims; ++i) {
        size.p[i] = m.size.p[i];
        step.p[i] = m.step.p[i];
    }
}

void Image::updateContinuityFlag(Image& m) {
    int i = 0;
    while (i < m.dims && m.size.p[i] <= 1) ++i;
    int j = m.dims - 1;
    while (j > i && m.step.p[j] * m.size.p[j] >= m.step.p[j - 1]) --j;
    if (j <= i && ProductFitsSizeT(m.step.p[0], m.size.p[0])) {
        m.flags |= CONTINUOUS_FLAG;
    } else {
        m.flags &= ~CONTINUOUS_FLAG;
    }
}

void Image::finalizeHdr(Image& m) {
    updateContinuityFlag(m);
    if (m.dims > 2) m.rows = m.cols = -1;
}

void Image::initEmpty() {
    flags = 1;
    dims = rows = cols = 0;
    data = nullptr;
    refcount = 0;
}

bool Image::isContinuous() const { return (flags & CONTINUOUS_FLAG) != 0; }
size_t Image::elemSize() const { return dims > 0 ? step.p[dims - 1] : 0; }
int Image::type() const { return flags & TYPE_MASK; }
int Image::depth() const { return flags & DEPTH_MASK; }
int Image::channels() const { return ((flags >> SGBM_CN_SHIFT) & (SGBM_CN_MAX - 1)) + 1; }

size_t Image::total() const {
    if (dims <= 2) return static_cast<size_t>(rows) * static_cast<size_t>(cols);
    size_t product = 1;
    for (int i = 0; i < dims; ++i) product *= static_cast<size_t>(size.p[i]);
    return product;
}

bool Image::empty() const { return data == nullptr || total() == 0; }
operations::Size Image::getContinuousSize(const Image& m1, const Image& m2, int widthScale) {
    if ((m1.flags & m2.flags & CONTINUOUS_FLAG) != 0) return operations::Size(m1.cols * m1.rows * widthScale, 1);
    return operations::Size(m1.cols * widthScale, m1.rows);
}

namespace {

uchar ScaleElement(short value, float scale, float shift) {
    const float product = static_cast<float>(value) * scale;
    return operations::saturate_cast<uchar>(product + shift);
}

}  // namespace

void Image::cvtScale_(const short* src, size_t sstep, uchar* dst, size_t dstep, operations::Size sz,
                      float scale, float shift) {
    const size_t srcRow = sstep / sizeof(short);
    for (int y = 0; y < sz.height; ++y, src += srcRow, dst += dstep) {
        int x = 0;
        for (; x <= sz.width - 4; x += 4) {
            const uchar t0 = ScaleElement(src[x], scale, shift);
            const uchar t1 = ScaleElement(src[x + 1], scale, shift);
            const uchar t2 = ScaleElement(src[x + 2], scale, shift);
            const uchar t3 = ScaleElement(src[x + 3], scale, shift);
            dst[x] = t0;
            dst[x + 1] = t1;
            dst[x + 2] = t2;
            dst[x + 3] = t3;
        }
        for (; x < sz.width; ++x) dst[x] = ScaleElement(src[x], scale, shift);
    }
}

void Image::convertTo(Image* _dst, int _type, double alpha, double beta) const {
    if (dims > 2) return;
    if (_dst == this) {
        // Re-creating the destination would free the pixels still to be read.
        Image converted;
        convertTo(&converted, _type, alpha, beta);
        *_dst = converted;
        return;
    }
    const int cn = channels();
    _dst->create(size(), SGBM_MAKETYPE(SGBM_IMAGE_DEPTH(_type), cn));
    if (_dst->data == nullptr) return;
    const operations::Size sz = getContinuousSize(*this, *_dst, cn);
    cvtScale_(reinterpret_cast<const short*>(data), step[0], _dst->data, _dst->step[0], sz,
              static_cast<float>(alpha), static_cast<float>(beta));
}

uchar* Image::ptr(int y) { return data + step.p[0] * y; }
const uchar* Image::ptr(int y) const { return data + step.p[0] * y; }

}  // namespace qim
