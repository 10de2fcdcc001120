#include "PictureFiles.h"

#include <spng.h>
#include <zlib.h>

#include <sys/types.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "BmpWriter.h"
#include "NumberParsing.h"
#include "Overlay.h"

namespace {

constexpr unsigned char PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr int PFM_SAMPLE_BYTES = 4;

// A picture file may be large, but no side beyond PICTURE_MAX_SIDE is read.
constexpr uint64_t PICTURE_MAX_FILE_BYTES = uint64_t{1} << 31;

// What libspng may keep of a PNG's chunks; the ancillary ones never reach it (PngStream).
constexpr size_t PNG_MAX_CHUNK_BYTES = size_t{1} << 20;
constexpr size_t PNG_MAX_CACHE_BYTES = size_t{4} << 20;
constexpr int PNG_CHUNK_HEADER_BYTES = 8;  // length and type
constexpr int PNG_CRC_BYTES = 4;
constexpr unsigned char PNG_ANCILLARY_BIT = 0x20;  // of the type's first letter: lower case
constexpr int PNG_MAX_SKIPPED_CHUNKS = 1 << 16;    // a file of tiny chunks is not read for long

// libspng's read callback over a PngStream: fills `dest` with the next `length` bytes of the
// file, leaving out every ancillary chunk.
int ReadPngStream(spng_ctx*, void* user, void* dest, size_t length) {
    PngStream& stream = *static_cast<PngStream*>(user);
    unsigned char* out = static_cast<unsigned char*>(dest);
    while (length > 0) {
        if (stream.headerLeft > 0) {
            const size_t n = std::min(length, stream.headerLeft);
            std::memcpy(out, stream.chunkHeader + (PNG_CHUNK_HEADER_BYTES - stream.headerLeft), n);
            stream.headerLeft -= n;
            out += n;
            length -= n;
        } else if (stream.passing > 0) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(length, stream.passing));
            if (std::fread(out, 1, n, stream.file) != n) return std::ferror(stream.file) ? SPNG_IO_ERROR : SPNG_IO_EOF;
            stream.passing -= n;
            out += n;
            length -= n;
        } else {
            if (std::fread(stream.chunkHeader, 1, PNG_CHUNK_HEADER_BYTES, stream.file) != PNG_CHUNK_HEADER_BYTES) {
                return std::ferror(stream.file) ? SPNG_IO_ERROR : SPNG_IO_EOF;
            }
            uint64_t chunkLength = 0;
            for (int i = 0; i < 4; ++i) chunkLength = chunkLength << 8 | stream.chunkHeader[i];
            const uint64_t rest = chunkLength + PNG_CRC_BYTES;
            if (stream.chunkHeader[4] & PNG_ANCILLARY_BIT) {
                if (++stream.skipped > PNG_MAX_SKIPPED_CHUNKS) return SPNG_IO_ERROR;
                if (fseeko(stream.file, static_cast<off_t>(rest), SEEK_CUR) != 0) return SPNG_IO_ERROR;
            } else {
                stream.headerLeft = PNG_CHUNK_HEADER_BYTES;
                stream.passing = rest;
            }
        }
    }
    return 0;
}

// Where a PNG's chunks after its header start: the signature and the 13-byte header chunk, which
// libspng has read and checked when the file was opened.
constexpr long PNG_FIRST_CHUNK_AFTER_HEADER = 8 + PNG_CHUNK_HEADER_BYTES + 13 + PNG_CRC_BYTES;
constexpr uint32_t PNG_MAX_CHUNK_LENGTH = 0x7FFFFFFFu;
constexpr size_t PNG_READ_PIECE_BYTES = size_t{1} << 14;
// The picture data gathered from the data chunks before each call of inflate: a camera's whole
// file (KITTI's take about 210 KB), for zlib copies its 32 KiB window after every call.
constexpr size_t PNG_INFLATE_INPUT_BYTES = size_t{1} << 18;

// The critical chunks that follow a PNG's header, read piece by piece, each checked against its
// CRC once read; ancillary chunks are skipped unread, as libspng's stream does (PngStream).
class PngChunks {
public:
    explicit PngChunks(std::FILE* file) : file(file) {}

    // Finishes the current chunk (its CRC checked) and moves to the next critical one. False with
    // the reason at a CRC that does not match, a malformed length or the end of the file.
    bool Next(std::string& reason) {
        if (open && !Finish(reason)) return false;
        for (;;) {
            unsigned char head[PNG_CHUNK_HEADER_BYTES];
            if (std::fread(head, 1, sizeof head, file) != sizeof head) return CutShort(reason);
            uint32_t length = 0;
            for (int i = 0; i < 4; ++i) length = length << 8 | head[i];
            if (length > PNG_MAX_CHUNK_LENGTH) {
                reason = "chunk length " + std::to_string(length) + " beyond 2^31 - 1";
                return false;
            }
            std::memcpy(type, head + 4, sizeof type);
            if (!(type[0] & PNG_ANCILLARY_BIT)) {
                left = length;
                crc = crc32(crc32(0L, Z_NULL, 0), type, sizeof type);
                open = true;
                return true;
            }
            if (++skipped > PNG_MAX_SKIPPED_CHUNKS ||
                fseeko(file, static_cast<off_t>(uint64_t{length} + PNG_CRC_BYTES), SEEK_CUR) != 0) {
                reason = "ancillary chunks cannot be skipped";
                return false;
            }
        }
    }

    bool Is(const char* name) const { return std::memcmp(type, name, sizeof type) == 0; }

    // The next piece of the current chunk's data, at most `size` bytes: 0 at its end (or where
    // the file ends first, which Next and Finish then report).
    size_t Read(unsigned char* piece, size_t size) {
        const size_t n = std::min<size_t>(size, left);
        if (n == 0 || std::fread(piece, 1, n, file) != n) return 0;
        left -= static_cast<uint32_t>(n);
        crc = crc32(crc, piece, static_cast<uInt>(n));
        return n;
    }

    // Reads what is left of the current chunk and checks its CRC.
    bool Finish(std::string& reason) {
        unsigned char rest[PNG_READ_PIECE_BYTES];
        while (left > 0 && Read(rest, sizeof rest) > 0) {
        }
        unsigned char stored[PNG_CRC_BYTES];
        if (left > 0 || std::fread(stored, 1, sizeof stored, file) != sizeof stored) return CutShort(reason);
        open = false;
        uint32_t expected = 0;
        for (unsigned char b : stored) expected = expected << 8 | b;
        if (expected == crc) return true;
        reason = "CRC of chunk " + std::string(reinterpret_cast<const char*>(type), sizeof type) + " does not match";
        return false;
    }

    int Skipped() const { return skipped; }

private:
    bool CutShort(std::string& reason) const {
        reason = std::ferror(file) ? "read error" : "file cut short";
        return false;
    }

    std::FILE* file;
    unsigned char type[4]{};
    uint32_t left = 0;  // data bytes of the current chunk not yet read
    uLong crc = 0;
    bool open = false;  // a critical chunk is being read
    int skipped = 0;    // ancillary chunks skipped
};

struct InflateEnd {
    void operator()(z_stream* z) const { inflateEnd(z); }
};

// Inflates the zlib stream that a PNG's data chunks hold into `rows`, which must come to exactly
// `bytes` (`rows` has room for one byte more, which a stream too long fills), gathering the data
// in `input` (PNG_INFLATE_INPUT_BYTES). The stream's own
// Adler-32 check is not computed: every byte of it lies in chunks whose CRC-32 is checked, which
// refuses a file damaged on its way; one whose CRCs were made to match wrong data decodes to what
// that data says, within the same bounds.
bool InflateChunks(PngChunks& chunks, unsigned char* rows, size_t bytes, unsigned char* input, std::string& reason) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        reason = "no memory to inflate";
        return false;
    }
    const std::unique_ptr<z_stream, InflateEnd> end(&z);
    inflateValidate(&z, 0);
    z.next_out = rows;
    z.avail_out = static_cast<uInt>(bytes + 1);
    int status = Z_OK;
    bool dataChunks = true;  // the data chunks go on
    while (status == Z_OK && z.avail_out > 0) {
        size_t filled = 0;
        while (dataChunks && filled < PNG_INFLATE_INPUT_BYTES) {
            const size_t n = chunks.Read(input + filled, PNG_INFLATE_INPUT_BYTES - filled);
            filled += n;
            if (n > 0) continue;
            if (!chunks.Next(reason)) return false;
            dataChunks = chunks.Is("IDAT");
        }
        if (filled == 0) {
            reason = chunks.Is("IEND") ? "picture data cut short" : "a critical chunk other than picture data";
            return false;
        }
        z.next_in = input;
        z.avail_in = static_cast<uInt>(filled);
        status = inflate(&z, Z_NO_FLUSH);
    }
    if (status == Z_OK || (status == Z_STREAM_END && z.total_out != bytes)) {
        reason = "picture data of " + std::to_string(z.total_out) + (status == Z_OK ? " bytes or more, " : " bytes, ") +
                 std::to_string(bytes) + " expected";
        return false;
    }
    if (status == Z_STREAM_END) return chunks.Finish(reason);
    reason = z.msg != nullptr ? z.msg : "malformed compressed data";
    return false;
}

// The 16-bit pixels of a PNG row: each byte its filtered byte plus `predict`'s guess from the same
// byte of the pixels to the left (a), above (b) and above left (c), modulo 256; pixels outside
// the picture (and the row above the first) count as 0.
template <bool ABOVE, typename Predict>
void UnfilterPixels(const unsigned char* raw, const uint16_t* above, uint16_t* out, size_t cols, Predict predict) {
    // Each byte of the pixel to the left and above left, kept apart.
    unsigned leftHi = 0;
    unsigned leftLo = 0;
    unsigned cornerHi = 0;
    unsigned cornerLo = 0;
    for (size_t u = 0; u < cols; ++u) {
        const unsigned upHi = ABOVE ? above[u] >> 8 : 0u;
        const unsigned upLo = ABOVE ? above[u] & 0xFFu : 0u;
        leftHi = (raw[2 * u] + predict(leftHi, upHi, cornerHi)) & 0xFFu;
        leftLo = (raw[2 * u + 1] + predict(leftLo, upLo, cornerLo)) & 0xFFu;
        out[u] = static_cast<uint16_t>(leftHi << 8 | leftLo);
        cornerHi = upHi;
        cornerLo = upLo;
    }
}

template <typename Predict>
void UnfilterRow(const unsigned char* raw, const uint16_t* above, uint16_t* out, size_t cols, Predict predict) {
    if (above != nullptr) {
        UnfilterPixels<true>(raw, above, out, cols, predict);
    } else {
        UnfilterPixels<false>(raw, above, out, cols, predict);
    }
}

unsigned Paeth(unsigned a, unsigned b, unsigned c) {
    const int p = static_cast<int>(a + b) - static_cast<int>(c);
    const int pa = std::abs(p - static_cast<int>(a));
    const int pb = std::abs(p - static_cast<int>(b));
    const int pc = std::abs(p - static_cast<int>(c));
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// A row of `cols` 16-bit samples, its filter type first, unfiltered into `out` in this machine's
// byte order; `above` is the row above (nullptr for the first). False for a filter type PNG has not.
bool UnfilterGrey16Row(const unsigned char* row, const uint16_t* above, uint16_t* out, size_t cols) {
    const unsigned char* raw = row + 1;
    switch (row[0]) {
        case 0:
            UnfilterRow(raw, nullptr, out, cols, [](unsigned, unsigned, unsigned) { return 0u; });
            return true;
        case 1:
            UnfilterRow(raw, nullptr, out, cols, [](unsigned a, unsigned, unsigned) { return a; });
            return true;
        case 2:
            UnfilterRow(raw, above, out, cols, [](unsigned, unsigned b, unsigned) { return b; });
            return true;
        case 3:
            UnfilterRow(raw, above, out, cols, [](unsigned a, unsigned b, unsigned) { return (a + b) >> 1; });
            return true;
        case 4:
            UnfilterRow(raw, above, out, cols, Paeth);
            return true;
        default:
            return false;
    }
}

bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A whitespace-separated field of a PFM header, from `pos` on; empty at the end of the bytes.
std::string HeaderField(const unsigned char* bytes, size_t size, size_t& pos) {
    while (pos < size && IsBlank(bytes[pos])) ++pos;
    const size_t start = pos;
    while (pos < size && !IsBlank(bytes[pos])) ++pos;
    return std::string(reinterpret_cast<const char*>(bytes) + start, pos - start);
}

bool ReadSide(const std::string& field, const char* what, int& side, std::string& problem) {
    long long value = 0;
    if (ParseDigits(field, PICTURE_MAX_SIDE, value) && value >= 1) {
        side = static_cast<int>(value);
        return true;
    }
    problem = std::string("PFM ") + what + " '" + field + "' outside 1.." + std::to_string(PICTURE_MAX_SIDE);
    return false;
}

float PfmSample(const unsigned char* p, bool bigEndian) {
    uint32_t bits = 0;
    for (int i = 0; i < PFM_SAMPLE_BYTES; ++i) bits = bits << 8 | p[bigEndian ? i : PFM_SAMPLE_BYTES - 1 - i];
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// PNG stores 16-bit samples most significant byte first.
bool LittleEndianHost() {
    const uint16_t one = 1;
    unsigned char first = 0;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

std::string PngSkippedProblem() {
    return "more than " + std::to_string(PNG_MAX_SKIPPED_CHUNKS) + " ancillary PNG chunks (text, profiles) are not read";
}

const char* PngColourName(int colourType) {
    switch (colourType) {
        case SPNG_COLOR_TYPE_GRAYSCALE:
            return "grey";
        case SPNG_COLOR_TYPE_TRUECOLOR:
            return "RGB";
        case SPNG_COLOR_TYPE_INDEXED:
            return "palette";
        case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
            return "grey and alpha";
        default:
            return "RGBA";
    }
}

// zlib's fastest level: a frame's two pictures take a third less time than at its default level,
// for files a quarter larger.
constexpr int PNG_COMPRESSION_LEVEL = 0;

struct BufferFree {
    void operator()(void* buffer) const { std::free(buffer); }
};

// The picture's pixels as PNG's red, green, blue rows, top row first.
std::vector<unsigned char> RgbRows(const qim::Image& picture) {
    std::vector<unsigned char> rgb(static_cast<size_t>(picture.rows) * static_cast<size_t>(picture.cols) * 3);
    unsigned char* out = rgb.data();
    for (int v = 0; v < picture.rows; ++v) {
        const uchar* bgr = picture.ptr(v);
        for (int u = 0; u < picture.cols; ++u, bgr += 3, out += 3) {
            out[0] = bgr[2];
            out[1] = bgr[1];
            out[2] = bgr[0];
        }
    }
    return rgb;
}

// Encodes rows of samples (16-bit ones in the machine's byte order) as a PNG file at `path`.
bool EncodePng(const std::string& path, int cols, int rows, int bits, int colourType, const void* samples, size_t bytes,
               std::string& problem) {
    problem = "cannot be encoded as PNG";
    const std::unique_ptr<spng_ctx, SpngContextFree> ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx || spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1) != 0 ||
        spng_set_option(ctx.get(), SPNG_IMG_COMPRESSION_LEVEL, PNG_COMPRESSION_LEVEL) != 0 ||
        spng_set_option(ctx.get(), SPNG_FILTER_CHOICE, SPNG_FILTER_CHOICE_NONE) != 0) {
        return false;
    }
    spng_ihdr header{};
    header.width = static_cast<uint32_t>(cols);
    header.height = static_cast<uint32_t>(rows);
    header.bit_depth = static_cast<uint8_t>(bits);
    header.color_type = static_cast<uint8_t>(colourType);
    if (spng_set_ihdr(ctx.get(), &header) != 0 ||
        spng_encode_image(ctx.get(), samples, bytes, SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) != 0) {
        return false;
    }
    size_t size = 0;
    int failure = 0;
    const std::unique_ptr<void, BufferFree> png(spng_get_png_buffer(ctx.get(), &size, &failure));
    return png && failure == 0 && WriteFileReplacing(path, png.get(), size, &problem);
}

bool WritePng(const std::string& path, const qim::Image& picture, std::string& problem) {
    if (picture.empty()) {
        problem = "cannot be encoded as PNG (no picture)";
        return false;
    }
    std::vector<unsigned char> rgb = RgbRows(picture);
    return EncodePng(path, picture.cols, picture.rows, 8, SPNG_COLOR_TYPE_TRUECOLOR, rgb.data(), rgb.size(), problem);
}


}  // namespace

void SpngContextFree::operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }

bool PictureReader::Open(const std::string& path, std::string& problem) {
    header = PictureHeader{};
    png.reset();
    input = OpenRegularFile(path, PICTURE_MAX_FILE_BYTES, problem);
    if (!input.file) return false;
    unsigned char start[BMP_HEADER_BYTES] = {};
    const size_t got = std::fread(start, 1, sizeof start, input.file.get());
    if (got >= 2 && start[0] == 'B' && start[1] == 'M') {
        if (got < sizeof start) {
            problem = "shorter than the " + std::to_string(BMP_HEADER_BYTES) + "-byte BMP header";
            return false;
        }
        header.coding = PictureCoding::BMP;
        header.bmp = ParseBmpHeader(start);
        header.cols = header.bmp.Width;
        header.rows = BmpRows(header.bmp);
        header.bits = header.bmp.BitsPerPixel;
        header.grey = header.bits == 8;
        return true;
    }
    if (got >= sizeof PNG_SIGNATURE && std::memcmp(start, PNG_SIGNATURE, sizeof PNG_SIGNATURE) == 0) return OpenPng(problem);
    if (got >= 2 && start[0] == 'P' && (start[1] == 'f' || start[1] == 'F')) return OpenPfm(problem);
    problem = "neither a BMP, a PNG nor a PFM file (by its first bytes)";
    return false;
}

bool PictureReader::OpenPng(std::string& problem) {
    header.coding = PictureCoding::PNG;
    png.reset(spng_ctx_new(0));
    spng_ihdr ihdr{};
    int status = png ? 0 : SPNG_EMEM;
    if (status == 0 && std::fseek(input.file.get(), 0, SEEK_SET) != 0) status = SPNG_EIO;
    if (status == 0) status = spng_set_image_limits(png.get(), PICTURE_MAX_SIDE, PICTURE_MAX_SIDE);
    if (status == 0) status = spng_set_chunk_limits(png.get(), PNG_MAX_CHUNK_BYTES, PNG_MAX_CACHE_BYTES);
    pngStream = PngStream{input.file.get(), sizeof PNG_SIGNATURE};
    if (status == 0) status = spng_set_png_stream(png.get(), ReadPngStream, &pngStream);
    if (status == 0) status = spng_get_ihdr(png.get(), &ihdr);
    if (status != 0) {
        problem = std::string("not a readable PNG file (") + spng_strerror(status) + ")";
        return false;
    }
    header.cols = static_cast<int>(ihdr.width);
    header.rows = static_cast<int>(ihdr.height);
    header.bits = ihdr.bit_depth;
    header.grey = ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE;
    header.colourType = ihdr.color_type;
    header.interlaced = ihdr.interlace_method != SPNG_INTERLACE_NONE;
    return true;
}

bool PictureReader::OpenPfm(std::string& problem) {
    header.coding = PictureCoding::PFM;
    header.bits = PFM_SAMPLE_BYTES * 8;
    unsigned char bytes[PFM_MAX_HEADER_BYTES];
    const size_t size = std::fseek(input.file.get(), 0, SEEK_SET) == 0
                            ? std::fread(bytes, 1, sizeof bytes, input.file.get())
                            : 0;
    header.grey = size >= 2 && bytes[1] == 'f';
    size_t pos = 2;
    const std::string width = HeaderField(bytes, size, pos);
    const std::string height = HeaderField(bytes, size, pos);
    const std::string scale = HeaderField(bytes, size, pos);
    if (!ReadSide(width, "width", header.cols, problem) || !ReadSide(height, "height", header.rows, problem)) {
        return false;
    }
    double scaleValue = 0.0;
    if (!ParseNumber(scale, scaleValue) || scaleValue == 0.0) {
        problem = "PFM scale '" + scale + "' is not a number other than 0 (its sign gives the byte order)";
        return false;
    }
    // One blank ends the header; the samples follow at once.
    if (pos >= size) {
        problem = "PFM header cut short or longer than " + std::to_string(PFM_MAX_HEADER_BYTES) + " bytes";
        return false;
    }
    header.bigEndian = scaleValue > 0.0;
    header.pixelOffset = pos + 1;
    return true;
}

template <typename Store>
bool PictureReader::ReadPfmRows(std::vector<unsigned char>& scratch, std::string& problem, Store store) {
    const uint64_t rowBytes = static_cast<uint64_t>(header.cols) * PFM_SAMPLE_BYTES;
    const uint64_t expected = rowBytes * static_cast<uint64_t>(header.rows);
    const uint64_t present = input.length - header.pixelOffset;
    if (present != expected) {
        problem = "PFM pixel data holds " + std::to_string(present) + " bytes, " + std::to_string(header.cols) + " x " +
                  std::to_string(header.rows) + " x " + std::to_string(PFM_SAMPLE_BYTES) + " = " +
                  std::to_string(expected) + " expected";
        return false;
    }
    scratch.resize(static_cast<size_t>(rowBytes));
    if (std::fseek(input.file.get(), static_cast<long>(header.pixelOffset), SEEK_SET) != 0) {
        problem = "cannot seek to the pixel data";
        return false;
    }
    // Rows are stored bottom row first.
    for (int i = 0; i < header.rows; ++i) {
        if (std::fread(scratch.data(), 1, scratch.size(), input.file.get()) != scratch.size()) {
            problem = "read error in pixel row " + std::to_string(i);
            return false;
        }
        for (int u = 0; u < header.cols; ++u) {
            store(header.rows - 1 - i, u, PfmSample(scratch.data() + static_cast<size_t>(u) * PFM_SAMPLE_BYTES, header.bigEndian));
        }
    }
    return true;
}

bool PictureReader::ReadValues(double scale, double* out, std::vector<unsigned char>& scratch, std::string& problem) {
    const size_t cols = static_cast<size_t>(header.cols);
    if (header.coding == PictureCoding::PFM) {
        return ReadPfmRows(scratch, problem, [&](int v, int u, float sample) {
            out[static_cast<size_t>(v) * cols + static_cast<size_t>(u)] = MeasuredDisparity(sample, scale);
        });
    }
    const size_t count = cols * static_cast<size_t>(header.rows);
    std::vector<uint16_t> values(count);
    if (!ReadFixed16(values.data(), scratch, problem)) return false;
    for (size_t i = 0; i < count; ++i) out[i] = MeasuredDisparity(values[i], scale);
    return true;
}

bool PictureReader::ReadSamples(std::vector<uint16_t>& png16, std::vector<float>& pfm,
                                std::vector<unsigned char>& scratch, std::string& problem) {
    const size_t cols = static_cast<size_t>(header.cols);
    const size_t count = cols * static_cast<size_t>(header.rows);
    if (header.coding == PictureCoding::PFM) {
        png16.clear();
        pfm.resize(count);
        return ReadPfmRows(scratch, problem, [&](int v, int u, float sample) {
            pfm[static_cast<size_t>(v) * cols + static_cast<size_t>(u)] = sample;
        });
    }
    // A picture of the previous one's size is decoded over it, the buffer not cleared first.
    pfm.clear();
    png16.resize(count);
    return ReadFixed16(png16.data(), scratch, problem);
}

bool PictureReader::ReadFixed16(uint16_t* out, std::vector<unsigned char>& scratch, std::string& problem) {
    if (header.bits == 16 && header.grey && !header.interlaced) return InflateGrey16(out, scratch, problem);
    const size_t count = static_cast<size_t>(header.cols) * static_cast<size_t>(header.rows);
    if (!DecodePng(out, count * sizeof *out, SPNG_FMT_RAW, problem)) return false;
    if (!LittleEndianHost()) return true;
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<uint16_t>(out[i] >> 8 | out[i] << 8);
    return true;
}

bool PictureReader::InflateGrey16(uint16_t* out, std::vector<unsigned char>& scratch, std::string& problem) {
    const size_t cols = static_cast<size_t>(header.cols);
    const size_t rowBytes = 1 + 2 * cols;
    const size_t bytes = rowBytes * static_cast<size_t>(header.rows);
    scratch.resize(bytes + 1 + PNG_INFLATE_INPUT_BYTES);  // rows, a spare byte, the data read
    PngChunks chunks(input.file.get());
    std::string reason = "cannot seek to the picture data";
    bool decoded = fseeko(input.file.get(), PNG_FIRST_CHUNK_AFTER_HEADER, SEEK_SET) == 0 &&
                   InflateChunks(chunks, scratch.data(), bytes, scratch.data() + bytes + 1, reason);
    for (int v = 0; decoded && v < header.rows; ++v, out += cols) {
        decoded = UnfilterGrey16Row(scratch.data() + static_cast<size_t>(v) * rowBytes, v > 0 ? out - cols : nullptr, out, cols);
        if (!decoded) reason = "row " + std::to_string(v) + " of filter type " + std::to_string(scratch[v * rowBytes]) + ", 0 to 4 known";
    }
    if (decoded) return true;
    problem = chunks.Skipped() > PNG_MAX_SKIPPED_CHUNKS ? PngSkippedProblem() : "PNG pixel data cannot be decoded (" + reason + ")";
    return false;
}

bool PictureReader::DecodePng(void* out, size_t bytes, int format, std::string& problem) {
    size_t decoded = 0;
    int status = spng_decoded_image_size(png.get(), format, &decoded);
    if (status == 0 && decoded != bytes) status = SPNG_EINTERNAL;
    if (status == 0) status = spng_decode_image(png.get(), out, bytes, format, 0);
    if (status == 0) return true;
    if (pngStream.skipped > PNG_MAX_SKIPPED_CHUNKS) {
        problem = PngSkippedProblem();
        return false;
    }
    problem = std::string("PNG pixel data cannot be decoded (") + spng_strerror(status) + ")";
    return false;
}

bool PictureReader::ReadBmp(qim::Image& img, std::string& problem) {
    problem = CheckBmpHeader(header.bmp, input.length);
    if (problem.empty()) problem = ReadBmpPixels(input.file.get(), header.bmp, img);
    if (problem.empty()) return true;
    img.release();
    return false;
}

bool PictureReader::ReadBmpInPlace(std::vector<unsigned char>& pixels, PictureView& view, std::string& problem) {
    problem = CheckBmpHeader(header.bmp, input.length);
    if (problem.empty()) problem = ::ReadBmpInPlace(input.file.get(), header.bmp, pixels, view);
    if (problem.empty()) return true;
    view = PictureView{};
    return false;
}

bool PictureReader::ReadGreyPng(qim::Image& img, std::string& problem) {
    img.create(header.rows, header.cols, SGBM_8UC3);
    if (img.empty()) {
        problem = "no memory for a " + std::to_string(header.rows) + " x " + std::to_string(header.cols) + " image";
        return false;
    }
    if (DecodePng(img.data, static_cast<size_t>(header.cols) * static_cast<size_t>(header.rows), SPNG_FMT_PNG, problem)) {
        return true;
    }
    img.release();
    return false;
}

std::string PictureKind(const PictureHeader& header) {
    switch (header.coding) {
        case PictureCoding::BMP:
            return std::to_string(header.bits) + " bits per pixel";
        case PictureCoding::PNG:
            return std::to_string(header.bits) + "-bit " + PngColourName(header.colourType) + " PNG";
        case PictureCoding::PFM:
            break;
    }
    return header.grey ? "grey PFM" : "colour PFM";
}

const char* PictureExtension(PictureFormat format) { return format == PictureFormat::PNG ? ".png" : ".bmp"; }

bool WritePicture(const std::string& path, const qim::Image& picture, PictureFormat format, std::string& problem) {
    if (format == PictureFormat::PNG) return WritePng(path, picture, problem);
    return WriteColourBmp(path, picture, &problem);
}

double MeasuredDisparity(double value, double scale) {
    const double d = value * scale;
    return d > 0.0 && std::isfinite(d) ? d : 0.0;
}

bool WriteGrey16Png(const std::string& path, int cols, int rows, const std::vector<uint16_t>& samples, std::string& problem) {
    if (cols <= 0 || rows <= 0 || samples.size() != static_cast<size_t>(cols) * static_cast<size_t>(rows)) {
        problem = "cannot be encoded as PNG (" + std::to_string(samples.size()) + " samples for " + std::to_string(cols) +
                  " x " + std::to_string(rows) + " pixels)";
        return false;
    }
    return EncodePng(path, cols, rows, 16, SPNG_COLOR_TYPE_GRAYSCALE, samples.data(), samples.size() * sizeof(uint16_t),
                     problem);
}
