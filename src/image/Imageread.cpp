#include "Imageread.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "BmpWriter.h"

namespace {

uint32_t LittleEndian(const unsigned char* p, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}

int32_t Int32At(const unsigned char* header, int offset) {
    return static_cast<int32_t>(LittleEndian(header + offset, 4));
}

int16_t Int16At(const unsigned char* header, int offset) {
    return static_cast<int16_t>(LittleEndian(header + offset, 2));
}

// Writes one source row of `cols` pixels into image row `row`.
void StoreRow(const unsigned char* src, int cols, int bitsPerPixel, int row, qim::Image& img) {
    if (bitsPerPixel == 32) {
        BGRA2BGR_8u_C4C3R(src, img.ptr(row), static_cast<unsigned int>(cols));
    } else if (bitsPerPixel == 24) {
        std::memcpy(img.ptr(row), src, static_cast<size_t>(cols) * 3);
    } else {
        // Grey pictures keep one byte per pixel, rows of `cols` bytes.
        std::memcpy(img.data + static_cast<size_t>(row) * cols, src, static_cast<size_t>(cols));
    }
}

size_t PaddedRowBytes(int cols, int bitsPerPixel) {
    return (static_cast<size_t>(cols) * (bitsPerPixel / 8) + 3) & ~static_cast<size_t>(3);
}

constexpr int FILE_HEADER_BYTES = 14;         // the information header follows the file header
constexpr int PALETTE_ENTRY_BYTES = 4;        // blue, green, red, unused
constexpr int PALETTE_MAX_ENTRIES = 256;
constexpr int BIT_FIELDS = 3;                 // the compression of a 32-bit picture with masks
constexpr int MASK_BYTES = 12;                // red, green and blue masks, right after the 40-byte header

// How a file's pixel bytes become the stored ones: the grey level of each palette index of an
// 8-bit picture, and the byte of blue, green and red within a pixel of a 32-bit one. The usual
// layout (the grey ramp, blue first) is stored as it comes.
struct PixelLayout {
    bool usual = true;
    int entries = PALETTE_MAX_ENTRIES;          // palette indices that name a grey level
    unsigned char grey[PALETTE_MAX_ENTRIES]{};  // grey level of each index
    int byteOf[3] = {0, 1, 2};                  // byte of blue, green and red in a pixel
};

// The grey level of each palette entry; a palette of colours is no grey picture. A file without
// a palette (its pixel data right after the header) is read as grey levels.
std::string ReadPalette(std::FILE* file, const BitMap& h, PixelLayout& layout) {
    const int64_t start = int64_t{FILE_HEADER_BYTES} + h.Size;
    const int64_t room = (h.DataOffSet - start) / PALETTE_ENTRY_BYTES;
    if (h.Size < 0 || room <= 0) return "";
    const int64_t stated = h.ColorsUsed == 0 ? PALETTE_MAX_ENTRIES : h.ColorsUsed;
    if (stated < 0 || stated > PALETTE_MAX_ENTRIES) {
        return "palette of " + std::to_string(h.ColorsUsed) + " entries (1 to 256 for 8 bits per pixel)";
    }
    layout.entries = static_cast<int>(std::min(stated, room));
    unsigned char palette[PALETTE_MAX_ENTRIES * PALETTE_ENTRY_BYTES];
    const size_t bytes = static_cast<size_t>(layout.entries) * PALETTE_ENTRY_BYTES;
    if (std::fseek(file, static_cast<long>(start), SEEK_SET) != 0 || std::fread(palette, 1, bytes, file) != bytes) {
        return "cannot read the palette";
    }
    for (int i = 0; i < layout.entries; ++i) {
        const unsigned char* entry = palette + i * PALETTE_ENTRY_BYTES;
        if (entry[0] != entry[1] || entry[1] != entry[2]) {
            return "palette entry " + std::to_string(i) + " is a colour (blue " + std::to_string(entry[0]) + ", green " +
                   std::to_string(entry[1]) + ", red " + std::to_string(entry[2]) + "): an 8-bit picture is read as grey";
        }
        layout.grey[i] = entry[0];
        if (entry[0] != i) layout.usual = false;
    }
    if (layout.entries < PALETTE_MAX_ENTRIES) layout.usual = false;
    return "";
}

std::string MaskText(uint32_t mask) {
    char text[11];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(mask));
    return text;
}

// The byte of each channel that the bit-field masks give: each mask one whole byte of the pixel.
std::string ReadMasks(std::FILE* file, const BitMap& h, PixelLayout& layout) {
    if (h.Size == BMP_HEADER_BYTES - FILE_HEADER_BYTES && h.DataOffSet < BMP_HEADER_BYTES + MASK_BYTES) {
        return "bit-field masks run into the pixel data at offset " + std::to_string(h.DataOffSet);
    }
    unsigned char bytes[MASK_BYTES];
    if (std::fseek(file, BMP_HEADER_BYTES, SEEK_SET) != 0 || std::fread(bytes, 1, MASK_BYTES, file) != MASK_BYTES) {
        return "cannot read the bit-field masks";
    }
    const uint32_t masks[3] = {LittleEndian(bytes + 8, 4), LittleEndian(bytes + 4, 4), LittleEndian(bytes, 4)};
    const char* const names[3] = {"blue", "green", "red"};
    bool taken[4] = {};
    for (int c = 0; c < 3; ++c) {
        int byte = 0;
        while (byte < 4 && masks[c] != uint32_t{0xFF} << (8 * byte)) ++byte;
        if (byte == 4 || taken[byte]) {
            return std::string("bit-field mask ") + MaskText(masks[c]) + " of " + names[c] +
                   " is not a byte of its own (masks red " + MaskText(masks[2]) + ", green " + MaskText(masks[1]) +
                   ", blue " + MaskText(masks[0]) + ")";
        }
        taken[byte] = true;
        layout.byteOf[c] = byte;
        if (byte != c) layout.usual = false;
    }
    return "";
}

// Stores a row of the file's pixels in the usual layout, in place; false at a palette index
// beyond the palette.
bool ToUsualLayout(const PixelLayout& layout, int bitsPerPixel, int cols, unsigned char* row, int& badIndex) {
    if (bitsPerPixel == 8) {
        for (int u = 0; u < cols; ++u) {
            if (row[u] >= layout.entries) {
                badIndex = row[u];
                return false;
            }
            row[u] = layout.grey[row[u]];
        }
        return true;
    }
    for (int u = 0; u < cols; ++u) {
        unsigned char* pixel = row + 4 * u;
        const unsigned char blue = pixel[layout.byteOf[0]], green = pixel[layout.byteOf[1]], red = pixel[layout.byteOf[2]];
        pixel[0] = blue;
        pixel[1] = green;
        pixel[2] = red;
    }
    return true;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Length of an open file in bytes, or -1 when it cannot be told.
long FileLength(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long length = std::ftell(file);
    return std::fseek(file, 0, SEEK_SET) == 0 ? length : -1;
}

// The reason the file cannot be read, or an empty text once the image holds its pixels.
std::string ReadBmp(const char* File, qim::Image& img) {
    FileHandle file(File == nullptr ? nullptr : std::fopen(File, "rb"));
    if (!file) return BMP_OPEN_FAILURE + std::string(File == nullptr ? "" : File) + "\n";
    const std::string name = std::string(File) + ": ";
    const long length = FileLength(file.get());
    if (length < 0) return name + "cannot tell the file length";
    unsigned char header[BMP_HEADER_BYTES];
    if (std::fread(header, 1, BMP_HEADER_BYTES, file.get()) != BMP_HEADER_BYTES) {
        return name + "shorter than the " + std::to_string(BMP_HEADER_BYTES) + "-byte BMP header";
    }
    const BitMap h = ParseBmpHeader(header);
    std::string problem = CheckBmpHeader(h, static_cast<uint64_t>(length));
    if (problem.empty()) problem = ReadBmpPixels(file.get(), h, img);
    return problem.empty() ? problem : name + problem;
}

}  // namespace

BitMap ParseBmpHeader(const unsigned char* h) {
    return BitMap{Int16At(h, 0),  Int32At(h, 2),  Int32At(h, 6),  Int32At(h, 10), Int32At(h, 14),
                  Int32At(h, 18), Int32At(h, 22), Int16At(h, 26), Int16At(h, 28), Int32At(h, 30),
                  Int32At(h, 34), Int32At(h, 38), Int32At(h, 42), Int32At(h, 46), Int32At(h, 50)};
}

int BmpRows(const BitMap& h) {
    // The most negative height has no positive int; it reads as the largest, refused as too many rows.
    if (h.Height == std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::max();
    return h.Height < 0 ? -h.Height : h.Height;
}

std::string CheckBmpHeader(const BitMap& h, uint64_t fileLength) {
    if ((h.Signature & 0xFFFF) != ('B' | ('M' << 8))) return "not a BMP file (signature is not \"BM\")";
    if (h.BitsPerPixel != 8 && h.BitsPerPixel != 24 && h.BitsPerPixel != 32) {
        return "unsupported " + std::to_string(h.BitsPerPixel) + " bits per pixel (8, 24 or 32 are read)";
    }
    // Bit fields of a 32-bit file are read where each mask is a byte of its own (ReadBmpPixels).
    if (h.Compression != 0 && !(h.Compression == BIT_FIELDS && h.BitsPerPixel == 32)) {
        return "compressed pixel data (compression " + std::to_string(h.Compression) + ") is not read";
    }
    if (h.Width < 1 || h.Width > BMP_MAX_SIDE) {
        return "width " + std::to_string(h.Width) + " outside 1.." + std::to_string(BMP_MAX_SIDE);
    }
    if (h.Height == 0 || h.Height < -BMP_MAX_SIDE || h.Height > BMP_MAX_SIDE) {
        return "height " + std::to_string(h.Height) + " outside 1.." + std::to_string(BMP_MAX_SIDE) +
               " (negative for top-down rows)";
    }
    if (h.DataOffSet < BMP_HEADER_BYTES || static_cast<uint64_t>(h.DataOffSet) >= fileLength) {
        return "pixel data offset " + std::to_string(h.DataOffSet) + " outside the file (header ends at " +
               std::to_string(BMP_HEADER_BYTES) + ", file has " + std::to_string(fileLength) + " bytes)";
    }
    const uint64_t needed = static_cast<uint64_t>(PaddedRowBytes(h.Width, h.BitsPerPixel)) * BmpRows(h);
    const uint64_t present = fileLength - static_cast<uint64_t>(h.DataOffSet);
    if (present < needed) {
        return "pixel data ends early (" + std::to_string(needed) + " bytes expected after offset " +
               std::to_string(h.DataOffSet) + ", " + std::to_string(present) + " present)";
    }
    return "";
}

std::string ReadBmpInPlace(std::FILE* file, const BitMap& h, std::vector<unsigned char>& pixels, PictureView& view) {
    view = PictureView{};
    PixelLayout layout;
    std::string problem;
    if (h.BitsPerPixel == 8) problem = ReadPalette(file, h, layout);
    if (h.Compression == BIT_FIELDS) problem = ReadMasks(file, h, layout);
    if (!problem.empty()) return problem;
    const int rows = BmpRows(h);
    const size_t rowBytes = PaddedRowBytes(h.Width, h.BitsPerPixel);
    const size_t bytes = rowBytes * static_cast<size_t>(rows);
    try {
        if (pixels.size() < bytes) pixels.resize(bytes);
    } catch (const std::bad_alloc&) {
        return "no memory for the " + std::to_string(bytes) + " bytes of pixel data";
    }
    if (std::fseek(file, h.DataOffSet, SEEK_SET) != 0) return "cannot seek to the pixel data";
    const size_t got = std::fread(pixels.data(), 1, bytes, file);
    if (got != bytes) return "read error in pixel row " + std::to_string(got / rowBytes);
    for (int i = 0; i < rows && !layout.usual; ++i) {
        int badIndex = 0;
        if (!ToUsualLayout(layout, h.BitsPerPixel, h.Width, pixels.data() + i * rowBytes, badIndex)) {
            return "pixel row " + std::to_string(i) + " has palette index " + std::to_string(badIndex) +
                   ", beyond the palette's " + std::to_string(layout.entries) + " entries";
        }
    }
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(rowBytes);
    const bool bottomUp = h.Height > 0;
    view = {pixels.data() + (bottomUp ? (rows - 1) * stride : 0), bottomUp ? -stride : stride, h.BitsPerPixel / 8,
            rows, h.Width};
    return "";
}

std::string ReadBmpPixels(std::FILE* file, const BitMap& h, qim::Image& img) {
    std::vector<unsigned char> pixels;
    PictureView view;
    const std::string problem = ReadBmpInPlace(file, h, pixels, view);
    if (!problem.empty()) return problem;
    img.create(view.rows, view.cols, SGBM_8UC3);
    if (img.empty()) return "no memory for a " + std::to_string(view.rows) + " x " + std::to_string(view.cols) + " image";
    for (int v = 0; v < view.rows; ++v) StoreRow(view.Row(v), view.cols, h.BitsPerPixel, v, img);
    return "";
}

// Every pixel but the last is copied as four bytes at once; the fourth lands on the next pixel's
// first byte, which that pixel's own copy then overwrites, so nothing past the row is written.
void BGRA2BGR_8u_C4C3R(const unsigned char* bgra, unsigned char* bgr, unsigned int width) {
    if (width == 0) return;
    for (unsigned int x = 0; x + 1 < width; ++x, bgra += 4, bgr += 3) std::memcpy(bgr, bgra, 4);
    std::memcpy(bgr, bgra, 3);
}

void StoreBottomUpRows(const unsigned char* src, int rows, int cols, int bitsPerPixel, qim::Image& InputImage) {
    InputImage.create(rows, cols, SGBM_8UC3);
    if (InputImage.empty()) return;
    const size_t rowBytes = static_cast<size_t>(cols) * (bitsPerPixel / 8);
    for (int i = 0; i < rows; ++i) StoreRow(src + i * rowBytes, cols, bitsPerPixel, rows - 1 - i, InputImage);
}

bool bmp_reader(const char* File, qim::Image& InputImage, std::string* error) {
    const std::string problem = ReadBmp(File, InputImage);
    if (problem.empty()) return true;
    InputImage.release();
    if (error != nullptr) *error = problem;
    return false;
}
