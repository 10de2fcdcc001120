// Stereo pairs in place of disparity pictures: the frame source's handling of a matcher's
// sixteenths (with a matcher whose answer is known), the refusals of pairs that do not fit, the
// matcher's levels for a camera, and OpenCV's matcher itself on the real street against the
// disparities KITTI's own SGBM run stored (skipped where OpenCV or the street is missing).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Builders.h"
#include "FileFrames.h"
#include "ProgramRunner.h"
#include "StereoMatcher.h"
#include "TrackOptions.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string STREET = std::string(KITTI_DIR) + "/residential";

constexpr int COLS = 4;
constexpr int ROWS = 2;

Camera SmallCamera() {
    Camera camera = DEFAULT_CAMERA;
    camera.width_pix = COLS;
    camera.height_pix = ROWS;
    return camera;
}

// An 8-bit grey PNG whose pixel u + v x cols holds `first` + u + v x cols.
std::string GreyRamp(int cols, int rows, uint32_t first) {
    std::vector<uint32_t> samples(static_cast<size_t>(cols * rows));
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = first + static_cast<uint32_t>(i);
    return Png(cols, rows, 8, 0, samples);
}

class StereoPairsTest : public ScratchFolderTest {
protected:
    RunState run{SmallCamera()};
};

// A matcher's sixteenths become the run's disparities (below 1: none) and KITTI's 16-bit PNG
// (sixteenths x 16); the matcher sees the left and the right picture's own pixels.
TEST_F(StereoPairsTest, SixteenthsBecomeTheRunsDisparitiesAndKittisPng) {
    const std::vector<int16_t> given = {-16, 0, 1, 16, 40, 3840, 255, -1};
    const std::vector<double> disparity = {0.0, 0.0, 0.0625, 1.0, 2.5, 240.0, 15.9375, 0.0};
    Write("l007.png", GreyRamp(COLS, ROWS, 10));
    Write("r007.png", GreyRamp(COLS, ROWS, 100));
    std::vector<unsigned char> seenLeft, seenRight;
    StereoPairs pairs;
    pairs.left = dir + "/lXXX.png";
    pairs.right = dir + "/rXXX.png";
    pairs.disparityOut = dir + "/dXXX.png";
    pairs.match = [&](const unsigned char* left, const unsigned char* right, int cols, int rows,
                      std::vector<int16_t>& sixteenths, std::string&) {
        seenLeft.assign(left, left + cols * rows);
        seenRight.assign(right, right + cols * rows);
        sixteenths = given;
        return true;
    };
    FileFrames frames(SmallCamera(), FramePatterns{}, pairs);
    FrameNames names{};
    std::string error;
    ASSERT_TRUE(frames.LoadDisparity(names, 7, run, error)) << error;
    EXPECT_EQ(seenLeft, (std::vector<unsigned char>{10, 11, 12, 13, 14, 15, 16, 17}));
    EXPECT_EQ(seenRight, (std::vector<unsigned char>{100, 101, 102, 103, 104, 105, 106, 107}));
    EXPECT_TRUE(run.disparityValuesGiven);
    std::vector<double> saved(given.size());
    PictureReader file;
    std::vector<unsigned char> scratch;
    ASSERT_TRUE(file.Open(dir + "/d007.png", error)) << error;
    EXPECT_EQ(PictureKind(file.Header()), "16-bit grey PNG");
    ASSERT_TRUE(file.ReadValues(PNG_DISPARITY_SCALE, saved.data(), scratch, error)) << error;
    for (size_t i = 0; i < given.size(); ++i) {
        EXPECT_EQ(run.measuredDisparity[i], disparity[i]) << "pixel " << i;
        EXPECT_EQ(saved[i], disparity[i]) << "pixel " << i << " of the saved PNG";
    }
}

// A pair whose pictures differ in size, or are not of the camera's, is refused naming both sizes.
TEST_F(StereoPairsTest, PairsThatDoNotFitAreRefusedNamingBothSizes) {
    struct Case {
        int leftCols, rightCols;
        std::vector<std::string> named;
    } cases[] = {
        {COLS, COLS - 1, {"--left " + dir + "/l000.png is 4 x 2 pixels, --right " + dir + "/r000.png 3 x 2"}},
        {COLS + 2, COLS + 2, {"--left: " + dir + "/l000.png: 6 x 2 pixels, 4 x 2 needed"}},
    };
    for (const Case& c : cases) {
        Write("l000.png", GreyRamp(c.leftCols, ROWS, 0));
        Write("r000.png", GreyRamp(c.rightCols, ROWS, 0));
        bool matched = false;
        StereoPairs pairs;
        pairs.left = dir + "/lXXX.png";
        pairs.right = dir + "/rXXX.png";
        pairs.match = [&](const unsigned char*, const unsigned char*, int, int, std::vector<int16_t>&, std::string&) {
            return matched = true;
        };
        FileFrames frames(SmallCamera(), FramePatterns{}, pairs);
        FrameNames names{};
        std::string error;
        EXPECT_FALSE(frames.LoadDisparity(names, 0, run, error));
        EXPECT_FALSE(matched);
        for (const std::string& text : c.named) EXPECT_NE(error.find(text), std::string::npos) << error;
    }
}

// The levels reach 3 m at the camera's f B, in steps of 16: KITTI's 379.8 / 3 = 126.6 -> 128 (the
// levels of its stored SGBM disparities), the default camera's 142.366 / 3 = 47.5 -> 48; at least
// one step, at most 240.
TEST(SgbmParameters, LevelsFollowTheCamera) {
    const struct {
        double bf_pix;
        int levels;
    } cases[] = {{379.8, 128}, {142.366, 48}, {48.0, 16}, {48.1, 32}, {10.0, 16}, {2000.0, 240}};
    for (const auto& c : cases) {
        Camera camera = DEFAULT_CAMERA;
        camera.bf_pix = c.bf_pix;
        EXPECT_EQ(RoadSgbmParameters(camera).levels, c.levels) << "f B " << c.bf_pix;
    }
}

// The options read and refused; a build without OpenCV refuses a pair that is otherwise right.
TEST(SgbmParameters, OptionsAreReadAndRefused) {
    const struct {
        std::vector<const char*> args;
        const char* refusal;  // nullptr: read
    } cases[] = {
        {{"--left", "l", "--right", "r", "--sgbm-levels", "112", "--sgbm-block", "7"}, nullptr},
        {{"--left", "l", "--right", "r", "--sgbm-levels", "100"}, "100 is not a multiple of 16 from 16 to 240"},
        {{"--left", "l", "--right", "r", "--sgbm-levels", "256"}, "256 is not a multiple of 16"},
        {{"--left", "l", "--right", "r", "--sgbm-block", "4"}, "4 is not an odd side from 1 to 21"},
        {{"--left", "l"}, "--left and --right go together"},
        {{"--left", "l", "--right", "r", "--disparity", "d"}, "give one"},
        {{"--disparity", "d", "--sgbm-levels", "64"}, "go with --left and --right"},
        {{"--left", "l", "--right", "r", "--disparity-out", "d.png"}, "no run of X"},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv = {"obstacle-track"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        TrackOptions options;
        std::string error;
        const bool read = ParseTrackOptions(static_cast<int>(argv.size()), argv.data(), options, error);
        const char* refusal = c.refusal != nullptr || StereoMatcherBuilt() ? c.refusal : "built without OpenCV";
        if (refusal != nullptr) {
            EXPECT_FALSE(read) << argv[1];
            EXPECT_NE(error.find(refusal), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(read) << error;
        EXPECT_EQ(options.sgbmLevels, 112);
        EXPECT_EQ(options.sgbmBlock_pix, 7);
    }
}

// An 8-bit grey PNG's pixels; false where it cannot be read.
bool ReadGrey(const std::string& path, int& cols, int& rows, std::vector<unsigned char>& pixels) {
    PictureReader file;
    std::string problem;
    qim::Image img;
    if (!file.Open(path, problem) || !file.ReadGreyPng(img, problem)) return false;
    cols = file.Header().cols;
    rows = file.Header().rows;
    pixels.assign(img.data, img.data + static_cast<size_t>(cols) * rows);
    img.release();
    return true;
}

// A 16-bit disparity PNG's disparities (value / 256, 0 none).
std::vector<double> ReadDisparities(const std::string& path) {
    PictureReader file;
    std::string problem;
    std::vector<unsigned char> scratch;
    if (!file.Open(path, problem)) return {};
    std::vector<double> values(static_cast<size_t>(file.Header().cols) * file.Header().rows);
    return file.ReadValues(PNG_DISPARITY_SCALE, values.data(), scratch, problem) ? values : std::vector<double>{};
}

// The share of the pixels where both have a disparity that lie within one level of each other,
// and the share of all pixels on which both agree that there is one or there is none.
struct Agreement {
    double withinOneLevel;
    double sameValidity;
};

Agreement Compare(const std::vector<double>& a, const std::vector<double>& b) {
    int both = 0, near = 0, same = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        same += (a[i] > 0.0) == (b[i] > 0.0) ? 1 : 0;
        if (a[i] > 0.0 && b[i] > 0.0) {
            ++both;
            near += std::fabs(a[i] - b[i]) <= 1.0 ? 1 : 0;
        }
    }
    return {both > 0 ? static_cast<double>(near) / both : 0.0, static_cast<double>(same) / a.size()};
}

bool StreetMissing(std::string& why) {
    if (!StereoMatcherBuilt()) why = STEREO_MATCHER_MISSING;
    else if (!fs::exists(STREET + "/image_1/000000.png")) why = "no KITTI recording at " KITTI_DIR;
    return !why.empty();
}

// OpenCV's matcher with the road defaults on a 384-column crop of the street's first pair: KITTI's
// stored SGBM disparities of the same pixels (made with the same parameters on the whole picture)
// lie within one level nearly everywhere. The crop's first 128 columns have no match in the crop
// and are left out.
TEST(StereoMatcherOnTheStreet, ACropOfTheFirstPairMatchesTheStoredDisparity) {
    std::string why;
    if (StreetMissing(why)) GTEST_SKIP() << why;
    constexpr int FIRST_COL = 400, CROP_COLS = 384;
    int cols = 0, rows = 0;
    std::vector<unsigned char> left, right;
    ASSERT_TRUE(ReadGrey(STREET + "/image_0/000000.png", cols, rows, left));
    ASSERT_TRUE(ReadGrey(STREET + "/image_1/000000.png", cols, rows, right));
    const std::vector<double> stored = ReadDisparities(STREET + "/disp_sgbm/000000.png");
    ASSERT_EQ(stored.size(), left.size());
    std::vector<unsigned char> leftCrop, rightCrop;
    for (int v = 0; v < rows; ++v) {
        const size_t start = static_cast<size_t>(v) * cols + FIRST_COL;
        leftCrop.insert(leftCrop.end(), left.begin() + start, left.begin() + start + CROP_COLS);
        rightCrop.insert(rightCrop.end(), right.begin() + start, right.begin() + start + CROP_COLS);
    }
    Camera kitti = DEFAULT_CAMERA;
    kitti.bf_pix = 379.8;
    const SgbmParameters parameters = RoadSgbmParameters(kitti);
    ASSERT_EQ(parameters.levels, 128);
    StereoMatcher matcher(parameters);
    std::vector<int16_t> sixteenths;
    std::string problem;
    ASSERT_TRUE(matcher.Match(leftCrop.data(), rightCrop.data(), CROP_COLS, rows, sixteenths, problem)) << problem;
    std::vector<double> ours, theirs;
    for (int v = 0; v < rows; ++v) {
        for (int c = parameters.levels; c < CROP_COLS; ++c) {
            const int16_t s = sixteenths[static_cast<size_t>(v) * CROP_COLS + c];
            ours.push_back(s > 0 ? s / 16.0 : 0.0);
            theirs.push_back(stored[static_cast<size_t>(v) * cols + FIRST_COL + c]);
        }
    }
    const Agreement a = Compare(ours, theirs);
    std::cout << "crop: " << 100.0 * a.withinOneLevel << " % within one level, " << 100.0 * a.sameValidity
              << " % agree on having a disparity\n";
    EXPECT_GT(a.withinOneLevel, 0.99);
    EXPECT_GT(a.sameValidity, 0.93);
}

}  // namespace

namespace {

std::vector<json> ReadJsonLines(const std::string& path) {
    std::vector<json> frames;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) frames.push_back(json::parse(line));
    return frames;
}

// The street's frames 0 to `last` through obstacle-track twice, on its stereo pairs and on its
// stored SGBM disparities: the disparities the pairs give (--disparity-out) are the stored ones,
// and so are, frame by frame, the confirmed tracks: each stored-run track has one of the pair run
// within 0.5 m sideways and 2 % in distance.
void ExpectPairsTrackAsTheStoredDisparity(int last) {
    std::string why;
    if (StreetMissing(why)) GTEST_SKIP() << why;
    const std::string dir = fs::temp_directory_path() / ("obstacle_stereo_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string common = " --camera " + STREET + "/calib.txt --camera-height 1.65 --pitch 0.02 --fps 10"
                               " --zone -4,4 --quiet --first 0 --last " + std::to_string(last) + " 2>/dev/null";
    const ProgramResult pairs = RunProgram(OBSTACLE_TRACK_EXE, "--left " + STREET + "/image_0/XXXXXX.png --right " +
                                                                   STREET + "/image_1/XXXXXX.png --disparity-out " +
                                                                   dir + "/dXXXXXX.png --json " + dir + "/pairs.jsonl" + common);
    const ProgramResult stored = RunProgram(OBSTACLE_TRACK_EXE, "--disparity " + STREET + "/disp_sgbm/XXXXXX.png --json " +
                                                                    dir + "/stored.jsonl" + common);
    ASSERT_EQ(pairs.status, 0);
    ASSERT_EQ(stored.status, 0);
    const std::vector<json> pairFrames = ReadJsonLines(dir + "/pairs.jsonl");
    const std::vector<json> storedFrames = ReadJsonLines(dir + "/stored.jsonl");
    ASSERT_EQ(pairFrames.size(), static_cast<size_t>(last + 1));
    ASSERT_EQ(storedFrames.size(), pairFrames.size());
    double withinOneLevel = 0.0, exact = 0.0;
    int tracks = 0, matched = 0;
    for (int k = 0; k <= last; ++k) {
        char name[16];
        std::snprintf(name, sizeof name, "%06d.png", k);
        const std::vector<double> ours = ReadDisparities(dir + "/d" + name);
        const std::vector<double> theirs = ReadDisparities(STREET + "/disp_sgbm/" + name);
        ASSERT_EQ(ours.size(), theirs.size()) << "frame " << k;
        withinOneLevel += Compare(ours, theirs).withinOneLevel / (last + 1);
        size_t same = 0;
        for (size_t i = 0; i < ours.size(); ++i) same += ours[i] == theirs[i] ? 1 : 0;
        exact += static_cast<double>(same) / ours.size() / (last + 1);
        for (const json& t : storedFrames[k]["tracks"]) {
            if (!t["confirmed"].get<bool>() || !t["z_m"].is_number()) continue;
            ++tracks;
            const double z = t["z_m"].get<double>(), x = t["x_m"].get<double>();
            const json& candidates = pairFrames[k]["tracks"];
            matched += std::any_of(candidates.begin(), candidates.end(), [&](const json& u) {
                return u["confirmed"].get<bool>() && u["z_m"].is_number() && std::fabs(u["x_m"].get<double>() - x) <= 0.5 &&
                       std::fabs(u["z_m"].get<double>() - z) <= 0.02 * z;
            }) ? 1 : 0;
        }
    }
    fs::remove_all(dir);
    std::cout << "frames 0 to " << last << ": disparities " << 100.0 * exact << " % the same, " << 100.0 * withinOneLevel
              << " % within one level; " << matched << " of " << tracks << " confirmed track-frames matched\n";
    EXPECT_GT(withinOneLevel, 0.99);
    ASSERT_GT(tracks, 0);
    EXPECT_GE(matched, 0.95 * tracks);
}

}  // namespace

TEST(StereoPairsOnTheStreet, TheFirstSevenPairsTrackAsTheStoredDisparity) { ExpectPairsTrackAsTheStoredDisparity(6); }

TEST(StereoPairsOnTheStreetSlow, TheWholeStreetTracksAsTheStoredDisparity) { ExpectPairsTrackAsTheStoredDisparity(50); }

// A --disparity-out pattern that names the pairs' own pictures is refused before anything is
// written, and the picture stays as it was.
TEST_F(StereoPairsTest, DisparityOutNamingAnInputIsRefused) {
    const std::string right = GreyRamp(COLS, ROWS, 0);
    Write("l000.png", right);
    Write("r000.png", right);
    const ProgramResult run =
        RunProgram(OBSTACLE_TRACK_EXE, "--left " + dir + "/lXXX.png --right " + dir + "/rXXX.png --disparity-out " + dir +
                                           "/rXXX.png --first 0 --last 0 --quiet 2>&1");
    EXPECT_EQ(run.status, 2);
    const std::string refusal = StereoMatcherBuilt() ? "--disparity-out " + dir + "/r000.png: is the same file as --right"
                                                     : "built without OpenCV";
    EXPECT_NE(run.output.find(refusal), std::string::npos) << run.output;
    std::ifstream in(dir + "/r000.png", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), right);
}
