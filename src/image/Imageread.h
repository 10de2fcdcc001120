// A reader of BMP files, and the row copies the embedded pictures (EmbeddedPictures.h) use too.
//
// Every reader but ReadBmpInPlace (which leaves the pixel data where it was read) fills a
// three-channel 8-bit image (SGBM_8UC3) of the picture's rows x cols, row 0 at the top; the source
// rows are stored bottom row first. Colour pixels land as blue, green, red bytes.
// A grey picture is stored one byte per pixel in the first rows x cols bytes of the image (pixel
// (u, v) at data[v * cols + u]); the rest of the block is left as it was.
// A reader called again on the same image reuses its pixel block. If the block cannot be allocated
// the image is left empty (check empty()).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "PictureView.h"
#include "core.h"

// Copies bytes 0, 1, 2 of each four-byte pixel to a three-byte pixel, in order; byte 3 is dropped.
void BGRA2BGR_8u_C4C3R(const unsigned char* bgra, unsigned char* bgr, unsigned int width);

// Fills InputImage from `rows` gapless rows of `cols` pixels at `src`, stored bottom row first,
// with bitsPerPixel 32 (blue, green, red, unused) or 8 (grey). The embedded pictures are read through it.
void StoreBottomUpRows(const unsigned char* src, int rows, int cols, int bitsPerPixel, qim::Image& InputImage);

// Largest width and height bmp_reader accepts.
constexpr int BMP_MAX_SIDE = 16384;

// Text that starts the message for a file that cannot be opened; the file name follows on its own line.
constexpr const char* BMP_OPEN_FAILURE = "\nCan not open input file\n";

// The BMP file and information header (54 bytes, little-endian, at the start of the file).
struct BitMap {
    int16_t Signature;        // "BM"
    int32_t Reserved1;        // file size
    int32_t Reserved2;
    int32_t DataOffSet;       // offset of the pixel data from the start of the file
    int32_t Size;             // size of the information header
    int32_t Width;            // pixels per row
    int32_t Height;           // rows: positive for rows stored bottom row first, negative for top row first
    int16_t Planes;
    int16_t BitsPerPixel;     // 8, 24 or 32 are read
    int32_t Compression;      // 0, or 3 (bit fields: red, green, blue masks at byte 54) for 32 bits
    int32_t SizeImage;
    int32_t XPixelsPreMeter;
    int32_t YPixelsPreMeter;
    int32_t ColorsUsed;
    int32_t ColorsImportant;
};

// The header held by the first 54 bytes of a file.
BitMap ParseBmpHeader(const unsigned char* bytes);

// Rows of the picture a header declares.
int BmpRows(const BitMap& h);

// What makes a header unreadable in a file of `fileLength` bytes (signature, bit depth, compression,
// width or height outside 1..BMP_MAX_SIDE, pixel data offset, pixel data that ends early), or an
// empty text when its pixels can be read. Nothing is allocated before a header has passed: the
// pixels it declares are then in the file.
std::string CheckBmpHeader(const BitMap& h, uint64_t fileLength);

// Reads the pixel data of a header that passed CheckBmpHeader for this file into `pixels` in one
// read, as the file stores it (rows padded to 4 bytes), then puts each pixel in the usual layout in
// place: the grey level of its palette entry (8 bits), blue, green and red in the first three bytes
// (bit-field masks). `view` then shows the picture where it lies, row 0 at the top (a negative row
// stride for rows stored bottom row first), 1, 3 or 4 bytes a pixel; it stays valid while `pixels`
// is neither changed nor grown. `pixels` only grows, so pictures of one size allocate once.
// Returns the problem, or an empty text.
std::string ReadBmpInPlace(std::FILE* file, const BitMap& h, std::vector<unsigned char>& pixels, PictureView& view);

// Reads the pixels of a header that passed CheckBmpHeader for this file into `img` (created
// rows x Width, SGBM_8UC3, as bmp_reader fills it), through ReadBmpInPlace. Returns the problem,
// or an empty text.
std::string ReadBmpPixels(std::FILE* file, const BitMap& h, qim::Image& img);

// Reads a BMP file of 8 (grey: each index stands for its palette entry's grey level; a palette
// with a colour is refused), 24 or 32 bits per pixel, uncompressed (32-bit files may also declare
// bit fields, each mask a whole byte of the pixel in any order), rows bottom-up (positive height)
// or top-down (negative height), each row padded to 4 bytes.
// On success returns true. On failure returns false, leaves InputImage empty (its old block is
// released) and, when `error` is given, stores a message for the caller to print:
//   - the file cannot be opened: BMP_OPEN_FAILURE followed by the file name and a line end;
//   - anything else: "<file name>: <what is wrong>", e.g. a bad signature, an unsupported bit
//     depth, compressed pixel data, a width or height outside 1..BMP_MAX_SIDE, a pixel data
//     offset before the end of the header or past the end of the file, or pixel data that ends
//     early.
// Nothing is printed and the process is never ended here.
bool bmp_reader(const char* File, qim::Image& InputImage, std::string* error = nullptr);
