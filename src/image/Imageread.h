// Frame sources: the pictures compiled into the program, and a reader of BMP files.
//
// Every reader fills a three-channel 8-bit image (SGBM_8UC3) of the picture's rows x cols, row 0 at
// the top; the source rows are stored bottom row first. Colour pixels land as blue, green, red bytes.
// A grey picture is stored one byte per pixel in the first rows x cols bytes of the image (pixel
// (u, v) at data[v * cols + u]); the rest of the block is left as it was.
// A reader called again on the same image reuses its pixel block. If the block cannot be allocated
// the image is left empty (check empty()).
#pragma once

#include <string>

#include "core.h"

// The embedded pictures; the file name is not used.
void bmp_reader_dsip_32bpp(const char* File, qim::Image& InputImage);  // 360 x 560 colour disparity picture
void bmp_reader_dsip_8ppp(const char* File, qim::Image& InputImage);   // 486 x 656 grey camera picture
void bmp_reader_24bpp(const char* File, qim::Image& InputImage);       // 480 x 200 grey top view

// Copies bytes 0, 1, 2 of each four-byte pixel to a three-byte pixel, in order; byte 3 is dropped.
void BGRA2BGR_8u_C4C3R(const unsigned char* bgra, unsigned char* bgr, unsigned int width);

// Fills InputImage from `rows` gapless rows of `cols` pixels at `src`, stored bottom row first,
// with bitsPerPixel 32 (blue, green, red, unused) or 8 (grey). The embedded readers use it.
void StoreBottomUpRows(const unsigned char* src, int rows, int cols, int bitsPerPixel, qim::Image& InputImage);

// Largest width and height bmp_reader accepts.
constexpr int BMP_MAX_SIDE = 16384;

// Text that starts the message for a file that cannot be opened; the file name follows on its own line.
constexpr const char* BMP_OPEN_FAILURE = "\nCan not open input file\n";

// Reads a BMP file of 8 (grey, palette ignored), 24 or 32 bits per pixel, uncompressed (32-bit
// files may also declare the usual bit fields), rows bottom-up (positive height) or top-down
// (negative height), each row padded to 4 bytes.
// On success returns true. On failure returns false, leaves InputImage empty (its old block is
// released) and, when `error` is given, stores a message for the caller to print:
//   - the file cannot be opened: BMP_OPEN_FAILURE followed by the file name and a line end;
//   - anything else: "<file name>: <what is wrong>", e.g. a bad signature, an unsupported bit
//     depth, compressed pixel data, a width or height outside 1..BMP_MAX_SIDE, a pixel data
//     offset before the end of the header or past the end of the file, or pixel data that ends
//     early.
// Nothing is printed and the process is never ended here.
bool bmp_reader(const char* File, qim::Image& InputImage, std::string* error = nullptr);
