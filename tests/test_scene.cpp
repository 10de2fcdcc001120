#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "ColorMap.h"
#include "Config.h"
#include "RunState.h"
#include "Scene.h"
#include "format10bmpdata.h"
#include "images.h"
#include "inputbmpdatab8bpp.h"

namespace {

namespace fs = std::filesystem;

scene::Scene Parse(const std::string& text) {
    std::istringstream in(text);
    scene::Scene s;
    std::string error;
    EXPECT_TRUE(scene::ParseScene(in, "test", s, error)) << error;
    return s;
}

std::string ParseError(const std::string& text) {
    std::istringstream in(text);
    scene::Scene s;
    s.seed = 99;
    std::string error;
    EXPECT_FALSE(scene::ParseScene(in, "test", s, error)) << text;
    EXPECT_EQ(s.seed, 99u) << "a failed parse keeps the scene";
    return error;
}

scene::Scene ProjectScene() {
    scene::Scene s;
    std::string error;
    EXPECT_TRUE(scene::LoadScene(std::string(SOURCE_DIR) + "/data/scene.txt", s, error)) << error;
    return s;
}

const scene::Box* Find(const scene::Scene& s, const std::string& name) {
    for (const scene::Box& b : s.boxes) {
        if (b.name == name) return &b;
    }
    return nullptr;
}

// Disparity of pixel (u, v) of a 32-bit picture stored bottom row first.
double Decoded(const unsigned char* bgra, int u, int v) {
    const unsigned char* p = bgra + 4 * static_cast<size_t>(PIXEL(u, TOTAL_V - 1 - v));
    const ColorSet c{p[2], p[1], p[0]};
    return ColorToValue(&c, 2);
}

// One step of the colour code at a disparity, with the rounding of its decimal coefficients.
double Step(double d) {
    if (d <= 6.0) return 0.0235 + 0.01;
    if (d <= 15.0) return 0.0353 + 0.01;
    if (d <= 30.0) return 0.0588 + 0.01;
    return 0.2745 + 0.01;
}

size_t At(int u, int v) { return static_cast<size_t>(PIXEL(u, v)); }

}  // namespace

TEST(SceneRoad, RowsFollowTheDetectorsInitialRoadRows) {
    const int expected[8] = {117, 126, 135, 143, 152, 161, 170, 179};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(FlatRoadRowInPicture(DEFAULT_CAMERA, k + 1), expected[k]) << k;
    EXPECT_EQ(FlatRoadRowInPicture(DEFAULT_CAMERA, 28), 358);
    for (int d = 29; d <= 100; ++d) EXPECT_EQ(FlatRoadRowInPicture(DEFAULT_CAMERA, d), 360) << d;
    EXPECT_NEAR(HorizonRow(DEFAULT_CAMERA), 180.0 - 0.075 * 949.1, 1e-9);
    int pre_ground[LUT_NUM];
    InitialRoadRows(DEFAULT_CAMERA, pre_ground);
    for (int k = 0; k < LUT_NUM; ++k) EXPECT_EQ(FlatRoadRowInPicture(DEFAULT_CAMERA, k + 1), pre_ground[k]) << k;

    // Every row below the horizon carries the disparity whose road row it is, rising downward.
    for (int v = 0; v <= 108; ++v) EXPECT_EQ(scene::RoadDisparity(DEFAULT_CAMERA, v), 0.0) << v;
    double previous = 0.0;
    for (int v = 109; v < TOTAL_V; ++v) {
        const double d = scene::RoadDisparity(DEFAULT_CAMERA, v);
        EXPECT_GT(d, previous) << v;
        EXPECT_EQ(FlatRoadRowInPicture(DEFAULT_CAMERA, d), v) << v;
        previous = d;
    }
}

TEST(SceneFile, ReadsStatementsCommentsAndDefaults) {
    const scene::Scene s = Parse(
        "# a comment line\n"
        "\n"
        "seed 18446744073709551615   # largest seed\n"
        "  noise 0.1\n"
        "holes\t0.02\n"
        "road -6 6.5\n"
        "box a -1 1 20 1.5\n"
        "box b 2 3.5 12.5 0.8\n");
    EXPECT_EQ(s.seed, 18446744073709551615ull);
    EXPECT_EQ(s.noise_pix, 0.1);
    EXPECT_EQ(s.holes, 0.02);
    EXPECT_EQ(s.roadLeft_m, -6.0);
    EXPECT_EQ(s.roadRight_m, 6.5);
    ASSERT_EQ(s.boxes.size(), 2u);
    EXPECT_EQ(s.boxes[1].name, "b");
    EXPECT_EQ(s.boxes[1].left_m, 2.0);
    EXPECT_EQ(s.boxes[1].right_m, 3.5);
    EXPECT_EQ(s.boxes[1].z_m, 12.5);
    EXPECT_EQ(s.boxes[1].height_m, 0.8);

    const scene::Scene empty = Parse("# nothing\n");
    EXPECT_EQ(empty.noise_pix, 0.0);
    EXPECT_EQ(empty.holes, 0.0);
    EXPECT_TRUE(empty.boxes.empty());
}

TEST(SceneFile, ErrorsNameTheLine) {
    EXPECT_EQ(ParseError("seed 1\n\nwall 1 2\n"), "test:3: unknown statement 'wall'");
    EXPECT_EQ(ParseError("box a -1 1 15\n"), "test:1: box needs NAME LEFT RIGHT DISTANCE HEIGHT [VZ VX]");
    EXPECT_EQ(ParseError("# c\nbox a -1 x1 15 1.5\n"), "test:2: 'x1' is not a number");
    EXPECT_EQ(ParseError("noise 0.1\nnoise 0.2\n"), "test:2: noise is given twice");
    EXPECT_EQ(ParseError("box a -1 1 15 1\nbox a 2 3 15 1\n"), "test:2: box a is given twice");
    EXPECT_EQ(ParseError("holes 0.6\n"), "test:1: holes must lie between 0 and 0.5");
    EXPECT_EQ(ParseError("seed -3\n"), "test:1: '-3' is not an unsigned integer");
    EXPECT_EQ(ParseError("seed 18446744073709551616\n"), "test:1: '18446744073709551616' is not an unsigned integer");
    EXPECT_EQ(ParseError("road 3 -3\n"), "test:1: road: LEFT must be less than RIGHT");
    EXPECT_EQ(ParseError("box a 1 1 15 1\n"), "test:1: box a: LEFT must be less than RIGHT");
    EXPECT_EQ(ParseError("box a -1 1 1.4 1\n"), "test:1: box a: DISTANCE must lie between 1.5 and 1000 m");
    EXPECT_EQ(ParseError("box a -1 1 1e9 1\n"), "test:1: box a: DISTANCE must lie between 1.5 and 1000 m");
    EXPECT_EQ(ParseError("box a -1 1e4 15 1\n"), "test:1: box a: LEFT and RIGHT must lie within 1000 m");
    EXPECT_EQ(ParseError("box a -1 1 15 0\n"), "test:1: box a: HEIGHT must lie above 0 and up to 100 m");
    EXPECT_EQ(ParseError("box a -1 1 nan 1\n"), "test:1: 'nan' is not a number");

    scene::Scene s;
    std::string error;
    EXPECT_FALSE(scene::LoadScene("/nonexistent/scene.txt", s, error));
    EXPECT_EQ(error, "/nonexistent/scene.txt: cannot be opened (missing or unreadable)");
}

TEST(SceneFile, ProjectSceneHoldsTheRequiredObstacles) {
    const scene::Scene s = ProjectScene();
    EXPECT_GE(s.noise_pix, 0.05);
    EXPECT_LE(s.noise_pix, 0.1);
    EXPECT_GT(s.holes, 0.0);
    const scene::Box* car = Find(s, "car_ahead");
    const scene::Box* walker = Find(s, "pedestrian");
    const scene::Box* parked = Find(s, "parked_car");
    const scene::Box* far = Find(s, "lorry");
    ASSERT_TRUE(car && walker && parked && far);
    EXPECT_TRUE(car->right_m - car->left_m >= 1.7 && car->right_m - car->left_m <= 1.8);
    EXPECT_NEAR(car->left_m + car->right_m, 0.0, 1e-9);
    EXPECT_TRUE(car->z_m >= 12.0 && car->z_m <= 20.0);
    EXPECT_NEAR(walker->right_m - walker->left_m, 0.6, 0.05);
    EXPECT_TRUE(std::fabs(walker->left_m) >= 0.8 && std::fabs(walker->left_m) <= 1.5);
    EXPECT_TRUE(std::fabs(walker->right_m) >= 0.8 && std::fabs(walker->right_m) <= 1.5);
    EXPECT_TRUE(walker->z_m >= 6.0 && walker->z_m <= 10.0);
    EXPECT_GT(parked->left_m, DETECTABLE_AREA_R_M);
    EXPECT_GE(far->z_m, 35.0);
}

TEST(SceneGeometry, BoxStandsOnItsRoadRow) {
    constexpr Camera KITTI_LIKE = {707.09, 0.537, 707.09 * 0.537, 601.9, 183.1, 1226, 370, 1.65, 0.0, 0.1, -1.5, 1.5};
    struct Case {
        Camera camera;
        double half_m, z_m, height_m;
        double d_pix;
        int uLeft, uRight, vBottom, vTop;
    };
    const Case cases[] = {
        // A car 1.5 m high at 15 m: disparity 9.4911, road row 180 + 949.1 x 0.195 / 14.901 = 192.42,
        // 1.5 x 9.4911 / 0.15 = 94.9 rows high, columns 232 +- 0.85 x 949.1 / 15 = 232 +- 53.78.
        {DEFAULT_CAMERA, 0.85, 15.0, 1.5, 9.49107, 179, 285, 192, 97},
        // KITTI's level rig, a box 1 m wide and 1.5 m high at 10 m: disparity 37.970, road row
        // 183.1 + 1.65 x 707.09 / 10 = 299.77, 1.5 x 37.97 / 0.537 = 106.1 rows high, columns
        // 601.9 +- 0.5 x 707.09 / 10 = 601.9 +- 35.35.
        {KITTI_LIKE, 0.5, 10.0, 1.5, 37.97073, 567, 637, 299, 193},
    };
    for (const Case& c : cases) {
        scene::Box box;
        box.left_m = -c.half_m;
        box.right_m = c.half_m;
        box.z_m = c.z_m;
        box.height_m = c.height_m;
        const scene::BoxExtent e = scene::Extent(c.camera, box);
        EXPECT_NEAR(e.d_pix, c.d_pix, 1e-5);
        EXPECT_EQ(e.uLeft, c.uLeft);
        EXPECT_EQ(e.uRight, c.uRight);
        EXPECT_EQ(e.vBottom, c.vBottom);
        EXPECT_EQ(e.vTop, c.vTop);
    }
}

TEST(SceneGeometry, ExactPictureShowsRoadSkyAndNearestBox) {
    // far: columns 201..263, rows 55..150; near: columns 232..421, rows 139..234.
    scene::Scene s = Parse("road -2 2\nbox far -1 1 30 3\nbox near 0 2 10 1\n");
    const std::vector<double> d = scene::RenderExactDisparity(s);
    ASSERT_EQ(d.size(), static_cast<size_t>(TOTAL_PIXELS));
    const scene::BoxExtent far = scene::Extent(DEFAULT_CAMERA, s.boxes[0]);
    const scene::BoxExtent near = scene::Extent(DEFAULT_CAMERA, s.boxes[1]);
    ASSERT_EQ(far.vTop, 55);
    ASSERT_EQ(far.vBottom, 150);
    ASSERT_EQ(near.vTop, 139);
    ASSERT_EQ(near.vBottom, 234);

    for (int v = 0; v < far.vTop; v += 6) {
        for (int u = 0; u < TOTAL_U; u += 7) EXPECT_EQ(d[At(u, v)], 0.0) << "sky at " << u << "," << v;
    }
    // Below the boxes the road carries its row's disparity out to 2 m, nothing beyond.
    const int v = 300;
    const double z = BF_PIX / scene::RoadDisparity(DEFAULT_CAMERA, v);
    const int edge = 232 + static_cast<int>(2.0 * F_PIX / z);
    EXPECT_EQ(d[At(232, v)], scene::RoadDisparity(DEFAULT_CAMERA, v));
    EXPECT_EQ(d[At(edge - 1, v)], scene::RoadDisparity(DEFAULT_CAMERA, v));
    EXPECT_EQ(d[At(edge + 2, v)], 0.0);

    // The near box hides the far one where they overlap, whatever their order in the file.
    EXPECT_EQ(d[At(233, 149)], near.d_pix);
    EXPECT_EQ(d[At(202, 149)], far.d_pix);
    EXPECT_EQ(d[At(233, 56)], far.d_pix);  // the far box rises above the near one
    EXPECT_EQ(d[At(263, 138)], far.d_pix);
    EXPECT_EQ(d[At(264, 138)], scene::RoadDisparity(DEFAULT_CAMERA, 138));  // 1.3 m to the right at 42 m: road
    std::swap(s.boxes[0], s.boxes[1]);
    EXPECT_EQ(scene::RenderExactDisparity(s), d);

    // A box covers exactly its extent: road beside it and below it, nothing off the road.
    EXPECT_EQ(d[At(421, 234)], near.d_pix);
    EXPECT_EQ(d[At(231, 200)], scene::RoadDisparity(DEFAULT_CAMERA, 200));
    EXPECT_EQ(d[At(233, 235)], scene::RoadDisparity(DEFAULT_CAMERA, 235));
    EXPECT_EQ(d[At(422, 200)], 0.0);  // 3.2 m to the right at 16 m
}

TEST(ScenePicture, DecodesToTheRoadAndBoxDisparitiesWithinOneStepAndTheNoise) {
    const scene::Scene s = ProjectScene();
    const std::vector<double> exact = scene::RenderExactDisparity(s);
    const std::vector<unsigned char> bytes = scene::EncodeDisparity(DEFAULT_CAMERA, scene::RenderDisparity(s));
    ASSERT_EQ(bytes.size(), static_cast<size_t>(TOTAL_PIXELS * 4));
    const double noiseBound = 6.0 * s.noise_pix;  // the noise is a sum of twelve uniforms

    std::vector<scene::BoxExtent> extents;
    for (const scene::Box& b : s.boxes) extents.push_back(scene::Extent(DEFAULT_CAMERA, b));
    int roadRows = 0;
    for (int v = 0; v < TOTAL_V; ++v) {
        const double road = scene::RoadDisparity(DEFAULT_CAMERA, v);
        double sum = 0.0;
        int count = 0;
        for (int u = 0; u < TOTAL_U; ++u) {
            const double e = exact[At(u, v)];
            const double got = Decoded(bytes.data(), u, v);
            if (e == 0.0) {
                EXPECT_EQ(got, 0.0) << u << "," << v;
                continue;
            }
            if (got == 0.0) continue;  // a hole
            EXPECT_LE(got, e + noiseBound + 0.01) << u << "," << v;
            EXPECT_GE(got, e - noiseBound - Step(e + noiseBound)) << u << "," << v;
            if (e == road) {
                sum += got;
                ++count;
            }
        }
        if (count >= 20) {
            // Averaged over the row the noise nearly cancels; the code's truncation remains.
            const double mean = sum / count;
            const double slack = 5.0 * s.noise_pix / std::sqrt(static_cast<double>(count));
            EXPECT_LE(mean, road + 0.01 + slack) << "row " << v;
            EXPECT_GE(mean, road - Step(road) - slack) << "row " << v;
            ++roadRows;
        }
    }
    EXPECT_GT(roadRows, 230);  // of the 251 rows below the horizon; the farthest are narrow

    // Each obstacle shows its own disparity where it is not hidden (the lorry above the car).
    for (size_t i = 0; i < s.boxes.size(); ++i) {
        const scene::BoxExtent& e = extents[i];
        EXPECT_NEAR(e.d_pix, BF_PIX / s.boxes[i].z_m, 1e-12);
        const int u = (e.uLeft + e.uRight) / 2;
        int shown = 0;
        for (int v = e.vTop; v <= e.vBottom; ++v) {
            const double got = Decoded(bytes.data(), u, v);
            if (got == 0.0 || exact[At(u, v)] != e.d_pix) continue;
            EXPECT_NEAR(got, e.d_pix, noiseBound + Step(e.d_pix + noiseBound)) << s.boxes[i].name << " row " << v;
            ++shown;
        }
        EXPECT_GT(shown, 20) << s.boxes[i].name;
    }
}

TEST(ScenePicture, TheLorryShowsAboveTheCarAhead) {
    const scene::Scene s = ProjectScene();
    const std::vector<double> exact = scene::RenderExactDisparity(s);
    const scene::BoxExtent car = scene::Extent(DEFAULT_CAMERA, *Find(s, "car_ahead"));
    const scene::BoxExtent lorry = scene::Extent(DEFAULT_CAMERA, *Find(s, "lorry"));
    ASSERT_LT(lorry.vTop, car.vTop);
    ASSERT_GT(lorry.vBottom, car.vTop);
    const int u = 232;
    for (int v = lorry.vTop; v < car.vTop; ++v) EXPECT_EQ(exact[At(u, v)], lorry.d_pix) << v;
    for (int v = car.vTop; v <= car.vBottom; ++v) EXPECT_EQ(exact[At(u, v)], car.d_pix) << v;
}

TEST(ScenePicture, NoiseAndHolesAreMildAndRepeatable) {
    const scene::Scene s = ProjectScene();
    const std::vector<double> exact = scene::RenderExactDisparity(s);
    const std::vector<double> noisy = scene::RenderDisparity(s);
    size_t valid = 0;
    size_t holes = 0;
    double squares = 0.0;
    for (size_t i = 0; i < exact.size(); ++i) {
        if (exact[i] == 0.0) {
            EXPECT_EQ(noisy[i], 0.0);
            continue;
        }
        ++valid;
        if (noisy[i] == 0.0) {
            ++holes;
        } else {
            squares += (noisy[i] - exact[i]) * (noisy[i] - exact[i]);
        }
    }
    const double sigma = std::sqrt(squares / static_cast<double>(valid - holes));
    EXPECT_NEAR(sigma, s.noise_pix, 0.1 * s.noise_pix);
    const double holeShare = static_cast<double>(holes) / static_cast<double>(valid);
    EXPECT_GT(holeShare, 0.5 * s.holes);
    EXPECT_LT(holeShare, 2.0 * s.holes);

    // Some holes come in blobs: 2 x 2 squares of holes on the road.
    int blobs = 0;
    for (int v = 200; v < TOTAL_V - 1; ++v) {
        for (int u = 0; u < TOTAL_U - 1; ++u) {
            if (noisy[At(u, v)] == 0.0 && noisy[At(u + 1, v)] == 0.0 && noisy[At(u, v + 1)] == 0.0 &&
                noisy[At(u + 1, v + 1)] == 0.0 && exact[At(u, v)] != 0.0 && exact[At(u + 1, v + 1)] != 0.0) {
                ++blobs;
            }
        }
    }
    EXPECT_GT(blobs, 100);

    EXPECT_EQ(scene::RenderDisparity(s), noisy);
    scene::Scene other = s;
    other.seed = s.seed + 1;
    EXPECT_NE(scene::RenderDisparity(other), noisy);
}

TEST(SceneEmbedded, ArraysAreTheRenderedProjectScene) {
    const scene::Scene s = ProjectScene();
    const std::vector<unsigned char> disparity = scene::EncodeDisparity(DEFAULT_CAMERA, scene::RenderDisparity(s));
    EXPECT_EQ(std::memcmp(bmpdata_disparity, disparity.data(), disparity.size()), 0);
    const std::vector<unsigned char> grey = scene::RenderGrey(s);
    ASSERT_EQ(grey.size(), sizeof(bmpdata_8bpp));
    EXPECT_EQ(std::memcmp(bmpdata_8bpp, grey.data(), grey.size()), 0);
    const std::vector<unsigned char> top = scene::RenderTopView(DEFAULT_CAMERA);
    ASSERT_EQ(top.size(), sizeof(data_f10));
    EXPECT_EQ(std::memcmp(data_f10, top.data(), top.size()), 0);

    // The header describes the 32-bit picture: "BM", 806454 bytes, pixels at 54, 560 x 360.
    const unsigned char* h = bmpheader_disparity;
    EXPECT_EQ(h[0], 'B');
    EXPECT_EQ(h[1], 'M');
    EXPECT_EQ(h[2] | h[3] << 8 | h[4] << 16, 806454);
    EXPECT_EQ(h[10], 54);
    EXPECT_EQ(h[18] | h[19] << 8, 560);
    EXPECT_EQ(h[22] | h[23] << 8, 360);
    EXPECT_EQ(h[28], 32);
    // The fourth byte of every pixel is unused.
    for (size_t i = 3; i < sizeof(bmpdata_disparity); i += 4) ASSERT_EQ(bmpdata_disparity[i], 0) << i;
}

TEST(SceneEmbedded, GreyAndTopViewRowsRunBottomUp) {
    const scene::Scene s = ProjectScene();
    const std::vector<unsigned char> grey = scene::RenderGrey(s);
    ASSERT_EQ(grey.size(), static_cast<size_t>(656 * 486));
    // The first stored row is the bottom of the picture (road), the last the top (sky, brighter).
    const auto rowMean = [&](int stored) {
        double sum = 0.0;
        for (int u = 0; u < 656; ++u) sum += grey[static_cast<size_t>(stored * 656 + u)];
        return sum / 656.0;
    };
    EXPECT_GT(rowMean(485), rowMean(0) + 60.0);
    // The car ahead, 15 m away, is darker than the road around it. Its centre is at camera
    // column 328 and camera row 63 + (97 + 192) / 2 = 207.
    const auto cameraPixel = [&](int uc, int vc) { return grey[static_cast<size_t>((485 - vc) * 656 + uc)]; };
    EXPECT_LT(cameraPixel(328, 207) + 15, cameraPixel(328, 63 + 300));

    const std::vector<unsigned char> top = scene::RenderTopView(DEFAULT_CAMERA);
    ASSERT_EQ(top.size(), static_cast<size_t>(200 * 480));
    const auto topPixel = [&](int u, int stored) { return top[static_cast<size_t>(stored * 200 + u)]; };
    // Distance lines every 5 m (40 rows of 0.125 m) from the bottom, brighter every 10 m.
    for (int stored : {0, 40, 80, 440}) EXPECT_GT(topPixel(20, stored), topPixel(20, stored + 1) + 40) << stored;
    EXPECT_GT(topPixel(20, 80), topPixel(20, 40));
    EXPECT_EQ(topPixel(20, 20), topPixel(20, 21));
    // The camera axis and the edges of the detection zone (+-1.5 m = 12 columns).
    EXPECT_GT(topPixel(100, 20), topPixel(99, 20));
    EXPECT_GT(topPixel(88, 20), topPixel(87, 20));
    EXPECT_GT(topPixel(112, 20), topPixel(113, 20));
}

TEST(SceneOutput, WritesTheBmps) {
    const fs::path dir = fs::path(::testing::TempDir()) / "scene_output";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const scene::Scene s = ProjectScene();
    ASSERT_TRUE(scene::WriteSceneBmps(s, dir.string()));
    EXPECT_EQ(fs::file_size(dir / "disparity.bmp"), 54u + 560u * 3u * 360u);
    EXPECT_EQ(fs::file_size(dir / "grey.bmp"), 54u + 1024u + 656u * 486u);
    EXPECT_EQ(fs::file_size(dir / "topview.bmp"), 54u + 1024u + 200u * 480u);

    // The colour BMP holds the embedded picture without its fourth bytes.
    std::ifstream in(dir / "disparity.bmp", std::ios::binary);
    const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (size_t p = 0; p < 560u * 360u; p += 997) {
        for (size_t c = 0; c < 3; ++c) ASSERT_EQ(file[54 + 3 * p + c], bmpdata_disparity[4 * p + c]) << p;
    }

    EXPECT_FALSE(scene::WriteSceneBmps(s, (dir / "missing").string()));
    fs::remove_all(dir);
}
