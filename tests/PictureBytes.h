// Picture files written byte by byte for the tests: PNG (its picture data in stored deflate blocks)
// and PFM, so that what a reader must find owes nothing to a picture library.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Each value as `width` bytes, most significant first when bigEndian.
inline std::string Bytes(const std::vector<uint32_t>& values, int width, bool bigEndian) {
    std::string out;
    for (uint32_t v : values) {
        for (int i = 0; i < width; ++i) out += static_cast<char>(v >> (8 * (bigEndian ? width - 1 - i : i)));
    }
    return out;
}

inline uint32_t Crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline std::string Chunk(const std::string& type, const std::string& data) {
    return Bytes({static_cast<uint32_t>(data.size())}, 4, true) + type + data + Bytes({Crc32(type + data)}, 4, true);
}

// A PNG of one sample per pixel (top row first, `channels` copies of it), its picture data in
// stored (uncompressed) deflate blocks: truth that owes nothing to a PNG library.
inline std::string Png(int cols, int rows, int bits, int colourType, const std::vector<uint32_t>& samples, int channels = 1) {
    std::string raw;
    for (int v = 0; v < rows; ++v) {
        raw += '\0';  // no filter
        for (int u = 0; u < cols; ++u) {
            for (int c = 0; c < channels; ++c) raw += Bytes({samples[static_cast<size_t>(v * cols + u)]}, bits / 8, true);
        }
    }
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    std::string zlib("\x78\x01", 2);
    for (size_t at = 0;; at += 65535) {
        const size_t length = std::min<size_t>(65535, raw.size() - at);
        const bool last = at + length >= raw.size();
        zlib += static_cast<char>(last ? 1 : 0);
        zlib += Bytes({static_cast<uint32_t>(length), static_cast<uint32_t>(~length & 0xFFFFu)}, 2, false);
        zlib += raw.substr(at, length);
        if (last) break;
    }
    zlib += Bytes({b << 16 | a}, 4, true);
    const std::string ihdr = Bytes({static_cast<uint32_t>(cols), static_cast<uint32_t>(rows)}, 4, true) +
                             static_cast<char>(bits) + static_cast<char>(colourType) + std::string(3, '\0');
    return "\x89PNG\r\n\x1a\n" + Chunk("IHDR", ihdr) + Chunk("IDAT", zlib) + Chunk("IEND", "");
}

// A grey PFM of `values` (top row first), stored bottom row first in the byte order its scale says.
inline std::string Pfm(int cols, int rows, const std::vector<float>& values, bool bigEndian, const std::string& sig = "Pf") {
    std::vector<uint32_t> bits;
    for (int i = rows - 1; i >= 0; --i) {
        for (int u = 0; u < cols; ++u) {
            uint32_t word = 0;
            std::memcpy(&word, &values[static_cast<size_t>(i * cols + u)], sizeof word);
            bits.push_back(word);
        }
    }
    return sig + "\n" + std::to_string(cols) + " " + std::to_string(rows) + "\n" + (bigEndian ? "1.0" : "-1.0") + "\n" +
           Bytes(bits, 4, bigEndian);
}
