#include "TrackOutputs.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <utility>
#include <vector>

#include "FileFrames.h"
#include "FrameNumbering.h"
#include "KittiTracking.h"
#include "OutputChecks.h"
#include "ProcessSetup.h"
#include "PublicRecords.h"

namespace {

const char* const JSON_OPTION = "--json";
const char* const MOT_OPTION = "--mot";
const char* const KITTI_OPTION = "--kitti-tracking";
const char* const VIDEO_OPTION = "--video";

bool Refuse(const std::string& option, const std::string& path, const std::string& problem, std::string& error) {
    error = option + ": " + path + ": " + problem;
    return false;
}

// The file a pattern names for the frame; a pattern without a frame number names its one file
// for the first frame only.
void AddFrameFile(std::vector<NamedFile>& files, const char* option, const std::string& pattern, int frame, int first) {
    if (!pattern.empty() && (FrameDigits(pattern) > 0 || frame == first)) files.push_back({option, FramePath(pattern, frame)});
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
    RunFiles files;
    if (!options.cameraPath.empty()) files.inputs.push_back({"--camera", options.cameraPath});
    if (!options.cameraRightPath.empty()) files.inputs.push_back({"--camera-right", options.cameraRightPath});
    if (!options.posesPath.empty()) files.inputs.push_back({"--poses", options.posesPath});
    if (!options.cameraOutPath.empty()) files.outputs.push_back({"--camera-out", options.cameraOutPath});
    files.streams = {{"standard error", "", STANDARD_ERROR}};
    if (options.jsonPath == "-" || !options.quiet) files.streams.push_back({"standard output", "", STANDARD_OUTPUT});
    if (!options.jsonPath.empty() && options.jsonPath != "-") files.outputs.push_back({JSON_OPTION, options.jsonPath});
    if (!options.motPath.empty()) files.outputs.push_back({MOT_OPTION, options.motPath});
    if (!options.kittiTrackingPath.empty()) files.outputs.push_back({KITTI_OPTION, options.kittiTrackingPath});
    if (!options.videoPath.empty()) {
        if (FindProgram(VIDEO_ENCODER).empty()) {
            return Refuse(VIDEO_OPTION, options.videoPath,
                          std::string("needs the ") + VIDEO_ENCODER + " program, which is not found on PATH (Debian: apt install ffmpeg)",
                          error);
        }
        files.outputs.push_back({VIDEO_OPTION, options.videoPath});
    }
    files.overlayDir = options.overlayDir;
    files.first = options.first;
    files.last = options.last;
    files.frameFiles = [this](int frame, std::vector<NamedFile>& inputs, std::vector<NamedFile>& outputs) {
        AddFrameFile(inputs, "--disparity", options.disparityPattern, frame, options.first);
        AddFrameFile(inputs, "--grey", options.greyPattern, frame, options.first);
        AddFrameFile(inputs, "--left", options.leftPattern, frame, options.first);
        AddFrameFile(inputs, "--right", options.rightPattern, frame, options.first);
        AddFrameFile(outputs, "--disparity-out", options.disparityOutPattern, frame, options.first);
        if (options.overlayDir.empty()) return;
        for (const std::string& path : OverlayPaths(options.overlayDir, frame, options.overlayFormat)) {
            outputs.push_back({"--overlay", path});
        }
    };
    return CheckOutputsApart(files, error);
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
    if (!options.kittiTrackingPath.empty() && !kitti.Create(options.kittiTrackingPath, problem)) {
        return Refuse(KITTI_OPTION, options.kittiTrackingPath, problem, error);
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

bool TrackOutputs::Write(int frame, const obstacle::FrameResult& result, OverlayFrame shown, const RunState& run,
                         std::string& error) {
    shown.detections = options.overlayDetections;
    if (!WritePictures(frame, result, run.camera, shown, error)) {
        return false;
    }
    // MOTChallenge numbers the frames from 1, KITTI from 0, each at the run's first frame.
    if (mot.IsOpen()) {
        std::ostringstream lines;
        WriteMotFrame(lines, frame - options.first + 1, result, options.tentative);
        if (!AppendFrame(mot, MOT_OPTION, options.motPath, frame, lines.str(), error)) return false;
    }
    if (kitti.IsOpen()) {
        std::ostringstream lines;
        WriteKittiTrackingFrame(lines, frame - options.first, run.camera, result, options.tentative);
        if (!AppendFrame(kitti, KITTI_OPTION, options.kittiTrackingPath, frame, lines.str(), error)) {
            if (mot.IsOpen()) mot.UndoLastAppend();
            return false;
        }
    }
    if (json.IsOpen()) {
        std::ostringstream line;
        WriteJsonFrame(line, frame, result, options.grid ? &run : nullptr);
        if (!AppendFrame(json, JSON_OPTION, JsonName(options), frame, line.str(), error)) {
            if (mot.IsOpen()) mot.UndoLastAppend();
            if (kitti.IsOpen()) kitti.UndoLastAppend();
            return false;
        }
    }
    for (const obstacle::Track& t : result.tracks) {
        trajectories = std::max(trajectories, t.trajectory);
        if (t.confirmed) confirmed.insert(t.trajectory);
    }
    roads.Add(result.road.kind);
    return true;
}

bool TrackOutputs::WritePictures(int frame, const obstacle::FrameResult& result, const Camera& camera,
                                 const OverlayFrame& view, std::string& error) {
    if (options.overlayDir.empty() && options.videoPath.empty()) return true;
    FramePictures pictures;
    DrawFramePictures(result, camera, view, pictures);
    bool written = options.overlayDir.empty() ||
                   WriteOverlays(options.overlayDir, frame, pictures, options.overlayFormat, error);
    if (written && !options.videoPath.empty()) written = WriteVideoFrame(pictures, camera, error);
    pictures.Release();
    return written;
}

// The first frame's pictures give the video its size; the camera's frame interval its rate.
bool TrackOutputs::WriteVideoFrame(const FramePictures& pictures, const Camera& camera, std::string& error) {
    const std::vector<const qim::Image*> sides = {&pictures.overlay, &pictures.topView};
    std::string problem;
    if (!video.IsOpen()) {
        int width = 0;
        int height = 0;
        SideBySideSize(sides, width, height);
        if (!video.Open(FindProgram(VIDEO_ENCODER), options.videoPath, width, height, 1.0 / camera.frameInterval_s,
                        problem)) {
            return Refuse(VIDEO_OPTION, options.videoPath, problem, error);
        }
    }
    return video.Write(sides, problem) || Refuse(VIDEO_OPTION, options.videoPath, problem, error);
}

bool TrackOutputs::Close(std::string& error) {
    std::string problem;
    if (!video.Close(problem)) return Refuse(VIDEO_OPTION, options.videoPath, problem, error);
    if (!json.Close(problem)) return Refuse(JSON_OPTION, options.jsonPath, problem, error);
    if (!mot.Close(problem)) return Refuse(MOT_OPTION, options.motPath, problem, error);
    if (!kitti.Close(problem)) return Refuse(KITTI_OPTION, options.kittiTrackingPath, problem, error);
    return true;
}
