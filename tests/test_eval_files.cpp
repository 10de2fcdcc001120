// The evaluator's inputs: the truth CSV and results JSON Lines readers with their messages,
// their bounds and their read errors, and the obstacle-eval program's exit status and output.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string>

#include "ProgramRunner.h"
#include "SequenceFiles.h"

namespace {

const std::string HEADER = "frame,id,z_m,x_left_m,x_right_m,x_center_m,height_m,vz_mps,vx_mps,visible\n";

// Serves `text` up to byte `failAt` and then fails as a file with an unreadable block does: the
// buffer throws, and the stream takes that for a read error.
class FailingBuffer : public std::streambuf {
public:
    FailingBuffer(std::string text, size_t failAt) : text_(std::move(text)), failAt_(std::min(failAt, text_.size())) {}

protected:
    int_type underflow() override {
        if (served_) {
            if (failAt_ < text_.size()) throw std::ios_base::failure("injected read error");
            return traits_type::eof();
        }
        served_ = true;
        setg(text_.data(), text_.data(), text_.data() + failAt_);
        return failAt_ == 0 ? underflow() : traits_type::to_int_type(text_[0]);
    }

private:
    std::string text_;
    size_t failAt_;
    bool served_ = false;
};

template <typename Reader> std::string InputFault(Reader read, std::istream& in, const std::string& name) {
    try {
        read(in, name);
    } catch (const InputError& e) {
        return e.what();
    }
    return "";
}

std::string TruthFault(const std::string& text) {
    std::istringstream in(text);
    return InputFault(ReadTruthCsv, in, "truth.csv");
}

std::string ResultsFault(const std::string& text) {
    std::istringstream in(text);
    return InputFault(ReadResultsJsonl, in, "r.jsonl");
}

}  // namespace

TEST(EvalFiles, ReadsTheTruthCsvAndNamesTheFaultyLine) {
    std::istringstream in(HEADER + "3,7,12.5,-0.9,0.9,0,1.5,-10,0.5,1\r\n\n4,7,12.2,-0.9,0.9,0,1.5,-10,0.5,0\n");
    const auto rows = ReadTruthCsv(in, "truth.csv");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].frame, 3);
    EXPECT_EQ(rows[0].id, 7);
    EXPECT_EQ(rows[0].z_m, 12.5);
    EXPECT_EQ(rows[0].xLeft_m, -0.9);
    EXPECT_EQ(rows[0].xRight_m, 0.9);
    EXPECT_EQ(rows[0].height_m, 1.5);
    EXPECT_EQ(rows[0].vz_mps, -10.0);
    EXPECT_EQ(rows[0].vx_mps, 0.5);
    EXPECT_TRUE(rows[0].visible);
    EXPECT_FALSE(rows[1].visible);

    EXPECT_EQ(TruthFault(""), "truth.csv: empty file, expected the header " + HEADER.substr(0, HEADER.size() - 1));
    EXPECT_EQ(TruthFault("frame,id\n").rfind("truth.csv:1: expected the header", 0), 0u);
    EXPECT_EQ(TruthFault(HEADER + "1,1,10,-1,1,0,1,0,0,1\n1,2,10,-1,1,0,1,0,0\n"),
              "truth.csv:3: expected 10 fields, found 9");
    EXPECT_EQ(TruthFault(HEADER + "1,1,ten,-1,1,0,1,0,0,1\n"), "truth.csv:2: z_m is not a finite number: \"ten\"");
    EXPECT_EQ(TruthFault(HEADER + "1,1,10,-1,1,0,1,nan,0,1\n"), "truth.csv:2: vz_mps is not a finite number: \"nan\"");
    EXPECT_EQ(TruthFault(HEADER + "1.5,1,10,-1,1,0,1,0,0,1\n"), "truth.csv:2: frame is not an integer: \"1.5\"");
    EXPECT_EQ(TruthFault(HEADER + "1,1,10,-1,1,0,1,0,0,2\n"), "truth.csv:2: visible must be 0 or 1");
    EXPECT_EQ(TruthFault(HEADER + "1,1,0,-1,1,0,1,0,0,1\n"), "truth.csv:2: z_m must be positive");
    EXPECT_EQ(TruthFault(HEADER + "1,1,10,1,-1,0,1,0,0,1\n"), "truth.csv:2: x_left_m lies right of x_right_m");
    EXPECT_EQ(TruthFault(HEADER + "1,1,10,-1,1,0,1,0,0,1\n1,1,11,-1,1,0,1,0,0,1\n"),
              "truth.csv:3: obstacle 1 appears twice in frame 1");
}

TEST(EvalFiles, ReadsTheResultsJsonLinesAndNamesTheFaultyLine) {
    std::istringstream in(
        "{\"frame\": 410, \"road\": {\"ground\": [1, 2], \"accepted\": true}, \"detections\": [], \"tracks\": ["
        "{\"id\": 3, \"count\": 12, \"loss\": 0, \"det\": null, \"z_m\": 20.5, \"x_m\": -0.25, \"w_m\": 1.75,"
        " \"h_m\": 1.5, \"d_pix\": 6.9, \"vz_mps\": null, \"vx_mps\": 0}]}\n"
        "\n"
        "{\"frame\": 411, \"tracks\": [], \"grid\": [[0]]}\n");
    const auto frames = ReadResultsJsonl(in, "r.jsonl");
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].frame, 410);
    ASSERT_EQ(frames[0].tracks.size(), 1u);
    const TrackReport& t = frames[0].tracks[0];
    EXPECT_EQ(t.id, 3);
    EXPECT_EQ(t.count, 12);
    EXPECT_EQ(t.z_m, 20.5);
    EXPECT_EQ(t.x_m, -0.25);
    EXPECT_EQ(t.w_m, 1.75);
    EXPECT_TRUE(std::isnan(t.vz_mps));
    EXPECT_EQ(frames[0].road.ground, (std::vector<int>{1, 2}));
    EXPECT_TRUE(frames[0].road.accepted);
    EXPECT_EQ(frames[1].frame, 411);
    EXPECT_TRUE(frames[1].tracks.empty());
    EXPECT_TRUE(frames[1].road.ground.empty());

    const std::string ok = "{\"frame\": 1, \"tracks\": []}\n";
    EXPECT_EQ(ResultsFault(""), "r.jsonl: no frame results");
    EXPECT_EQ(ResultsFault(ok + "{\"frame\": 2, \"tracks\": [}\n").rfind("r.jsonl:2: malformed JSON at column 25: ", 0), 0u);
    EXPECT_EQ(ResultsFault(ok + "[1]\n"), "r.jsonl:2: the line is not a JSON object");
    EXPECT_EQ(ResultsFault("{\"frame\": 1.5, \"tracks\": []}\n"), "r.jsonl:1: \"frame\" must be an integer");
    EXPECT_EQ(ResultsFault("{\"frame\": 1}\n"), "r.jsonl:1: \"tracks\" must be an array");
    EXPECT_EQ(ResultsFault("{\"frame\": 1, \"tracks\": [{\"id\": 1, \"z_m\": 1, \"x_m\": 0, \"w_m\": 1, \"vz_mps\": 0}]}\n"),
              "r.jsonl:1: track 0 \"count\" must be an integer");
    EXPECT_EQ(ResultsFault("{\"frame\": 1, \"tracks\": [{\"id\": 1, \"count\": 3, \"z_m\": \"far\", \"x_m\": 0,"
                           " \"w_m\": 1, \"vz_mps\": 0}]}\n"),
              "r.jsonl:1: track 0 \"z_m\" must be a number or null");
    EXPECT_EQ(ResultsFault("{\"frame\": 1, \"tracks\": [7]}\n"), "r.jsonl:1: track 0 is not an object");
    EXPECT_EQ(ResultsFault("{\"frame\": 1, \"tracks\": [], \"road\": {\"ground\": [1], \"accepted\": 1}}\n"),
              "r.jsonl:1: \"road\" must hold the boolean \"accepted\"");
    EXPECT_EQ(ResultsFault("{\"frame\": 1, \"tracks\": [], \"road\": {\"ground\": [1.5], \"accepted\": true}}\n"),
              "r.jsonl:1: road row 0 must be an integer");
    EXPECT_EQ(ResultsFault(ok + ok), "r.jsonl:2: frame 1 appears twice");

    // The car's path the zone followed: read where given, a straight zone where not.
    std::istringstream bent("{\"frame\": 1, \"path_curvature_pm\": -0.0125, \"tracks\": []}\n"
                            "{\"frame\": 2, \"tracks\": []}\n");
    const auto path = ReadResultsJsonl(bent, "r.jsonl");
    EXPECT_EQ(path[0].pathCurvature_pm, -0.0125);
    EXPECT_EQ(path[1].pathCurvature_pm, 0.0);
    EXPECT_EQ(ResultsFault("{\"frame\": 1, \"path_curvature_pm\": \"left\", \"tracks\": []}\n"),
              "r.jsonl:1: \"path_curvature_pm\" must be a finite number");
    EXPECT_EQ(ResultsFault("{\"frame\": 1, \"path_curvature_pm\": null, \"tracks\": []}\n"),
              "r.jsonl:1: \"path_curvature_pm\" must be a finite number");
}

// What the run adds for the scores: whether each track is confirmed, and which road profile each
// frame used, "accepted" exactly for the frame's own and a re-seeded one.
TEST(EvalFiles, ResultsSayWhichTracksAreConfirmedAndWhichProfileWasUsed) {
    const auto frame = [](const std::string& confirmed, const std::string& road) {
        return "{\"frame\": 1, \"road\": {\"ground\": [1]" + road + "}, \"tracks\": [{\"id\": 1, \"count\": 2, \"z_m\": 9,"
               " \"x_m\": 0, \"w_m\": 1, \"vz_mps\": 0" + confirmed + "}]}\n";
    };
    const struct {
        std::string confirmed, road;
        bool isConfirmed;
        std::optional<ProfileKind> profile;
    } good[] = {
        {"", ", \"accepted\": true", false, std::nullopt},
        {", \"confirmed\": true", ", \"accepted\": true, \"profile\": \"own\"", true, ProfileKind::OWN},
        {", \"confirmed\": false", ", \"accepted\": false, \"profile\": \"kept\"", false, ProfileKind::KEPT},
        {"", ", \"accepted\": true, \"profile\": \"reseeded\"", false, ProfileKind::RESEEDED},
    };
    for (const auto& c : good) {
        std::istringstream in(frame(c.confirmed, c.road));
        const auto frames = ReadResultsJsonl(in, "r.jsonl");
        EXPECT_EQ(frames[0].tracks[0].Confirmed(), c.isConfirmed) << c.confirmed;
        EXPECT_EQ(frames[0].road.profile, c.profile) << c.road;
    }
    const std::string agree = "r.jsonl:1: \"road\" \"accepted\" must be true exactly for the profiles \"own\" and \"reseeded\"";
    const std::string kinds = "r.jsonl:1: \"road\" \"profile\" must be \"own\", \"kept\" or \"reseeded\"";
    EXPECT_EQ(ResultsFault(frame("", ", \"accepted\": false, \"profile\": \"own\"")), agree);
    EXPECT_EQ(ResultsFault(frame("", ", \"accepted\": true, \"profile\": \"kept\"")), agree);
    EXPECT_EQ(ResultsFault(frame("", ", \"accepted\": true, \"profile\": \"new\"")), kinds);
    EXPECT_EQ(ResultsFault(frame("", ", \"accepted\": true, \"profile\": 1")), kinds);
    EXPECT_EQ(ResultsFault(frame(", \"confirmed\": 1", ", \"accepted\": true")),
              "r.jsonl:1: track 0 \"confirmed\" must be true or false");
}

// A track's trajectory number, where the run writes one, is its identity; results either number
// every track or none.
TEST(EvalFiles, ResultsNumberEveryTrajectoryOrNone) {
    const auto track = [](int id, const std::string& number) {
        return "{\"id\": " + std::to_string(id) + number + ", \"count\": 3, \"z_m\": 9, \"x_m\": 0, \"w_m\": 1, \"vz_mps\": 0}";
    };
    std::istringstream in("{\"frame\": 1, \"tracks\": [" + track(1, ", \"track\": 7") + "]}\n" +
                          "{\"frame\": 2, \"tracks\": [" + track(1, ", \"track\": 9") + ", " + track(2, ", \"track\": 8") + "]}\n");
    const auto frames = ReadResultsJsonl(in, "r.jsonl");
    ASSERT_EQ(frames.size(), 2u);
    ASSERT_EQ(frames[1].tracks.size(), 2u);
    EXPECT_EQ(frames[0].tracks[0].Identity(), 7);
    EXPECT_EQ(frames[1].tracks[0].Identity(), 9);
    EXPECT_EQ(frames[1].tracks[1].Identity(), 8);
    std::istringstream old("{\"frame\": 1, \"tracks\": [" + track(4, "") + "]}\n");
    const auto unnumbered = ReadResultsJsonl(old, "r.jsonl");
    EXPECT_FALSE(unnumbered[0].tracks[0].track.has_value());
    EXPECT_EQ(unnumbered[0].tracks[0].Identity(), 4);

    const std::string mixed = "tracks with and without a \"track\" number: identity needs the one or the other";
    EXPECT_EQ(ResultsFault("{\"frame\": 1, \"tracks\": [" + track(1, ", \"track\": 1") + "]}\n{\"frame\": 2, \"tracks\": [" +
                           track(1, "") + "]}\n"),
              "r.jsonl:2: " + mixed);
    EXPECT_EQ(ResultsFault("{\"frame\": 1, \"tracks\": [" + track(1, "") + ", " + track(2, ", \"track\": 2") + "]}\n"),
              "r.jsonl:1: " + mixed);
    EXPECT_EQ(ResultsFault("{\"frame\": 1, \"tracks\": [" + track(1, ", \"track\": 1.5") + "]}\n"),
              "r.jsonl:1: track 0 \"track\" must be an integer");
}

TEST(EvalProgram, ScoresFilesAndFailsWithStatusTwo) {
    const std::string dir = testing::TempDir();
    const std::string truth = dir + "eval_truth.csv";
    const std::string results = dir + "eval_results.jsonl";
    {
        std::ofstream t(truth);
        std::ofstream r(results);
        t << HEADER;
        for (int f = 0; f < 5; ++f) {
            t << f << ",1,10,-0.5,0.5,0,1.5,0,0,1\n";
            r << "{\"frame\": " << f << ", \"tracks\": [{\"id\": 2, \"count\": " << f + 1
              << ", \"z_m\": 10.5, \"x_m\": 0, \"w_m\": 1, \"vz_mps\": 0}]}\n";
        }
    }
    // Counted in frames 3 and 4, matched both times with 0.5 m (5 %) distance error.
    const ProgramResult json = RunProgram(OBSTACLE_EVAL_EXE, "--truth " + truth + " --results " + results + " --json");
    EXPECT_EQ(json.status, 0);
    const nlohmann::json scores = nlohmann::json::parse(json.output);
    EXPECT_EQ(scores["counted"], 2);
    EXPECT_EQ(scores["recall"], 1.0);
    EXPECT_EQ(scores["motp_m"], 0.5);
    EXPECT_EQ(scores["distance_error_median"], 0.05);
    EXPECT_TRUE(scores["vz_error_median_mps"].is_null());

    const ProgramResult table = RunProgram(OBSTACLE_EVAL_EXE, "--truth " + truth + " --results " + results);
    EXPECT_EQ(table.status, 0);
    EXPECT_NE(table.output.find("recall                                   1.0000\n"), std::string::npos);
    EXPECT_NE(table.output.find("distance error, median                     5.00 %\n"), std::string::npos);

    const ProgramResult missing = RunProgram(OBSTACLE_EVAL_EXE, "--truth " + dir + "absent.csv --results " + results + " 2>&1");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.output.find("absent.csv: cannot be opened (missing or unreadable)"), std::string::npos);
    EXPECT_EQ(RunProgram(OBSTACLE_EVAL_EXE, "--truth " + truth + " 2>/dev/null").status, 2);
    EXPECT_EQ(RunProgram(OBSTACLE_EVAL_EXE, "--bogus 2>/dev/null").status, 2);
    // The truth beside the default zone counts for a run whose camera's zone reaches it.
    const std::string beside = dir + "eval_beside.csv";
    {
        std::ofstream t(beside);
        t << HEADER;
        for (int f = 0; f < 5; ++f) t << f << ",1,10,2,3,2.5,1.5,0,0,1\n";
    }
    const std::string wide = dir + "eval_wide_camera.txt";
    std::ofstream(wide) << "f_pix = 700\nbaseline_m = 0.5\nu0_pix = 600\nv0_pix = 180\nwidth_pix = 1200\n"
                           "height_pix = 360\nzoneL_m = -4\nzoneR_m = 4\n";
    const auto counted = [&](const std::string& camera) {
        const ProgramResult r = RunProgram(OBSTACLE_EVAL_EXE, "--truth " + beside + " --results " + results + camera + " --json");
        EXPECT_EQ(r.status, 0) << camera;
        return r.status == 0 ? nlohmann::json::parse(r.output)["counted"].get<int>() : -1;
    };
    EXPECT_EQ(counted(""), 0);
    EXPECT_EQ(counted(" --camera " + wide), 2);
    const std::string bad = dir + "eval_bad_camera.txt";
    std::ofstream(bad) << "f_pix = 700\nzoom = 2\n";
    const ProgramResult badCamera = RunProgram(OBSTACLE_EVAL_EXE, "--truth " + truth + " --results " + results +
                                                                      " --camera " + bad + " 2>&1");
    EXPECT_EQ(badCamera.status, 2);
    EXPECT_EQ(badCamera.output.rfind("obstacle-eval: --camera: " + bad + ":2: ", 0), 0u) << badCamera.output;
    EXPECT_EQ(RunProgram(OBSTACLE_EVAL_EXE, "--truth " + truth + " --results " + results + " --camera " + dir +
                                                "absent_camera.txt 2>/dev/null").status, 2);

    const ProgramResult help = RunProgram(OBSTACLE_EVAL_EXE, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("usage: obstacle-eval", 0), 0u);

    // A street's scoring needs the run's camera and the run's pictures, and its poses where given,
    // each named when it is missing or wrong.
    const std::string poses = dir + "eval_poses.txt";
    const std::string camera = dir + "eval_camera.txt";
    std::ofstream(poses) << "1 0 0 0 0 1 0 0 0 0 1 0\n";
    const std::string cameraText = "f_pix = 949.1\nbaseline_m = 0.15\nu0_pix = 232\nv0_pix = 180\nwidth_pix = 560\n"
                                   "height_pix = 360\nframeInterval_s = 0.1\n";
    std::ofstream(camera) << cameraText;
    const std::string bigHeight = dir + "eval_high_camera.txt";
    std::ofstream(bigHeight) << cameraText << "camHeight_m = 1e300\n";
    const struct {
        std::string arguments;
        std::string message;
    } streetCases[] = {
        {"--poses " + poses + " --results " + results, "a street needs --camera and --disparity"},
        {"--disparity " + dir + "dXXXXX.bmp --results " + results, "a street needs --camera and --disparity"},
        {"--poses " + poses + " --truth " + truth + " --results " + results, "give one of --truth, --labels or --disparity"},
        {"--truth " + truth + " --results " + results + " --fps 10", "--disparity-scale and --fps go with --disparity"},
        {"--poses " + poses + " --results " + results + " --camera " + camera + " --disparity " + dir + "dXXXXX.bmp --fps 0",
         "--fps: '0' is not a number above 0"},
        {"--poses " + poses + " --results " + results + " --camera " + camera + " --disparity " + dir + "dXXXXX.bmp --fps 1e-310",
         "obstacle-eval: --fps: '1e-310' frames per second are frames 1 / 1e-310 s apart, beyond any number of seconds"},
        {"--poses " + poses + " --results " + results + " --camera " + bigHeight + " --disparity " + dir + "dXXXXX.bmp",
         "obstacle-eval: --camera: " + bigHeight + ": an obstacle face's rows, which grow with camHeight_m / baseline_m is "},
        {"--poses " + poses + " --results " + results + " --camera " + camera + " --disparity " + dir + "dXXXXX.bmp",
         "--disparity: " + dir + "d00000.bmp: cannot be opened"},
    };
    for (const auto& c : streetCases) {
        const ProgramResult refused = RunProgram(OBSTACLE_EVAL_EXE, c.arguments + " 2>&1");
        EXPECT_EQ(refused.status, 2) << c.arguments;
        EXPECT_NE(refused.output.find(c.message), std::string::npos) << refused.output;
    }
}

TEST(EvalFiles, EachFieldIsExactlyItsNumber) {
    // Row 2 with one field replaced; strtod and strtol took all of these.
    struct Case {
        size_t field;
        std::string text;
        std::string fault;
    };
    const std::vector<Case> cases = {
        {0, " 1", "frame is not an integer: \" 1\""},
        {0, "1 ", "frame is not an integer: \"1 \""},
        {1, "+1", "id is not an integer: \"+1\""},
        {2, std::string("10.0\0", 5), "z_m is not a finite number: \"10.0"},
        {2, "0x1p3", "z_m is not a finite number: \"0x1p3\""},
        {2, "1e999", "z_m is not a finite number: \"1e999\""},
        {9, "1\t", "visible is not an integer: \"1\t\""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> fields = {"1", "1", "10", "-1", "1", "0", "1", "0", "0", "1"};
        fields[c.field] = c.text;
        std::string row;
        for (const std::string& f : fields) row += (row.empty() ? "" : ",") + f;
        EXPECT_EQ(TruthFault(HEADER + row + "\n").rfind("truth.csv:2: " + c.fault, 0), 0u) << c.text;
    }
}

TEST(EvalFiles, AReadErrorIsAFaultAndNotTheEndOfTheFile) {
    std::string truth = HEADER, results;
    for (int f = 1; f <= 137; ++f) {
        truth += std::to_string(f) + ",1,10,-0.5,0.5,0,1.5,0,0,1\n";
        results += "{\"frame\": " + std::to_string(f) + ", \"tracks\": []}\n";
    }
    for (size_t failAt : {size_t(0), size_t(40), size_t(3000), truth.size() - 1}) {
        FailingBuffer buffer(truth, failAt);
        std::istream in(&buffer);
        const std::string fault = InputFault(ReadTruthCsv, in, "truth.csv");
        EXPECT_EQ(fault.rfind("truth.csv: read error after line ", 0), 0u) << failAt << ": " << fault;
    }
    for (size_t failAt : {size_t(0), size_t(3000), results.size() - 1}) {
        FailingBuffer buffer(results, failAt);
        std::istream in(&buffer);
        const std::string fault = InputFault(ReadResultsJsonl, in, "r.jsonl");
        EXPECT_EQ(fault.rfind("r.jsonl: read error after line ", 0), 0u) << failAt << ": " << fault;
    }
    FailingBuffer whole(truth, truth.size());
    std::istream in(&whole);
    EXPECT_EQ(ReadTruthCsv(in, "truth.csv").size(), 137u);
}

TEST(EvalFiles, LinesAreBoundedAndHostileJsonIsHarmless) {
    EXPECT_EQ(TruthFault(HEADER + "1,1,10,-1,1,0,1,0,0,1" + std::string(5000, '0') + "\n"),
              "truth.csv:2: line longer than 4096 bytes");
    const std::string line = "{\"frame\": 1, \"tracks\": [], \"pad\": \"" + std::string(5u << 20, 'x') + "\"}\n";
    EXPECT_EQ(ResultsFault(line), "r.jsonl:1: line longer than 4194304 bytes");
    // Deep nesting in a member the reader ignores: read without exhausting the stack.
    const std::string deep = std::string(200000, '[') + std::string(200000, ']');
    std::istringstream nested("{\"frame\": 1, \"tracks\": [], \"deep\": " + deep + "}\n");
    EXPECT_EQ(ReadResultsJsonl(nested, "r.jsonl").size(), 1u);
    EXPECT_EQ(ResultsFault("{\"frame\": 1, \"tracks\": [{\"id\": 1, \"count\": 3, \"z_m\": 1e999, \"x_m\": 0,"
                           " \"w_m\": 1, \"vz_mps\": 0}]}\n")
                  .rfind("r.jsonl:1: malformed JSON ", 0),
              0u);
}

TEST(EvalProgram, RefusesSpecialFilesAndReportsOutputThatCannotBeWritten) {
    const std::string dir = testing::TempDir();
    const std::string truth = dir + "eval_special_truth.csv";
    const std::string results = dir + "eval_special_results.jsonl";
    const std::string fifo = dir + "eval_special.fifo";
    {
        std::ofstream(truth) << HEADER << "1,1,10,-0.5,0.5,0,1.5,0,0,1\n";
        std::ofstream(results) << "{\"frame\": 1, \"tracks\": []}\n";
    }
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string both = "--truth " + truth + " --results " + results;
    struct Case {
        std::string arguments;
        std::string message;
    };
    // A device that never ends, a FIFO no one writes, a folder: refused at once (the time limit
    // turns a hang into a failure).
    const std::vector<Case> cases = {
        {"--truth " + truth + " --results /dev/zero", "obstacle-eval: /dev/zero: is not a regular file (a device)\n"},
        {"--truth " + fifo + " --results " + results, "obstacle-eval: " + fifo + ": is not a regular file (a FIFO)\n"},
        {"--truth " + dir + " --results " + results, "obstacle-eval: " + dir + ": is not a regular file (a folder)\n"},
        {"--labels /dev/zero --results " + results, "obstacle-eval: /dev/zero: is not a regular file (a device)\n"},
        {"--labels " + fifo + " --results " + results, "obstacle-eval: " + fifo + ": is not a regular file (a FIFO)\n"},
        {both + " > /dev/full", "obstacle-eval: standard output cannot be written\n"},
        {both + " --json > /dev/full", "obstacle-eval: standard output cannot be written\n"},
        {"--help > /dev/full", "obstacle-eval: standard output cannot be written\n"},
    };
    for (const Case& c : cases) {
        const ProgramResult r = RunProgram(OBSTACLE_EVAL_EXE, "2>&1 " + c.arguments, "", 20);
        EXPECT_EQ(r.status, 2) << c.arguments;
        EXPECT_EQ(r.output, c.message) << c.arguments;
    }
    std::remove(fifo.c_str());
}
