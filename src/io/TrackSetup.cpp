#include "TrackSetup.h"

#include <algorithm>
#include <filesystem>

#include "BmpWriter.h"
#include "CameraFile.h"
#include "FileFrames.h"
#include "FrameNumbering.h"
#include "FrameReport.h"
#include "NumberParsing.h"
#include "PoseFile.h"

namespace {

namespace fs = std::filesystem;

// A file name pattern cut into its literal text and the runs of X of its frame number.
struct NamePiece {
    std::string literal;  // empty for a run
    size_t run = 0;       // digits of a run
};

std::vector<NamePiece> NamePieces(const std::string& name, size_t digits) {
    const std::string run(digits, 'X');
    std::vector<NamePiece> pieces;
    size_t i = 0;
    for (size_t hit; (hit = name.find(run, i)) != std::string::npos; i = hit + digits) {
        if (hit > i) pieces.push_back({name.substr(i, hit - i), 0});
        pieces.push_back({"", digits});
    }
    if (i < name.size()) pieces.push_back({name.substr(i), 0});
    return pieces;
}

// The frame number a file name holds in every run of the pattern, or -1 when it does not match.
int FrameOfName(const std::vector<NamePiece>& pieces, const std::string& name) {
    size_t pos = 0;
    int frame = -1;
    for (const NamePiece& piece : pieces) {
        if (piece.run == 0) {
            if (name.compare(pos, piece.literal.size(), piece.literal) != 0) return -1;
            pos += piece.literal.size();
            continue;
        }
        long long value = 0;
        if (name.size() < pos + piece.run || !ParseDigits(name.substr(pos, piece.run), MAX_FRAME, value)) return -1;
        if (frame >= 0 && frame != value) return -1;
        frame = static_cast<int>(value);
        pos += piece.run;
    }
    return pos == name.size() ? frame : -1;
}

std::string PatternProblem(const std::string& pattern, const std::string& problem) {
    return "--disparity: " + pattern + ": " + problem;
}

// Where the range has a hole: the first frame of first..last that is not in `found` (ascending).
int FirstMissing(const std::vector<int>& found, int first, int last) {
    int expected = first;
    for (int frame : found) {
        if (frame < first || frame > last) continue;
        if (frame != expected) return expected;
        ++expected;
    }
    return expected <= last ? expected : -1;
}

void TakeDefault(bool given, const std::string& camera, const char* what, const std::string& value,
                 const char* option, std::ostream& warnings) {
    if (given) return;
    warnings << "obstacle-track: --camera " << camera << " gives no " << what << ": the default camera's " << value
             << " is taken (" << option << " sets it)\n";
}

}  // namespace

bool SettleEgoMotion(const TrackOptions& options, const Camera& camera, EgoMotionOfFrame& egoMotion,
                     std::string& error) {
    egoMotion = nullptr;
    if (options.egoSpeed_mps) {
        const EgoMotion perFrame =
            EgoMotionOfRates(*options.egoSpeed_mps, options.yawRate_radps.value_or(0.0), camera.frameInterval_s);
        egoMotion = [perFrame](int) { return perFrame; };
        return true;
    }
    if (options.posesPath.empty()) return true;
    std::vector<Pose> poses;
    if (!ReadPoseFile(options.posesPath, poses, error)) {
        error = "--poses: " + error;
        return false;
    }
    if (static_cast<long long>(poses.size()) <= options.last) {
        error = "--poses: " + options.posesPath + ": " + std::to_string(poses.size()) +
                " poses cover frames 0 to " + std::to_string(poses.size() - 1) + ", not the run's last frame " +
                std::to_string(options.last);
        return false;
    }
    egoMotion = [poses](int frame) { return frame > 0 ? EgoMotionOfPoses(poses[frame - 1], poses[frame]) : EgoMotion{}; };
    return true;
}

bool FindPatternFrames(const std::string& pattern, std::vector<int>& frames, std::string& error) {
    const size_t slash = pattern.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : pattern.substr(0, slash);
    const std::string name = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    const size_t digits = static_cast<size_t>(FrameDigits(pattern));
    if (digits == 0) {
        error = PatternProblem(pattern, "holds no frame number");
        return false;
    }
    if (slash != std::string::npos && folder.find(std::string(digits, 'X')) != std::string::npos) {
        error = PatternProblem(pattern, "the frame number stands in a folder's name, so the frames cannot be looked up: "
                                        "give --first and --last");
        return false;
    }
    const std::vector<NamePiece> pieces = NamePieces(name, digits);
    std::error_code failure;
    frames.clear();
    for (fs::directory_iterator entry(folder, failure), end; !failure && entry != end; entry.increment(failure)) {
        const int frame = FrameOfName(pieces, entry->path().filename().string());
        if (frame >= 0) frames.push_back(frame);
    }
    if (failure) {
        error = PatternProblem(pattern, "its folder " + folder + " cannot be read");
        return false;
    }
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    return true;
}

bool ResolveFrameRange(TrackOptions& o, std::string& error) {
    if (!RangeFromDisk(o)) return true;
    std::vector<int> found;
    if (!FindPatternFrames(o.disparityPattern, found, error)) return false;
    const auto inRange = [&](int frame) {
        return (!o.firstGiven || frame >= o.first) && (!o.lastGiven || frame <= o.last);
    };
    found.erase(std::remove_if(found.begin(), found.end(), [&](int frame) { return !inRange(frame); }), found.end());
    if (found.empty()) {
        const std::string bound = o.firstGiven ? " from --first " + std::to_string(o.first) + " on"
                                  : o.lastGiven ? " up to --last " + std::to_string(o.last)
                                                : "";
        error = PatternProblem(o.disparityPattern, "no file matches it" + bound);
        return false;
    }
    if (!o.firstGiven) o.first = found.front();
    if (!o.lastGiven) o.last = found.back();
    const int missing = FirstMissing(found, o.first, o.last);
    if (missing >= 0) {
        error = PatternProblem(o.disparityPattern,
                               "frame " + std::to_string(missing) + " is missing between " + std::to_string(o.first) +
                                   " and " + std::to_string(o.last) + ": give --first and --last for frames without a gap");
        return false;
    }
    o.firstGiven = o.lastGiven = true;
    return CheckFrameRange(o, error);
}

bool ResolveCamera(const TrackOptions& o, Camera& camera, std::ostream& warnings, std::string& error) {
    CameraFile file;
    if (!o.cameraPath.empty() && !ReadCameraFile(o.cameraPath, file, error)) {
        error = "--camera: " + error;
        return false;
    }
    camera = file.camera;
    if (file.kitti) {
        if (o.disparityPattern.empty()) {
            error = "--camera: " + o.cameraPath + ": a KITTI calibration gives no picture size, which comes from the "
                    "first --disparity picture: give --disparity";
            return false;
        }
        if (!ReadDisparitySize(FramePath(o.disparityPattern, o.first), camera.width_pix, camera.height_pix, error)) {
            return false;
        }
    }
    if (o.camHeight_m) camera.camHeight_m = *o.camHeight_m;
    if (o.tanPitch) camera.tanPitch = *o.tanPitch;
    if (o.fps_hz) camera.frameInterval_s = 1.0 / *o.fps_hz;
    if (o.zoneL_m) camera.zoneL_m = *o.zoneL_m;
    if (o.zoneR_m) camera.zoneR_m = *o.zoneR_m;
    if (!o.cameraPath.empty()) {
        const Camera& d = DEFAULT_CAMERA;
        TakeDefault(file.given[KEY_CAM_HEIGHT] || o.camHeight_m, o.cameraPath, "camera height",
                    JsonNumber(d.camHeight_m) + " m", "--camera-height", warnings);
        TakeDefault(file.given[KEY_PITCH] || o.tanPitch, o.cameraPath, "pitch", JsonNumber(d.tanPitch), "--pitch", warnings);
        TakeDefault(file.given[KEY_FRAME_INTERVAL] || o.fps_hz, o.cameraPath, "frame rate",
                    JsonNumber(d.frameInterval_s) + " s from frame to frame", "--fps", warnings);
    }
    std::string problem = CameraProblem(camera);
    if (problem.empty() && o.disparityPattern.empty() && (camera.width_pix != TOTAL_U || camera.height_pix != TOTAL_V)) {
        problem = "the embedded pictures are " + std::to_string(TOTAL_U) + " x " + std::to_string(TOTAL_V) +
                  " pixels, the camera's " + std::to_string(camera.width_pix) + " x " +
                  std::to_string(camera.height_pix) + ": give --disparity";
    }
    if (problem.empty()) return true;
    error = (o.cameraPath.empty() ? "the camera" : "--camera: " + o.cameraPath) + ": " + problem;
    return false;
}

bool SettleTrackRun(TrackOptions& o, Camera& camera, std::ostream& warnings, std::string& error) {
    return ResolveFrameRange(o, error) && ResolveCamera(o, camera, warnings, error);
}

bool WriteCameraOut(const std::string& path, const Camera& camera, std::string& error) {
    const std::string text = CameraFileText(camera);
    std::string problem;
    if (WriteFileReplacing(path, text.data(), text.size(), &problem)) return true;
    error = "--camera-out: " + path + ": " + problem;
    return false;
}
