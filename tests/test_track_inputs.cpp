// obstacle-track's inputs: PNG and PFM disparities and grey pictures written here byte by byte with
// known values, the refusals read from their headers, inputs that are not regular files, and the
// frame range found from the files a pattern names.
#include <gtest/gtest.h>
#include <spng.h>
#include <zlib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Builders.h"
#include "FileFrames.h"
#include "ProgramRunner.h"
#include "RoadDisparityMap.h"
#include "Sanitizers.h"
#include "TrackSetup.h"

namespace {

namespace fs = std::filesystem;

constexpr int COLS = 6;
constexpr int ROWS = 4;
constexpr float INF = std::numeric_limits<float>::infinity();
constexpr float NAN_VALUE = std::numeric_limits<float>::quiet_NaN();

Camera SmallCamera() {
    Camera camera = DEFAULT_CAMERA;
    camera.width_pix = COLS;
    camera.height_pix = ROWS;
    return camera;
}

class TrackInputs : public ScratchFolderTest {
protected:
    // Loads a file as the disparity (or grey) picture of the small camera.
    bool Load(const std::string& path, bool grey, std::string& error, double scale = 0.0) {
        FramePatterns patterns{grey ? "" : path, grey ? path : "", {}, false};
        if (scale > 0.0) patterns.disparityScale = scale;
        frames = std::make_unique<FileFrames>(SmallCamera(), patterns);  // kept: a 16-bit picture stays its
        FrameNames names{};
        return grey ? frames->LoadGrey(names, 0, run.src_img_grayR, error) : frames->LoadDisparity(names, 0, run, error);
    }

    // A BMP file header declaring `width` x `height` (negative: top-down rows), its pixels a hole.
    std::string BmpHeader(uint32_t width, uint32_t height, uint32_t bits) const {
        std::string header(54, '\0');
        const uint32_t fields[][2] = {{0, 0x4D42}, {10, 54}, {14, 40}, {18, width}, {22, height}, {26, 1}, {28, bits}};
        for (const auto& f : fields) {
            const int bytes = f[0] == 0 || f[0] >= 26 ? 2 : 4;
            header.replace(f[0], bytes, Bytes({f[1]}, bytes, false));
        }
        return header;
    }

    double At(int u, int v) const { return run.measuredDisparity[static_cast<size_t>(v * COLS + u)]; }

    RunState run{SmallCamera()};
    std::unique_ptr<FileFrames> frames;
};


// A 16-bit grey PNG's values as the run reads them; empty, with the problem, where it is refused.
std::vector<uint16_t> ReadGrey16(const std::string& path, std::string& problem) {
    PictureReader file;
    std::vector<uint16_t> values;
    std::vector<unsigned char> scratch;
    if (!file.Open(path, problem)) return values;
    values.resize(static_cast<size_t>(file.Header().cols) * static_cast<size_t>(file.Header().rows));
    if (!file.ReadFixed16(values.data(), scratch, problem)) values.clear();
    return values;
}

// 16-bit grey samples encoded by libspng with one filter choice, at its default compression.
std::string EncodeGrey16(int cols, int rows, const std::vector<uint16_t>& samples, int filterChoice) {
    std::unique_ptr<spng_ctx, SpngContextFree> ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
    spng_set_option(ctx.get(), SPNG_FILTER_CHOICE, filterChoice);
    spng_ihdr ihdr{};
    ihdr.width = static_cast<uint32_t>(cols);
    ihdr.height = static_cast<uint32_t>(rows);
    ihdr.bit_depth = 16;
    ihdr.color_type = SPNG_COLOR_TYPE_GRAYSCALE;
    spng_set_ihdr(ctx.get(), &ihdr);
    if (spng_encode_image(ctx.get(), samples.data(), samples.size() * 2, SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) != 0) return "";
    size_t size = 0;
    int failure = 0;
    void* png = spng_get_png_buffer(ctx.get(), &size, &failure);
    const std::string bytes(static_cast<const char*>(png), failure == 0 ? size : 0);
    std::free(png);
    return bytes;
}

// The filter type of each row of a PNG (one sample of `sampleBytes` per pixel), found by
// inflating its data chunks with zlib.
std::vector<int> RowFilters(const std::string& png, int cols, int rows, int sampleBytes) {
    std::string data;
    for (size_t at = 8; at + 12 <= png.size();) {
        uint32_t length = 0;
        for (int i = 0; i < 4; ++i) length = length << 8 | static_cast<unsigned char>(png[at + i]);
        if (png.compare(at + 4, 4, "IDAT") == 0) data += png.substr(at + 8, length);
        at += 12 + length;
    }
    const size_t rowBytes = 1 + static_cast<size_t>(cols) * sampleBytes;
    std::vector<unsigned char> raw(rowBytes * rows);
    uLongf size = static_cast<uLongf>(raw.size());
    std::vector<int> filters;
    if (uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size())) != Z_OK) {
        return filters;
    }
    for (int v = 0; v < rows; ++v) filters.push_back(raw[v * rowBytes]);
    return filters;
}

}  // namespace

TEST_F(TrackInputs, PfmValuesInEitherByteOrderWithNoDisparityForTheRest) {
    std::vector<float> values;
    for (int i = 0; i < COLS * ROWS; ++i) values.push_back(0.25f + static_cast<float>(i) * 1.5f);
    values[1] = INF;
    values[2] = NAN_VALUE;
    values[3] = -3.0f;
    values[4] = 0.0f;
    for (const bool bigEndian : {false, true}) {
        std::string error;
        const std::string path = Write("d.pfm", Pfm(COLS, ROWS, values, bigEndian));
        ASSERT_TRUE(Load(path, false, error, bigEndian ? 2.0 : 0.0)) << error;
        EXPECT_TRUE(run.disparityValuesGiven);
        const double scale = bigEndian ? 2.0 : 1.0;
        for (int i = 0; i < COLS * ROWS; ++i) {
            const double expected = i >= 1 && i <= 4 ? 0.0 : values[static_cast<size_t>(i)] * scale;
            EXPECT_EQ(At(i % COLS, i / COLS), expected) << "pixel " << i << (bigEndian ? " big-endian" : " little-endian");
        }
    }
}

TEST_F(TrackInputs, PngDisparitiesInKittisConventionAndGreyPictures) {
    std::vector<uint32_t> samples;
    for (int i = 0; i < COLS * ROWS; ++i) samples.push_back(static_cast<uint32_t>(i * 2731));  // 0 up to 62813
    samples[5] = 65535;
    std::string error;
    const std::string png = Png(COLS, ROWS, 16, 0, samples);
    // The same picture with a 2 MiB comment and a short text between its header and its pixels:
    // ancillary chunks, which no reader needs, of any size.
    const size_t afterHeader = 8 + 12 + 13;
    std::string commented = png;
    commented.insert(afterHeader, Chunk("zTXt", std::string("Comment\0\0", 9) + std::string(size_t{2} << 20, 'x')) +
                                      Chunk("tEXt", std::string("Title\0road", 10)));
    for (const std::string& bytes : {png, commented}) {
        const std::string disparity = Write("d.png", bytes);
        for (const double scale : {0.0, 0.5}) {
            ASSERT_TRUE(Load(disparity, false, error, scale)) << error;
            // Handed over as it is, 16-bit values at their scale, which the stages read as value x scale.
            ASSERT_FALSE(run.disparityValuesGiven);
            Fixed16Disparities(run.geometry, run.fixed16Picture, run.fixed16Scale, run.measuredDisparity.data());
            for (int i = 0; i < COLS * ROWS; ++i) {
                EXPECT_EQ(At(i % COLS, i / COLS), samples[static_cast<size_t>(i)] * (scale > 0.0 ? scale : 1.0 / 256.0)) << i;
            }
        }
    }
    std::vector<uint32_t> grey(samples.size());
    for (size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<uint32_t>(i * 11);
    ASSERT_TRUE(Load(Write("g.png", Png(COLS, ROWS, 8, 0, grey)), true, error)) << error;
    ASSERT_EQ(run.src_img_grayR.cols, COLS);
    ASSERT_EQ(run.src_img_grayR.rows, ROWS);
    for (size_t i = 0; i < grey.size(); ++i) EXPECT_EQ(run.src_img_grayR.data[i], grey[i]) << i;
}

TEST_F(TrackInputs, SixteenBitPngsOfEveryRowFilterReadAsTheSamplesWritten) {
    // Random samples over the whole range, so that every byte's sum wraps somewhere and each of
    // Paeth's three choices is taken; an odd width leaves no pixel pairs to lean on.
    constexpr int cols = 37;
    constexpr int rows = 9;
    std::vector<uint16_t> samples(cols * rows);
    uint32_t state = 12345;
    for (uint16_t& s : samples) s = static_cast<uint16_t>((state = state * 1664525u + 1013904223u) >> 16);
    const struct {
        int choice;
        int filter;  // the type of every row, -1 for libspng's own choice per row
    } cases[] = {{SPNG_FILTER_CHOICE_NONE, 0}, {SPNG_FILTER_CHOICE_SUB, 1},   {SPNG_FILTER_CHOICE_UP, 2},
                 {SPNG_FILTER_CHOICE_AVG, 3},  {SPNG_FILTER_CHOICE_PAETH, 4}, {SPNG_FILTER_CHOICE_ALL, -1}};
    for (const auto& c : cases) {
        const std::string png = EncodeGrey16(cols, rows, samples, c.choice);
        const std::vector<int> filters = RowFilters(png, cols, rows, 2);
        ASSERT_EQ(filters.size(), size_t{rows}) << c.filter;
        for (int f : filters) EXPECT_EQ(f, c.filter < 0 ? f : c.filter);
        std::string problem;
        EXPECT_EQ(ReadGrey16(Write("f.png", png), problem), samples) << "filter " << c.filter << ": " << problem;
    }
}

TEST_F(TrackInputs, DamagedSixteenBitPngsAreRefusedAndHarmlessOddsAccepted) {
    const std::vector<uint32_t> samples = {0, 1, 255, 256, 65535, 4660, 22136, 39612, 57054, 8, 9, 10};
    constexpr int cols = 4;
    constexpr int rows = 3;
    constexpr size_t rowBytes = 1 + 2 * cols;
    const std::string header = PngHeader(cols, rows, 16, 0);
    const std::string raw = PngRows(cols, rows, 16, samples);
    const std::string zlib = StoredZlib(raw);
    const std::string end = Chunk("IEND", "");
    std::string crcBroken = header + Chunk("IDAT", zlib) + end;
    crcBroken[header.size() + 8 + 10] ^= 1;
    std::string filter5 = raw;
    filter5[2 * rowBytes] = 5;
    std::string adlerBroken = zlib;
    adlerBroken.back() ^= 1;
    const std::string cantRead = "PNG pixel data cannot be decoded (";
    const struct {
        std::string bytes;
        std::string problem;  // empty: accepted, the samples read back
    } cases[] = {
        {crcBroken, cantRead + "CRC of chunk IDAT does not match)"},
        {header + Chunk("IDAT", StoredZlib(raw.substr(0, 2 * rowBytes))) + end, cantRead + "picture data of 18 bytes, 27 expected)"},
        {header + Chunk("IDAT", StoredZlib(raw + std::string(2, '\0'))) + end,
         cantRead + "picture data of 28 bytes or more, 27 expected)"},
        {header + Chunk("IDAT", StoredZlib(filter5)) + end, cantRead + "row 2 of filter type 5, 0 to 4 known)"},
        {header + end, cantRead + "picture data cut short)"},
        {header + Chunk("PLTE", "abc") + Chunk("IDAT", zlib) + end, cantRead + "a critical chunk other than picture data)"},
        {header + Chunk("IDAT", zlib).substr(0, 20), cantRead + "file cut short)"},
        {header + "\xFF\xFF\xFF\xFFIDAT", cantRead + "chunk length 4294967295 beyond 2^31 - 1)"},
        {header + Chunk("IDAT", zlib.substr(0, 10)) + Chunk("tEXt", "a\0b") + Chunk("IDAT", zlib.substr(10)) + end, ""},
        // The chunk CRCs hold, only the stream's own check is wrong: the data decodes as it says.
        {header + Chunk("IDAT", adlerBroken) + end, ""},
    };
    const std::vector<uint16_t> expected(samples.begin(), samples.end());
    for (const auto& c : cases) {
        std::string problem;
        const std::vector<uint16_t> values = ReadGrey16(Write("d.png", c.bytes), problem);
        EXPECT_EQ(problem, c.problem);
        EXPECT_EQ(values, c.problem.empty() ? expected : std::vector<uint16_t>{}) << c.problem;
    }
}

TEST_F(TrackInputs, FramesDecodedForTheMountingCheckAreTheRunsOwnAndTakenOnce) {
    std::vector<uint32_t> first(COLS * ROWS);
    std::vector<uint32_t> second(COLS * ROWS);
    for (int i = 0; i < COLS * ROWS; ++i) {
        first[static_cast<size_t>(i)] = static_cast<uint32_t>(i * 2731);
        second[static_cast<size_t>(i)] = static_cast<uint32_t>(65535 - i * 7);
    }
    const std::string pattern = dir + "/dXXXXXX.png";
    Write("d000000.png", Png(COLS, ROWS, 16, 0, first));
    Write("d000001.png", Png(COLS, ROWS, 16, 0, second));
    const FramePatterns patterns{pattern, "", {}, false};
    DecodedFrames decoded;
    FileFrames check(SmallCamera(), patterns);
    check.KeepDecoded(&decoded);
    FrameNames names{};
    std::string error;
    ASSERT_TRUE(check.LoadDisparity(names, 0, run, error)) << error;
    ASSERT_TRUE(check.LoadDisparity(names, 1, run, error)) << error;
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_EQ(decoded[0], std::vector<uint16_t>(first.begin(), first.end()));
    EXPECT_EQ(decoded[1], std::vector<uint16_t>(second.begin(), second.end()));
    // The run reads the kept pictures, not the files, which are gone; each frame once.
    fs::remove(dir + "/d000000.png");
    fs::remove(dir + "/d000001.png");
    FileFrames source(SmallCamera(), patterns);
    source.Adopt(std::move(decoded));
    for (const auto* samples : {&first, &second}) {
        ASSERT_TRUE(source.Load(samples == &first ? 0 : 1, error)) << error;
        const obstacle::DisparityView view = source.Disparity();
        ASSERT_EQ(view.coding, obstacle::DisparityCoding::Fixed16);
        EXPECT_EQ(view.scale, PNG_DISPARITY_SCALE);
        const uint16_t* values = static_cast<const uint16_t*>(view.data);
        EXPECT_EQ(std::vector<uint16_t>(values, values + COLS * ROWS), std::vector<uint16_t>(samples->begin(), samples->end()));
    }
    EXPECT_FALSE(source.Load(0, error));
    const std::string named = "--disparity: " + dir + "/d000000.png: ";
    EXPECT_EQ(error.substr(0, named.size()), named);
}

TEST_F(TrackInputs, HeadersThatDoNotFitAreRefusedNamingFileAndReason) {
    const std::vector<float> values(COLS * ROWS, 5.0f);
    const std::vector<uint32_t> samples(COLS * ROWS, 1000);
    std::string png = Png(COLS, ROWS, 16, 0, samples);
    std::string comments;  // ancillary chunks beyond the 65,536 skipped
    for (int i = 0; i <= 65536; ++i) comments += Chunk("tEXt", std::string("A\0b", 3));
    const struct {
        std::string bytes;
        bool grey;
        std::string problem;
    } cases[] = {
        {Pfm(COLS, ROWS, values, false, "PF"), false, "colour PFM, grey (Pf) needed"},
        {"Pf\nabc 4\n-1\n", false, "PFM width 'abc' outside 1..16384"},
        {"Pf\n6 4\n0\n" + std::string(96, '\0'), false, "PFM scale '0' is not a number other than 0 (its sign gives the byte order)"},
        {"Pf 6 4 -1", false, "PFM header cut short or longer than 128 bytes"},
        {Pfm(COLS, ROWS, values, false).substr(0, 12 + 95), false, "PFM pixel data holds 95 bytes, 6 x 4 x 4 = 96 expected"},
        {"Pf\n16384 16384\n-1\n", false, "16384 x 16384 pixels, 6 x 4 needed"},
        {Png(COLS, ROWS, 8, 0, samples), false, "8-bit grey PNG, 16-bit grey needed"},
        {Png(COLS, ROWS, 16, 2, samples, 3), false, "16-bit RGB PNG, 16-bit grey needed"},
        {Png(COLS - 1, ROWS, 16, 0, samples), false, "5 x 4 pixels, 6 x 4 needed"},
        {Png(COLS, ROWS, 7, 0, samples), false, "not a readable PNG file ("},
        {png.substr(0, png.size() - 30), false, "PNG pixel data cannot be decoded ("},
        {std::string(png).insert(8 + 12 + 13, comments), false,
         "more than 65536 ancillary PNG chunks (text, profiles) are not read"},
        {png, true, "16-bit grey PNG, 8-bit grey BMP or PNG needed"},
        {Pfm(COLS, ROWS, values, false), true, "grey PFM, 8-bit grey BMP or PNG needed"},
        {BmpHeader(COLS, 0x80000000u, 24), false, "6 x 2147483647 pixels, 6 x 4 needed"},
        {"frame 1: no picture\n", false, "neither a BMP, a PNG nor a PFM file (by its first bytes)"},
    };
    for (const auto& c : cases) {
        const std::string path = Write("bad", c.bytes);
        std::string error;
        EXPECT_FALSE(Load(path, c.grey, error)) << c.problem;
        const std::string named = (c.grey ? "--grey: " : "--disparity: ") + path + ": " + c.problem;
        EXPECT_EQ(error.substr(0, named.size()), named);
    }
}

// A KITTI calibration takes the picture size from the first disparity picture: a size no camera
// can have is the picture's fault, and the message names the picture.
TEST_F(TrackInputs, APictureTooSmallForAKittiCameraIsNamed) {
    const std::string rest = " 0 707.09 183.1 0 0 0 1 0\n";
    TrackOptions o;
    o.cameraPath = Write("calib.txt", "P0: 707.09 0 7.5 0" + rest + "P1: 707.09 0 7.5 -379.7" + rest);
    o.disparityPattern = Write("d.png", Png(15, 16, 16, 0, std::vector<uint32_t>(15 * 16, 256)));
    o.first = 0;
    Camera camera;
    std::ostringstream warnings;
    std::string error;
    EXPECT_FALSE(ResolveCamera(o, camera, warnings, error));
    EXPECT_EQ(error, "--disparity: " + o.disparityPattern + ": width_pix 15 lies outside 16..8192 (the calibration " +
                         o.cameraPath + " takes the camera's picture size from this picture)");
}

// A disparity picture of another size than the calibration's is refused, naming both sizes: where
// the calibration states its size (a KITTI raw calibration), and where the principal point shows
// it (calib.txt's, half-size pictures). Implausible mounting values are warned of.
TEST_F(TrackInputs, ADisparityPictureOfAnotherSizeThanTheCalibrationIsRefused) {
    const std::string p0 = "721.5377 0 609.5593 0 0 721.5377 172.854 0 0 0 1 0\n";
    const std::string p1 = "721.5377 0 609.5593 -387.5744 0 721.5377 172.854 0 0 0 1 0\n";
    const std::string raw = Write("calib_cam_to_cam.txt", "S_rect_00: 1242 375\nP_rect_00: " + p0 + "P_rect_01: " + p1);
    const std::string odometry = Write("calib.txt", "P0: " + p0 + "P1: " + p1);
    const std::string half = Write("half.png", Png(621, 188, 16, 0, std::vector<uint32_t>(621 * 188, 256)));
    const std::string full = Write("full.png", Png(1242, 375, 16, 0, std::vector<uint32_t>(1242 * 375, 256)));
    const struct {
        std::string camera;
        std::string picture;
        std::string error;
    } cases[] = {
        {raw, half, "--disparity: " + half + ": 621 x 188 pixels, where the calibration " + raw + " is of 1242 x 375"},
        {odometry, half, "--disparity: " + half + ": 621 x 188 pixels, where the calibration " + odometry +
                             " puts the principal point at (609.6, 172.9), far off its middle: a calibration of "
                             "pictures of about 1219 x 346"},
        {raw, full, ""},
        {odometry, full, ""},
    };
    for (const auto& c : cases) {
        TrackOptions o;
        o.cameraPath = c.camera;
        o.disparityPattern = c.picture;
        o.first = 0;
        o.camHeight_m = 165.0;  // centimetres
        o.tanPitch = 0.01;
        Camera camera;
        std::ostringstream warnings;
        std::string error;
        EXPECT_EQ(ResolveCamera(o, camera, warnings, error), c.error.empty()) << error;
        EXPECT_EQ(error, c.error);
        if (!c.error.empty()) continue;
        EXPECT_EQ(camera.width_pix, 1242);
        EXPECT_NE(warnings.str().find("obstacle-track: warning: the camera height 165 m is no car's: millimetres? then 0.165 m; centimetres? then 1.65 m"),
                  std::string::npos)
            << warnings.str();
    }
}

TEST_F(TrackInputs, TheRangeCoversTheFramesThePatternFinds) {
    fs::create_directories(dir + "/gap");
    for (int frame : {3, 4, 5, 6, 7}) Write(FramePath("XXXXXX.png", frame), "");
    for (int frame : {3, 4, 6}) Write(FramePath("gap/XX_dXXX_XXX.pfm", frame), "");
    // Names the pattern does not make: other digits, other text, a different number in each run.
    for (const char* other : {"00008.png", "000009.png.tmp", "XXXXXX.png", "00001x.png", "gap/XX_d010_011.pfm"}) {
        Write(other, "");
    }
    const struct {
        std::string pattern;
        int first;  // -1: not given
        int last;
        bool mot;
        std::string result;  // "first..last" or the message after "--disparity: PATTERN: "
    } cases[] = {
        {"/XXXXXX.png", -1, -1, false, "3..7"},
        {"/XXXXXX.png", 5, -1, false, "5..7"},
        {"/XXXXXX.png", -1, 4, false, "3..4"},
        {"/XXXXXX.png", 8, -1, false, "no file matches it from --first 8 on"},
        {"/gap/XX_dXXX_XXX.pfm", -1, -1, false, "frame 5 is missing between 3 and 6: give --first and --last for frames without a gap"},
        {"/gap/XX_dXXX_XXX.pfm", -1, 4, false, "3..4"},
        {"/gap/XX_dXXX_XXX.pfm", 2, -1, false, "frame 2 is missing between 2 and 6: give --first and --last for frames without a gap"},
        {"/XXXXX.bmp", -1, -1, false, "no file matches it"},
        {"/XXXXX/d.bmp", -1, -1, false, "the frame number stands in a folder's name, so the frames cannot be looked up: give --first and --last"},
    };
    for (const auto& c : cases) {
        TrackOptions o;
        o.disparityPattern = dir + c.pattern;
        o.firstGiven = c.first >= 0;
        o.lastGiven = c.last >= 0;
        if (o.firstGiven) o.first = c.first;
        if (o.lastGiven) o.last = c.last;
        std::string error;
        const bool resolved = ResolveFrameRange(o, error);
        const std::string result = resolved ? std::to_string(o.first) + ".." + std::to_string(o.last) : error;
        const std::string expected = c.result.find("..") == 1 ? c.result : "--disparity: " + o.disparityPattern + ": " + c.result;
        EXPECT_EQ(result, expected) << c.pattern;
    }
    // A range from frame 0 goes with a MOT file, whose frames are numbered from 1 at the first.
    fs::create_directories(dir + "/zero");
    Write("zero/000000.png", "");
    TrackOptions o;
    o.disparityPattern = dir + "/zero/XXXXXX.png";
    o.motPath = "m.txt";
    std::string error;
    EXPECT_TRUE(ResolveFrameRange(o, error)) << error;
    EXPECT_EQ(o.first, 0);
}

TEST_F(TrackInputs, InputsThatAreNoRegularFilesAreRefusedAtOnce) {
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
    const struct {
        std::string arguments;
        std::string message;
    } cases[] = {
        {"--disparity " + dir + "/fifo", "--disparity: " + dir + "/fifo: is not a regular file (a FIFO)"},
        {"--grey /dev/zero", "--grey: /dev/zero: is not a regular file (a device)"},
        {"--disparity " + dir, "--disparity: " + dir + ": is not a regular file (a folder)"},
        {"--camera " + dir + "/fifo", "--camera: " + dir + "/fifo: is not a regular file (a FIFO)"},
    };
    for (const auto& c : cases) {
        // A reader that waited for the FIFO's writer would be stopped by the timeout, with status 124.
        const ProgramResult result =
            RunProgram(OBSTACLE_TRACK_EXE, c.arguments + " --first 1 --last 1 --quiet 2>&1", "timeout 60");
        EXPECT_EQ(result.status, 2) << c.arguments;
        EXPECT_NE(result.output.find("obstacle-track: " + c.message), std::string::npos) << result.output;
    }
}

TEST_F(TrackInputs, AResultPipeThatNobodyReadsIsRefusedAtOnceAndOneThatIsReadIsWritten) {
    const std::string fifo = dir + "/results.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const char* option : {"--json", "--mot"}) {
        // A writer that waited for a reader would be stopped by the timeout, with status 124.
        const ProgramResult result = RunProgram(
            OBSTACLE_TRACK_EXE, std::string(option) + " " + fifo + " --first 1 --last 1 --quiet 2>&1", "timeout 60");
        EXPECT_EQ(result.status, 2) << option;
        EXPECT_NE(result.output.find(std::string("obstacle-track: ") + option + ": " + fifo + ": is a named pipe that nobody reads"),
                  std::string::npos)
            << result.output;
    }
    // With a reader, the frame's line goes through the pipe.
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(RunProgram(OBSTACLE_TRACK_EXE, "--json " + fifo + " --first 1 --last 1 --quiet", "timeout 60").status, 0);
    char line[64] = {};
    EXPECT_GT(read(reader, line, sizeof line - 1), 0);
    EXPECT_EQ(std::string(line).rfind("{\"frame\": 1,", 0), 0u) << line;
    close(reader);
}

// The slow tier runs the same over ten times the range.
using TrackInputsSlow = TrackInputs;

// A pattern of 10 KB names over `lastFrame` frames, each name held twice over when all are formed
// before the run, under an address-space limit of `limit_kB` that leaves far less than that: the
// run checks the range without holding every frame's name, and names the missing frame 1.
void ExpectLongPatternChecked(const std::string& dir, int lastFrame, int limit_kB) {
    if (!std::string(EMULATOR).empty()) GTEST_SKIP() << "the emulator needs more address space than the limit leaves";
#if defined(UNDER_ADDRESS_SANITIZER)
    GTEST_SKIP() << "AddressSanitizer's shadow memory needs more address space than the limit leaves";
#endif
    const std::string pattern = dir + "/" + std::string(10000, 'a') + "XXXXX.bmp";
    const ProgramResult result = RunProgram(OBSTACLE_TRACK_EXE,
                                            "--disparity " + pattern + " --grey " + pattern + " --first 1 --last " +
                                                std::to_string(lastFrame) + " --json " + dir + "/long.jsonl --quiet 2>&1",
                                            "ulimit -v " + std::to_string(limit_kB) + ";");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.output.find("obstacle-track: --disparity: " + FramePath(pattern, 1) + ": cannot be opened"),
              std::string::npos)
        << result.output.substr(0, 200);
}

// 9,999 names of 10 KB for each of two patterns come to 200 MB; the limit leaves 100 MB.
TEST_F(TrackInputs, ALongPatternOverALongRangeIsCheckedWithoutHoldingEveryFramesName) {
    ExpectLongPatternChecked(dir, 9999, 100000);
}

// 99,999 names come to 2 GB; the limit leaves 1 GB.
TEST_F(TrackInputsSlow, ALongPatternOverTheWholeRangeIsCheckedWithoutHoldingEveryFramesName) {
    ExpectLongPatternChecked(dir, 99999, 1000000);
}

TEST_F(TrackInputs, AHugeDeclaredPictureIsRefusedBeforeItIsAllocated) {
    // 54 bytes of header declaring 16384 x 16384 x 32 bits, the rest of its gigabyte a hole.
    const std::string path = Write("sparse.bmp", BmpHeader(16384, 16384, 32));
    fs::resize_file(path, 54 + uint64_t{16384} * 16384 * 4);
    if (!std::string(EMULATOR).empty()) GTEST_SKIP() << "the emulator needs more address space than the limit leaves";
#if defined(UNDER_ADDRESS_SANITIZER)
    GTEST_SKIP() << "AddressSanitizer's shadow memory needs more address space than the limit leaves";
#endif
    // Reading the pixels would take 805 MB; the limit leaves far less, and the reason named is the depth.
    const ProgramResult result =
        RunProgram(OBSTACLE_TRACK_EXE, "--grey " + path + " --first 1 --last 1 --quiet 2>&1", "ulimit -v 400000;");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.output.find("--grey: " + path + ": 32 bits per pixel, 8 needed"), std::string::npos) << result.output;
}
