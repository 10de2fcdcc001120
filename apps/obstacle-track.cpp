// obstacle-track: runs the detector and tracker on a recording (or the embedded pictures) and
// writes its findings: JSON Lines per frame, MOTChallenge tracks, overlay pictures.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <memory>
#include <string>

#include "FileFrames.h"
#include "FrameOverlay.h"
#include "FrameReport.h"
#include "RunDriver.h"
#include "TrackOptions.h"
#include "TrackSetup.h"

namespace {

constexpr int BAD_INPUT = 2;

int Fail(const std::string& message) {
    std::cerr << "obstacle-track: " << message << '\n';
    return BAD_INPUT;
}

// The files a run writes, opened before the first frame so that a bad path stops it at once.
struct Outputs {
    std::unique_ptr<std::ofstream> jsonFile;
    std::ostream* json = nullptr;
    std::string jsonName;
    std::ofstream mot;
    std::string motName;
    std::string overlayDir;

    bool Open(const TrackOptions& o, std::string& error) {
        jsonName = o.jsonPath == "-" ? "standard output" : o.jsonPath;
        motName = o.motPath;
        if (o.jsonPath == "-") {
            json = &std::cout;
        } else if (!o.jsonPath.empty()) {
            jsonFile = std::make_unique<std::ofstream>(o.jsonPath);
            if (!*jsonFile) return Refuse("--json", o.jsonPath, "cannot be created", error);
            json = jsonFile.get();
        }
        if (!o.motPath.empty()) {
            mot.open(o.motPath);
            if (!mot) return Refuse("--mot", o.motPath, "cannot be created", error);
        }
        if (!o.overlayDir.empty()) {
            std::error_code failure;
            std::filesystem::create_directories(o.overlayDir, failure);
            if (!std::filesystem::is_directory(o.overlayDir, failure)) {
                return Refuse("--overlay", o.overlayDir, "is not a folder that can be created", error);
            }
            overlayDir = o.overlayDir;
        }
        return true;
    }

    // One frame's lines, flushed, and its pictures.
    bool Write(int frame, const RunState& run, const AssociationRecord& record, bool grid, std::string& error) {
        if (json != nullptr) {
            WriteJsonFrame(*json, frame, run, record, grid);
            if (!json->flush()) return Refuse("--json", jsonName, WriteFailure(frame).c_str(), error);
        }
        if (mot.is_open()) {
            WriteMotFrame(mot, frame, run);
            if (!mot.flush()) return Refuse("--mot", motName, WriteFailure(frame).c_str(), error);
        }
        return overlayDir.empty() || WriteOverlays(overlayDir, frame, run, record, error);
    }

    static std::string WriteFailure(int frame) { return "frame " + std::to_string(frame) + " cannot be written"; }

    static bool Refuse(const char* option, const std::string& path, const char* what, std::string& error) {
        error = std::string(option) + ": " + path + ": " + what;
        return false;
    }
};

// Tracks reported for the first time in this frame: those started in it that are still listed.
int NewTracks(const RunState& run, const AssociationRecord& record) {
    return static_cast<int>(std::count_if(run.preObject.begin(), run.preObject.end(), [&](const TrackingObject& t) {
        return std::find(record.started.begin(), record.started.end(), t.m_id) != record.started.end();
    }));
}

}  // namespace

int main(int argc, char** argv) {
    TrackOptions options;
    std::string error;
    if (!ParseTrackOptions(argc, argv, options, error)) return Fail(error + " (see obstacle-track --help)");
    if (options.help) {
        std::cout << TRACK_USAGE;
        return 0;
    }
    if (options.version) {
        std::cout << "obstacle-track " << PROJECT_VERSION << '\n';
        return 0;
    }
    Camera camera = DEFAULT_CAMERA;
    if (!SettleTrackRun(options, camera, std::cerr, error)) return Fail(error);
    Outputs outputs;
    if (!outputs.Open(options, error)) return Fail(error);

    // Overlays drawn without grey pictures show the disparity picture, which PNG and PFM sources
    // then colour-code as well.
    const bool colourPicture = !options.overlayDir.empty() && options.greyPattern.empty();
    FileFrames source(camera, {options.disparityPattern, options.greyPattern, options.disparityScale, colourPicture});
    std::ostream* progress = options.quiet ? nullptr : (options.jsonPath == "-" ? &std::cerr : &std::cout);
    int tracksSeen = 0;
    const auto start = std::chrono::steady_clock::now();
    const RunOutcome outcome = RunSequence(camera, source, options.first, options.last, progress,
                                           [&](int frame, const RunState& run, const AssociationRecord& record) {
                                               if (!outputs.Write(frame, run, record, options.grid, error)) return false;
                                               tracksSeen += NewTracks(run, record);
                                               return true;
                                           });
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    std::cerr << "obstacle-track: " << outcome.frames << " frames processed, " << tracksSeen << " tracks seen, "
              << std::fixed << std::setprecision(1) << (outcome.frames > 0 ? elapsed.count() / outcome.frames : 0.0)
              << " ms per frame\n";
    if (!outcome.complete) return Fail(outcome.error.empty() ? error : outcome.error);
    return 0;
}
