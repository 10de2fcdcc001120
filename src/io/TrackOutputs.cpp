#include "TrackOutputs.h"

#include <filesystem>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include "FileFrames.h"
#include "FrameOverlay.h"
#include "OutputChecks.h"

namespace {

constexpr int STANDARD_OUTPUT = 1;
constexpr int STANDARD_ERROR = 2;

const char* const JSON_OPTION = "--json";
const char* const MOT_OPTION = "--mot";

bool Refuse(const std::string& option, const std::string& path, const std::string& problem, std::string& error) {
    error = option + ": " + path + ": " + problem;
    return false;
}

// The files a pattern names over the frames, each once.
void AddFrameFiles(std::vector<NamedFile>& files, const char* option, const std::string& pattern, int first, int last) {
    if (pattern.empty()) return;
    std::set<std::string> named;
    for (int frame = first; frame <= last; ++frame) {
        const std::string path = FramePath(pattern, frame);
        if (named.insert(path).second) files.push_back({option, path});
    }
}

std::string JsonName(const TrackOptions& o) { return o.jsonPath == "-" ? "standard output" : o.jsonPath; }

// Appends a frame's lines; false with a message naming the file.
bool AppendFrame(LineFile& file, const char* option, const std::string& path, int frame, const std::string& lines,
                 std::string& error) {
    std::string problem;
    if (file.Append(lines, problem)) return true;
    return Refuse(option, path, "frame " + std::to_string(frame) + " cannot be written (" + problem + ")", error);
}

}  // namespace

TrackOutputs::TrackOutputs(TrackOptions o) : options(std::move(o)) {}

bool TrackOutputs::Check(std::string& error) const {
    std::vector<NamedFile> inputs;
    AddFrameFiles(inputs, "--disparity", options.disparityPattern, options.first, options.last);
    AddFrameFiles(inputs, "--grey", options.greyPattern, options.first, options.last);
    if (!options.cameraPath.empty()) inputs.push_back({"--camera", options.cameraPath});
    if (!options.posesPath.empty()) inputs.push_back({"--poses", options.posesPath});
    std::vector<NamedFile> outputs;
    if (!options.cameraOutPath.empty()) outputs.push_back({"--camera-out", options.cameraOutPath});
    std::vector<NamedFile> streams = {{"standard error", "", STANDARD_ERROR}};
    if (options.jsonPath == "-" || !options.quiet) streams.push_back({"standard output", "", STANDARD_OUTPUT});
    if (!options.jsonPath.empty() && options.jsonPath != "-") outputs.push_back({JSON_OPTION, options.jsonPath});
    if (!options.motPath.empty()) outputs.push_back({MOT_OPTION, options.motPath});
    for (int frame = options.first; !options.overlayDir.empty() && frame <= options.last; ++frame) {
        for (const std::string& path : OverlayPaths(options.overlayDir, frame, options.overlayFormat)) {
            outputs.push_back({"--overlay", path});
        }
    }
    return CheckOutputsApart(inputs, outputs, streams, options.overlayDir, error);
}

bool TrackOutputs::Open(std::string& error) {
    std::string problem;
    if (options.jsonPath == "-") {
        json.UseStandardOutput();
    } else if (!options.jsonPath.empty() && !json.Create(options.jsonPath, problem)) {
        return Refuse(JSON_OPTION, options.jsonPath, problem, error);
    }
    if (!options.motPath.empty() && !mot.Create(options.motPath, problem)) {
        return Refuse(MOT_OPTION, options.motPath, problem, error);
    }
    if (!options.overlayDir.empty()) {
        std::error_code failure;
        std::filesystem::create_directories(options.overlayDir, failure);
        if (!std::filesystem::is_directory(options.overlayDir, failure)) {
            return Refuse("--overlay", options.overlayDir, "is not a folder that can be created", error);
        }
    }
    opened = true;
    return true;
}

bool TrackOutputs::Write(int frame, const RunState& run, const AssociationRecord& record, std::string& error) {
    TrajectoryNumbers next = numbers;
    next.Update(run.preObject, record);
    if (!options.overlayDir.empty() &&
        !WriteOverlays(options.overlayDir, frame, run, record, options.overlayFormat, error)) {
        return false;
    }
    if (mot.IsOpen()) {
        std::ostringstream lines;
        WriteMotFrame(lines, frame, run, next);
        if (!AppendFrame(mot, MOT_OPTION, options.motPath, frame, lines.str(), error)) return false;
    }
    if (json.IsOpen()) {
        std::ostringstream line;
        WriteJsonFrame(line, frame, run, record, next, options.grid);
        if (!AppendFrame(json, JSON_OPTION, JsonName(options), frame, line.str(), error)) {
            if (mot.IsOpen()) mot.UndoLastAppend();
            return false;
        }
    }
    numbers = next;
    return true;
}

bool TrackOutputs::Close(std::string& error) {
    std::string problem;
    if (!json.Close(problem)) return Refuse(JSON_OPTION, options.jsonPath, problem, error);
    if (!mot.Close(problem)) return Refuse(MOT_OPTION, options.motPath, problem, error);
    return true;
}
