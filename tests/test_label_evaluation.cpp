// Scoring against object labels in KITTI's tracking layout: the labels reader and its messages,
// the boxes' footprints worked out by hand, the scores of a small hand-made run worked out by hand,
// the program's mode, and a run of obstacle-track on the real labelled city road.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "Evaluation.h"
#include "LabelEvaluation.h"
#include "ObjectLabels.h"
#include "ProgramRunner.h"

namespace {

const double HALF_PI = std::acos(0.0);

ObjectLabel Label(int frame, int id, double x, double z, double w, double l, double rotationY,
                  const std::string& type = "Car", double truncated = 0.0, int occluded = 0) {
    return ObjectLabel{frame, id, type, truncated, occluded, 1.5, w, l, x, 1.6, z, rotationY};
}

TrackReport Track(int track, int count, double z, double x, double w) {
    return TrackReport{track, count, z, x, w, 0.0, track};
}

std::string LabelsFault(const std::string& text) {
    std::istringstream in(text);
    try {
        ReadObjectLabels(in, "labels.txt");
    } catch (const InputError& e) {
        return e.what();
    }
    return "";
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

Camera ZoneCamera(double left_m, double right_m) {
    Camera camera = DEFAULT_CAMERA;
    camera.zoneL_m = left_m;
    camera.zoneR_m = right_m;
    return camera;
}

}  // namespace

TEST(ObjectLabels, FootprintsOfTurnedBoxes) {
    // A box 4 m long and 2 m wide: its length along x at rotation_y 0, along z at +-pi/2 (a car
    // driving ahead or toward the camera), and at pi/4 each half-side reaches (2 + 1) / sqrt 2.
    const double diagonal = 3.0 / std::sqrt(2.0);
    const struct {
        double x, z, rotationY;
        Footprint expected;
    } cases[] = {
        {1.0, 10.0, 0.0, {-1.0, 3.0, 9.0}},
        {-9.0, 25.0, HALF_PI, {-10.0, -8.0, 23.0}},
        {-9.0, 25.0, -HALF_PI, {-10.0, -8.0, 23.0}},
        {0.0, 20.0, HALF_PI / 2.0, {-diagonal, diagonal, 20.0 - diagonal}},
    };
    for (const auto& c : cases) {
        const Footprint f = FootprintOf(Label(0, 0, c.x, c.z, 2.0, 4.0, c.rotationY));
        EXPECT_NEAR(f.xLeft_m, c.expected.xLeft_m, 1e-12) << c.rotationY;
        EXPECT_NEAR(f.xRight_m, c.expected.xRight_m, 1e-12) << c.rotationY;
        EXPECT_NEAR(f.zNearest_m, c.expected.zNearest_m, 1e-12) << c.rotationY;
    }
    EXPECT_TRUE(LabelVisible(Label(0, 0, 0, 10, 2, 4, 0, "Car", 0.0, 1)));
    EXPECT_FALSE(LabelVisible(Label(0, 0, 0, 10, 2, 4, 0, "Car", 0.0, 2)));
    EXPECT_FALSE(LabelVisible(Label(0, 0, 0, 10, 2, 4, 0, "Car", 1.0, 0)));
}

TEST(ObjectLabels, ReadsKittisLayoutAndNamesTheFaultyLine) {
    const std::string car = "0 2 Car 0 1 1.94 307.62 168.83 405.85 238.03 2.17 1.71 4.33 -8.58 2.07 24.92 1.61";
    std::istringstream in(car + "\r\n\n0 -1 DontCare -1 -1 -10 1 2 3 4 -1 -1 -1 -1000 -1000 -1000 -10\n"
                                "3 7 Cyclist 0 0 -1.6 718.4 153.5 747.5 186.0 1.7 0.6 1.8 11.0 1.5 37.6 -1.5\n");
    const std::vector<ObjectLabel> labels = ReadObjectLabels(in, "labels.txt");
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0].frame, 0);
    EXPECT_EQ(labels[0].id, 2);
    EXPECT_EQ(labels[0].type, "Car");
    EXPECT_EQ(labels[0].occluded, 1);
    EXPECT_EQ(labels[0].h_m, 2.17);
    EXPECT_EQ(labels[0].w_m, 1.71);
    EXPECT_EQ(labels[0].l_m, 4.33);
    EXPECT_EQ(labels[0].x_m, -8.58);
    EXPECT_EQ(labels[0].z_m, 24.92);
    EXPECT_EQ(labels[0].rotationY, 1.61);
    EXPECT_EQ(labels[1].type, "Cyclist");
    EXPECT_EQ(labels[1].frame, 3);

    const struct {
        std::string line;
        std::string message;
    } bad[] = {
        {"0 2 Car 0 1 1.94 307.62 168.83 405.85 238.03 2.17 1.71 4.33 -8.58 2.07 24.92", "expected 17 fields"},
        {car + " 0", "expected 17 fields"},
        {"0 2 Bus" + car.substr(7), "unknown object type \"Bus\""},
        {"0.5" + car.substr(1), "frame is not an integer: \"0.5\""},
        {"-1" + car.substr(1), "frame must not be negative"},
        {"0 2 Car 0 4" + car.substr(11), "occluded must be 0 to 3"},
        {"0 2 Car nan" + car.substr(9), "truncated is not a finite number: \"nan\""},
        {car.substr(0, car.size() - 4) + "0x1p", "rotation_y is not a finite number"},
        {Replaced(car, " 1.71 ", " -1.71 "), "h, w and l must not be negative"},
        {Replaced(car, "307.62", "a"), "the 2D box is not a finite number"},
        {car + "\n" + car, "object 2 appears twice in frame 0"},
    };
    for (const auto& c : bad) {
        const std::string fault = LabelsFault("\n" + c.line + "\n");
        const std::string line = c.message.rfind("object", 0) == 0 ? "3" : "2";
        EXPECT_EQ(fault.rfind("labels.txt:" + line + ": ", 0), 0u) << c.line << " -> " << fault;
        EXPECT_NE(fault.find(c.message), std::string::npos) << c.line << " -> " << fault;
    }
    EXPECT_EQ(LabelsFault(std::string(5000, '0')), "labels.txt:1: line longer than 4096 bytes");
}

TEST(LabelEvaluation, ScoresConfirmedTracksOnCountedObjects) {
    // Zone -4..4 m, range 50 m. Object 0: a car driving ahead (length along z) at x = -3, its
    // extent -4..-2 m reaching into the zone, nearest face 20 m ahead. Object 1: a cyclist across
    // the view at x = 0, nearest face 10 m, occluded 2 (not counted) in frame 0. Object 5: a car
    // whose nearest face is 50 m ahead, counted in frame 0 and never found. Not counted: a tram
    // beyond the range (2), a car beside the zone (3), a truncated car (4).
    std::vector<ObjectLabel> labels;
    for (int f = 0; f < 5; ++f) {
        labels.push_back(Label(f, 0, -3.0, 22.0, 2.0, 4.0, HALF_PI));
        labels.push_back(Label(f, 1, 0.0, 10.3, 0.6, 1.8, 0.0, "Cyclist", 0.0, f == 0 ? 2 : 1));
        labels.push_back(Label(f, 2, 0.0, 61.0, 2.4, 20.0, HALF_PI, "Tram"));
        labels.push_back(Label(f, 3, 6.0, 15.0, 1.6, 4.0, HALF_PI));
        labels.push_back(Label(f, 4, 0.0, 30.0, 1.6, 4.0, HALF_PI, "Car", 1.0));
    }
    labels.push_back(Label(0, 5, 3.0, 51.0, 2.0, 4.0, 0.0));
    // Trajectory 1 holds car 0 from frame 1 (not confirmed in frame 0), trajectory 5 takes it in
    // frame 3, and 1 again in frame 4: two switches. Trajectory 2 is confirmed by the results'
    // own flag at two updates, and its 11.8 m in frame 3 lies beyond the gate, 1.5 m at 10 m.
    // Trajectories 7 (the tram), 8 (car 3), 9 (car 4) and 6 (a tree) are neither hits nor misses.
    TrackReport early = Track(2, 2, 10.0, 0.2, 0.5);
    early.confirmed = true;
    const std::vector<FrameResult> results = {
        {0, {Track(1, 1, 20.0, -3.0, 1.8), Track(7, 9, 55.0, 0.0, 2.0), Track(6, 5, 15.0, 1.0, 0.5)}},
        {1, {Track(1, 3, 21.0, -3.0, 1.8), early, Track(8, 4, 13.0, 6.0, 1.6)}},
        {2, {Track(1, 4, 20.5, -3.0, 1.8), Track(2, 3, 10.5, 0.2, 0.5), Track(9, 4, 28.0, 0.0, 1.6)}},
        {3, {Track(5, 3, 19.0, -2.5, 1.0), Track(2, 4, 11.8, 0.2, 0.5)}},
        {4, {Track(1, 5, 20.0, -3.0, 1.8), Track(2, 5, 10.2, 0.2, 0.5)}},
    };
    const LabelScores s = EvaluateLabels(labels, results, ZoneCamera(-4.0, 4.0), 50.0);
    EXPECT_EQ(s.frames, 5);
    EXPECT_EQ(s.counted, 5 + 4 + 1);
    EXPECT_EQ(s.found, 4 + 3);
    EXPECT_NEAR(*s.foundShare, 0.7, 1e-12);
    // Errors: car 0 5 %, 2.5 %, 5 %, 0; cyclist 0, 5 %, 2 %. Sorted, the fourth of seven is 2.5 %,
    // and the 95th percentile lies between the two largest, both 5 %.
    EXPECT_NEAR(*s.distanceErrorMedian, 0.025, 1e-12);
    EXPECT_NEAR(*s.distanceErrorP95, 0.05, 1e-12);
    EXPECT_EQ(s.switches, 2);
    EXPECT_EQ(s.objectsFound, 2);
    EXPECT_NEAR(*s.trajectoriesPerObject, (2.0 + 1.0) / 2.0, 1e-12);
    ASSERT_EQ(s.objects.size(), 3u);
    const int expected[3][4] = {{0, 5, 4, 2}, {1, 4, 3, 1}, {5, 1, 0, 0}};  // id, counted, found, trajectories
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(s.objects[k].id, expected[k][0]);
        EXPECT_EQ(s.objects[k].counted, expected[k][1]) << s.objects[k].id;
        EXPECT_EQ(s.objects[k].found, expected[k][2]) << s.objects[k].id;
        EXPECT_EQ(s.objects[k].trajectories, expected[k][3]) << s.objects[k].id;
    }
    EXPECT_EQ(s.objects[1].type, "Cyclist");

    // The range and the zone decide what counts: at 60 m the tram's nearest face (51 m) counts and
    // trajectory 7 at 55 m lies within 15 % of it in frame 0 only (then the tram has no track).
    const LabelScores far = EvaluateLabels(labels, results, ZoneCamera(-4.0, 4.0), 60.0);
    EXPECT_EQ(far.counted, 10 + 5);
    EXPECT_EQ(far.found, 7 + 1);
    const LabelScores wide = EvaluateLabels(labels, results, ZoneCamera(-8.0, 8.0), 50.0);
    EXPECT_EQ(wide.counted, 10 + 5);
    EXPECT_EQ(wide.found, 7 + 1);  // car 3 found by trajectory 8 in frame 1: 13 m against 13 m

    // Nothing counted: no shares. A label of a frame the run did not process is refused.
    const LabelScores none = EvaluateLabels({}, results, ZoneCamera(-4.0, 4.0));
    EXPECT_EQ(none.counted, 0);
    EXPECT_FALSE(none.foundShare.has_value());
    EXPECT_FALSE(none.trajectoriesPerObject.has_value());
    EXPECT_THROW(EvaluateLabels({Label(5, 0, 0.0, 10.0, 2.0, 4.0, 0.0)}, results, ZoneCamera(-4.0, 4.0)),
                 EvaluationError);
}

TEST(LabelEvaluation, ObjectsTakeTheirTracksNearestFirst) {
    // Two cars side by side in the zone, 10 m and 10.8 m to their nearest faces, and one
    // confirmed track overlapping both at 10.5 m: the nearer car takes it, the other is missed.
    const std::vector<ObjectLabel> labels = {Label(0, 1, -1.0, 11.0, 2.0, 2.0, 0.0), Label(0, 2, 1.0, 11.8, 2.0, 2.0, 0.0)};
    const LabelScores s = EvaluateLabels(labels, {{0, {Track(3, 3, 10.5, 0.0, 3.0)}}}, ZoneCamera(-4.0, 4.0));
    ASSERT_EQ(s.objects.size(), 2u);
    EXPECT_EQ(s.objects[0].found, 1);
    EXPECT_EQ(s.objects[1].found, 0);
    EXPECT_NEAR(*s.distanceErrorMedian, 0.05, 1e-12);
}

// A car whose nearest face is 20 m ahead, and two confirmed tracks near it (on its parts, or on
// what stands behind it): the trajectory that holds it keeps it while it still matches, although
// the other lies nearer (frames 1, 2 and 4); it changes hands only where the holder has let go
// (frame 3, 24 m lies beyond 15 % of 20 m). One switch and two trajectories; taking the least
// error every frame would make two switches (frames 1 and 4).
TEST(LabelEvaluation, AnObjectKeepsItsTrajectoryWhileThatStillMatches) {
    std::vector<ObjectLabel> labels;
    for (int f = 0; f < 5; ++f) labels.push_back(Label(f, 1, 0.0, 22.0, 2.0, 4.0, HALF_PI));
    const double holderZ_m[] = {20.8, 20.8, 20.8, 24.0, 20.0};
    const double otherZ_m[] = {40.0, 20.1, 20.1, 20.1, 20.4};
    std::vector<FrameResult> results;
    for (int f = 0; f < 5; ++f) {
        results.push_back({f, {Track(1, 3 + f, holderZ_m[f], 0.0, 1.8), Track(2, 3 + f, otherZ_m[f], 0.2, 1.6)}});
    }
    const LabelScores s = EvaluateLabels(labels, results, ZoneCamera(-4.0, 4.0));
    EXPECT_EQ(s.found, 5);
    EXPECT_EQ(s.switches, 1);
    EXPECT_NEAR(*s.trajectoriesPerObject, 2.0, 1e-12);
    // Errors 4 %, 4 %, 4 %, 0.5 %, 2 %.
    EXPECT_NEAR(*s.distanceErrorMedian, 0.04, 1e-12);
}

TEST(LabelEvaluation, TheProgramScoresLabelsAsTableAndJson) {
    const std::string dir = testing::TempDir() + std::to_string(getpid()) + "_";
    const std::string labels = dir + "eval_labels.txt";
    const std::string results = dir + "eval_label_results.jsonl";
    const std::string camera = dir + "eval_label_camera.txt";
    {
        std::ofstream l(labels);
        std::ofstream r(results);
        for (int f = 0; f < 3; ++f) {
            // A car 2 m wide ahead, its nearest face at 20 m; a confirmed track 1 m behind it.
            l << f << " 4 Car 0 0 0 0 0 10 10 1.5 2 4 0 1.6 22 1.5707963267948966\n";
            r << "{\"frame\": " << f << ", \"tracks\": [{\"id\": 1, \"track\": 1, \"count\": " << f + 3
              << ", \"z_m\": 21, \"x_m\": 0, \"w_m\": 1.5, \"vz_mps\": 0}]}\n";
        }
    }
    std::ofstream(camera) << "f_pix = 949.1\nbaseline_m = 0.15\nu0_pix = 232\nv0_pix = 180\nwidth_pix = 560\n"
                             "height_pix = 360\nzoneL_m = -12\nzoneR_m = 12\n";
    const std::string args = "--labels " + labels + " --results " + results + " --camera " + camera;
    const ProgramResult json = RunProgram(OBSTACLE_EVAL_EXE, args + " --json");
    ASSERT_EQ(json.status, 0);
    const nlohmann::json scores = nlohmann::json::parse(json.output);
    EXPECT_EQ(scores["object_frames"], 3);
    EXPECT_EQ(scores["found_share"], 1.0);
    EXPECT_EQ(scores["object_distance_error_median"], 0.05);
    EXPECT_EQ(scores["trajectories_per_object"], 1.0);
    EXPECT_EQ(scores["per_object"][0]["type"], "Car");
    const ProgramResult table = RunProgram(OBSTACLE_EVAL_EXE, args);
    EXPECT_EQ(table.status, 0);
    EXPECT_NE(table.output.find("found, share                             1.0000\n"), std::string::npos) << table.output;
    EXPECT_NE(table.output.find("       4 Car                     3        3            1\n"), std::string::npos)
        << table.output;
    // Beyond a range of 19 m nothing counts.
    const ProgramResult near = RunProgram(OBSTACLE_EVAL_EXE, args + " --range 19 --json");
    ASSERT_EQ(near.status, 0);
    EXPECT_EQ(nlohmann::json::parse(near.output)["object_frames"], 0);

    const struct {
        std::string arguments;
        std::string message;
    } refused[] = {
        {args + " --range 0", "--range: '0' is not a number above 0"},
        {"--truth " + labels + " " + args, "give one of --truth, --labels or --disparity"},
        {"--truth " + labels + " --results " + results + " --range 10", "--range goes with --labels"},
        {"--labels " + camera + " --results " + results, camera + ":1: expected 17 fields"},
    };
    for (const auto& c : refused) {
        const ProgramResult r = RunProgram(OBSTACLE_EVAL_EXE, c.arguments + " 2>&1");
        EXPECT_EQ(r.status, 2) << c.arguments;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    }
}

// The city road's own labels (../shared/kitti/city): 15 objects, of which the tram drives 72 to
// 100 m ahead (never within 50 m) and the two cyclists ride at x = +11 m, inside a zone of +-12 m.
// The run takes the road's pitch the recording states (its horizon at the principal row); the
// share found is held to a guard below what the tracker reaches, the floors of
// data/street/city/floors being what it is to reach.
TEST(LabelEvaluation, TheRealCityRoadAgainstItsLabels) {
    const std::string city = std::string(KITTI_DIR) + "/city";
    if (!std::filesystem::exists(city + "/labels_tracking_cam0.txt")) {
        GTEST_SKIP() << "no KITTI city recording at " << KITTI_DIR;
    }
    const std::string out = testing::TempDir() + "obstacle_city_" + std::to_string(getpid());
    const ProgramResult run = RunProgram(OBSTACLE_TRACK_EXE, "--disparity " + city + "/disp_sgbm/XXXXXX.png --camera " + city +
                                                                 "/calib.txt --camera-height 1.65 --pitch 0 --fps 10 --zone -12,12 --quiet"
                                                                 " --camera-out " + out + ".cam --json " + out + ".jsonl 2>/dev/null");
    ASSERT_EQ(run.status, 0);
    const ProgramResult scored = RunProgram(OBSTACLE_EVAL_EXE, "--labels " + city + "/labels_tracking_cam0.txt --results " +
                                                                   out + ".jsonl --camera " + out + ".cam --json");
    std::filesystem::remove(out + ".cam");
    std::filesystem::remove(out + ".jsonl");
    ASSERT_EQ(scored.status, 0);
    const nlohmann::json s = nlohmann::json::parse(scored.output);
    EXPECT_EQ(s["frames"], 108);
    std::map<std::string, int> types;
    for (const auto& object : s["per_object"]) {
        ++types[object["type"].get<std::string>()];
        EXPECT_NE(object["id"], 3) << "the tram is never within 50 m";
    }
    EXPECT_EQ(types["Cyclist"], 2);
    EXPECT_EQ(types.count("Tram"), 0u);
    EXPECT_GE(types["Car"], 8);
    EXPECT_GE(s["found_share"].get<double>(), 0.5);
}
