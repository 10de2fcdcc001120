// The pieces obstacle-track is made of: options, frame file names, the shared frame loop, the
// record of what association did, the JSON Lines and MOT writers and the overlay drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Builders.h"
#include "DetectorInternals.h"
#include "EgoMotion.h"
#include "EmbeddedRun.h"
#include "FileFrames.h"
#include "FrameReport.h"
#include "Imageread.h"
#include "KittiTracking.h"
#include "Overlay.h"
#include "PictureBox.h"
#include "RunDriver.h"
#include "TrackAssociation.h"
#include "TrackOptions.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

bool Parse(std::vector<const char*> args, TrackOptions& options, std::string& error) {
    args.insert(args.begin(), "obstacle-track");
    return ParseTrackOptions(static_cast<int>(args.size()), args.data(), options, error);
}

// Road rows 150 + 2 d: a road that lies 2 rows lower for every pixel of disparity.
void LinearRoad(int ground[LUT_NUM]) {
    for (int d = 0; d < LUT_NUM; ++d) ground[d] = 150 + 2 * d;
}

// The embedded pictures, with frame `failAt` missing.
class GapSource : public FrameSource {
public:
    explicit GapSource(int failAt) : failAt(failAt) {}
    bool LoadDisparity(const FrameNames& names, int frame, RunState& run, std::string& error) override {
        if (frame != failAt) return embedded.LoadDisparity(names, frame, run, error);
        error = "frame " + std::to_string(frame) + " is missing";
        return false;
    }
    bool LoadGrey(const FrameNames& names, int frame, qim::Image& img, std::string& error) override {
        return embedded.LoadGrey(names, frame, img, error);
    }

private:
    int failAt;
    EmbeddedFrames embedded;
};

}  // namespace

TEST(TrackOptions, DefaultsValuesInBothFormsAndFlags) {
    TrackOptions o;
    std::string error;
    ASSERT_TRUE(Parse({}, o, error)) << error;
    EXPECT_EQ(o.first, 410);
    EXPECT_EQ(o.last, 610);
    EXPECT_TRUE(o.disparityPattern.empty() && o.jsonPath.empty() && !o.grid && !o.quiet);

    ASSERT_TRUE(Parse({"--disparity", "d/XXXXX.bmp", "--grey=g/XXXXX.bmp", "--first", "00007", "--last=9", "--json", "-",
                       "--mot", "m.txt", "--overlay", "ov", "--overlay-detections", "--video", "v.mp4", "--grid", "--quiet"},
                      o, error))
        << error;
    EXPECT_EQ(o.disparityPattern, "d/XXXXX.bmp");
    EXPECT_EQ(o.greyPattern, "g/XXXXX.bmp");
    EXPECT_EQ(o.first, 7);
    EXPECT_EQ(o.last, 9);
    EXPECT_EQ(o.jsonPath, "-");
    EXPECT_EQ(o.motPath, "m.txt");
    EXPECT_EQ(o.overlayDir, "ov");
    EXPECT_EQ(o.videoPath, "v.mp4");
    EXPECT_TRUE(o.grid && o.quiet && o.overlayDetections);
    // A value may look like an option.
    ASSERT_TRUE(Parse({"--json", "--grid"}, o, error)) << error;
    EXPECT_EQ(o.jsonPath, "--grid");

    TrackOptions rig;
    ASSERT_TRUE(Parse({"--camera", "calib.txt", "--camera-height=1.65", "--pitch", "-0.02", "--fps", "10", "--zone",
                       "-4,+4.5", "--disparity-scale", "0.00390625", "--camera-out", "run.cam"},
                      rig, error))
        << error;
    EXPECT_EQ(rig.cameraPath, "calib.txt");
    EXPECT_EQ(rig.cameraOutPath, "run.cam");
    EXPECT_EQ(rig.camHeight_m, 1.65);
    EXPECT_EQ(rig.tanPitch, -0.02);
    EXPECT_EQ(rig.fps_hz, 10.0);
    EXPECT_EQ(rig.zoneL_m, -4.0);
    EXPECT_EQ(rig.zoneR_m, 4.5);
    EXPECT_EQ(rig.disparityScale, 1.0 / 256.0);
    EXPECT_FALSE(rig.kittiColour || rig.tentative);

    TrackOptions pair;
    ASSERT_TRUE(Parse({"--camera", "left.yaml", "--camera-right=right.yaml", "--kitti-pair", "colour",
                       "--kitti-tracking", "k.txt", "--tentative"},
                      pair, error))
        << error;
    EXPECT_EQ(pair.cameraRightPath, "right.yaml");
    EXPECT_EQ(pair.kittiTrackingPath, "k.txt");
    EXPECT_TRUE(pair.kittiColour && pair.tentative);
    // A frame number in the pattern leaves the range to the files found; --first alone is no refusal.
    EXPECT_TRUE(Parse({"--disparity", "d/XXXXXX.png", "--first", "700"}, rig, error)) << error;
    EXPECT_TRUE(RangeFromDisk(rig));

    // A single frame and the ends of the five-digit range are accepted.
    TrackOptions edge;
    EXPECT_TRUE(Parse({"--first", "99999", "--last", "99999"}, edge, error)) << error;
    EXPECT_TRUE(Parse({"--first", "0", "--last", "0"}, edge, error)) << error;
}

TEST(TrackOptions, RefusalsNameTheArgument) {
    const struct {
        std::vector<const char*> args;
        const char* message;
    } cases[] = {
        {{"--frist", "3"}, "'--frist': unknown option"},
        {{"-q"}, "'-q': unknown option"},
        {{"410"}, "'410': unexpected argument"},
        {{"--first", ""}, "--first: '' is not a frame number (0 to 99999)"},
        {{"--first", "+4"}, "--first: '+4' is not a frame number (0 to 99999)"},
        {{"--last", "123456789012"}, "--last: '123456789012' is not a frame number (0 to 99999)"},
        {{"--last"}, "--last: needs a value"},
        {{"--grey="}, "--grey: needs a value"},
        {{"--grid=1"}, "--grid: takes no value"},
        {{"--first", "700"}, "--last: 610 is before --first 700"},
        {{"--fps", "0"}, "--fps: '0' is not a number above 0"},
        {{"--kitti-pair", "color"}, "--kitti-pair: 'color' is not a camera pair (grey or colour)"},
        {{"--camera-right", "r.yaml"}, "--camera-right goes with --camera, the left camera's file"},
        {{"--camera-height=-1.65"}, "--camera-height: '-1.65' is not a number above 0"},
        {{"--pitch", "0.02rad"}, "--pitch: '0.02rad' is not a number"},
        {{"--disparity-scale", "inf"}, "--disparity-scale: 'inf' is not a number above 0"},
        {{"--zone", "4,-4"}, "--zone: '4,-4' is not LEFT_M,RIGHT_M with LEFT_M below RIGHT_M"},
        {{"--zone", "-4"}, "--zone: '-4' is not LEFT_M,RIGHT_M with LEFT_M below RIGHT_M"},
        {{"--camera"}, "--camera: needs a value"},
        {{"--json", ""}, "--json: needs a value"},
        {{"--first="}, "--first: '' is not a frame number (0 to 99999)"},
        {{"--last", "99999999999999999999"}, "--last: '99999999999999999999' is not a frame number (0 to 99999)"},
        {{"--bogus=1"}, "'--bogus=1': unknown option"},
        {{"--overlay-format", "jpg"}, "--overlay-format: 'jpg' is not a picture format (bmp or png)"},
        {{"--overlay-detections", "--json", "-"}, "--overlay-detections goes with --overlay or --video, which draw the pictures"},
        {{"--video"}, "--video: needs a value"},
        // Without a frame number on disk to find, the ends are known at once.
        {{"--disparity", "one.png", "--first", "700"}, "--last: 610 is before --first 700"},
    };
    for (const auto& c : cases) {
        TrackOptions o;
        std::string error;
        EXPECT_FALSE(Parse(c.args, o, error)) << c.message;
        EXPECT_EQ(error, std::string("obstacle-track: ") + c.message);
    }
}

TEST(FramePath, PutsTheZeroPaddedFrameNumberInPlaceOfEachRunOfX) {
    EXPECT_EQ(FramePath("rec/disp_XXXXX.bmp", 410), "rec/disp_00410.bmp");
    EXPECT_EQ(FramePath("XXXXX/XXXXX.bmp", 7), "00007/00007.bmp");
    EXPECT_EQ(FramePath("a_XXXXXXX.bmp", 99999), "a_0099999.bmp");
    EXPECT_EQ(FramePath("fixed.bmp", 410), "fixed.bmp");
    // KITTI's six digits and a number wider than its run; shorter runs of X are the name's own text.
    EXPECT_EQ(FramePath("disp_sgbm/XXXXXX.png", 42), "disp_sgbm/000042.png");
    EXPECT_EQ(FramePath("XXX.png", 1234), "1234.png");
    EXPECT_EQ(FramePath("rec/X1/XXXX-XX/dXXXXXXXXXX_XXXXXXXXXX.pfm", 7), "rec/X1/XXXX-XX/d0000000007_0000000007.pfm");
    EXPECT_EQ(FramePath("XX/Xray.bmp", 410), "XX/Xray.bmp");
}

TEST(RunSequence, FeedsEverySinkFrameAndStopsAtAMissingPictureOrARefusingSink) {
    GapSource source(3);
    std::ostringstream progress;
    std::vector<int> seen;
    RunOutcome outcome = RunSequence(DEFAULT_CAMERA, source, 1, 5, &progress, [&](int frame, const RunState& run, const AssociationRecord&) {
        seen.push_back(frame);
        EXPECT_EQ(DisparityPictureOf(run).cols, TOTAL_U);
        return true;
    });
    EXPECT_FALSE(outcome.complete);
    EXPECT_EQ(outcome.frames, 2);
    EXPECT_EQ(outcome.error, "frame 3 is missing");
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
    EXPECT_EQ(progress.str(), "Frame=1\nFrame=2\nFrame=3\n");

    seen.clear();
    outcome = RunSequence(DEFAULT_CAMERA, source, 1, 2, nullptr, [&](int frame, const RunState&, const AssociationRecord&) {
        seen.push_back(frame);
        return false;
    });
    EXPECT_FALSE(outcome.complete);
    EXPECT_EQ(outcome.frames, 0);
    EXPECT_EQ(outcome.error, "");
    EXPECT_EQ(seen, (std::vector<int>{1}));

    outcome = RunSequence(DEFAULT_CAMERA, source, 4, 5, nullptr, nullptr);
    EXPECT_TRUE(outcome.complete);
    EXPECT_EQ(outcome.frames, 2);
}

// Track A takes a detection that track B's search then pools into its own and removes: A's
// detection is no longer listed, B's is the pooled one, and a new track's is its own.
TEST(AssociationRecord, TellsWhichListedDetectionEachTrackTook) {
    std::vector<TrackingObject> tracks = {MakeTrack(0.6, 0.8, 10.0, 1.0, 62, 70), MakeTrack(0.0, 2.0, 10.0, 1.0, 50, 70)};
    IdManager ids;
    tracks[0].m_id = ids.Apply();
    tracks[1].m_id = ids.Apply();
    const DetectedObject leftPiece = MakeDetection(-1.0, -0.1, 10.0, 1.0, 50, 58);
    const DetectedObject rightPiece = MakeDetection(0.2, 1.0, 10.0, 1.0, 62, 70);
    const DetectedObject stranger = MakeDetection(0.5, 1.2, 20.0, 1.0, 100, 110);
    std::vector<DetectedObject> detections = {leftPiece, rightPiece, stranger};
    AssociationRecord record;
    AssociateTracks(DefaultGeometry(), tracks, ids, detections, &record);

    ASSERT_EQ(record.detections.size(), 2u);
    EXPECT_EQ(record.detections[0].lX_m, -1.0);  // the two pieces pooled
    EXPECT_EQ(record.detections[0].rX_m, 1.0);
    EXPECT_EQ(record.detections[1].d_pix, 20.0);
    ASSERT_EQ(tracks.size(), 3u);
    EXPECT_EQ(record.started, (std::vector<int32_t>{3}));
    for (const TrackingObject& t : tracks) {
        const int expected = t.m_id == 1 ? -1 : (t.m_id == 2 ? 0 : 1);
        EXPECT_EQ(TakenDetection(record, t), expected) << "track " << t.m_id;
    }
    // A track the record knows nothing of took nothing.
    TrackingObject other = tracks[0];
    other.m_id = 9;
    EXPECT_EQ(TakenDetection(record, other), -1);
}

TEST(FrameReport, JsonNumbersReadBackExactlyAndNonFiniteIsNull) {
    EXPECT_EQ(JsonNumber(0.1), "0.1");
    EXPECT_EQ(JsonNumber(410.0), "410");
    EXPECT_EQ(JsonNumber(-2.5e-7), "-2.5e-07");
    const double third = 1.0 / 3.0;
    EXPECT_EQ(std::stod(JsonNumber(third)), third);
    EXPECT_EQ(JsonNumber(NaN), "null");
    EXPECT_EQ(JsonNumber(std::numeric_limits<double>::infinity()), "null");
    EXPECT_EQ(JsonNumber(-std::numeric_limits<double>::infinity()), "null");
}

TEST(FrameReport, BoxesSpanTheColumnBlocksFromTheRoadRowUpToTheHeight) {
    int ground[LUT_NUM];
    LinearRoad(ground);
    // Road row at disparity 20: 190. Height 0.5 m at disparity 20: 0.5 x 20 / 0.15 = 66.7 rows.
    PictureBox b = ObstacleBox(DefaultGeometry(), 10, 12, 20.0, 0.5, ground);
    EXPECT_EQ(b.left, 40);
    EXPECT_EQ(b.right, 51);
    EXPECT_EQ(b.bottom, 190);
    EXPECT_EQ(b.top, 123);
    // Between two levels the road row is interpolated: 20.5 lies at row 191.
    EXPECT_EQ(ObstacleBox(DefaultGeometry(), 10, 12, 20.5, 0.0, ground).bottom, 191);

    // Whatever the values, the box stays inside the picture.
    b = ObstacleBox(DefaultGeometry(), 139, -4, NaN, NaN, ground);
    EXPECT_EQ(b.left, 0);
    EXPECT_EQ(b.right, TOTAL_U - 1);
    EXPECT_EQ(b.bottom, ground[0]);
    EXPECT_EQ(b.top, ground[0]);
    b = ObstacleBox(DefaultGeometry(), 500, 600, 1e300, 1e300, ground);
    EXPECT_EQ(b.left, 139 * SHIFT_PITCH);
    EXPECT_EQ(b.right, TOTAL_U - 1);
    EXPECT_EQ(b.bottom, ground[LUT_NUM - 1]);
    EXPECT_EQ(b.top, 0);
    ground[LUT_NUM - 1] = 5000;  // a road row below the picture
    EXPECT_EQ(ObstacleBox(DefaultGeometry(), 10, 12, 1e300, 0.0, ground).bottom, TOTAL_V - 1);
    b = ObstacleBox(DefaultGeometry(), 10, 12, -3.0, -1.0, ground);
    EXPECT_EQ(b.top, b.bottom);
}

TEST(FrameReport, JsonLineAndMotLinesOfAFrame) {
    RunState run;
    LinearRoad(run.ground);
    run.groundAccepted = true;
    run.roadProfile = RoadProfileKind::Reseeded;
    TrackingObject young = MakeTrack(0.25, 1.0, 20.0, 0.5, 10, 12);
    young.m_id = 4;
    young.m_count = 2;
    young.m_Z_m = BF_PIX / 20.0;
    young.m_X_m = 0.25;
    TrackingObject lost = young;
    lost.m_id = 7;
    lost.m_count = 3;
    lost.m_loss_co = 2;
    lost.m_X_m = NaN;
    run.preObject = {young, lost};
    AssociationRecord record;
    record.detections = {MakeDetection(-0.25, 0.75, 20.0, 0.5, 10, 12)};
    record.taken = {{4, record.detections[0]}};
    Grid& cell = run.grid[GRID(11, 20)];
    cell.exist = 10;
    cell.count = 2;
    cell.aveD = 20.25;
    run.grid[GRID(30, 40)].exist = 10;  // held out: count 0

    // Tracks the numbering has not seen are numbered in list order.
    TrajectoryNumbers numbers;
    numbers.Update(run.preObject, record);
    std::ostringstream line;
    const obstacle::FrameResult result = obstacle::FrameResultOf(run, record, numbers);
    WriteJsonFrame(line, 412, result, &run);
    ASSERT_EQ(line.str().back(), '\n');
    ASSERT_EQ(line.str().find('\n'), line.str().size() - 1);
    const nlohmann::json f = nlohmann::json::parse(line.str());
    EXPECT_EQ(f["frame"], 412);
    EXPECT_EQ(f["road"]["ground"][20], 190);
    EXPECT_EQ(f["road"]["accepted"], true);
    EXPECT_EQ(f["road"]["profile"], "reseeded");
    ASSERT_EQ(f["detections"].size(), 1u);
    EXPECT_EQ(f["detections"][0]["z_m"].get<double>(), BF_PIX / 20.0);
    EXPECT_EQ(f["detections"][0]["E_u"], 12);
    // The box of blocks 10..12 from the road row 190 up 0.5 m at disparity 20 (66.7 rows).
    EXPECT_EQ(f["detections"][0]["bb_left"], 40);
    EXPECT_EQ(f["detections"][0]["bb_top"], 123);
    EXPECT_EQ(f["detections"][0]["bb_width"], 12);
    EXPECT_EQ(f["detections"][0]["bb_height"], 68);
    ASSERT_EQ(f["tracks"].size(), 2u);
    EXPECT_EQ(f["tracks"][0]["id"], 4);
    EXPECT_EQ(f["tracks"][0]["track"], 1);
    EXPECT_EQ(f["tracks"][1]["track"], 2);
    EXPECT_EQ(f["tracks"][0]["det"], 0);
    EXPECT_EQ(f["tracks"][0]["x_m"], 0.25);
    EXPECT_EQ(f["tracks"][0]["count"], 2);
    EXPECT_TRUE(f["tracks"][1]["det"].is_null());
    EXPECT_TRUE(f["tracks"][1]["x_m"].is_null());
    EXPECT_EQ(f["tracks"][1]["loss"], 2);
    EXPECT_EQ(f["grid"], nlohmann::json::parse("[[11, 20, 20.25, 2]]"));
    EXPECT_FALSE(f.contains("path_curvature_pm"));  // no ego motion: the zone was straight

    // With the car's motion, the path the zone followed: 1 m along a circle turning 0.01 rad is a
    // chord of 2 r sin(0.005) = 1 m sin(0.005) / 0.005, of curvature 1 / r = 0.01 per metre.
    run.egoMotion = EgoMotionOfRates(1.0, 0.01, 1.0);
    std::ostringstream bent;
    WriteJsonFrame(bent, 412, obstacle::FrameResultOf(run, record, numbers), nullptr);
    EXPECT_NEAR(nlohmann::json::parse(bent.str())["path_curvature_pm"].get<double>(), 0.01, 1e-12);

    // MOTChallenge's 2D layout: class and visibility fields -1; the tentative track only when asked.
    std::ostringstream confirmed, all;
    WriteMotFrame(confirmed, 3, result, false);
    WriteMotFrame(all, 3, result, true);
    EXPECT_EQ(confirmed.str(), "3,2,40,123,12,68,1,-1,-1,-1\n");
    EXPECT_EQ(all.str(), "3,1,40,123,12,68,0,-1,-1,-1\n3,2,40,123,12,68,1,-1,-1,-1\n");
}

// KITTI's tracking labels: the MOT box as left top right bottom, the size and the bottom's middle
// in the left camera's axes. Through a level camera the road lies the camera's height below the
// optical axis at every distance.
TEST(KittiTracking, LinesOfAFrame) {
    Camera level = DEFAULT_CAMERA;
    level.tanPitch = 0.0;
    RunState run(level);
    LinearRoad(run.ground);
    TrackingObject young = MakeTrack(0.25, 1.0, 20.0, 0.5, 10, 12);
    young.m_id = 4;
    young.m_count = 2;
    young.m_Z_m = 8.0;
    TrackingObject old = young;
    old.m_id = 7;
    old.m_X_m = -1.5;
    old.m_count = ESTABLISHED_COUNT;
    old.m_Z_m = NaN;
    run.preObject = {young, old};
    TrajectoryNumbers numbers;
    numbers.Update(run.preObject, AssociationRecord{});

    std::ostringstream confirmed, all;
    const obstacle::FrameResult result = obstacle::FrameResultOf(run, AssociationRecord{}, numbers);
    WriteKittiTrackingFrame(confirmed, 0, level, result, false);
    WriteKittiTrackingFrame(all, 0, level, result, true);
    const std::string oldLine = "0 2 Car -1 -1 -10 40 123 51 190 0.5 1 -1 -1.5 -1 -1 -10 1\n";
    EXPECT_EQ(confirmed.str(), oldLine);
    const size_t cut = all.str().find('\n') + 1;
    EXPECT_EQ(all.str().substr(cut), oldLine);
    std::istringstream young0(all.str().substr(0, cut));
    std::vector<std::string> fields;
    for (std::string field; young0 >> field;) fields.push_back(field);
    ASSERT_EQ(fields.size(), 18u);
    const std::vector<std::string> expected = {"0", "1", "Car", "-1", "-1", "-10", "40", "123", "51", "190",
                                               "0.5", "1", "-1", "0.25", "y", "8", "-10", "0"};
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i != 14) {
            EXPECT_EQ(fields[i], expected[i]) << i;
        }
    }
    EXPECT_NEAR(std::stod(fields[14]), level.camHeight_m, 1e-9);
}

TEST(Overlay, OutlinesFillsAndNumbersStayInTheirBoxes) {
    InkLayer layer(12, 10);
    layer.Outline(2, 2, 5, 4, 3, 1);
    int inked = 0;
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 12; ++x) {
            const bool edge = (x == 2 || x == 5 || y == 2 || y == 4) && x >= 2 && x <= 5 && y >= 2 && y <= 4;
            EXPECT_EQ(layer.At(x, y), edge ? 3 : 0) << x << "," << y;
            inked += layer.At(x, y) != 0;
        }
    }
    EXPECT_EQ(inked, 10);  // every pixel of the outline, its far corner included

    InkLayer thick(12, 10);
    thick.Outline(1, 1, 8, 8, NEUTRAL_INK, 2);
    EXPECT_EQ(thick.At(2, 2), NEUTRAL_INK);
    EXPECT_EQ(thick.At(7, 7), NEUTRAL_INK);
    EXPECT_EQ(thick.At(3, 3), 0);
    thick.Fill(-1000000, 5, 1000000, 5, 9);  // reaching far outside: only the inside is inked
    for (int x = 0; x < 12; ++x) EXPECT_EQ(thick.At(x, 5), 9);

    // Text: each glyph inside its 5 x 7 cell of scale x scale pixels, a cell's gap between glyphs.
    const std::string text = "#1234567890 m";
    const int scale = 2;
    InkLayer letters(170, 24);
    letters.Text(3, 4, text, 5, scale);
    const int width = InkLayer::TextWidth(text, scale);
    EXPECT_EQ(width, 13 * 6 * 2 - 2);  // thirteen glyphs of five cells, a cell between each two
    EXPECT_EQ(InkLayer::TextHeight(scale), 14);
    int outside = 0;
    std::vector<int> perGlyph(text.size(), 0);
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 170; ++x) {
            if (letters.At(x, y) == 0) continue;
            const bool inside = x >= 3 && x < 3 + width && y >= 4 && y < 4 + InkLayer::TextHeight(scale);
            if (!inside) ++outside;
            if (inside) ++perGlyph[static_cast<size_t>((x - 3) / (6 * scale))];
        }
    }
    EXPECT_EQ(outside, 0);
    for (size_t k = 0; k < text.size(); ++k) EXPECT_EQ(perGlyph[k] > 0, text[k] != ' ') << k;
    // The digit 1, the second glyph: its stem is the middle of its five columns on all seven rows.
    for (int row = 0; row < 7; ++row) EXPECT_EQ(letters.At(3 + 12 + 2 * 2, 4 + 2 * row + 1), 5) << row;

    // Dashed sides leave gaps as long as their dashes; corners leave the middle of each side empty.
    InkLayer styles(40, 40);
    styles.StyledOutline(0, 0, 19, 19, 7, 1, OutlineStyle::Dashed, 3);
    EXPECT_EQ(styles.At(0, 0), 7);
    EXPECT_EQ(styles.At(2, 0), 7);
    EXPECT_EQ(styles.At(3, 0), 0);
    EXPECT_EQ(styles.At(6, 0), 7);
    EXPECT_EQ(styles.At(0, 4), 0);
    styles.StyledOutline(20, 20, 39, 39, 8, 2, OutlineStyle::Corners, 3);
    EXPECT_EQ(styles.At(20, 20), 8);
    EXPECT_EQ(styles.At(25, 21), 8);   // the top-left corner reaches a quarter of the side
    EXPECT_EQ(styles.At(30, 20), 0);   // the middle of the side stays empty
    EXPECT_EQ(styles.At(39, 39), 8);
    EXPECT_EQ(styles.At(38, 30), 0);
}

TEST(Overlay, IdentifiersTakeThePaletteColoursWithoutGaps) {
    EXPECT_EQ(IdentifierInk(1), 1);
    EXPECT_EQ(IdentifierInk(20), 20);
    EXPECT_EQ(IdentifierInk(21), 1);
    EXPECT_EQ(IdentifierInk(40), 20);  // the palette lookup alone gives 40 no colour
    EXPECT_EQ(IdentifierInk(0), NEUTRAL_INK);
    const ColorSet first = InkColour(1);
    EXPECT_EQ(first.red, 63);
    EXPECT_EQ(first.green, 63);
    EXPECT_EQ(first.blue, 255);
    const ColorSet twentieth = InkColour(IdentifierInk(40));
    EXPECT_EQ(twentieth.red, 255);
    EXPECT_EQ(twentieth.green, 255);
    EXPECT_EQ(twentieth.blue, 63);
    const ColorSet neutral = InkColour(NEUTRAL_INK);
    EXPECT_EQ(neutral.red + neutral.green + neutral.blue, 3 * 255);
    const ColorSet backdrop = InkColour(BACKDROP_INK);
    EXPECT_LT(backdrop.red + backdrop.green + backdrop.blue, 3 * 32);  // dark behind the text
}

TEST(Overlay, PicturesReachTheFileTopRowFirstWithTheirColours) {
    unsigned char greyBytes[3 * 2] = {10, 20, 30, 40, 50, 60};
    const qim::Image grey(2, 3, SGBM_8UC1, greyBytes);
    qim::Image picture;
    GreyToColour(grey, picture);
    ASSERT_EQ(picture.cols, 3);
    ASSERT_EQ(picture.rows, 2);
    EXPECT_EQ(picture.ptr(1)[3 * 2], 60);
    EXPECT_EQ(picture.ptr(1)[3 * 2 + 2], 60);

    InkLayer layer(3, 2);
    layer.Fill(0, 0, 0, 0, IdentifierInk(4));  // (255, 63, 63)
    layer.PaintOnto(picture);
    const std::string path = testing::TempDir() + "overlay_roundtrip.bmp";
    ASSERT_TRUE(WriteColourBmp(path, picture));
    qim::Image back;
    ASSERT_TRUE(bmp_reader(path.c_str(), back));
    ASSERT_EQ(back.cols, 3);
    ASSERT_EQ(back.rows, 2);
    EXPECT_EQ(back.ptr(0)[0], 63);   // blue
    EXPECT_EQ(back.ptr(0)[2], 255);  // red
    EXPECT_EQ(back.ptr(0)[3], 20);
    EXPECT_EQ(back.ptr(1)[3 * 2 + 1], 60);
    std::remove(path.c_str());
    back.release();
    picture.release();

    qim::Image none;
    EXPECT_FALSE(WriteColourBmp(path, none));
}
