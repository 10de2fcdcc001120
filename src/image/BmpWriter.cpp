#include "BmpWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int INFO_HEADER_BYTES = 40;
constexpr int PALETTE_BYTES = 256 * 4;
constexpr int32_t PIXELS_PER_METRE = 3780;  // 96 dots per inch
constexpr uint64_t MAX_FILE_BYTES = 0x7FFFFFFFu;  // the header's size fields are 32-bit

int RowBytes(int width, int bitsPerPixel) { return (width * (bitsPerPixel / 8) + 3) / 4 * 4; }

int DataOffset(int bitsPerPixel) {
    return BMP_HEADER_BYTES + (bitsPerPixel == 8 ? PALETTE_BYTES : 0);
}

void Put16(unsigned char* at, uint32_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

void Put32(unsigned char* at, uint32_t value) {
    Put16(at, value);
    Put16(at + 2, value >> 16);
}

bool Supported(int width, int height, int bitsPerPixel) {
    if (bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32) return false;
    if (width <= 0 || height <= 0) return false;
    const uint64_t rowBytes = (static_cast<uint64_t>(width) * (bitsPerPixel / 8) + 3) / 4 * 4;
    return DataOffset(bitsPerPixel) + rowBytes * static_cast<uint64_t>(height) <= MAX_FILE_BYTES;
}

}  // namespace

std::array<unsigned char, BMP_HEADER_BYTES> BmpHeader(int width, int height, int bitsPerPixel) {
    const uint32_t imageBytes = static_cast<uint32_t>(RowBytes(width, bitsPerPixel)) * static_cast<uint32_t>(height);
    const uint32_t offset = static_cast<uint32_t>(DataOffset(bitsPerPixel));
    std::array<unsigned char, BMP_HEADER_BYTES> h{};
    h[0] = 'B';
    h[1] = 'M';
    Put32(&h[2], offset + imageBytes);  // file size
    Put32(&h[10], offset);
    Put32(&h[14], INFO_HEADER_BYTES);
    Put32(&h[18], static_cast<uint32_t>(width));
    Put32(&h[22], static_cast<uint32_t>(height));  // positive: bottom row first
    Put16(&h[26], 1);                               // planes
    Put16(&h[28], static_cast<uint32_t>(bitsPerPixel));
    Put32(&h[34], imageBytes);                      // no compression (bytes 30-33 stay 0)
    Put32(&h[38], PIXELS_PER_METRE);
    Put32(&h[42], PIXELS_PER_METRE);
    Put32(&h[46], bitsPerPixel == 8 ? 256 : 0);     // palette entries
    return h;
}

bool WriteBmp(const std::string& path, const unsigned char* pixels, int width, int height, int bitsPerPixel) {
    if (!Supported(width, height, bitsPerPixel)) return false;
    const std::array<unsigned char, BMP_HEADER_BYTES> header = BmpHeader(width, height, bitsPerPixel);
    const size_t rowBytes = static_cast<size_t>(RowBytes(width, bitsPerPixel));
    const size_t usedBytes = static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel / 8);
    const size_t offset = static_cast<size_t>(DataOffset(bitsPerPixel));

    std::vector<unsigned char> file(offset + rowBytes * static_cast<size_t>(height), 0);
    std::copy(header.begin(), header.end(), file.begin());
    if (bitsPerPixel == 8) {
        for (int i = 0; i < 256; ++i) {  // grey ramp: blue, green, red, unused
            unsigned char* entry = &file[BMP_HEADER_BYTES + 4 * static_cast<size_t>(i)];
            entry[0] = entry[1] = entry[2] = static_cast<unsigned char>(i);
        }
    }
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = pixels + static_cast<size_t>(y) * usedBytes;
        std::copy(row, row + usedBytes, file.begin() + static_cast<std::ptrdiff_t>(offset + static_cast<size_t>(y) * rowBytes));
    }
    return WriteFileReplacing(path, file.data(), file.size());
}

bool WriteFileReplacing(const std::string& path, const void* bytes, std::size_t size) {
    const std::string temporary = path + ".tmp";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(bytes, 1, size, f) == size;
    const bool closed = std::fclose(f) == 0;
    if (written && closed && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
    std::remove(temporary.c_str());
    return false;
}
