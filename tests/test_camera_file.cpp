// Camera files: the own key = value format line by line, KITTI calibrations (the real one's figures
// from its README), OpenCV's and ROS's calibrations of the same rig, implausible values, and the
// camera a run writes reading back exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "CameraFile.h"

namespace {

// A rig in the own format; each case below changes one line.
const std::string RIG =
    "# a rig\n"
    "f_pix = 700\n"
    "baseline_m = 0.5   # metres\n"
    "\n"
    "u0_pix = 610.5\n"
    "v0_pix = +180\n"
    "width_pix = 1226\n"
    "height_pix = 370\n";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

std::string Refusal(const std::string& text, const std::string& name = "rig.txt") {
    CameraFile file;
    std::string error;
    EXPECT_FALSE(ParseCameraFile(text, name, file, error)) << text;
    return error;
}

}  // namespace

TEST(CameraFile, OwnFormatGivesTheRigAndLeavesTheRestToTheDefaultCamera) {
    CameraFile file;
    std::string error;
    ASSERT_TRUE(ParseCameraFile(RIG + "tanPitch = -2e-2\nzoneR_m=4\n", "rig.txt", file, error)) << error;
    const Camera& c = file.camera;
    EXPECT_FALSE(file.calibration);
    EXPECT_EQ(c.f_pix, 700.0);
    EXPECT_EQ(c.baseline_m, 0.5);
    EXPECT_EQ(c.bf_pix, 350.0);  // f x B where the rig states none
    EXPECT_EQ(c.u0_pix, 610.5);
    EXPECT_EQ(c.v0_pix, 180.0);
    EXPECT_EQ(c.width_pix, 1226);
    EXPECT_EQ(c.height_pix, 370);
    EXPECT_EQ(c.tanPitch, -0.02);
    EXPECT_EQ(c.zoneR_m, 4.0);
    EXPECT_TRUE(file.given[KEY_PITCH] && file.given[KEY_ZONE_R] && file.given[KEY_BF]);
    EXPECT_FALSE(file.given[KEY_CAM_HEIGHT] || file.given[KEY_FRAME_INTERVAL] || file.given[KEY_ZONE_L]);
    EXPECT_EQ(c.camHeight_m, CAM_H_M);
    EXPECT_EQ(c.frameInterval_s, DELTA_T);
    EXPECT_EQ(c.zoneL_m, DETECTABLE_AREA_L_M);
    // A stated bf_pix within rounding of f x B is the rig's own.
    ASSERT_TRUE(ParseCameraFile(RIG + "bf_pix = 350.9", "rig.txt", file, error)) << error;
    EXPECT_EQ(file.camera.bf_pix, 350.9);
}

TEST(CameraFile, BadLinesAreNamedWithTheirLine) {
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {RIG + "focal = 3\n", "rig.txt:9: unknown key 'focal'"},
        {RIG + "camHeight_m =\n", "rig.txt:9: camHeight_m has no value"},
        {Replace(RIG, "700", "7o0"), "rig.txt:2: f_pix: '7o0' is not a number"},
        {Replace(RIG, "700", "nan"), "rig.txt:2: f_pix: 'nan' is not a number"},
        {Replace(RIG, "700", "1e999"), "rig.txt:2: f_pix: '1e999' is not a number"},
        {RIG + "\nf_pix = 701\n", "rig.txt:10: f_pix given twice (first on line 2)"},
        {Replace(RIG, "0.5 ", "-0.5"), "rig.txt:3: baseline_m -0.5 must be above 0"},
        {Replace(RIG, "1226", "1226.5"), "rig.txt:7: width_pix 1226.5 is not a whole number of pixels"},
        {Replace(RIG, "370", "9000"), "rig.txt:8: height_pix 9000 lies outside 16..8192"},
        {RIG + "frameInterval_s = 0\n", "rig.txt:9: frameInterval_s 0 must be above 0"},
        {RIG + "f_pix 700\n", "rig.txt:9: 'f_pix 700' is not key = value"},
        {Replace(RIG, "v0_pix = +180\n", ""), "rig.txt: no v0_pix given (principal point row in the disparity picture (pixel))"},
        {RIG + "bf_pix = 400\n", "rig.txt:9: bf_pix 400 differs from f_pix x baseline_m = 350 by more than 1 %"},
        {RIG + "zoneL_m = 2\nzoneR_m = 1\n", "rig.txt: zoneL_m 2 is not left of zoneR_m 1"},
        {Replace(Replace(RIG, "1226", "8000"), "370", "8000"), "rig.txt: 8000 x 8000 pixels, more than 16777216 in all"},
    };
    for (const auto& c : cases) EXPECT_EQ(Refusal(c.text), c.message);
}

TEST(CameraFile, KittiCalibrationsInBothLayouts) {
    const std::string p0 = "700 0 600.5 0 0 700 180.25 0 0 0 1 0";
    const std::string p1 = "700 0 600.5 -350 0 700 180.25 0 0 0 1 0";
    const std::string layouts[] = {
        p0 + "\n\v\f\n" + p1 + "\n" + p0 + "\n",                                   // bare rows, a third ignored
        "P1: " + p1 + "\nR0_rect: 1 0 0\n\nP0: " + p0 + "\nTr: " + p0 + "\n",        // labelled, in any order
    };
    for (const std::string& text : layouts) {
        CameraFile file;
        std::string error;
        ASSERT_TRUE(ParseCameraFile(text, "calib.txt", file, error)) << error;
        EXPECT_TRUE(file.calibration);
        EXPECT_EQ(file.camera.f_pix, 700.0);
        EXPECT_EQ(file.camera.u0_pix, 600.5);
        EXPECT_EQ(file.camera.v0_pix, 180.25);
        EXPECT_EQ(file.camera.baseline_m, 0.5);
        EXPECT_EQ(file.camera.bf_pix, 350.0);
        EXPECT_FALSE(file.given[KEY_WIDTH] || file.given[KEY_CAM_HEIGHT] || file.given[KEY_PITCH]);
    }
    EXPECT_EQ(Refusal(p0 + "\n700 0 600.5 -350 0 700 180.25 0 0 0 1\n", "calib.txt"), "calib.txt:2: P1 has 11 numbers, 12 needed");
    EXPECT_EQ(Refusal("P0: " + p0 + "\n", "calib.txt"), "calib.txt: no P1 row (12 numbers of the right camera's projection)");
    EXPECT_EQ(Refusal(p0 + "\n" + Replace(p1, "-350", "350") + "\n", "calib.txt"),
              "calib.txt:2: baseline_m -0.5 must be above 0 (the baseline is (P0[3] - P1[3]) / P1[0])");
    EXPECT_EQ(Refusal("P0: " + p0 + "\nP0: " + p0 + "\n", "calib.txt"), "calib.txt:2: P0 given twice (first on line 1)");
    EXPECT_EQ(Refusal(Replace(p0, "180.25", "x") + "\n", "calib.txt"), "calib.txt:1: 'x' is not a number");
}

TEST(CameraFile, TheRealStreetsCalibrationGivesItsReadmeFigures) {
    const std::string path = std::string(KITTI_DIR) + "/residential/calib.txt";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no KITTI recording at " << KITTI_DIR;
    CameraFile file;
    std::string error;
    ASSERT_TRUE(ReadCameraFile(path, file, error)) << error;
    EXPECT_TRUE(file.calibration);
    EXPECT_EQ(file.camera.f_pix, 707.0912);
    EXPECT_EQ(file.camera.u0_pix, 601.8873);
    EXPECT_EQ(file.camera.v0_pix, 183.1104);
    EXPECT_NEAR(file.camera.baseline_m, 0.5372, 5e-5);
    EXPECT_NEAR(file.camera.bf_pix, 379.8, 0.05);
}

TEST(CameraFile, TheWrittenCameraReadsBackExactly) {
    Camera awkward = {1000.0 / 3.0, 0.1 + 0.2, 0.0, 0.1 * 3, 1e-7, 1240, 376, 1.65, -1.0 / 7.0, 1.0 / 29.97, -4.2, 1.0 / 3.0};
    awkward.bf_pix = awkward.f_pix * awkward.baseline_m * (1.0 + 1e-9);
    for (const Camera& camera : {awkward, DEFAULT_CAMERA}) {
        CameraFile file;
        std::string error;
        ASSERT_TRUE(ParseCameraFile(CameraFileText(camera), "out.cam", file, error)) << error;
        EXPECT_EQ(std::memcmp(&file.camera, &camera, sizeof camera), 0) << CameraFileText(file.camera);
        for (bool given : file.given) EXPECT_TRUE(given);
    }
}

// A camera whose rows, columns or counts leave what the stages can hold in an int is refused,
// naming the value. The flat road's row is v0 - n / m with m = z - h tan (z = f B / d): through the
// default rig (f B = 142.366) with h tan = 1.438 or 1.43804, m passes through 0 at disparity 99.0,
// where the row runs to thousands of millions.
TEST(CameraFile, CamerasWhoseDerivedValuesLeaveTheStagesRangeAreRefusedByName) {
    const std::string rig = "f_pix = 949.1\nbaseline_m = 0.15\nbf_pix = 142.366\nu0_pix = 232\nv0_pix = 180\n"
                            "width_pix = 560\nheight_pix = 360\n";
    const std::string rest = " 0 707.09 183.1 0 0 0 1 0\n";
    const std::string beyond = ", outside +-1048576: the stages cannot see through this camera";
    const struct {
        std::string text;
        std::string named;  // the value named, before its value
    } cases[] = {
        {rig + "camHeight_m = 100\ntanPitch = 0.01438\n", "the flat road's row at disparity 9"},
        {rig + "camHeight_m = 10\ntanPitch = 0.143804\n", "the flat road's row at disparity 9"},
        {Replace(Replace(rig, "949.1", "1e300"), "bf_pix = 142.366\n", ""), "the road scan's columns, which grow with f_pix"},
        {Replace(Replace(Replace(rig, "949.1", "1.42e11"), "0.15", "1e-9"), "142.366", "142"),
         "the road scan's columns, which grow with f_pix"},
        {rig + "camHeight_m = 1e300\n", "an obstacle face's rows, which grow with camHeight_m / baseline_m"},
        {Replace(rig, "baseline_m = 0.15\nbf_pix = 142.366", "baseline_m = 1e-7\nbf_pix = 9.491e-5") + "camHeight_m = 1e-8\n",
         "a block's rows, which grow with 1 / baseline_m"},
        {Replace(rig, "v0_pix = 180", "v0_pix = 1e300"), "the principal point's row v0_pix is 1e+300"},
        {"P0: 707.09 0 1e12 0" + rest + "P1: 707.09 0 601.9 -379.7" + rest, "the principal point's column u0_pix is 1e+12"},
    };
    for (const auto& c : cases) {
        const std::string refusal = Refusal(c.text);
        EXPECT_EQ(refusal.substr(0, 9 + c.named.size()), "rig.txt: " + c.named) << c.text;
        EXPECT_EQ(refusal.substr(refusal.size() - std::min(refusal.size(), beyond.size())), beyond) << c.text;
    }
}

// A text saved with a UTF-8 byte-order mark reads as the same text without it.
TEST(CameraFile, AByteOrderMarkIsNoContent) {
    const std::string rest = " 0 707.09 183.1 0 0 0 1 0\n";
    for (const std::string& text : {RIG, "P0: 707.09 0 601.9 0" + rest + "P1: 707.09 0 601.9 -379.7" + rest}) {
        CameraFile plain, marked;
        std::string error;
        ASSERT_TRUE(ParseCameraFile(text, "rig.txt", plain, error)) << error;
        ASSERT_TRUE(ParseCameraFile("\xEF\xBB\xBF" + text, "rig.txt", marked, error)) << error;
        EXPECT_EQ(CameraFileText(marked.camera), CameraFileText(plain.camera));
        EXPECT_EQ(marked.calibration, plain.calibration);
    }
}

// One rig, KITTI's city stretch (its grey pair), in each calibration format written by hand from
// its calib.txt: each gives that calibration's focal length, principal point and baseline, and
// the picture size where the format states one.
namespace {

const std::string CITY_P0 = "7.215377e+02 0 6.095593e+02 0 0 7.215377e+02 1.728540e+02 0 0 0 1 0";
const std::string CITY_P1 = "7.215377e+02 0 6.095593e+02 -3.875744e+02 0 7.215377e+02 1.728540e+02 0 0 0 1 0";

// An OpenCV matrix node, its data over two lines as OpenCV writes long lists.
std::string OpenCvMatrix(const std::string& key, int rows, int cols, const std::string& numbers) {
    std::string data = numbers;
    std::replace(data.begin(), data.end(), ' ', ',');
    const size_t cut = data.find(',', data.size() / 2);
    return key + ": !!opencv-matrix\n   rows: " + std::to_string(rows) + "\n   cols: " + std::to_string(cols) +
           "\n   dt: d\n   data: [ " + data.substr(0, cut + 1) + "\n       " + data.substr(cut + 1) + " ]\n";
}

// A ROS camera_info file of one camera of the pair.
std::string RosCameraInfo(const std::string& name, const std::string& projection) {
    std::string list = projection;
    std::replace(list.begin(), list.end(), ' ', ',');
    return "image_width: 1242\nimage_height: 375\ncamera_name: " + name +
           "\ncamera_matrix:\n  rows: 3\n  cols: 3\n  data: [7.215377e+02, 0, 6.095593e+02, 0, 7.215377e+02, "
           "1.728540e+02, 0, 0, 1]\ndistortion_model: plumb_bob\ndistortion_coefficients:\n  rows: 1\n  cols: 5\n"
           "  data: [0, 0, 0, 0, 0]\nrectification_matrix:\n  rows: 3\n  cols: 3\n  data: [1, 0, 0, 0, 1, 0, 0, 0, 1]\n"
           "projection_matrix:\n  rows: 3\n  cols: 4\n  data: [" + list + "]\n";
}

}  // namespace

TEST(CameraFile, EachCalibrationFormatGivesTheKittiRigItDescribes) {
    CameraFile kitti;
    std::string error;
    ASSERT_TRUE(ParseCameraFile("P0: " + CITY_P0 + "\nP1: " + CITY_P1 + "\n", "calib.txt", kitti, error)) << error;
    const Camera& rig = kitti.camera;
    EXPECT_NEAR(rig.baseline_m, 387.5744 / 721.5377, 1e-12);

    const std::string rawTail = "\nS_rect_01: 1.242000e+03 3.750000e+02\nP_rect_01: " + CITY_P1 + "\n";
    CalibrationChoice ros;
    ros.rightText = RosCameraInfo("right", CITY_P1);
    ros.rightName = "right.yaml";
    const struct {
        const char* format;
        std::string text;
        CalibrationChoice choice;
        bool sized;
        double baselineTolerance_m;  // M1 and T give the baseline as T's few digits do
    } cases[] = {
        {"KITTI raw", "calib_time: 09-Jan-2012 13:57:47\nS_rect_00: 1.242000e+03 3.750000e+02\nP_rect_00: " + CITY_P0 + rawTail,
         {}, true, 0.0},
        {"OpenCV P1 P2", "%YAML:1.0\n---\n" + OpenCvMatrix("R1", 3, 3, "1 0 0 0 1 0 0 0 1") +
                             OpenCvMatrix("P1", 3, 4, CITY_P0) + OpenCvMatrix("P2", 3, 4, CITY_P1),
         {}, false, 0.0},
        {"OpenCV M1 T", "%YAML:1.0\n" + OpenCvMatrix("M1", 3, 3, "7.215377e+02 0 6.095593e+02 0 7.215377e+02 1.728540e+02 0 0 1") +
                            OpenCvMatrix("D1", 1, 5, "0 0 0 0 0") + OpenCvMatrix("T", 3, 1, "-5.3715e-01 0 0"),
         {}, false, 1e-5},
        {"ROS pair", RosCameraInfo("left", CITY_P0), ros, true, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        CameraFile file;
        ASSERT_TRUE(ParseCameraFile(c.text, "calib", file, error, c.choice)) << error;
        EXPECT_TRUE(file.calibration);
        EXPECT_EQ(file.camera.f_pix, rig.f_pix);
        EXPECT_EQ(file.camera.u0_pix, rig.u0_pix);
        EXPECT_EQ(file.camera.v0_pix, rig.v0_pix);
        EXPECT_NEAR(file.camera.baseline_m, rig.baseline_m, c.baselineTolerance_m);
        EXPECT_NEAR(file.camera.bf_pix, rig.bf_pix, c.baselineTolerance_m * rig.f_pix);
        EXPECT_EQ(file.given[KEY_WIDTH], c.sized);
        if (c.sized) {
            EXPECT_EQ(file.camera.width_pix, 1242);
            EXPECT_EQ(file.camera.height_pix, 375);
        }
        EXPECT_FALSE(file.given[KEY_CAM_HEIGHT] || file.given[KEY_PITCH] || file.given[KEY_FRAME_INTERVAL]);
    }

    // What is missing or misshapen is named.
    const struct {
        std::string text;
        CalibrationChoice choice;
        std::string message;
    } refusals[] = {
        {RosCameraInfo("left", CITY_P0), {},
         "calib: a ROS camera_info file of one camera gives no baseline: give the right camera's file too (--camera-right)"},
        {"%YAML:1.0\n" + OpenCvMatrix("P1", 3, 3, "1 0 0 0 1 0 0 0 1") + OpenCvMatrix("P2", 3, 4, CITY_P1), {},
         "calib:2: P1 is no 3 x 4 matrix (9 numbers)"},
        {"%YAML:1.0\nM1: !!opencv-matrix\n   rows: 3\n   cols: 3\n   data: [ 1, 2,\n", {},
         "calib:5: M1: the data list is not closed by ']'"},
        {"%YAML:1.0\nR: [1, x]\n", {}, "calib:2: R: 'x' is not a number"},
        {"%YAML:1.0\nR: [1, 0]\n", {},
         "calib: no P1 and P2, M1 and T (OpenCV's stereo calibration) or projection_matrix (ROS camera_info)"},
        {"P_rect_00: " + CITY_P0 + rawTail, {true, "", ""}, "calib: no P_rect_02 row (12 numbers of the left camera's projection)"},
    };
    for (const auto& r : refusals) {
        CameraFile file;
        EXPECT_FALSE(ParseCameraFile(r.text, "calib", file, error, r.choice)) << r.text;
        EXPECT_EQ(error, r.message);
    }
}

// The real city stretch's calib_cam_to_cam.txt beside its calib.txt: the grey pair is the same
// camera; the colour pair has the same focal length and principal point, and the baseline between
// cameras 02 and 03 that their projections' offsets give.
TEST(CameraFile, TheCityRawCalibrationIsItsCalibTxtsRig) {
    const std::string city = std::string(KITTI_DIR) + "/city";
    if (!std::filesystem::exists(city + "/calib_cam_to_cam.txt")) GTEST_SKIP() << "no KITTI recording at " << KITTI_DIR;
    CameraFile odometry, grey, colour;
    std::string error;
    ASSERT_TRUE(ReadCameraFile(city + "/calib.txt", odometry, error)) << error;
    ASSERT_TRUE(ReadCameraFile(city + "/calib_cam_to_cam.txt", grey, error)) << error;
    ASSERT_TRUE(ReadCameraFile(city + "/calib_cam_to_cam.txt", colour, error, true)) << error;
    EXPECT_EQ(grey.camera.f_pix, odometry.camera.f_pix);
    EXPECT_EQ(grey.camera.u0_pix, odometry.camera.u0_pix);
    EXPECT_EQ(grey.camera.v0_pix, odometry.camera.v0_pix);
    EXPECT_EQ(grey.camera.baseline_m, odometry.camera.baseline_m);
    EXPECT_EQ(grey.camera.bf_pix, odometry.camera.bf_pix);
    EXPECT_EQ(grey.camera.width_pix, 1242);
    EXPECT_EQ(grey.camera.height_pix, 375);
    EXPECT_EQ(colour.camera.f_pix, odometry.camera.f_pix);
    EXPECT_EQ(colour.camera.u0_pix, odometry.camera.u0_pix);
    EXPECT_NEAR(colour.camera.baseline_m, (44.85728 + 339.5242) / 721.5377, 1e-6);
}

// Values a car's rig hardly has are told with what was probably meant; a plausible rig has none.
TEST(CameraFile, ImplausibleValuesAreToldWithWhatWasMeant) {
    const struct {
        void (*change)(Camera&);
        std::string told;
    } cases[] = {
        {[](Camera& c) { c.camHeight_m = 1650.0; }, "the camera height 1650 m is no car's: millimetres? then 1.65 m"},
        {[](Camera& c) { c.tanPitch = 1.2; }, "the pitch 1.2 is a tangent, of 50.19 degrees: degrees given? then the tangent is 0.02095"},
        {[](Camera& c) { c.baseline_m = 537.0; }, "the baseline 537 m is no car's stereo rig: millimetres? then 0.537 m"},
        {[](Camera& c) { c.frameInterval_s = 10.0; },
         "the frame interval 10 s (0.1 frames per second) is no camera's: the interval given for the rate? then 10 "
         "frames per second; milliseconds? then 0.01 s"},
    };
    EXPECT_EQ(ImplausibleCamera(DEFAULT_CAMERA), "");
    for (const auto& c : cases) {
        Camera camera = DEFAULT_CAMERA;
        c.change(camera);
        EXPECT_EQ(ImplausibleCamera(camera).find(c.told), 0u) << ImplausibleCamera(camera);
    }
}
