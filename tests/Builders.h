// Builders of the tests' inputs, one set for every test file: picture files written byte by byte,
// colour-coded disparity pictures, disparity buffers, grids, detections and tracks made by hand, and
// a rendered scene of a parked car through the KITTI-like camera.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CameraFile.h"
#include "ColorMap.h"
#include "Config.h"
#include "Scene.h"
#include "TrackingObject.h"
#include "core.h"

// ---- Picture files: PNG (its picture data in stored deflate blocks) and PFM, written byte by byte
// so that what a reader must find owes nothing to a picture library.

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

// A zlib stream of `raw` in stored (uncompressed) deflate blocks, its Adler-32 check last.
inline std::string StoredZlib(const std::string& raw) {
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
    return zlib + Bytes({b << 16 | a}, 4, true);
}

// The signature and header chunk of a PNG (not interlaced).
inline std::string PngHeader(int cols, int rows, int bits, int colourType) {
    const std::string ihdr = Bytes({static_cast<uint32_t>(cols), static_cast<uint32_t>(rows)}, 4, true) +
                             static_cast<char>(bits) + static_cast<char>(colourType) + std::string(3, '\0');
    return "\x89PNG\r\n\x1a\n" + Chunk("IHDR", ihdr);
}

// The rows of a PNG of one sample per pixel (top row first, `channels` copies of it), each with
// filter type 0 (none) first.
inline std::string PngRows(int cols, int rows, int bits, const std::vector<uint32_t>& samples, int channels = 1) {
    std::string raw;
    for (int v = 0; v < rows; ++v) {
        raw += '\0';  // no filter
        for (int u = 0; u < cols; ++u) {
            for (int c = 0; c < channels; ++c) raw += Bytes({samples[static_cast<size_t>(v * cols + u)]}, bits / 8, true);
        }
    }
    return raw;
}

// A PNG of one sample per pixel (top row first, `channels` copies of it), its picture data in
// stored (uncompressed) deflate blocks: truth that owes nothing to a PNG library.
inline std::string Png(int cols, int rows, int bits, int colourType, const std::vector<uint32_t>& samples, int channels = 1) {
    return PngHeader(cols, rows, bits, colourType) + Chunk("IDAT", StoredZlib(PngRows(cols, rows, bits, samples, channels))) +
           Chunk("IEND", "");
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

// ---- Colour-coded disparity pictures (3 channels: blue, green, red).

inline void SetPixel(qim::Image& image, int u, int v, const ColorSet& c) {
    uchar* pixel = image.ptr(v) + 3 * u;
    pixel[0] = static_cast<uchar>(c.blue);
    pixel[1] = static_cast<uchar>(c.green);
    pixel[2] = static_cast<uchar>(c.red);
}

// The colour disparity d is coded as.
inline ColorSet Encoded(double d) {
    ColorSet c{0, 0, 0};
    SetColorMap(&c, d);
    return c;
}

// Rows firstRow..lastRow in one colour.
inline void FillRows(qim::Image& image, int firstRow, int lastRow, const ColorSet& c) {
    for (int v = firstRow; v <= lastRow; ++v) {
        for (int u = 0; u < image.cols; ++u) SetPixel(image, u, v, c);
    }
}

// The rectangle of columns u0..u1 and rows v0..v1 at disparity d.
inline void PaintDisparity(qim::Image& image, int u0, int u1, int v0, int v1, double d) {
    const ColorSet c = Encoded(d);
    for (int v = v0; v <= v1; ++v) {
        for (int u = u0; u <= u1; ++u) SetPixel(image, u, v, c);
    }
}

// A black picture of the given size.
inline void CreateBlack(qim::Image& image, int rows = TOTAL_V, int cols = TOTAL_U) {
    image.create(rows, cols, SGBM_8UC3);
    for (int v = 0; v < rows; ++v) std::memset(image.ptr(v), 0, static_cast<size_t>(cols) * 3);
}

// A black picture owned by a test, released at the end (the container has no destructor).
struct Picture {
    qim::Image image;
    explicit Picture(int rows = TOTAL_V, int cols = TOTAL_U) { CreateBlack(image, rows, cols); }
    ~Picture() { image.release(); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
};

// ---- Disparity buffers of the default camera, index PIXEL(u, v); 0.0 = no value.

struct DisparityBuffer {
    std::vector<double> values = std::vector<double>(TOTAL_PIXELS, 0.0);
    double& at(int u, int v) { return values[PIXEL(u, v)]; }
    const double* data() const { return values.data(); }
    // Every pixel of the SHIFT_PITCH x SHIFT_PITCH block whose top-left pixel is (u, v).
    void FillBlock(int u, int v, double d) {
        for (int j = 0; j < SHIFT_PITCH; ++j) {
            for (int i = 0; i < SHIFT_PITCH; ++i) at(u + i, v + j) = d;
        }
    }
    bool BlockIsEmpty(int u, int v) {
        for (int j = 0; j < SHIFT_PITCH; ++j) {
            for (int i = 0; i < SHIFT_PITCH; ++i) {
                if (at(u + i, v + j) != 0.0) return false;
            }
        }
        return true;
    }
    // Rows fromV..toV of column u.
    void FillColumn(int u, int fromV, int toV, double d) {
        for (int v = fromV; v <= toV; ++v) at(u, v) = d;
    }
    // n pixels of disparity d in the left column of strip uBl, from row `from` down.
    void FillStrip(int uBl, int n, double d, int from = 0) { FillColumn(uBl * SHIFT_PITCH, from, from + n - 1, d); }
};

// ---- Grids of the default camera, index GRID(uBl, d).

inline Grid& Cell(std::vector<Grid>& grid, int uBl, int d) { return grid[GRID(uBl, d)]; }

// Every field of every cell zero.
inline std::vector<Grid> BlankGrid(int cells = gridNum) { return std::vector<Grid>(cells, Grid{}); }

// A grid as the occupancy stage leaves it and grouping receives it: nothing measured or labelled,
// every label entry pointing at its own cell.
inline std::vector<Grid> UnlabelledGrid() {
    std::vector<Grid> grid = BlankGrid();
    for (int i = 0; i < gridNum; ++i) grid[i].ref = i;
    return grid;
}

// ---- Detections and tracks made by hand for the tracking and association tests.

// A detection of one cell per column block S_u..E_u, every cell at disparity d.
inline DetectedObject MakeDetection(double lX, double rX, double d, double h, int S_u, int E_u) {
    DetectedObject c{};
    c.lX_m = lX;
    c.rX_m = rX;
    c.d_pix = d;
    c.h_m = h;
    c.S_u = S_u;
    c.E_u = E_u;
    for (int u = S_u; u <= E_u; ++u) {
        c.sigmaUD += u * d;
        c.sigmaU += u;
        c.sigmaD += d;
        c.sigmaUU += u * u;
        c.iN += 1;
    }
    c.a = 0.0;
    c.b = d;
    return c;
}

// An established track whose prediction is exactly the given geometry.
inline TrackingObject MakeTrack(double pX, double w, double d, double h, int S_u, int E_u) {
    TrackingObject t;
    t.m_pX_m = pX;
    t.m_X_m = pX;
    t.m_w_m = w;
    t.m_pD_pix = d;
    t.m_D_pix = d;
    t.m_h_m = h;
    t.m_S_u = S_u;
    t.m_E_u = E_u;
    t.m_count = 5;
    t.m_bIniBufKalmFlg = false;
    return t;
}

// A parked car in our lane, 70 m ahead, that the car approaches at 25 m/s for 2.5 s (to 7.5 m).
inline const char* const STATIC_CAR_SCENE =
    "seed 7\n"
    "noise 0.08\n"
    "holes 0.03\n"
    "frames 75\n"
    "road -7.0 7.0\n"
    "box car -0.85 0.85 70.0 1.5 -25.0 0\n";

// A scene's text rendered through the KITTI-like camera of data/cameras.
inline scene::Scene SceneThroughKittiLike(const char* sceneText, const char* name) {
    CameraFile file;
    std::string error;
    EXPECT_TRUE(ReadCameraFile(std::string(SOURCE_DIR) + "/data/cameras/kitti_like.txt", file, error)) << error;
    std::istringstream text(sceneText);
    scene::Scene s;
    EXPECT_TRUE(scene::ParseScene(text, name, file.camera, s, error)) << error;
    return s;
}

inline scene::Scene StaticCarThroughKittiLike() { return SceneThroughKittiLike(STATIC_CAR_SCENE, "static_car"); }

// ---- A fixture with a fresh folder under /tmp for each test, removed after it.
class ScratchFolderTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/obstacle-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // Writes `bytes` as the folder's file `name`; its path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::string dir;
};
