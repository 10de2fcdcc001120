// Picture files of a recording and of obstacle-track's overlays, in one place.
//
// Reading: files told apart by their first bytes (never by their names): BMP ("BM"), PNG (its
// 8-byte signature, read through libspng) and PFM ("Pf" grey or "PF" colour floats, Middlebury's
// format, either byte order). Opening a file reads its header alone, so that a caller checks the
// declared size and depth against what it needs before anything is allocated; the pixels are read
// only on request.
//
// Writing: the overlays as BMP (the default, through the stage library's writer) or PNG (through
// libspng), which viewers, browsers and reports take; each file replaces its name only once it is
// complete (WriteFileReplacing).
//
// The BMP reading and writing themselves, and the replacement of a file, are the stage library's
// (Imageread.h, BmpWriter.h): the default program and the scene renderer need them without libspng.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Imageread.h"
#include "Files.h"
#include "core.h"

enum class PictureCoding { BMP, PNG, PFM };

// What a file declares about its picture, from its header.
struct PictureHeader {
    PictureCoding coding = PictureCoding::BMP;
    int cols = 0;
    int rows = 0;
    int bits = 0;              // bits per pixel (BMP), per sample (PNG), 32 (PFM)
    bool grey = false;         // one channel: an 8-bit BMP, a grey PNG, a "Pf" PFM
    BitMap bmp{};              // BMP: the whole header
    int colourType = 0;        // PNG: the colour type of its header
    bool interlaced = false;   // PNG: Adam7 interlacing
    bool bigEndian = false;    // PFM: a positive scale in the header
    uint64_t pixelOffset = 0;  // PFM: the first pixel byte
};

// Largest side of a picture any reader accepts; the camera's own bounds are tighter.
constexpr int PICTURE_MAX_SIDE = BMP_MAX_SIDE;

// Largest PFM header (signature, size and scale lines).
constexpr int PFM_MAX_HEADER_BYTES = 128;

// Releases a libspng context, of a reader or of a writer.
struct SpngContextFree {
    void operator()(struct spng_ctx* ctx) const;
};

// A PNG file as libspng reads it: its bytes without the ancillary chunks (text, profiles, times),
// which the readers never use, so that a comment of any size costs a seek, not a refusal. Bytes
// are handed on from the signature and each critical chunk (header, data and CRC) in turn.
struct PngStream {
    std::FILE* file = nullptr;
    uint64_t passing = 0;            // bytes of the signature or the current chunk still to hand on
    unsigned char chunkHeader[8]{};  // the current chunk's length and type, handed on first
    size_t headerLeft = 0;           // bytes of chunkHeader still to hand on
    int skipped = 0;                 // ancillary chunks left out so far
};

// A measured disparity: a picture's value times `scale`, or 0.0 (none) for a product that is not
// finite or not positive.
double MeasuredDisparity(double value, double scale);

class PictureReader {
public:
    // Opens `path` (a regular file) and reads its header. False with the problem (without the file
    // name): cannot be opened, not a regular file, neither BMP, PNG nor PFM, a malformed header.
    bool Open(const std::string& path, std::string& problem);

    const PictureHeader& Header() const { return header; }

    // Disparities of a 16-bit grey PNG or a grey PFM, times `scale`, into `out` (cols x rows,
    // index u + v x cols, row 0 at the top); 0 and values that are not finite or not positive mean
    // no disparity and are stored as 0.0. `scratch` is reused from call to call.
    bool ReadValues(double scale, double* out, std::vector<unsigned char>& scratch, std::string& problem);

    // The samples as the file holds them, row 0 at the top: a 16-bit grey PNG's into `png16` (as
    // ReadFixed16 reads them), a grey PFM's into `pfm` (the other is left empty). `scratch` is reused
    // from call to call.
    bool ReadSamples(std::vector<uint16_t>& png16, std::vector<float>& pfm, std::vector<unsigned char>& scratch,
                     std::string& problem);

    // A 16-bit grey PNG's values, in this machine's byte order, into `out` (cols x rows, index
    // u + v x cols, row 0 at the top). A file that is not interlaced (every camera's) is inflated
    // whole into `scratch` and its rows unfiltered straight into `out`; an interlaced one goes
    // through libspng. `scratch` is reused from call to call.
    bool ReadFixed16(uint16_t* out, std::vector<unsigned char>& scratch, std::string& problem);

    // A BMP's pixels as bmp_reader stores them (colour, or grey one byte per pixel).
    bool ReadBmp(qim::Image& img, std::string& problem);

    // A BMP's pixel data in one read into `pixels`, which `view` shows where it lies (ReadBmpInPlace).
    bool ReadBmpInPlace(std::vector<unsigned char>& pixels, PictureView& view, std::string& problem);

    // An 8-bit grey PNG, stored as bmp_reader stores a grey picture.
    bool ReadGreyPng(qim::Image& img, std::string& problem);

private:
    bool OpenPng(std::string& problem);
    bool OpenPfm(std::string& problem);
    bool DecodePng(void* out, size_t bytes, int format, std::string& problem);
    // The fast path of ReadFixed16: the picture data after the header read chunk by chunk.
    bool InflateGrey16(uint16_t* out, std::vector<unsigned char>& scratch, std::string& problem);
    // Reads a PFM's rows, bottom row first as stored, giving each sample to store(v, u, sample).
    template <typename Store>
    bool ReadPfmRows(std::vector<unsigned char>& scratch, std::string& problem, Store store);

    RegularFile input;
    PictureHeader header;
    PngStream pngStream;
    std::unique_ptr<struct spng_ctx, SpngContextFree> png;
};

// A description of the picture for messages: "24-bit BMP", "16-bit grey PNG", "grey PFM", ...
std::string PictureKind(const PictureHeader& header);

// The formats of the overlay pictures.
enum class PictureFormat { BMP, PNG };

// The file name ending of a format: ".bmp" or ".png".
const char* PictureExtension(PictureFormat format);

// Writes a three-channel picture (row 0 at the top, bytes blue, green, red) to `path` through
// WriteFileReplacing: 24-bit BMP or 8-bit RGB PNG. False on any failure, which leaves no file
// under `path`, with what is wrong in `problem`.
bool WritePicture(const std::string& path, const qim::Image& picture, PictureFormat format, std::string& problem);

// Writes 16-bit grey samples (cols x rows, row 0 at the top) as a 16-bit grey PNG through
// WriteFileReplacing. False with the problem.
bool WriteGrey16Png(const std::string& path, int cols, int rows, const std::vector<uint16_t>& samples, std::string& problem);
