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
#include "Overlay.h"
#include "VideoFile.h"
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
    const TopViewScale view = TopViewScaleOf(DEFAULT_CAMERA, scene::GREY_V);
    EXPECT_EQ(topview.cols, view.cols);
    EXPECT_EQ(topview.rows, view.rows);
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

        // In the overlay the confirmed box's left side, moved into the grey picture, has the colour
        // of its trajectory number (the MOT and KITTI track number).
        ColorSet expected{0, 0, 0};
        SetColorMapId(&expected, id);
        const auto same = [](const ColorSet& a, const ColorSet& b) {
            return a.red == b.red && a.green == b.green && a.blue == b.blue;
        };
        const int u0 = left + DISPARITY_OFS_U, v0 = top + DISPARITY_OFS_V;
        EXPECT_TRUE(same(colourAt(overlay, u0, v0 + height / 2), expected)) << line;
        EXPECT_TRUE(same(colourAt(overlay, u0 + 1, v0 + height / 2), expected)) << line;  // a thick line
        // Above the box its label: a dark backdrop from the box's left edge up, with text in the
        // track's colour on it.
        const ColorSet backdrop = InkColour(BACKDROP_INK);
        EXPECT_TRUE(same(colourAt(overlay, u0, v0 - 2), backdrop)) << line;
        int inked = 0;
        for (int v = v0 - 2 - InkLayer::TextHeight(2); v < v0 - 2; ++v) {
            for (int u = u0; u < u0 + InkLayer::TextWidth("#1 12.0 m", 2); ++u) inked += same(colourAt(overlay, u, v), expected);
        }
        EXPECT_GT(inked, 50) << line;
        // In the top view the track's bar lies at its lateral position and distance.
        EXPECT_TRUE(same(colourAt(topview, view.Column(x), view.Row(z)), expected)) << line;
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

// The video: every frame run, the overlay (656 x 486) and the top view (291 x 486) side by side,
// padded to an even width of 948.
TEST_F(ObstacleTrackProgram, TheVideoHoldsEveryFrameSideBySideAtAnEvenSize) {
    if (FindProgram(VIDEO_ENCODER).empty() || FindProgram("ffprobe").empty()) {
        GTEST_SKIP() << "ffmpeg and ffprobe are not installed (Debian: ffmpeg)";
    }
    const std::string video = dir + "/run.mp4";
    ASSERT_EQ(Track(Range(FIRST, LAST) + " --quiet --grey " + dir + "/seq/grey_XXXXX.bmp --video " + video).status, 0)
        << Errors();
    const ProgramResult probe = RunHostCommand("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                               "stream=width,height,nb_read_frames -of csv=p=0 " + video);
    EXPECT_EQ(probe.output, "948,486," + std::to_string(LAST - FIRST + 1) + "\n");
    EXPECT_EQ(ReadText(video).substr(4, 4), "ftyp");  // an MP4 (ISO base media) file
}

// An encoder that is missing, stops reading or fails ends the run with a message naming the
// video, and leaves no video and no temporary file behind.
TEST_F(ObstacleTrackProgram, AFailingEncoderEndsTheRunNamingTheVideo) {
    const std::string bin = dir + "/fake-bin", out = dir + "/videos";
    fs::create_directories(bin);
    fs::create_directories(out);
    const std::string video = out + "/run.mp4";
    const struct {
        const char* script;  // the fake ffmpeg; empty: none on PATH
        std::string named;
    } cases[] = {
        {"", "--video: " + video + ": needs the ffmpeg program, which is not found on PATH"},
        {"head -c 1000 >/dev/null; exit 1", "--video: " + video + ": ffmpeg takes no more frames"},
        {"cat >/dev/null; exit 3", "--video: " + video + ": ffmpeg ended with exit status 3"},
    };
    for (const auto& c : cases) {
        // The cross emulator is itself found on PATH: without an encoder on PATH the run is native only.
        const bool missing = *c.script == '\0';
        if (missing && !std::string(EMULATOR).empty()) continue;
        fs::remove(bin + "/ffmpeg");
        if (!missing) {
            std::ofstream(bin + "/ffmpeg") << "#!/bin/sh\n" << c.script << "\n";
            fs::permissions(bin + "/ffmpeg", fs::perms::owner_all);
        }
        const ProgramResult result = RunProgram(OBSTACLE_TRACK_EXE, "--disparity " + dir + "/seq/disp_XXXXX.bmp " +
                                                                        Range(FIRST, LAST) + " --quiet --video " + video +
                                                                        " 2>" + dir + "/stderr.txt",
                                                "PATH=" + bin + (missing ? "" : ":/usr/bin:/bin"));
        EXPECT_EQ(result.status, 2) << c.script;
        EXPECT_NE(Errors().find("obstacle-track: " + c.named), std::string::npos) << Errors();
        EXPECT_TRUE(fs::is_empty(out)) << c.script;
    }
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
    struct Case {
        std::string arguments;
        std::string named;
    };
    std::vector<Case> cases = {
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
    if (!FindProgram(VIDEO_ENCODER).empty()) {
        cases.push_back({"--video " + same + "/link.bmp", "--video " + same + "/link.bmp: is the same file as --disparity " + victim});
    }
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
    // The default camera's top view beside its 486-row overlay, by hand: text scale 2 (486 / 40 / 8
    // rounds to 2) leaves 14 rows above for the farthest number; 0 to 80 m (bf 142.4 m at disparity
    // 1, capped) and the car's 4.5 m below distance 0 over rows 14..485: 84.5 / 471 = 0.179406 m per
    // pixel, distance 0 on row 485 - round(25.08) = 460; 291 columns (0.6 of the rows: the zone's
    // +-1.5 m and 2 m margins need 41), lateral 0 on column 145. The rules at 10 m and 20 m lie on
    // rows floor(460 - 55.74) = 404 and floor(460 - 111.48) = 348 in grey with their numbers at
    // the left edge; the zone's edges on columns floor(145 -+ 8.36) = 136 and 153 in white from top
    // to bottom; the car's mark 1.8 m wide under distance 0.
    const auto colour = [&](int u, int v) {
        const unsigned char* p = &rgb[(static_cast<size_t>(v) * 291 + u) * 3];
        return ColorSet{p[0], p[1], p[2]};
    };
    const auto count = [&](int u0, int u1, int v0, int v1, const ColorSet& c) {
        int n = 0;
        for (int v = v0; v <= v1; ++v) {
            for (int u = u0; u <= u1; ++u) n += colour(u, v).red == c.red && colour(u, v).green == c.green && colour(u, v).blue == c.blue;
        }
        return n;
    };
    const ColorSet white{255, 255, 255}, black{0, 0, 0}, rule = InkColour(RULE_INK);
    ASSERT_EQ(rgb.size(), 291u * 486u * 3u);
    for (int row : {404, 348}) {
        EXPECT_EQ(count(270, 290, row, row, rule), 21) << row;
        EXPECT_EQ(count(270, 290, row - 1, row - 1, rule) + count(270, 290, row + 1, row + 1, rule), 0) << row;
        EXPECT_GT(count(1, 25, row - 7, row + 7, white), 10) << row;
    }
    for (int row : {10, 200, 300}) {
        EXPECT_EQ(count(136, 136, row, row, white) + count(153, 153, row, row, white), 2) << row;
        EXPECT_EQ(count(137, 152, row, row, white), 0) << row;
    }
    EXPECT_EQ(count(140, 150, 470, 485, white), 11 * 16);  // the car
    EXPECT_EQ(count(100, 120, 470, 485, black), 21 * 16);
}

// Where the top view puts things, by hand for three cameras (TopViewScaleOf's comment):
//  - the default camera beside its 486-row overlay (see the PNG test above);
//  - KITTI's (bf 387.6: 80 m reached) beside a 375-row overlay, zone -4..4 m: text scale 1 leaves
//    7 rows, 84.5 / 367 = 0.230245 m per pixel, distance 0 on row 374 - round(19.54) = 354, 225
//    columns (0.6 x 375; the zone needs 2 ceil(6 / 0.230245) + 1 = 55);
//  - a short-range camera (bf 30: 30 m reached) with a zone of -30..30 m beside a 200-row picture:
//    240 rows at least, scale 1, 34.5 / 232 = 0.148707 m per pixel, distance 0 on row
//    239 - round(30.26) = 209, the zone's 2 ceil(32 / 0.148707) + 1 = 433 columns.
TEST(TopView, ReachesTheCamerasRangeAndItsZone) {
    Camera kitti = DEFAULT_CAMERA;
    kitti.bf_pix = 387.6;
    kitti.zoneL_m = -4.0;
    kitti.zoneR_m = 4.0;
    Camera shortRange = DEFAULT_CAMERA;
    shortRange.bf_pix = 30.0;
    shortRange.zoneL_m = -30.0;
    shortRange.zoneR_m = 30.0;
    const struct {
        Camera camera;
        int pictureRows;
        int cols, rows, originRow, centreColumn;
        double m_per_pix, far_m;
    } table[] = {
        {DEFAULT_CAMERA, 486, 291, 486, 460, 145, 84.5 / 471, 80.0},
        {kitti, 375, 225, 375, 354, 112, 84.5 / 367, 80.0},
        {shortRange, 200, 433, 240, 209, 216, 34.5 / 232, 30.0},
    };
    for (const auto& c : table) {
        const TopViewScale view = TopViewScaleOf(c.camera, c.pictureRows);
        EXPECT_EQ(view.cols, c.cols) << c.pictureRows;
        EXPECT_EQ(view.rows, c.rows) << c.pictureRows;
        EXPECT_EQ(view.originRow, c.originRow) << c.pictureRows;
        EXPECT_EQ(view.centreColumn, c.centreColumn) << c.pictureRows;
        EXPECT_NEAR(view.m_per_pix, c.m_per_pix, 1e-12) << c.pictureRows;
        EXPECT_EQ(view.far_m, c.far_m) << c.pictureRows;
        EXPECT_GE(view.Row(c.far_m), 0);  // the farthest distance stays in the picture
    }
}

// The top view's zone edges follow the car's path as the zone does. On a circle of 60 m radius
// (12 m/s at 0.2 rad/s to the right) the path lies 60 - sqrt(60^2 - z^2) to the right at z. In the
// default camera's top view (0.179406 m per pixel, distance 0 on row 460, lateral 0 on column 145)
// row 348 lies at 20.093 m, where the path lies 3.465 m to the right, so the edges at -1.5 m and
// 1.5 m are drawn at 1.965 m and 4.965 m: columns floor(145 + 10.95) = 155 and floor(145 + 27.67)
// = 172, where a straight path has them at 136 and 153.
TEST(TopView, TheZoneEdgesFollowTheCarsPath) {
    const int row = 348;
    const struct {
        double yawRate_radps;
        int leftColumn, rightColumn;  // where the edges are drawn at row 348
        int clearLeft, clearRight;    // where they are not
    } table[] = {{0.0, 136, 153, 155, 172}, {0.2, 155, 172, 136, 153}};
    for (const auto& c : table) {
        SCOPED_TRACE("yaw rate " + std::to_string(c.yawRate_radps));
        OverlayFrame frame;
        frame.pathCurvature_pm = PathCurvature(EgoMotionOfRates(12.0, c.yawRate_radps, DELTA_T));
        qim::Image picture;
        DrawTopView(obstacle::FrameResult{}, DEFAULT_CAMERA, frame, scene::GREY_V, picture);
        ASSERT_EQ(picture.rows, scene::GREY_V);
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

// A crowded frame: twelve tracks within a few metres of each other, their boxes overlapping. Every
// label, in the overlay and in the top view, lies inside its picture on its backdrop, and no two
// labels overlap.
TEST(TopView, LabelsOfACrowdedFrameDoNotOverlap) {
    obstacle::FrameResult result;
    for (int k = 0; k < 12; ++k) {
        obstacle::Track t;
        t.trajectory = k + 1;
        t.confirmed = k % 3 != 0;
        t.missed = k % 4 == 1 ? 1 : 0;
        t.distance_m = 20.0 + 0.2 * k;
        t.lateral_m = -0.5 + 0.1 * k;
        t.width_m = 1.6;
        t.box = {200 + 3 * k, 150 + k, 260 + 3 * k, 220};
        result.tracks.push_back(t);
    }
    qim::Image grey;
    grey.create(scene::GREY_V, scene::GREY_U, SGBM_8UC3);
    std::fill(grey.data, grey.data + scene::GREY_U * scene::GREY_V, uchar{128});
    OverlayFrame frame;
    frame.frame = 7;
    frame.grey = &grey;
    FramePictures pictures;
    const std::vector<PixelRect> overlayLabels = DrawFrameOverlay(result, DEFAULT_CAMERA, frame, pictures.overlay);
    const std::vector<PixelRect> topLabels = DrawTopView(result, DEFAULT_CAMERA, frame, scene::GREY_V, pictures.topView);
    const ColorSet backdrop = InkColour(BACKDROP_INK);
    const std::pair<const std::vector<PixelRect>*, const qim::Image*> drawn[] = {{&overlayLabels, &pictures.overlay},
                                                                             {&topLabels, &pictures.topView}};
    for (const auto& [labels, picture] : drawn) {
        ASSERT_EQ(labels->size(), result.tracks.size());
        for (size_t i = 0; i < labels->size(); ++i) {
            const PixelRect& r = (*labels)[i];
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right < picture->cols && r.bottom < picture->rows) << i;
            for (const auto& [u, v] : {std::make_pair(r.left, r.top), std::make_pair(r.right, r.bottom)}) {
                const uchar* p = picture->ptr(v) + 3 * u;
                EXPECT_TRUE(p[0] == backdrop.blue && p[1] == backdrop.green && p[2] == backdrop.red) << i;
            }
            for (size_t j = 0; j < i; ++j) EXPECT_FALSE(Overlapping(r, (*labels)[j])) << i << " and " << j;
        }
    }
    pictures.Release();

    // An obstacle no track took is outlined in white only when asked for (--overlay-detections):
    // its left side, moved into the grey picture, is white or the background's grey.
    obstacle::Obstacle untaken;
    untaken.box = {400, 300, 440, 340};
    result.obstacles.push_back(untaken);
    for (const bool detections : {false, true}) {
        frame.detections = detections;
        qim::Image picture;
        DrawFrameOverlay(result, DEFAULT_CAMERA, frame, picture);
        const uchar* side = picture.ptr(320 + DISPARITY_OFS_V) + 3 * (400 + DISPARITY_OFS_U);
        EXPECT_EQ(side[0] + side[1] + side[2], detections ? 3 * 255 : 3 * 128) << detections;
        picture.release();
    }
    grey.release();
}
