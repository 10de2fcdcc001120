// obstacle-track on a failing machine: a file system that fills, writes that fail or come up
// short, kills and termination signals in the middle of a run, standard streams that are full or
// closed. Whatever happens, every line of the result files parses, the files hold the frames the
// summary counts, and no temporary file is left looking like a result.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "BmpWriter.h"
#include "Config.h"
#include "FaultInjection.h"
#include "Imageread.h"
#include "NoiseBytes.h"
#include "ProgramRunner.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr int FIRST = 1;
constexpr int LAST = 6;
// The shell's exit status of a program ended by a signal.
constexpr int KilledBy(int signal) { return 128 + signal; }

// The frame numbers of a JSON Lines file; a line that does not parse (a fragment) fails the test.
std::vector<int> JsonFrames(const std::string& path) {
    std::vector<int> frames;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const json parsed = json::parse(line, nullptr, false);
        EXPECT_TRUE(parsed.is_object()) << path << ": " << line.substr(0, 60);
        if (parsed.is_object()) frames.push_back(parsed["frame"]);
    }
    return frames;
}

// The frame numbers of a MOT file; a line without its ten fields fails the test.
std::vector<int> MotFrames(const std::string& path) {
    std::vector<int> frames;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        int frame = 0, id = 0, left = 0, top = 0, width = 0, height = 0, conf = 0;
        double x = 0, y = 0, z = 0;
        char c[9];
        fields >> frame >> c[0] >> id >> c[1] >> left >> c[2] >> top >> c[3] >> width >> c[4] >> height >> c[5] >>
            conf >> c[6] >> x >> c[7] >> y >> c[8] >> z;
        EXPECT_TRUE(fields && fields.peek() == EOF) << path << ": " << line;
        frames.push_back(frame);
    }
    return frames;
}

// N of the summary line "N frames processed"; -1 without one.
int SummaryFrames(const std::string& errors) {
    const size_t at = errors.find(" frames processed");
    if (at == std::string::npos) return -1;
    const size_t start = errors.rfind(' ', at - 1) + 1;
    return std::stoi(errors.substr(start, at - start));
}

// The names in a folder (none when it does not exist) that are complete pictures of the run and,
// apart, those hidden as temporaries; anything else fails the test.
struct FolderContent {
    int pictures = 0;
    int temporaries = 0;
};

FolderContent Content(const std::string& dir) {
    FolderContent content;
    if (!fs::exists(dir)) return content;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name[0] == '.' && entry.path().extension() == ".tmp") {
            ++content.temporaries;
            continue;
        }
        qim::Image picture;
        const bool named = name.rfind("overlay_", 0) == 0 || name.rfind("topview_", 0) == 0;
        EXPECT_TRUE(named && bmp_reader(entry.path().c_str(), picture)) << entry.path();
        picture.release();
        ++content.pictures;
    }
    return content;
}

class TrackFaults : public testing::Test {
protected:
    // A noise picture: its grid lines (--grid) are about 20 KB, more than a stream buffer holds.
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/obstacle-faults-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        const std::vector<unsigned char> noise = Noise(static_cast<size_t>(TOTAL_PIXELS) * 3, 5u);
        ASSERT_TRUE(WriteBmp(dir + "/noise.bmp", noise.data(), TOTAL_U, TOTAL_V, 24));
    }
    static void TearDownTestSuite() { fs::remove_all(dir); }

    // obstacle-track over frames FIRST..LAST of the noise picture; standard error goes to a file
    // unless `arguments` redirect it.
    static ProgramResult Track(const std::string& arguments, const std::string& environment = "") {
        return RunProgram(OBSTACLE_TRACK_EXE,
                          "--disparity " + dir + "/noise.bmp --first " + std::to_string(FIRST) + " --last " +
                              std::to_string(LAST) + " 2>" + dir + "/stderr.txt " + arguments,
                          environment);
    }
    static std::string Errors() {
        std::ifstream in(dir + "/stderr.txt");
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // The JSON lines are whole, frames FIRST, FIRST + 1, ... as many as the summary counts, and the
    // MOT lines are whole and of those frames.
    static void ExpectCountedFrames(const std::string& jsonPath, const std::string& motPath) {
        const std::vector<int> frames = JsonFrames(jsonPath);
        EXPECT_EQ(static_cast<int>(frames.size()), SummaryFrames(Errors())) << Errors();
        for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i], FIRST + static_cast<int>(i));
        if (motPath.empty()) return;
        for (int frame : MotFrames(motPath)) EXPECT_LT(frame, FIRST + static_cast<int>(frames.size()));
    }

    static std::string dir;
};

std::string TrackFaults::dir;

}  // namespace

TEST_F(TrackFaults, AFullFileSystemStopsTheRunWithWholeLinesAndNoPartPicture) {
    SmallFileSystem full(64 * 1024);
    if (!full.Mounted()) GTEST_SKIP() << full.Why();
    const std::string disk = full.Folder();
    const struct {
        const char* name;
        std::string arguments;
        std::string named;
        std::string json;
        std::string mot;
    } cases[] = {
        // The disk takes part of a line, or none of it.
        {"result files", "--grid --quiet --json " + disk + "/run.jsonl --mot " + disk + "/run.mot",
         disk + "/run.", disk + "/run.jsonl", disk + "/run.mot"},
        {"overlays", "--quiet --json " + dir + "/overlays.jsonl --overlay " + disk + "/ov",
         "--overlay: " + disk + "/ov/overlay_00001.bmp: cannot be written (No space left on device)",
         dir + "/overlays.jsonl", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Track(c.arguments).status, 2);
        EXPECT_NE(Errors().find(c.named), std::string::npos) << Errors();
        EXPECT_NE(Errors().find("cannot be written ("), std::string::npos) << Errors();
        ExpectCountedFrames(c.json, c.mot);
        EXPECT_EQ(Content(disk + "/ov").temporaries, 0);
    }
}

TEST_F(TrackFaults, InjectedWriteFailuresStopTheRunWithWholeLines) {
    const struct {
        const char* name;
        std::string faults;
        std::string outputs;
        std::string named;
    } cases[] = {
        // The first line is shorter than 30,000 bytes, the first two longer.
        {"short JSON write", "FAULT_PATH=short.jsonl FAULT_BYTE=30000", "--json " + dir + "/short.jsonl",
         "--json: " + dir + "/short.jsonl: frame 2 cannot be written (only "},
        // The frame's JSON line must not stay when its MOT lines fail.
        {"failing MOT write", "FAULT_PATH=fail.mot FAULT_CALL=2", "--json " + dir + "/fail.jsonl --mot " + dir + "/fail.mot",
         "--mot: " + dir + "/fail.mot: frame 2 cannot be written (No space left on device)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Track("--grid --quiet " + c.outputs, FaultEnvironment(c.faults)).status, 2);
        EXPECT_NE(Errors().find("obstacle-track: " + c.named), std::string::npos) << Errors();
        ExpectCountedFrames(dir + (c.name[0] == 's' ? "/short.jsonl" : "/fail.jsonl"), "");
        EXPECT_EQ(SummaryFrames(Errors()), 1);
    }
}

TEST_F(TrackFaults, KillsLeaveWholeLinesAndNoTemporaryThatLooksLikeAResult) {
    const struct {
        const char* name;
        std::string faults;
        const char* output;  // --json file or --overlay folder
        int signal;
        size_t lines;
        FolderContent pictures;
    } cases[] = {
        {"SIGKILL at the third JSON write", "FAULT_PATH=killed.jsonl FAULT_CALL=3", "killed.jsonl", 9, 2, {}},
        {"SIGTERM before a picture's rename", "FAULT_OP=rename FAULT_PATH=overlay_00002 FAULT_CALL=1", "term", 15, 0, {2, 0}},
        {"SIGKILL before a picture's rename", "FAULT_OP=rename FAULT_PATH=overlay_00002 FAULT_CALL=1", "kill", 9, 0, {2, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string output = dir + "/" + c.output;
        const bool json = c.lines > 0;
        const std::string faults = c.faults + " FAULT_SIGNAL=" + std::to_string(c.signal);
        EXPECT_EQ(Track("--grid --quiet " + std::string(json ? "--json " : "--overlay ") + output, FaultEnvironment(faults)).status,
                  KilledBy(c.signal));
        if (json) {
            EXPECT_EQ(JsonFrames(output), (std::vector<int>{FIRST, FIRST + 1}));
            continue;
        }
        const FolderContent content = Content(output);
        EXPECT_EQ(content.pictures, c.pictures.pictures);
        EXPECT_EQ(content.temporaries, c.pictures.temporaries);
    }
}

TEST_F(TrackFaults, AFullOrClosedStandardOutputIsStatusTwoAndClosedStreamsTakeNoResults) {
    // The progress lines to a full or a closed standard output, the help text to a full one.
    for (const char* redirection : {"> /dev/full", ">&-", "--help > /dev/full"}) {
        EXPECT_EQ(Track(redirection).status, 2) << redirection;
        EXPECT_NE(Errors().find("standard output: cannot be written"), std::string::npos) << redirection << ": " << Errors();
    }
    // With standard error closed, the summary line must not land in a result file.
    const std::string closed = dir + "/closed";
    EXPECT_EQ(Track("--quiet --json " + closed + ".jsonl --mot " + closed + ".mot 2>&-").status, 0);
    EXPECT_EQ(JsonFrames(closed + ".jsonl").size(), static_cast<size_t>(LAST - FIRST + 1));
    EXPECT_FALSE(MotFrames(closed + ".mot").empty());
}
