// A small writer of uncompressed BMP files: 8-bit grey (with a grey palette), 24-bit and 32-bit
// colour. Pixels are handed over in the file's own order: bottom row first, rows without gaps,
// colour bytes blue, green, red (and an unused fourth byte for 32 bits).
#pragma once

#include <array>
#include <cstddef>
#include <string>

constexpr int BMP_HEADER_BYTES = 54;

// File and information header of a `width` x `height` picture of `bitsPerPixel` 8, 24 or 32;
// an 8-bit picture is followed by a 256-entry palette.
std::array<unsigned char, BMP_HEADER_BYTES> BmpHeader(int width, int height, int bitsPerPixel);

// Writes the picture to `path`, padding each row to a multiple of 4 bytes. Returns false for an
// unsupported format, a size that is not positive or too large, or any I/O failure.
bool WriteBmp(const std::string& path, const unsigned char* pixels, int width, int height, int bitsPerPixel);

// Writes `size` bytes to `path` through a temporary file that replaces `path` only once it is
// complete, so a failure never leaves a half-written file under that name.
bool WriteFileReplacing(const std::string& path, const void* bytes, std::size_t size);
