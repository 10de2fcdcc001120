// Frame readers: row and channel order of the pixel conversion, and the BMP file reader on good
// and malformed files written here byte by byte.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "BmpWriter.h"
#include "Imageread.h"

namespace {

// Channel c of picture pixel (u, v), row 0 at the top; distinct for every small picture used here.
unsigned char Picture(int u, int v, int c) { return static_cast<unsigned char>(1 + 40 * v + 8 * u + c); }

void PutLe(std::vector<unsigned char>& bytes, size_t offset, uint32_t value, int width) {
    for (int i = 0; i < width; ++i) bytes.at(offset + i) = static_cast<unsigned char>(value >> (8 * i));
}

struct BmpFile {
    int width = 3;
    int height = 2;
    int bitsPerPixel = 24;
    int gap = 0;                     // bytes between the header and the pixel data
    std::string signature = "BM";

    // Header, gap and pixel rows, bottom row first (top first for a negative height), each row
    // padded with 0xEE bytes to a multiple of 4.
    std::vector<unsigned char> Bytes() const {
        std::vector<unsigned char> bytes(54 + gap, 0);
        bytes[0] = static_cast<unsigned char>(signature[0]);
        bytes[1] = static_cast<unsigned char>(signature[1]);
        PutLe(bytes, 10, 54 + gap, 4);
        PutLe(bytes, 14, 40, 4);
        PutLe(bytes, 18, static_cast<uint32_t>(width), 4);
        PutLe(bytes, 22, static_cast<uint32_t>(height), 4);
        PutLe(bytes, 26, 1, 2);
        PutLe(bytes, 28, static_cast<uint32_t>(bitsPerPixel), 2);
        const int rows = height < 0 ? -height : height;
        const int pixelBytes = bitsPerPixel / 8;
        for (int i = 0; i < rows; ++i) {
            const int v = height < 0 ? i : rows - 1 - i;
            size_t rowBytes = 0;
            for (int u = 0; u < width; ++u) {
                for (int c = 0; c < pixelBytes; ++c, ++rowBytes) bytes.push_back(c == 3 ? 0xAB : Picture(u, v, c));
            }
            for (; rowBytes % 4 != 0; ++rowBytes) bytes.push_back(0xEE);
        }
        return bytes;
    }
};

class ImageBmpReader : public testing::Test {
protected:
    void TearDown() override {
        image.release();
        std::remove(path.c_str());
    }

    void Write(const std::vector<unsigned char>& bytes) {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    // Reads a file that must be refused into an image that already holds pixels.
    std::string Refusal(const std::vector<unsigned char>& bytes) {
        Write(bytes);
        image.create(2, 2, SGBM_8UC3);
        std::string error;
        EXPECT_FALSE(bmp_reader(path.c_str(), image, &error));
        EXPECT_EQ(image.data, nullptr);
        EXPECT_EQ(image.refcount, 0);
        EXPECT_TRUE(image.empty());
        EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
        return error;
    }

    // One file per test: CTest runs the tests of this fixture in parallel.
    std::string path = testing::TempDir() + "qim_bmp_reader_" +
                       testing::UnitTest::GetInstance()->current_test_info()->name() + ".bmp";
    qim::Image image;
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(ImageRead, FourToThreeKeepsByteOrderAndDropsFourth) {
    const unsigned char bgra[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    unsigned char bgr[10];
    for (unsigned char& b : bgr) b = 0x77;
    BGRA2BGR_8u_C4C3R(bgra, bgr, 3);
    const unsigned char expected[] = {1, 2, 3, 5, 6, 7, 9, 10, 11, 0x77};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(bgr[i], expected[i]) << "byte " << i;
    BGRA2BGR_8u_C4C3R(bgra + 4, bgr, 0);
    EXPECT_EQ(bgr[0], 1);
}

TEST(ImageRead, BottomUpColourRowsLandTopFirst) {
    const int rows = 3;
    const int cols = 2;
    std::vector<unsigned char> src;
    for (int i = 0; i < rows; ++i) {
        for (int u = 0; u < cols; ++u) {
            for (int c = 0; c < 4; ++c) src.push_back(c == 3 ? 0xAB : Picture(u, rows - 1 - i, c));
        }
    }
    qim::Image img;
    StoreBottomUpRows(src.data(), rows, cols, 32, img);
    ASSERT_EQ(img.rows, rows);
    ASSERT_EQ(img.cols, cols);
    EXPECT_EQ(img.type(), SGBM_8UC3);
    EXPECT_EQ(img.step[0], 6u);
    EXPECT_TRUE(img.isContinuous());
    for (int v = 0; v < rows; ++v) {
        for (int u = 0; u < cols; ++u) {
            for (int c = 0; c < 3; ++c) EXPECT_EQ(img.data[v * 6 + 3 * u + c], Picture(u, v, c));
        }
    }
    uchar* const block = img.data;
    StoreBottomUpRows(src.data(), rows, cols, 32, img);
    EXPECT_EQ(img.data, block);
    img.release();
}

TEST(ImageRead, BottomUpGreyRowsFillTheFirstBytesOnly) {
    const int rows = 3;
    const int cols = 4;
    std::vector<unsigned char> src;
    for (int i = 0; i < rows; ++i) {
        for (int u = 0; u < cols; ++u) src.push_back(Picture(u, rows - 1 - i, 0));
    }
    qim::Image img;
    img.create(rows, cols, SGBM_8UC3);
    for (int i = 0; i < rows * cols * 3; ++i) img.data[i] = 0xCD;
    StoreBottomUpRows(src.data(), rows, cols, 8, img);
    for (int v = 0; v < rows; ++v) {
        for (int u = 0; u < cols; ++u) EXPECT_EQ(img.data[v * cols + u], Picture(u, v, 0));
    }
    for (int i = rows * cols; i < rows * cols * 3; ++i) EXPECT_EQ(img.data[i], 0xCD) << "byte " << i;
    img.release();
}

TEST_F(ImageBmpReader, ReadsPaddedTwentyFourBitRows) {
    BmpFile bmp;
    bmp.width = 3;  // 9 bytes per row, 3 of padding
    bmp.height = 2;
    Write(bmp.Bytes());
    std::string error;
    ASSERT_TRUE(bmp_reader(path.c_str(), image, &error)) << error;
    EXPECT_EQ(error, "");
    ASSERT_EQ(image.rows, 2);
    ASSERT_EQ(image.cols, 3);
    EXPECT_EQ(image.type(), SGBM_8UC3);
    for (int v = 0; v < 2; ++v) {
        for (int u = 0; u < 3; ++u) {
            for (int c = 0; c < 3; ++c) EXPECT_EQ(image.ptr(v)[3 * u + c], Picture(u, v, c)) << u << "," << v;
        }
    }
    // Reading the same picture again refills the same block.
    uchar* const block = image.data;
    ASSERT_TRUE(bmp_reader(path.c_str(), image));
    EXPECT_EQ(image.data, block);
}

TEST_F(ImageBmpReader, ReadsGreyFileAfterPaletteAndThirtyTwoBitFile) {
    BmpFile grey;
    grey.bitsPerPixel = 8;
    grey.width = 5;  // 3 bytes of padding per row
    grey.height = 3;
    grey.gap = 1024;
    std::vector<unsigned char> greyBytes = grey.Bytes();
    for (int i = 0; i < 256; ++i) PutLe(greyBytes, 54 + 4 * static_cast<size_t>(i), 0x010101u * static_cast<uint32_t>(i), 4);
    Write(greyBytes);
    ASSERT_TRUE(bmp_reader(path.c_str(), image));
    ASSERT_EQ(image.rows, 3);
    ASSERT_EQ(image.cols, 5);
    for (int v = 0; v < 3; ++v) {
        for (int u = 0; u < 5; ++u) EXPECT_EQ(image.data[v * 5 + u], Picture(u, v, 0)) << u << "," << v;
    }

    BmpFile colour;
    colour.bitsPerPixel = 32;
    colour.width = 2;
    colour.height = 3;
    colour.gap = 2000;  // more than a palette
    std::vector<unsigned char> bytes = colour.Bytes();
    PutLe(bytes, 30, 3, 4);  // bit fields, the usual masks: red, green, blue
    PutLe(bytes, 54, 0x00FF0000u, 4);
    PutLe(bytes, 58, 0x0000FF00u, 4);
    PutLe(bytes, 62, 0x000000FFu, 4);
    Write(bytes);
    ASSERT_TRUE(bmp_reader(path.c_str(), image));
    ASSERT_EQ(image.rows, 3);
    ASSERT_EQ(image.cols, 2);
    for (int v = 0; v < 3; ++v) {
        for (int u = 0; u < 2; ++u) {
            for (int c = 0; c < 3; ++c) EXPECT_EQ(image.ptr(v)[3 * u + c], Picture(u, v, c)) << u << "," << v;
        }
    }
}

// An 8-bit picture's indices stand for its palette's grey levels (an inverted palette gives the
// picture's negative); a 32-bit picture's bit fields say which byte is red, green and blue, in a
// 40-byte header with the masks after it or in a V5 header (124 bytes) with them inside.
TEST_F(ImageBmpReader, PalettesAndBitFieldMasksGiveTheLevelsAndChannelsTheyState) {
    BmpFile grey;
    grey.bitsPerPixel = 8;
    grey.width = 5;
    grey.height = 3;
    grey.gap = 1024;
    std::vector<unsigned char> inverted = grey.Bytes();
    for (int i = 0; i < 256; ++i) PutLe(inverted, 54 + 4 * static_cast<size_t>(i), 0x010101u * (255u - i), 4);
    Write(inverted);
    ASSERT_TRUE(bmp_reader(path.c_str(), image));
    for (int v = 0; v < 3; ++v) {
        for (int u = 0; u < 5; ++u) EXPECT_EQ(image.data[v * 5 + u], 255 - Picture(u, v, 0)) << u << "," << v;
    }

    // Red first in the file: the bytes Picture(u, v, 0..2) are red, green, blue, stored blue first.
    const struct {
        int headerBytes;
        uint32_t masks[3];  // red, green, blue
        int storedFrom[3];  // the file byte stored as blue, green, red
    } layouts[] = {
        {40, {0x000000FFu, 0x0000FF00u, 0x00FF0000u}, {2, 1, 0}},
        {124, {0x000000FFu, 0x0000FF00u, 0x00FF0000u}, {2, 1, 0}},
        {124, {0x0000FF00u, 0x00FF0000u, 0xFF000000u}, {3, 2, 1}},
    };
    for (const auto& layout : layouts) {
        BmpFile colour;
        colour.bitsPerPixel = 32;
        colour.width = 2;
        colour.height = 3;
        colour.gap = 124 - 40;
        std::vector<unsigned char> bytes = colour.Bytes();
        PutLe(bytes, 14, static_cast<uint32_t>(layout.headerBytes), 4);
        PutLe(bytes, 30, 3, 4);
        for (int m = 0; m < 3; ++m) PutLe(bytes, 54 + 4 * static_cast<size_t>(m), layout.masks[m], 4);
        Write(bytes);
        ASSERT_TRUE(bmp_reader(path.c_str(), image)) << layout.headerBytes;
        for (int v = 0; v < 3; ++v) {
            for (int u = 0; u < 2; ++u) {
                for (int c = 0; c < 3; ++c) {
                    const int from = layout.storedFrom[c];
                    EXPECT_EQ(image.ptr(v)[3 * u + c], from == 3 ? 0xAB : Picture(u, v, from)) << u << "," << v << "," << c;
                }
            }
        }
    }
}

TEST_F(ImageBmpReader, NegativeHeightMeansTopRowFirst) {
    BmpFile bmp;
    bmp.width = 1;
    bmp.height = -3;
    Write(bmp.Bytes());
    ASSERT_TRUE(bmp_reader(path.c_str(), image));
    ASSERT_EQ(image.rows, 3);
    for (int v = 0; v < 3; ++v) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(image.ptr(v)[c], Picture(0, v, c));
    }
}

// The pixel data read in one piece and viewed where it lies: row 0 at the top whatever the stored
// order, the padded row length as the stride, the file's bytes per pixel; a second picture of the
// same size reuses the buffer.
TEST_F(ImageBmpReader, ReadInPlaceViewsThePixelDataWhereItLies) {
    const struct {
        int bitsPerPixel;
        int width;
        int height;
        std::ptrdiff_t stride;  // 3 x 3 bytes padded to 12; 4 x 4 bytes
    } cases[] = {{24, 3, 2, -12}, {24, 3, -2, 12}, {32, 4, 3, -16}, {32, 4, -3, 16}};
    std::vector<unsigned char> pixels;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bitsPerPixel) + " bits, height " + std::to_string(c.height));
        BmpFile bmp;
        bmp.bitsPerPixel = c.bitsPerPixel;
        bmp.width = c.width;
        bmp.height = c.height;
        Write(bmp.Bytes());
        std::FILE* file = std::fopen(path.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        unsigned char header[BMP_HEADER_BYTES];
        ASSERT_EQ(std::fread(header, 1, sizeof header, file), sizeof header);
        PictureView view;
        const std::string problem = ReadBmpInPlace(file, ParseBmpHeader(header), pixels, view);
        std::fclose(file);
        ASSERT_EQ(problem, "");
        const int rows = c.height < 0 ? -c.height : c.height;
        EXPECT_EQ(view.rows, rows);
        EXPECT_EQ(view.cols, c.width);
        EXPECT_EQ(view.bytesPerPixel, c.bitsPerPixel / 8);
        EXPECT_EQ(view.rowStride, c.stride);
        EXPECT_EQ(view.Row(c.stride < 0 ? rows - 1 : 0), pixels.data());  // the first stored row
        for (int v = 0; v < rows; ++v) {
            for (int u = 0; u < c.width; ++u) {
                for (int b = 0; b < 3; ++b) EXPECT_EQ(view.Row(v)[view.bytesPerPixel * u + b], Picture(u, v, b)) << u << "," << v;
            }
        }
        const unsigned char* const block = pixels.data();
        file = std::fopen(path.c_str(), "rb");
        ASSERT_EQ(ReadBmpInPlace(file, ParseBmpHeader(header), pixels, view), "");
        std::fclose(file);
        EXPECT_EQ(pixels.data(), block);
    }
}

TEST_F(ImageBmpReader, MissingFileGivesTheOpenMessage) {
    const std::string missing = testing::TempDir() + "qim_no_such_file.bmp";
    image.create(2, 2, SGBM_8UC3);
    std::string error;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(bmp_reader(missing.c_str(), image, &error));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");  // the caller prints, not the reader
    EXPECT_EQ(error, "\nCan not open input file\n" + missing + "\n");
    EXPECT_TRUE(image.empty());
    EXPECT_EQ(image.refcount, 0);
    EXPECT_FALSE(bmp_reader(nullptr, image));
}

TEST_F(ImageBmpReader, RefusesMalformedHeaders) {
    BmpFile good;
    std::vector<unsigned char> bytes = good.Bytes();

    EXPECT_TRUE(Contains(Refusal(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 20)), "54-byte BMP header"));

    BmpFile bad = good;
    bad.signature = "XM";
    EXPECT_TRUE(Contains(Refusal(bad.Bytes()), "signature"));

    bad = good;
    bad.bitsPerPixel = 16;
    EXPECT_TRUE(Contains(Refusal(bad.Bytes()), "16 bits per pixel"));

    std::vector<unsigned char> compressed = bytes;
    PutLe(compressed, 30, 1, 4);  // run-length coded
    EXPECT_TRUE(Contains(Refusal(compressed), "compression 1"));

    bad = good;
    bad.width = 0;
    EXPECT_TRUE(Contains(Refusal(bad.Bytes()), "width 0"));

    std::vector<unsigned char> absurd = bytes;
    PutLe(absurd, 18, 100000, 4);
    EXPECT_TRUE(Contains(Refusal(absurd), "width 100000"));
    absurd = bytes;
    PutLe(absurd, 18, 0x80000000u, 4);
    EXPECT_TRUE(Contains(Refusal(absurd), "width -2147483648"));
    absurd = bytes;
    PutLe(absurd, 22, 0, 4);
    EXPECT_TRUE(Contains(Refusal(absurd), "height 0"));
    absurd = bytes;
    PutLe(absurd, 22, 0x80000000u, 4);
    EXPECT_TRUE(Contains(Refusal(absurd), "height -2147483648"));

    // Palettes that are no grey levels, and masks that are no bytes of their own.
    BmpFile grey;
    grey.bitsPerPixel = 8;
    grey.width = 4;
    grey.height = 2;
    grey.gap = 16;  // four entries
    std::vector<unsigned char> palette = grey.Bytes();
    for (int i = 0; i < 4; ++i) PutLe(palette, 54 + 4 * static_cast<size_t>(i), 0x010101u * static_cast<uint32_t>(i), 4);
    PutLe(palette, 54 + 4 * 2, 0x00FF0000u, 4);
    EXPECT_EQ(Refusal(palette), path + ": palette entry 2 is a colour (blue 0, green 0, red 255): an 8-bit picture is read as grey");
    PutLe(palette, 54 + 4 * 2, 0x00020202u, 4);
    EXPECT_EQ(Refusal(palette), path + ": pixel row 0 has palette index 41, beyond the palette's 4 entries");
    BmpFile colour;
    colour.bitsPerPixel = 32;
    colour.gap = 12;
    std::vector<unsigned char> masks = colour.Bytes();
    PutLe(masks, 30, 3, 4);
    PutLe(masks, 54, 0x00FF0000u, 4);
    PutLe(masks, 58, 0x0000FFF0u, 4);
    PutLe(masks, 62, 0x000000FFu, 4);
    EXPECT_EQ(Refusal(masks), path + ": bit-field mask 0x0000FFF0 of green is not a byte of its own (masks red 0x00FF0000, "
                                     "green 0x0000FFF0, blue 0x000000FF)");
    PutLe(masks, 58, 0x00FF0000u, 4);
    EXPECT_TRUE(Contains(Refusal(masks), "bit-field mask 0x00FF0000 of red is not a byte of its own"));
}

TEST_F(ImageBmpReader, RefusesPixelDataOutsideTheFile) {
    BmpFile good;  // 54 + 2 rows x 12 bytes = 78 bytes
    std::vector<unsigned char> bytes = good.Bytes();
    ASSERT_EQ(bytes.size(), 78u);

    std::vector<unsigned char> offset = bytes;
    PutLe(offset, 10, 40, 4);  // inside the header
    EXPECT_TRUE(Contains(Refusal(offset), "offset 40"));
    PutLe(offset, 10, 78, 4);  // at the end of the file
    EXPECT_TRUE(Contains(Refusal(offset), "offset 78"));
    PutLe(offset, 10, 0xFFFFFFF0u, 4);  // negative
    EXPECT_TRUE(Contains(Refusal(offset), "offset -16"));
    PutLe(offset, 10, 55, 4);  // one row and a bit fit after it, not two rows
    EXPECT_TRUE(Contains(Refusal(offset), "ends early"));

    // The last padding byte of the last row is missing.
    bytes.pop_back();
    EXPECT_TRUE(Contains(Refusal(bytes), "ends early"));

    // A large header size claim with a few bytes of data.
    std::vector<unsigned char> huge = good.Bytes();
    PutLe(huge, 18, 16384, 4);
    PutLe(huge, 22, 16384, 4);
    EXPECT_TRUE(Contains(Refusal(huge), "ends early"));
}
