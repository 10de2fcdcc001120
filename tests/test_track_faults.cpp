// obstacle-track on a failing machine: a file system that fills, writes that fail or come up
// short, kills in the middle of a run, standard streams that are full or closed. Every line left
// in the result files must parse, the files must hold the frames the summary counts, and no
// temporary may look like a result.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "BmpWriter.h"
#include "Config.h"
#include "FaultInjection.h"
#include "NoiseBytes.h"
#include "ProgramRunner.h"
#include "Sanitizers.h"
#include "VideoFile.h"

namespace {

namespace fs = std::filesystem;

constexpr int FRAMES = 6;

int KilledBy(int signal) { return 128 + signal; }  // the shell's status of a killed program

// The frames of a JSON Lines file; a line that does not parse (a fragment) fails the test.
std::vector<int> JsonFrames(const std::string& path) {
    std::vector<int> frames;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
        EXPECT_TRUE(parsed.is_object()) << path << ": " << line.substr(0, 60);
        frames.push_back(parsed.is_object() ? parsed["frame"].get<int>() : 0);
    }
    return frames;
}

// Names in a folder: pictures (overlay_..., topview_...) and hidden temporaries.
std::pair<int, int> PicturesAndTemporaries(const std::string& dir) {
    std::pair<int, int> count{0, 0};
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        const bool temporary = name[0] == '.' && entry.path().extension() == ".tmp";
        EXPECT_TRUE(temporary || name.rfind("overlay_", 0) == 0 || name.rfind("topview_", 0) == 0) << name;
        (temporary ? count.second : count.first) += 1;
    }
    return count;
}

class TrackFaults : public testing::Test {
protected:
    // A noise picture: its lines with --grid are about 20 KB, more than a stream buffer holds.
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/obstacle-faults-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        const std::vector<unsigned char> noise = Noise(static_cast<size_t>(TOTAL_PIXELS) * 3, 5u);
        ASSERT_TRUE(WriteBmp(dir + "/noise.bmp", noise.data(), TOTAL_U, TOTAL_V, 24));
    }
    static void TearDownTestSuite() { fs::remove_all(dir); }

    // Frames 1 to FRAMES of the noise picture, standard error to a file unless `arguments` move it.
    static int Track(const std::string& arguments, const std::string& faults = "") {
        return RunProgram(OBSTACLE_TRACK_EXE, "--disparity " + dir + "/noise.bmp --first 1 --last " +
                                                  std::to_string(FRAMES) + " 2>" + dir + "/err " + arguments,
                          faults.empty() ? "" : FaultEnvironment(faults))
            .status;
    }
    static std::string Errors() {
        std::ostringstream text;
        text << std::ifstream(dir + "/err").rdbuf();
        return text.str();
    }

    // The JSON lines are whole, frames 1, 2, ... as many as the summary counts; the MOT lines are
    // whole (ten fields) and of those frames.
    static void ExpectCountedFrames(const std::string& json, const std::string& mot) {
        const std::vector<int> frames = JsonFrames(json);
        const std::string counted = std::to_string(frames.size()) + " frames processed";
        EXPECT_NE(Errors().find("obstacle-track: " + counted), std::string::npos) << Errors();
        for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i], static_cast<int>(i) + 1);
        std::ifstream in(mot);
        for (std::string line; std::getline(in, line);) {
            EXPECT_EQ(std::count(line.begin(), line.end(), ','), 9) << line;
            EXPECT_LE(std::atoi(line.c_str()), static_cast<int>(frames.size())) << line;
        }
    }

    static std::string dir;
};

std::string TrackFaults::dir;

}  // namespace

TEST_F(TrackFaults, WriteFailuresStopTheRunWithWholeLinesOfTheCountedFrames) {
    SmallFileSystem full(64 * 1024);
    const std::string disk = full.folder;
    const struct {
        const char* name;
        std::string faults;  // for the fault injector; none on the full disk
        std::string json;
        std::string mot;
        std::string overlay;
        std::string named;
    } cases[] = {
        // The full disk takes part of a line or none of it, and no part of a picture.
        {"full disk", "", disk + "/run.jsonl", disk + "/run.mot", "", "/run."},
        {"full disk, pictures", "", dir + "/ov.jsonl", "", disk + "/ov",
         disk + "/ov/overlay_00001.bmp: cannot be written (No space left on device)"},
        // The first line is shorter than 30,000 bytes, the first two longer.
        {"short write", "FAULT_PATH=short.jsonl FAULT_BYTE=30000", dir + "/short.jsonl", "", "",
         "--json: " + dir + "/short.jsonl: frame 2 cannot be written (only "},
        // A frame's JSON line must not stay when its MOT lines fail.
        {"failing write", "FAULT_PATH=fail.mot FAULT_CALL=2", dir + "/fail.jsonl", dir + "/fail.mot", "",
         "--mot: " + dir + "/fail.mot: frame 2 cannot be written (No space left on device)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.faults.empty() && !full.mounted) {
            std::cout << "skipped: " << c.name << ": " << full.why << '\n';
            continue;
        }
        const std::string mot = c.mot.empty() ? "" : " --tentative --mot " + c.mot;  // lines from the first frame on
        const std::string overlay = c.overlay.empty() ? "" : " --overlay " + c.overlay;
        EXPECT_EQ(Track("--grid --quiet --json " + c.json + mot + overlay, c.faults), 2);
        EXPECT_NE(Errors().find(c.named), std::string::npos) << Errors();
        ExpectCountedFrames(c.json, c.mot);
        if (!c.overlay.empty()) {
            EXPECT_EQ(PicturesAndTemporaries(c.overlay), std::make_pair(0, 0));
        }
    }
}

TEST_F(TrackFaults, KillsLeaveWholeLinesAndNoTemporaryThatLooksLikeAResult) {
    EXPECT_EQ(Track("--grid --quiet --json " + dir + "/killed.jsonl", "FAULT_PATH=killed.jsonl FAULT_CALL=3 FAULT_SIGNAL=9"),
              KilledBy(9));
    EXPECT_EQ(JsonFrames(dir + "/killed.jsonl"), (std::vector<int>{1, 2}));
    // Before the rename of frame 2's first picture: a termination removes its temporary; after a
    // SIGKILL it stays, hidden.
    for (int signal : {15, 9}) {
        const std::string folder = dir + "/killed" + std::to_string(signal);
        EXPECT_EQ(Track("--quiet --overlay " + folder,
                        "FAULT_OP=rename FAULT_PATH=overlay_00002 FAULT_CALL=1 FAULT_SIGNAL=" + std::to_string(signal)),
                  KilledBy(signal));
        EXPECT_EQ(PicturesAndTemporaries(folder), std::make_pair(2, signal == 9 ? 1 : 0)) << signal;
    }
}

TEST_F(TrackFaults, ASignalTheMomentATemporaryIsCreatedRemovesIt) {
    // The termination comes as soon as frame 2's first picture's temporary exists, before anything
    // is written into it: the handler must know it already.
    for (int signal : {15, 2, 1}) {
        const std::string folder = dir + "/created" + std::to_string(signal);
        EXPECT_EQ(Track("--quiet --overlay " + folder,
                        "FAULT_OP=create FAULT_PATH=overlay_00002 FAULT_CALL=1 FAULT_SIGNAL=" + std::to_string(signal)),
                  KilledBy(signal));
        EXPECT_EQ(PicturesAndTemporaries(folder), std::make_pair(2, 0)) << signal;
    }
}

// The video's temporary lives through the run: a termination mid-run stops its encoder and
// removes it, and leaves no video under its name.
TEST_F(TrackFaults, ASignalMidRunRemovesTheVideosTemporary) {
    if (FindProgram(VIDEO_ENCODER).empty()) GTEST_SKIP() << "ffmpeg is not installed (Debian: ffmpeg)";
#ifdef UNDER_ADDRESS_SANITIZER
    GTEST_SKIP() << "the encoder inherits the preloaded fault library, which needs the sanitizer's runtime";
#endif
    for (int signal : {15, 2}) {
        const std::string folder = dir + "/video" + std::to_string(signal);
        EXPECT_EQ(Track("--quiet --overlay " + folder + " --video " + folder + "/run.mp4",
                        "FAULT_OP=create FAULT_PATH=overlay_00003 FAULT_CALL=1 FAULT_SIGNAL=" + std::to_string(signal)),
                  KilledBy(signal));
        EXPECT_EQ(PicturesAndTemporaries(folder), std::make_pair(4, 0)) << signal;
    }
}

TEST_F(TrackFaults, AFileAtItsSizeLimitStopsTheRunWithStatusTwoNamingItAndLeavesNothingHalfWritten) {
    const struct {
        const char* kibibytes;  // the file size limit (ulimit -f), which a file on standard error would meet too
        std::string json;
        std::string more;
    } cases[] = {
        // Frame 1's first picture (600 KB) does not fit: no picture, no line, no temporary.
        {"200", dir + "/limited.jsonl", " --overlay " + dir + "/limited"},
        // Not one byte fits.
        {"0", dir + "/empty.jsonl", ""},
        // Some frames' lines (about 20 KB each) fit, then one is cut back to the last whole line.
        {"70", dir + "/cut.jsonl", " --grid"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kibibytes);
        const ProgramResult r = RunProgram(OBSTACLE_TRACK_EXE,
                                           "--disparity " + dir + "/noise.bmp --first 1 --last " + std::to_string(FRAMES) +
                                               " --quiet --json " + c.json + c.more + " 2>&1",
                                           std::string("ulimit -f ") + c.kibibytes + ";");
        EXPECT_EQ(r.status, 2);
        const std::vector<int> frames = JsonFrames(c.json);
        for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i], static_cast<int>(i) + 1);
        EXPECT_NE(r.output.find("obstacle-track: " + std::to_string(frames.size()) + " frames processed"), std::string::npos)
            << r.output;
        const std::string named = c.more.rfind(" --overlay", 0) == 0
                                      ? "--overlay: " + dir + "/limited/overlay_00001.bmp: cannot be written (File too large)"
                                      : "--json: " + c.json + ": frame " + std::to_string(frames.size() + 1) + " cannot be written";
        EXPECT_NE(r.output.find("obstacle-track: " + named), std::string::npos) << r.output;
    }
    EXPECT_EQ(PicturesAndTemporaries(dir + "/limited"), std::make_pair(0, 0));
    EXPECT_EQ(JsonFrames(dir + "/empty.jsonl").size(), 0u);
    EXPECT_LT(JsonFrames(dir + "/cut.jsonl").size(), static_cast<size_t>(FRAMES));
}

TEST_F(TrackFaults, AFullOrClosedStandardOutputIsStatusTwoAndAClosedStandardErrorTakesNoResult) {
    // The progress lines to a full or a closed standard output, the help text to a full one.
    for (const char* redirection : {"> /dev/full", ">&-", "--help > /dev/full"}) {
        EXPECT_EQ(Track(redirection), 2) << redirection;
        EXPECT_NE(Errors().find("standard output: cannot be written"), std::string::npos) << redirection << Errors();
    }
    EXPECT_EQ(Track("--quiet --json " + dir + "/closed.jsonl 2>&-"), 0);
    EXPECT_EQ(JsonFrames(dir + "/closed.jsonl").size(), static_cast<size_t>(FRAMES));
}
