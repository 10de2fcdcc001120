// The evaluator's inputs: the JSON reader, the truth CSV and results JSON Lines readers with
// their messages, and the obstacle-eval program's exit status and output.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "Json.h"
#include "ProgramRunner.h"
#include "SequenceFiles.h"

namespace {

const std::string HEADER = "frame,id,z_m,x_left_m,x_right_m,x_center_m,height_m,vz_mps,vx_mps,visible\n";

std::string JsonFault(const std::string& text) {
    try {
        ParseJson(text);
    } catch (const JsonError& e) {
        return e.what();
    }
    return "";
}

template <typename Reader>
std::string InputFault(Reader read, const std::string& text, const std::string& name) {
    std::istringstream in(text);
    try {
        read(in, name);
    } catch (const InputError& e) {
        return e.what();
    }
    return "";
}

std::string TruthFault(const std::string& text) { return InputFault(ReadTruthCsv, text, "truth.csv"); }
std::string ResultsFault(const std::string& text) { return InputFault(ReadResultsJsonl, text, "r.jsonl"); }

}  // namespace

TEST(EvalJson, ReadsValuesAndRefusesMalformedText) {
    const JsonValue v = ParseJson(
        " {\"a\": [1, -2.5e1, 0.25], \"b\": {\"c\": null, \"d\": true, \"e\": false},"
        " \"s\": \"q\\\"\\\\\\/\\n\\u00e9\\ud83d\\ude00\"} ");
    ASSERT_EQ(v.kind, JsonValue::Kind::Object);
    const JsonValue* a = v.Find("a");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->items.size(), 3u);
    EXPECT_EQ(a->items[1].number, -25.0);
    EXPECT_EQ(a->items[2].number, 0.25);
    EXPECT_EQ(v.Find("b")->Find("c")->kind, JsonValue::Kind::Null);
    EXPECT_TRUE(v.Find("b")->Find("d")->boolean);
    EXPECT_EQ(v.Find("b")->Find("e")->kind, JsonValue::Kind::Boolean);
    EXPECT_FALSE(v.Find("b")->Find("e")->boolean);
    EXPECT_EQ(v.Find("s")->text, "q\"\\/\n\xc3\xa9\xf0\x9f\x98\x80");
    EXPECT_EQ(v.Find("missing"), nullptr);
    EXPECT_TRUE(ParseJson("{}").members.empty());
    EXPECT_TRUE(ParseJson("[ ]").items.empty());

    EXPECT_EQ(JsonFault("{\"a\": 1,}"), "expected a member name at column 9");
    EXPECT_EQ(JsonFault("[1 2]"), "expected ',' at column 4");
    EXPECT_EQ(JsonFault("01"), "unexpected text after the value at column 2");
    EXPECT_EQ(JsonFault("-"), "malformed number at column 2");
    EXPECT_EQ(JsonFault("1."), "malformed number at column 3");
    EXPECT_EQ(JsonFault("1e999"), "number out of range at column 6");
    EXPECT_EQ(JsonFault("nul"), "unexpected character at column 1");
    EXPECT_EQ(JsonFault("\"abc"), "unterminated string at column 5");
    EXPECT_EQ(JsonFault("\"a\tb\""), "control character in string at column 3");
    EXPECT_EQ(JsonFault("\"\\x\""), "unknown escape at column 3");
    EXPECT_EQ(JsonFault("\"\\ud83d\""), "unpaired surrogate at column 8");
    EXPECT_EQ(JsonFault(""), "unexpected end of text at column 1");
    EXPECT_EQ(JsonFault(std::string(65, '[') + std::string(65, ']')), "");
    EXPECT_EQ(JsonFault(std::string(66, '[') + std::string(66, ']')), "nesting too deep at column 66");
}

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
    EXPECT_EQ(frames[1].frame, 411);
    EXPECT_TRUE(frames[1].tracks.empty());

    const std::string ok = "{\"frame\": 1, \"tracks\": []}\n";
    EXPECT_EQ(ResultsFault(""), "r.jsonl: no frame results");
    EXPECT_EQ(ResultsFault(ok + "{\"frame\": 2, \"tracks\": [}\n"),
              "r.jsonl:2: malformed JSON: unexpected character at column 25");
    EXPECT_EQ(ResultsFault(ok + "[1]\n"), "r.jsonl:2: the line is not a JSON object");
    EXPECT_EQ(ResultsFault("{\"frame\": 1.5, \"tracks\": []}\n"), "r.jsonl:1: \"frame\" must be an integer");
    EXPECT_EQ(ResultsFault("{\"frame\": 1}\n"), "r.jsonl:1: \"tracks\" must be an array");
    EXPECT_EQ(ResultsFault("{\"frame\": 1, \"tracks\": [{\"id\": 1, \"z_m\": 1, \"x_m\": 0, \"w_m\": 1, \"vz_mps\": 0}]}\n"),
              "r.jsonl:1: track 0 \"count\" must be an integer");
    EXPECT_EQ(ResultsFault("{\"frame\": 1, \"tracks\": [{\"id\": 1, \"count\": 3, \"z_m\": \"far\", \"x_m\": 0,"
                           " \"w_m\": 1, \"vz_mps\": 0}]}\n"),
              "r.jsonl:1: track 0 \"z_m\" must be a number or null");
    EXPECT_EQ(ResultsFault("{\"frame\": 1, \"tracks\": [7]}\n"), "r.jsonl:1: track 0 is not an object");
    EXPECT_EQ(ResultsFault(ok + ok), "r.jsonl:2: frame 1 appears twice");
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
    const JsonValue scores = ParseJson(json.output);
    EXPECT_EQ(scores.Find("counted")->number, 2.0);
    EXPECT_EQ(scores.Find("recall")->number, 1.0);
    EXPECT_EQ(scores.Find("motp_m")->number, 0.5);
    EXPECT_EQ(scores.Find("distance_error_median")->number, 0.05);
    EXPECT_EQ(scores.Find("vz_error_median_mps")->kind, JsonValue::Kind::Null);

    const ProgramResult table = RunProgram(OBSTACLE_EVAL_EXE, "--truth " + truth + " --results " + results);
    EXPECT_EQ(table.status, 0);
    EXPECT_NE(table.output.find("recall                                   1.0000\n"), std::string::npos);
    EXPECT_NE(table.output.find("distance error, median                     5.00 %\n"), std::string::npos);

    const ProgramResult missing = RunProgram(OBSTACLE_EVAL_EXE, "--truth " + dir + "absent.csv --results " + results + " 2>&1");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.output.find("absent.csv: cannot open"), std::string::npos);
    EXPECT_EQ(RunProgram(OBSTACLE_EVAL_EXE, "--truth " + truth + " 2>/dev/null").status, 2);
    EXPECT_EQ(RunProgram(OBSTACLE_EVAL_EXE, "--bogus 2>/dev/null").status, 2);
    const ProgramResult help = RunProgram(OBSTACLE_EVAL_EXE, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("usage: obstacle-eval", 0), 0u);
}
