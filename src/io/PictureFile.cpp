#include "PictureFile.h"

#include <spng.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "BmpWriter.h"
#include "Overlay.h"

namespace {

// zlib's fastest level: a frame's two pictures take a third less time than at its default level,
// for files a quarter larger.
constexpr int PNG_COMPRESSION_LEVEL = 1;

struct ContextFree {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
struct BufferFree {
    void operator()(void* buffer) const { std::free(buffer); }
};

// The picture's pixels as PNG's red, green, blue rows, top row first.
std::vector<unsigned char> RgbRows(const qim::Image& picture) {
    std::vector<unsigned char> rgb;
    rgb.reserve(static_cast<size_t>(picture.rows) * static_cast<size_t>(picture.cols) * 3);
    for (int v = 0; v < picture.rows; ++v) {
        const uchar* bgr = picture.ptr(v);
        for (int u = 0; u < picture.cols; ++u, bgr += 3) rgb.insert(rgb.end(), {bgr[2], bgr[1], bgr[0]});
    }
    return rgb;
}

bool WritePng(const std::string& path, const qim::Image& picture, std::string& problem) {
    problem = "cannot be encoded as PNG";
    if (picture.empty()) return false;
    std::vector<unsigned char> rgb = RgbRows(picture);
    const std::unique_ptr<spng_ctx, ContextFree> ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx || spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1) != 0 ||
        spng_set_option(ctx.get(), SPNG_IMG_COMPRESSION_LEVEL, PNG_COMPRESSION_LEVEL) != 0) {
        return false;
    }
    spng_ihdr header{};
    header.width = static_cast<uint32_t>(picture.cols);
    header.height = static_cast<uint32_t>(picture.rows);
    header.bit_depth = 8;
    header.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
    if (spng_set_ihdr(ctx.get(), &header) != 0 ||
        spng_encode_image(ctx.get(), rgb.data(), rgb.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) != 0) {
        return false;
    }
    size_t size = 0;
    int failure = 0;
    const std::unique_ptr<void, BufferFree> png(spng_get_png_buffer(ctx.get(), &size, &failure));
    return png && failure == 0 && WriteFileReplacing(path, png.get(), size, &problem);
}

}  // namespace

const char* PictureExtension(PictureFormat format) { return format == PictureFormat::PNG ? ".png" : ".bmp"; }

bool WritePicture(const std::string& path, const qim::Image& picture, PictureFormat format, std::string& problem) {
    if (format == PictureFormat::PNG) return WritePng(path, picture, problem);
    return WriteColourBmp(path, picture, &problem);
}
