// obstacle-track driven as a person would: on a short sequence of BMP files rendered from a road
// scene whose obstacles are known, with the JSON Lines, MOT and overlay outputs read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <spng.h>

#include "BmpWriter.h"
#include "Builders.h"
#include "CameraFile.h"
#include "ColorMap.h"
#include "EgoMotion.h"
#include "FrameOverlay.h"
#include "Imageread.h"
#include "ProgramRunner.h"
#include "Scene.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

constexpr int FIRST = 100;
constexpr int LAST = 104;
constexpr double CAR_START_M = 15.0;
constexpr double CAR_STEP_M = 0.3;  // the car ahead comes nearer by this much per frame
constexpr double PEDESTRIAN_M = 8.0;

scene::Box Car(int frame) { return {"car", -0.85, 0.85, CAR_START_M - CAR_STEP_M * (frame - FIRST), 1.5}; }
scene::Box Pedestrian() { return {"pedestrian", -1.45, -0.85, PEDESTRIAN_M, 1.7}; }

scene::Scene SceneOf(int frame) {
    scene::Scene s;
    s.seed = static_cast<uint64_t>(frame);
    s.noise_pix = 0.05;
    s.holes = 0.02;
    s.roadLeft_m = -7.0;
    s.roadRight_m = 7.0;
    s.boxes = {Car(frame), Pedestrian()};
    return s;
}

std::string Numbered(const std::string& prefix, int frame, const char* extension = ".bmp") {
    char number[16];  // room for any int, not just five digits
    std::snprintf(number, sizeof number, "%05d", frame);
    return prefix + number + extension;
}

void WriteBytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// A frame's disparities as a PFM of floats and a 16-bit PNG of value x 256, as a matcher would store them.
void WriteValuePictures(const std::vector<double>& disparity, int frame, const std::string& prefix) {
    std::vector<float> floats(disparity.begin(), disparity.end());
    std::vector<uint32_t> samples;
    for (double d : disparity) samples.push_back(static_cast<uint32_t>(d * 256.0 + 0.5));
    WriteBytes(Numbered(prefix, frame, ".pfm"), Pfm(TOTAL_U, TOTAL_V, floats, frame % 2 == 0));
    WriteBytes(Numbered(prefix, frame, ".png"), Png(TOTAL_U, TOTAL_V, 16, 0, samples));
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<json> JsonLines(const std::string& path) {
    std::vector<json> frames;
    for (const std::string& line : Lines(ReadText(path))) frames.push_back(json::parse(line));
    return frames;
}

// The detection nearest in distance to z that spans left..right within 0.15 m.
const json* FindDetection(const json& frame, double left, double right, double z) {
    for (const json& c : frame["detections"]) {
        if (std::fabs(c["z_m"].get<double>() - z) < 0.03 * z && std::fabs(c["lX_m"].get<double>() - left) < 0.15 &&
            std::fabs(c["rX_m"].get<double>() - right) < 0.15) {
            return &c;
        }
    }
    return nullptr;
}

// A PNG file decoded by libspng into red, green, blue rows, top row first; empty when it does not decode.
std::vector<unsigned char> DecodePng(const std::string& path, uint32_t& width, uint32_t& height) {
    const std::string bytes = ReadText(path);
    spng_ctx* ctx = spng_ctx_new(0);
    spng_ihdr header{};
    size_t size = 0;
    std::vector<unsigned char> rgb;
    if (spng_set_png_buffer(ctx, bytes.data(), bytes.size()) == 0 && spng_get_ihdr(ctx, &header) == 0 &&
        spng_decoded_image_size(ctx, SPNG_FMT_RGB8, &size) == 0) {
        rgb.resize(size);
        if (spng_decode_image(ctx, rgb.data(), size, SPNG_FMT_RGB8, 0) != 0) rgb.clear();
    }
    spng_ctx_free(ctx);
    width = header.width;
    height = header.height;
    return rgb;
}

// The box of a detection or MOT line, [left, top, width, height], stands where the scene put the box.
void ExpectPictureBox(int left, int top, int width, int height, const scene::Box& box) {
    const scene::BoxExtent extent = scene::Extent(DEFAULT_CAMERA, box);
    EXPECT_NEAR(left, extent.uLeft, SHIFT_PITCH * 2) << box.name;
    EXPECT_NEAR(left + width - 1, extent.uRight, SHIFT_PITCH * 2) << box.name;
    EXPECT_NEAR(top + height - 1, extent.vBottom, 8) << box.name;
    EXPECT_NEAR(top, extent.vTop, 12) << box.name;
}

void WriteDisparityPicture(const std::string& path, const scene::Scene& s) {
    const std::vector<unsigned char> bgra = scene::EncodeDisparity(DEFAULT_CAMERA, scene::RenderDisparity(s));
    ASSERT_TRUE(WriteBmp(path, bgra.data(), TOTAL_U, TOTAL_V, 32));
}

const json* FindTrack(const json& frame, double z) {
    for (const json& t : frame["tracks"]) {
        if (std::fabs(t["z_m"].get<double>() - z) < 0.05 * z) return &t;
    }
    return nullptr;
}

class ObstacleTrackProgram : public testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/obstacle-track-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        fs::create_directories(dir + "/seq");
        fs::create_directories(dir + "/seq24");
        for (int frame = FIRST; frame <= LAST; ++frame) {
            const scene::Scene s = SceneOf(frame);
            const std::vector<double> disparity = scene::RenderDisparity(s);
            WriteValuePictures(disparity, frame, dir + "/seq/disp_");
            const std::vector<unsigned char> bgra = scene::EncodeDisparity(DEFAULT_CAMERA, disparity);
            std::vector<unsigned char> bgr;
            for (size_t i = 0; i < bgra.size(); i += 4) bgr.insert(bgr.end(), {bgra[i], bgra[i + 1], bgra[i + 2]});
            ASSERT_TRUE(WriteBmp(Numbered(dir + "/seq/disp_", frame), bgra.data(), TOTAL_U, TOTAL_V, 32));
            ASSERT_TRUE(WriteBmp(Numbered(dir + "/seq24/disp_", frame), bgr.data(), TOTAL_U, TOTAL_V, 24));
            ASSERT_TRUE(WriteBmp(Numbered(dir + "/seq/grey_", frame), scene::RenderGrey(s).data(), scene::GREY_U,
                                 scene::GREY_V, 8));
        }
    }
    static void TearDownTestSuite() { fs::remove_all(dir); }

    // Runs obstacle-track with the sequence's disparity pattern and `arguments`; standard error
    // goes to dir/stderr.txt.
    static ProgramResult Track(const std::string& arguments, const std::string& disparity = "/seq/disp_XXXXX.bmp") {
        return RunProgram(OBSTACLE_TRACK_EXE, "--disparity " + dir + disparity + " " + arguments + " 2>" + dir +
                                                  "/stderr.txt");
    }
    static std::string Errors() { return ReadText(dir + "/stderr.txt"); }
    static std::string Range(int first, int last) {
        return "--first " + std::to_string(first) + " --last " + std::to_string(last);
    }

    static std::string dir;
};

std::string ObstacleTrackProgram::dir;

}  // namespace

TEST_F(ObstacleTrackProgram, JsonLinesCarryTheSceneObstacles) {
    const ProgramResult result = Track(Range(FIRST, LAST) + " --quiet --json " + dir + "/run.jsonl");
    ASSERT_EQ(result.status, 0) << Errors();
    EXPECT_EQ(result.output, "");
    // The scene's road is the flat road of the default camera's mounting: every frame's own profile
    // lies in the band around it.
    EXPECT_NE(Errors().find("5 frames processed, 2 trajectories (2 confirmed), road profile accepted in 5 of 5 "
                            "frames (5 own, 0 re-seeded, 0 kept)"),
              std::string::npos)
        << Errors();
    const std::vector<json> frames = JsonLines(dir + "/run.jsonl");
    ASSERT_EQ(frames.size(), 5u);

    int carId = 0;
    for (int i = 0; i < 5; ++i) {
        const json& f = frames[static_cast<size_t>(i)];
        const double carZ = Car(FIRST + i).z_m;
        EXPECT_EQ(f["frame"], FIRST + i);
        EXPECT_EQ(f["road"]["ground"].size(), 100u);
        EXPECT_EQ(f["road"]["profile"], "own");
        EXPECT_NE(FindDetection(f, -0.85, 0.85, carZ), nullptr) << f.dump();
        EXPECT_NE(FindDetection(f, -1.45, -0.85, PEDESTRIAN_M), nullptr) << f.dump();
        ASSERT_EQ(f["tracks"].size(), 2u) << f.dump();
        const json* car = FindTrack(f, carZ);
        ASSERT_NE(car, nullptr) << f.dump();
        if (i == 0) carId = (*car)["id"];
        // The car keeps its identifier and gains one update per frame.
        EXPECT_EQ((*car)["id"], carId);
        EXPECT_EQ((*car)["count"], i + 1);
        EXPECT_EQ((*car)["loss"], 0);
        // Each track points at the detection it took, at the track's own disparity.
        for (const json& t : f["tracks"]) {
            ASSERT_TRUE(t["det"].is_number()) << t.dump();
            const json& c = f["detections"][t["det"].get<size_t>()];
            EXPECT_NEAR(c["d_pix"].get<double>(), t["d_pix"].get<double>(), 1.0);
            EXPECT_DOUBLE_EQ(c["z_m"].get<double>(), BF_PIX / c["d_pix"].get<double>());
        }
    }
    // A new track starts its filters at its detection: distance, centre and width are the measured ones.
    for (const json& t : frames[0]["tracks"]) {
        const json& c = frames[0]["detections"][t["det"].get<size_t>()];
        const double lX = c["lX_m"], rX = c["rX_m"];
        EXPECT_EQ(t["z_m"].get<double>(), c["z_m"].get<double>());
        EXPECT_EQ(t["x_m"].get<double>(), (lX + rX) * 0.5);
        EXPECT_EQ(t["w_m"].get<double>(), rX - lX);
        EXPECT_EQ(t["vz_mps"].get<double>(), 0.0);
    }
    // The approaching car: its filtered distance falls and its rate of change turns negative.
    const json* last = FindTrack(frames[4], Car(LAST).z_m);
    ASSERT_NE(last, nullptr);
    EXPECT_LT((*last)["z_m"].get<double>(), CAR_START_M - 0.6);
    EXPECT_LT((*last)["vz_mps"].get<double>(), 0.0);
}

TEST_F(ObstacleTrackProgram, PngAndPfmDisparitiesOverTheFramesFoundFindTheSceneObstacles) {
    for (const char* pattern : {"/seq/disp_XXXXX.pfm", "/seq/disp_XXXXX.png"}) {
        // No --first or --last: the run takes the frames the pattern finds.
        const ProgramResult result = Track("--quiet --json " + dir + "/values.jsonl", pattern);
        ASSERT_EQ(result.status, 0) << pattern << ": " << Errors();
        const std::vector<json> frames = JsonLines(dir + "/values.jsonl");
        ASSERT_EQ(frames.size(), 5u) << pattern;
        for (int i = 0; i < 5; ++i) {
            const json& f = frames[static_cast<size_t>(i)];
            EXPECT_EQ(f["frame"], FIRST + i);
            EXPECT_NE(FindDetection(f, -0.85, 0.85, Car(FIRST + i).z_m), nullptr) << pattern << ": " << f.dump();
            EXPECT_NE(FindDetection(f, -1.45, -0.85, PEDESTRIAN_M), nullptr) << pattern << ": " << f.dump();
            EXPECT_EQ(f["tracks"].size(), 2u) << pattern << ": " << f.dump();
        }
    }
    // Colour-coded pictures carry no scale.
    EXPECT_EQ(Track(Range(FIRST, FIRST) + " --disparity-scale 2").status, 2);
    EXPECT_NE(Errors().find("--disparity: " + dir + "/seq/disp_00100.bmp: a colour-coded BMP, which --disparity-scale"),
              std::string::npos)
        << Errors();
}

TEST_F(ObstacleTrackProgram, TheCameraARunWritesRepeatsIt) {
    // The default rig's calibration, stated as a user would; the mounting is left out.
    WriteBytes(dir + "/rig.txt", "f_pix = 949.1\nbaseline_m = 0.15\nbf_pix = 142.366\nu0_pix = 232\nv0_pix = 180\n"
                                 "width_pix = 560\nheight_pix = 360\n");
    const std::string first = Range(FIRST, 102) + " --quiet --camera " + dir + "/rig.txt --camera-height 1.32 --zone=-3,2.5 ";
    ASSERT_EQ(Track(first + "--camera-out " + dir + "/run.cam --json " + dir + "/first.jsonl").status, 0) << Errors();
    // The pitch came from the frames' own road, the scene's 0.075 within 2 rows; the frame rate from
    // the default camera; the run says so. The height was given, and the road agrees with it.
    EXPECT_NE(Errors().find("rig.txt gives no pitch: the road of frames 100 to 102 puts it at "), std::string::npos)
        << Errors();
    EXPECT_NE(Errors().find("rig.txt gives no frame rate"), std::string::npos) << Errors();
    EXPECT_EQ(Errors().find("gives no camera height"), std::string::npos) << Errors();
    EXPECT_EQ(Errors().find("warning"), std::string::npos) << Errors();

    CameraFile written;
    std::string error;
    ASSERT_TRUE(ReadCameraFile(dir + "/run.cam", written, error)) << error;
    const Camera& c = written.camera;
    EXPECT_EQ(c.f_pix, 949.1);
    EXPECT_EQ(c.bf_pix, 142.366);
    EXPECT_EQ(c.u0_pix, 232.0);
    EXPECT_EQ(c.width_pix, 560);
    EXPECT_EQ(c.camHeight_m, 1.32);
    EXPECT_NEAR(c.tanPitch, 0.075, 2.0 / 949.1);
    EXPECT_EQ(c.frameInterval_s, DELTA_T);
    EXPECT_EQ(c.zoneL_m, -3.0);
    EXPECT_EQ(c.zoneR_m, 2.5);

    // The written camera alone repeats the run, without a warning.
    ASSERT_EQ(Track(Range(FIRST, 102) + " --quiet --camera " + dir + "/run.cam --json " + dir + "/again.jsonl").status, 0)
        << Errors();
    EXPECT_EQ(Errors().find("gives no"), std::string::npos) << Errors();
    EXPECT_EQ(ReadText(dir + "/again.jsonl"), ReadText(dir + "/first.jsonl"));
    // The camera is never written over an input of the run.
    const std::string frame = Numbered(dir + "/seq/disp_", 101);
    const std::string before = ReadText(frame);
    EXPECT_EQ(Track(Range(FIRST, 102) + " --quiet --camera-out " + frame).status, 2);
    EXPECT_NE(Errors().find("--camera-out " + frame + ": is the same file as --disparity " + frame), std::string::npos)
        << Errors();
    EXPECT_EQ(ReadText(frame), before);
    // A KITTI calibration takes its picture size from the disparity pictures.
    WriteBytes(dir + "/calib.txt", "P0: 949.1 0 232 0 0 949.1 180 0 0 0 1 0\nP1: 949.1 0 232 -142.365 0 949.1 180 0 0 0 1 0\n");
    ASSERT_EQ(Track(Range(FIRST, FIRST) + " --quiet --camera " + dir + "/calib.txt --camera-out " + dir + "/kitti.cam").status, 0)
        << Errors();
    ASSERT_TRUE(ReadCameraFile(dir + "/kitti.cam", written, error)) << error;
    EXPECT_EQ(written.camera.width_pix, TOTAL_U);
    EXPECT_EQ(written.camera.height_pix, TOTAL_V);
    EXPECT_NE(Errors().find("calib.txt gives no camera height: the road of frames 100 to 100 puts it "), std::string::npos)
        << Errors();
    EXPECT_NEAR(written.camera.camHeight_m, 1.32, 0.05);
    EXPECT_NEAR(written.camera.tanPitch, 0.075, 2.0 / 949.1);
    // Without disparity pictures to read, the default camera's mounting is taken.
    ASSERT_EQ(RunProgram(OBSTACLE_TRACK_EXE, "--quiet --first 410 --last 410 --camera " + dir + "/rig.txt 2>" + dir +
                                                 "/stderr.txt")
                  .status,
              0)
        << Errors();
    EXPECT_NE(Errors().find("rig.txt gives no camera height: the default camera's 1.32 m is taken"), std::string::npos)
        << Errors();
    // A given height the road disagrees with is kept, and the run warns with the road's own.
    ASSERT_EQ(Track(Range(FIRST, 102) + " --quiet --camera " + dir + "/run.cam --camera-height 2").status, 0) << Errors();
    EXPECT_NE(Errors().find("obstacle-track: warning: the road of frames 100 to 102 puts the camera 1.3"),
              std::string::npos)
        << Errors();
    EXPECT_NE(Errors().find("where the run takes 2.00 m and 0.07"), std::string::npos) << Errors();
}

TEST_F(ObstacleTrackProgram, TwentyFourBitPicturesGiveTheSameFindings) {
    ASSERT_EQ(Track(Range(FIRST, 102) + " --quiet --grid --json " + dir + "/bits32.jsonl").status, 0) << Errors();
    ASSERT_EQ(Track(Range(FIRST, 102) + " --quiet --grid --json " + dir + "/bits24.jsonl", "/seq24/disp_XXXXX.bmp").status,
              0)
        << Errors();
    const std::string bits32 = ReadText(dir + "/bits32.jsonl");
    EXPECT_EQ(Lines(bits32).size(), 3u);
    EXPECT_EQ(ReadText(dir + "/bits24.jsonl"), bits32);
    // --grid lists occupied cells as [uBl, d, aveD, count].
    const json f = json::parse(Lines(bits32)[0]);
    ASSERT_FALSE(f["grid"].empty());
    for (const json& cell : f["grid"]) {
        ASSERT_EQ(cell.size(), 4u);
        EXPECT_GE(cell[0].get<int>(), 0);
        EXPECT_LT(cell[0].get<int>(), totalBlkNumU);
        EXPECT_GE(cell[3].get<int>(), 1);
    }
}

TEST_F(ObstacleTrackProgram, FirstAndLastSelectTheFramesAndProgressGivesWayToJson) {
    ProgramResult result = Track(Range(101, 102) + " --json " + dir + "/range.jsonl");
    ASSERT_EQ(result.status, 0) << Errors();
    EXPECT_EQ(result.output, "Frame=101\nFrame=102\n");
    std::vector<json> frames = JsonLines(dir + "/range.jsonl");
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0]["frame"], 101);
    EXPECT_EQ(frames[1]["frame"], 102);

    // With the JSON on standard output the progress lines move to standard error.
    result = Track(Range(103, 103) + " --json -");
    ASSERT_EQ(result.status, 0) << Errors();
    ASSERT_EQ(Lines(result.output).size(), 1u);
    EXPECT_EQ(json::parse(result.output)["frame"], 103);
    EXPECT_EQ(Errors().rfind("Frame=103\nobstacle-track: 1 frames processed", 0), 0u) << Errors();

    result = Track(Range(103, 103) + " --json - --quiet");
    EXPECT_EQ(Errors().find("Frame="), std::string::npos);
}

TEST_F(ObstacleTrackProgram, BadArgumentsAreNamedWithStatusTwo) {
    const struct {
        const char* arguments;
        const char* named;
    } cases[] = {
        {"--bogus", "'--bogus': unknown option"},
        {"--first 4x0", "--first: '4x0' is not a frame number"},
        {"--first 104 --last 103", "--last: 103 is before --first 104"},
        {"--json", "--json: needs a value"},
        // A camera whose flat road crosses the horizon at level 99 (h tan = 1.438 = f B / 99).
        {"--camera-height 100 --pitch 0.01438", "the camera: the flat road's row at disparity 9"},
        {"--fps 1e-310", "--fps: '1e-310' frames per second are frames 1 / 1e-310 s apart, beyond any number of seconds"},
        {"--poses poses.txt --ego-speed 10", "--poses gives the car's motion per frame"},
        {"--yaw-rate 0.1", "--yaw-rate needs --ego-speed"},
        {"--ego-speed fast", "--ego-speed: 'fast' is not a number"},
    };
    for (const auto& c : cases) {
        const ProgramResult result = Track(c.arguments);
        EXPECT_EQ(result.status, 2) << c.arguments;
        EXPECT_EQ(result.output, "") << c.arguments;
        EXPECT_EQ(Errors().rfind(std::string("obstacle-track: ") + c.named, 0), 0u) << c.arguments << ": " << Errors();
    }
    const ProgramResult unwritable = Track(Range(FIRST, FIRST) + " --json " + dir + "/no/such/folder/out.jsonl");
    EXPECT_EQ(unwritable.status, 2);
    EXPECT_NE(Errors().find("--json: " + dir + "/no/such/folder/out.jsonl: cannot be created"), std::string::npos);
}

TEST_F(ObstacleTrackProgram, ABadFileStopsTheRunAfterCompleteEarlierFrames) {
    fs::create_directories(dir + "/broken");
    for (int frame = FIRST; frame <= 102; ++frame) {
        fs::copy_file(Numbered(dir + "/seq/disp_", frame), Numbered(dir + "/broken/disp_", frame));
    }
    fs::resize_file(Numbered(dir + "/broken/disp_", 102), 1000);  // pixel data ends early
    fs::copy_file(Numbered(dir + "/seq/grey_", FIRST), Numbered(dir + "/broken/disp_", 103));  // a grey picture

    const struct {
        int first;
        int last;
        const char* disparity;
        const char* overlay;
        size_t framesBefore;
        std::string named;
    } cases[] = {
        {FIRST, 105, "/seq/disp_XXXXX.bmp", "/ov-missing", 5, "--disparity: " + dir + "/seq/disp_00105.bmp: cannot be opened"},
        {FIRST, 102, "/broken/disp_XXXXX.bmp", "/ov-short", 2, "--disparity: " + dir + "/broken/disp_00102.bmp: pixel data ends early"},
        {103, 103, "/broken/disp_XXXXX.bmp", "/ov-grey", 0, "--disparity: " + dir + "/broken/disp_00103.bmp: 8 bits per pixel"},
    };
    for (const auto& c : cases) {
        const std::string jsonPath = dir + c.overlay + ".jsonl";
        const ProgramResult result =
            Track(Range(c.first, c.last) + " --quiet --json " + jsonPath + " --overlay " + dir + c.overlay, c.disparity);
        EXPECT_EQ(result.status, 2) << c.named;
        EXPECT_NE(Errors().find("obstacle-track: " + c.named), std::string::npos) << Errors();
        // Every frame before the bad one is complete: its JSON line and both of its pictures.
        const std::vector<json> frames = JsonLines(jsonPath);
        ASSERT_EQ(frames.size(), c.framesBefore) << c.named;
        for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i]["frame"], c.first + static_cast<int>(i));
        // Nothing is created before the first frame's pictures have been read.
        EXPECT_EQ(fs::exists(jsonPath), c.framesBefore > 0) << c.named;
        ASSERT_EQ(fs::exists(dir + c.overlay), c.framesBefore > 0) << c.named;
        if (c.framesBefore == 0) continue;
        size_t pictures = 0;
        for (const auto& entry : fs::directory_iterator(dir + c.overlay)) {
            EXPECT_EQ(entry.path().extension(), ".bmp") << entry.path();
            ++pictures;
        }
        EXPECT_EQ(pictures, 2 * c.framesBefore) << c.named;
    }
}

TEST_F(ObstacleTrackProgram, OverlaysShowTheTracksInTheirColoursWhereTheTracksAre) {
    const std::string out = dir + "/overlays";
    const ProgramResult result = Track(Range(FIRST, 102) + " --quiet --grey " + dir + "/seq/grey_XXXXX.bmp --overlay " +
                                       out + " --tentative --mot " + dir + "/run.mot --kitti-tracking " + dir + "/run.kitti");
    ASSERT_EQ(result.status, 0) << Errors();

    qim::Image overlay, topview;
    ASSERT_TRUE(bmp_reader((out + "/overlay_00102.bmp").c_str(), overlay));
    ASSERT_TRUE(bmp_reader((out + "/topview_00102.bmp").c_str(), topview));
    EXPECT_EQ(overlay.cols, scene::GREY_U);
    EXPECT_EQ(overlay.rows, scene::GREY_V);
    EXPECT_EQ(topview.cols, scene::TOPVIEW_U);
    EXPECT_EQ(topview.rows, scene::TOPVIEW_V);
    const auto colourAt = [](const qim::Image& img, int u, int v) {
        const uchar* p = img.ptr(v) + 3 * u;
        return ColorSet{p[2], p[1], p[0]};
    };

    // KITTI's tracking labels (frames from 0) and the MOT lines (frames from 1), tentative tracks
    // included: two tracks per frame, confirmed at the third, in the same order in both files.
    const std::vector<std::string> lines = Lines(ReadText(dir + "/run.kitti"));
    const std::vector<std::string> motLines = Lines(ReadText(dir + "/run.mot"));
    ASSERT_EQ(lines.size(), 6u);
    ASSERT_EQ(motLines.size(), 6u);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        std::istringstream fields(line);
        int kittiFrame, id, truncated, occluded, left, top, right, bottom, conf;
        double alpha, h, w, l, x, y, z, rotation;
        std::string type;
        fields >> kittiFrame >> id >> type >> truncated >> occluded >> alpha >> left >> top >> right >> bottom >> h >>
            w >> l >> x >> y >> z >> rotation >> conf;
        ASSERT_TRUE(fields && fields.peek() == EOF) << line;
        const int frame = FIRST + kittiFrame;
        const int width = right - left + 1, height = bottom - top + 1;
        EXPECT_EQ(motLines[i], std::to_string(kittiFrame + 1) + "," + std::to_string(id) + "," + std::to_string(left) +
                                   "," + std::to_string(top) + "," + std::to_string(width) + "," +
                                   std::to_string(height) + "," + std::to_string(conf) + ",-1,-1,-1");
        EXPECT_GE(id, 1);
        EXPECT_EQ(type, "Car");
        EXPECT_EQ(conf, frame == 102 ? 1 : 0) << line;
        // The box stands where the scene put the obstacle.
        const scene::Box box = std::fabs(z - PEDESTRIAN_M) < 1.0 ? Pedestrian() : Car(frame);
        ExpectPictureBox(left, top, width, height, box);
        EXPECT_NEAR(z, box.z_m, 0.05 * box.z_m) << line;
        EXPECT_NEAR(x, (box.left_m + box.right_m) / 2.0, 0.2) << line;
        EXPECT_NEAR(h, box.height_m, 0.15 * box.height_m) << line;
        EXPECT_NEAR(w, box.right_m - box.left_m, 0.3) << line;
        if (frame != 102) continue;

        // In the overlay the box's left side, moved into the grey picture, has the identifier's colour.
        ColorSet expected{0, 0, 0};
        SetColorMapId(&expected, id);
        const ColorSet side = colourAt(overlay, left + DISPARITY_OFS_U, top + height / 2 + DISPARITY_OFS_V);
        EXPECT_EQ(side.red, expected.red) << line;
        EXPECT_EQ(side.green, expected.green) << line;
        EXPECT_EQ(side.blue, expected.blue) << line;
        // In the top view the track's mark lies at its lateral position and distance.
        const int u = scene::TOPVIEW_CENTRE_U + static_cast<int>(std::floor(x / scene::TOPVIEW_M_PER_PIX));
        const int v = scene::TOPVIEW_V - 1 - static_cast<int>(std::floor(z / scene::TOPVIEW_M_PER_PIX));
        const ColorSet mark = colourAt(topview, u, v);
        EXPECT_EQ(mark.red, expected.red) << line;
        EXPECT_EQ(mark.green, expected.green) << line;
        EXPECT_EQ(mark.blue, expected.blue) << line;
    }
    overlay.release();
    topview.release();

    // Without grey pictures the overlay is drawn over the disparity picture.
    ASSERT_EQ(Track(Range(FIRST, FIRST) + " --quiet --overlay " + out).status, 0) << Errors();
    qim::Image plain;
    ASSERT_TRUE(bmp_reader((out + "/overlay_00100.bmp").c_str(), plain));
    EXPECT_EQ(plain.cols, TOTAL_U);
    EXPECT_EQ(plain.rows, TOTAL_V);
    plain.release();
}

TEST(ObstacleTrackHelp, HelpAndVersionNameTheProgram) {
    ProgramResult result = RunProgram(OBSTACLE_TRACK_EXE, "--help");
    EXPECT_EQ(result.status, 0);
    for (const char* option : {"--disparity", "--grey", "--first", "--last", "--json", "--mot", "--overlay", "--grid",
                               "--quiet", "--version", "--camera", "--camera-height", "--pitch", "--fps", "--zone",
                               "--disparity-scale", "--camera-out", "--kitti-tracking", "--tentative", "--times"}) {
        EXPECT_NE(result.output.find(option), std::string::npos) << option;
    }
    result = RunProgram(OBSTACLE_TRACK_EXE, "--version");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output.rfind("obstacle-track ", 0), 0u);
}

// The pool hands a freed identifier to the next new track; the trajectory number tells the two
// apart, in the JSON beside the identifier and in the MOT file in its place.
TEST_F(ObstacleTrackProgram, ANewTrajectoryUnderAReusedIdentifierGetsANewNumber) {
    // The car for four frames, the empty road for ten (the grid lets the car go, its track coasts
    // and is deleted), then the car again.
    scene::Scene car = SceneOf(FIRST);
    car.boxes = {Car(FIRST)};
    scene::Scene road = car;
    road.boxes.clear();
    fs::create_directories(dir + "/gap");
    for (int frame = 1; frame <= 18; ++frame) WriteDisparityPicture(Numbered(dir + "/gap/d_", frame), frame <= 4 || frame >= 15 ? car : road);
    ASSERT_EQ(Track("--first 1 --last 18 --quiet --json " + dir + "/gap.jsonl --mot " + dir + "/gap.mot", "/gap/d_XXXXX.bmp").status, 0);
    EXPECT_NE(Errors().find("18 frames processed, 2 trajectories"), std::string::npos) << Errors();

    const std::vector<json> frames = JsonLines(dir + "/gap.jsonl");
    ASSERT_EQ(frames.size(), 18u);
    int deleted = 0;  // the first frame without a track, between the car's two appearances
    for (int frame = 1; frame <= 18; ++frame) {
        const json& tracks = frames[static_cast<size_t>(frame - 1)]["tracks"];
        if (tracks.empty() && deleted == 0) deleted = frame;
        ASSERT_EQ(tracks.size(), frame >= deleted && frame < 15 && deleted > 0 ? 0u : 1u) << frame;
        if (tracks.empty()) continue;
        EXPECT_EQ(tracks[0]["id"], 1);
        EXPECT_EQ(tracks[0]["track"], deleted == 0 ? 1 : 2) << frame;
    }
    for (const std::string& line : Lines(ReadText(dir + "/gap.mot"))) {
        EXPECT_EQ(std::atoi(line.c_str() + line.find(',') + 1), std::atoi(line.c_str()) < deleted ? 1 : 2) << line;
    }
    const json& car1 = frames[0]["detections"][0];
    ExpectPictureBox(car1["bb_left"], car1["bb_top"], car1["bb_width"], car1["bb_height"], Car(FIRST));
}

TEST_F(ObstacleTrackProgram, OutputsThatWouldOverwriteAnInputOrEachOtherAreRefused) {
    const std::string same = dir + "/same", victim = same + "/victim.bmp", held = same + "/ov/overlay_00100.bmp";
    fs::create_directories(same + "/ov");
    fs::copy_file(Numbered(dir + "/seq/disp_", FIRST), victim);
    fs::copy_file(victim, held);  // an input in the overlay folder
    fs::create_symlink("victim.bmp", same + "/link.bmp");
    fs::create_hard_link(victim, same + "/hard.bmp");
    const std::string recording = ReadText(victim), fresh = same + "/new.jsonl", poses = same + "/poses.txt";
    std::ofstream(poses) << [] {
        std::string lines;
        for (int k = 0; k <= FIRST; ++k) lines += "1 0 0 0 0 1 0 0 0 0 1 0\n";
        return lines;
    }();
    const struct {
        std::string arguments;
        std::string named;
    } cases[] = {
        {"--json " + victim, "--json " + victim + ": is the same file as --disparity " + victim},
        {"--mot " + same + "/link.bmp", "--mot " + same + "/link.bmp: is the same file as --disparity " + victim},
        {"--json " + same + "/hard.bmp", "--json " + same + "/hard.bmp: is the same file as --disparity " + victim},
        {"--json " + fresh + " --mot " + same + "/../same/new.jsonl", "--mot " + same + "/../same/new.jsonl: is the same file as --json " + fresh},
        {"--json " + fresh + " >>" + fresh, "standard output: is the same file as --json " + fresh},
        {"--kitti-tracking " + same + "/hard.bmp", "--kitti-tracking " + same + "/hard.bmp: is the same file as --disparity " + victim},
        {"--mot " + fresh + " --kitti-tracking " + fresh, "--kitti-tracking " + fresh + ": is the same file as --mot " + fresh},
        {"--poses " + poses + " --mot " + poses, "--mot " + poses + ": is the same file as --poses " + poses},
        {"--overlay " + same + "/ov --disparity " + same + "/ov/overlay_XXXXX.bmp", "--overlay " + same + "/ov: holds the input --disparity " + held},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Track(Range(FIRST, FIRST) + " " + c.arguments, "/same/victim.bmp").status, 2) << c.arguments;
        EXPECT_EQ(Errors(), "obstacle-track: " + c.named + "\n");
        EXPECT_TRUE(ReadText(victim) == recording && ReadText(held) == recording) << c.arguments;
        EXPECT_TRUE(!fs::exists(fresh) || fs::is_empty(fresh)) << c.arguments;
    }
}

TEST_F(ObstacleTrackProgram, PngOverlaysHoldTheBmpPicturesAndTheTopViewItsScale) {
    for (const char* format : {"bmp", "png"}) {
        ASSERT_EQ(Track(Range(FIRST, 101) + " --quiet --grey " + dir + "/seq/grey_XXXXX.bmp --overlay " + dir + "/pictures." +
                        format + " --overlay-format " + format).status, 0) << Errors();
    }
    std::vector<unsigned char> rgb;
    for (const char* name : {"/overlay_00101", "/topview_00101"}) {
        qim::Image bmp;
        ASSERT_TRUE(bmp_reader((dir + "/pictures.bmp" + name + ".bmp").c_str(), bmp)) << name;
        uint32_t width = 0, height = 0;
        rgb = DecodePng(dir + "/pictures.png" + name + ".png", width, height);
        ASSERT_EQ(rgb.size(), static_cast<size_t>(bmp.cols) * bmp.rows * 3) << name;
        EXPECT_EQ(width, static_cast<uint32_t>(bmp.cols));
        size_t differ = 0;
        for (size_t i = 0; i < rgb.size(); ++i) differ += rgb[i] != bmp.ptr(0)[i / 3 * 3 + 2 - i % 3];  // RGB and BGR
        EXPECT_EQ(differ, 0u) << name;
        bmp.release();
    }
    // 0.125 m per pixel, distance 0 on the bottom row and lateral 0 on column 100: a white mark
    // every 10 m at the left edge with its number beside it, nothing half-way, and the detection
    // zone's edges at -1.5 m and 1.5 m (columns 88 and 112) white from top to bottom.
    const auto white = [&](int u0, int u1, int v0, int v1) {
        int count = 0;
        for (int v = v0; v <= v1; ++v) {
            const unsigned char* p = &rgb[(static_cast<size_t>(v) * scene::TOPVIEW_U + u0) * 3];
            for (int u = u0; u <= u1; ++u, p += 3) count += p[0] == 255 && p[1] == 255 && p[2] == 255;
        }
        return count;
    };
    for (int row = scene::TOPVIEW_V - 1 - 80; row >= 0; row -= 80) {
        EXPECT_EQ(white(0, 5, row, row), 6) << row;
        EXPECT_GT(white(7, 30, row - 6, row + 6), 10) << row;
        EXPECT_EQ(white(0, 30, row + 34, row + 46), 0) << row;
    }
    for (int row : {10, 200, 470}) EXPECT_EQ(white(88, 88, row, row) + white(112, 112, row, row), 2) << row;
}

// The top view's zone edges follow the car's path as the zone does. On a circle of 60 m radius
// (12 m/s at 0.2 rad/s to the right) the path lies 60 - sqrt(60^2 - 20^2) = 3.4315 m to the right
// at 20 m, so there the edges at -1.5 m and 1.5 m are drawn at 1.9315 m and 4.9315 m: columns
// 100 + 15.45 and 100 + 39.45 at 0.125 m a pixel, where a straight path has them at 88 and 112.
TEST(TopView, TheZoneEdgesFollowTheCarsPath) {
    const int row = 479 - static_cast<int>(20.0 / TOPVIEW_M_PER_PIX);
    const struct {
        double yawRate_radps;
        int leftColumn, rightColumn;  // where the edges are drawn at 20 m
        int clearLeft, clearRight;    // where they are not
    } table[] = {{0.0, 88, 112, 115, 139}, {0.2, 115, 139, 88, 112}};
    for (const auto& c : table) {
        SCOPED_TRACE("yaw rate " + std::to_string(c.yawRate_radps));
        const obstacle::FrameResult none;
        const qim::Image noGrey;
        qim::Image picture;
        DrawTopView({DEFAULT_CAMERA, none, noGrey, {}, EgoMotionOfRates(12.0, c.yawRate_radps, DELTA_T)}, picture);
        ASSERT_EQ(picture.rows, 480);
        const auto white = [&](int u) {
            const uchar* p = picture.ptr(row) + 3 * u;
            return p[0] == 255 && p[1] == 255 && p[2] == 255;
        };
        EXPECT_TRUE(white(c.leftColumn));
        EXPECT_TRUE(white(c.rightColumn));
        EXPECT_FALSE(white(c.clearLeft));
        EXPECT_FALSE(white(c.clearRight));
        picture.release();
    }
}
