#include "TrackSetup.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iomanip>
#include <memory>
#include <sstream>

#include "BmpWriter.h"
#include "CameraFile.h"
#include "FileFrames.h"
#include "TimesFile.h"
#include "FrameNumbering.h"
#include "FrameReport.h"
#include "NumberParsing.h"
#include "PoseFile.h"
#include "RoadLine.h"
#include "StereoMatcher.h"

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

std::string PatternProblem(const std::string& option, const std::string& pattern, const std::string& problem) {
    return option + ": " + pattern + ": " + problem;
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

std::string Fixed(double value, int decimals) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(decimals) << value;
    return text.str();
}

// The road of the run's first frames, MOUNTING_SPAN_S of them: the lines fitted to those that load,
// up to the first that does not (the run itself reports that one).
struct FirstFramesRoad {
    std::vector<RoadLine> lines;
    int first = 0;
    int last = 0;  // the last frame read
    std::optional<RoadMounting> mounting;

    std::string Frames() const { return "the road of frames " + std::to_string(first) + " to " + std::to_string(last); }
};

// The frames' 16-bit pictures go to `decoded` where it is given.
FirstFramesRoad FitFirstFramesRoad(const TrackOptions& o, const Camera& camera, DecodedFrames* decoded) {
    FirstFramesRoad road;
    road.first = road.last = o.first;
    const double span = std::round(MOUNTING_SPAN_S / camera.frameInterval_s);
    const int frames = span >= 1.0 ? static_cast<int>(std::min<double>(span, o.last - o.first + 1.0)) : 1;
    // Read only: the outputs are not yet checked apart from the inputs.
    TrackOptions reading = o;
    reading.disparityOutPattern.clear();
    FileFrames source = FrameSourceOf(reading, camera, false);
    source.KeepDecoded(decoded);
    RunState run(camera);
    FrameNames names{};
    std::string error;
    for (int frame = o.first; frame < o.first + frames && source.LoadDisparity(names, frame, run, error); ++frame) {
        const std::optional<RoadLine> line = FitFrameRoadLine(run);
        if (line) road.lines.push_back(*line);
        road.last = frame;
    }
    road.mounting = MountingOfRoadLines(camera, road.lines);
    return road;
}

// Where the camera's height or pitch is given and the first frames' road puts it elsewhere by more
// than a car's load and pitching explain, a line on `warnings` gives the estimate.
void WarnOfMounting(const Camera& camera, bool heightGiven, bool pitchGiven, const FirstFramesRoad& road,
                    std::ostream& warnings) {
    if (!road.mounting) return;
    const RoadMounting& m = *road.mounting;
    const bool heightOff =
        heightGiven && std::fabs(m.camHeight_m - camera.camHeight_m) > MOUNTING_HEIGHT_MARGIN * camera.camHeight_m;
    const bool pitchOff = pitchGiven && std::fabs(m.tanPitch - camera.tanPitch) > MOUNTING_PITCH_MARGIN;
    if (!heightOff && !pitchOff) return;
    warnings << "obstacle-track: warning: " << road.Frames() << " puts the camera " << Fixed(m.camHeight_m, 2)
             << " m above it, pitched " << Fixed(m.tanPitch, 4) << ", where the run takes "
             << Fixed(camera.camHeight_m, 2) << " m and " << Fixed(camera.tanPitch, 4) << "\n";
}

// A value of the camera that neither the camera file nor an option gives: `estimate` where there is
// one (`source` saying where it comes from), else the default camera's (`defaultText`); a line on
// `warnings` says which.
void TakeMissing(bool given, const std::string& cameraPath, const char* what, const char* option,
                 std::optional<double> estimate, const std::string& source, const std::string& defaultText,
                 double& value, std::ostream& warnings) {
    if (given) return;
    warnings << "obstacle-track: --camera " << cameraPath << " gives no " << what << ": ";
    if (estimate) {
        value = *estimate;
        warnings << source << ", which is taken";
    } else {
        warnings << "the default camera's " << defaultText << " is taken";
    }
    warnings << " (" << option << " sets it)\n";
}

// The camera's height and pitch where the file and the options leave them open: from the first
// frames' own road where there are disparity pictures to read, else the default camera's; and a
// warning where the given ones disagree with that road.
void SettleMounting(const TrackOptions& o, const CameraFile& file, Camera& camera, std::ostream& warnings,
                    DecodedFrames* decoded) {
    const bool heightGiven = file.given[KEY_CAM_HEIGHT] || o.camHeight_m;
    const bool pitchGiven = file.given[KEY_PITCH] || o.tanPitch;
    FirstFramesRoad road;
    if (!FramePattern(o).empty()) road = FitFirstFramesRoad(o, camera, decoded);
    WarnOfMounting(camera, heightGiven, pitchGiven, road, warnings);
    const std::optional<RoadMounting>& m = road.mounting;
    const Camera& d = DEFAULT_CAMERA;
    TakeMissing(heightGiven, o.cameraPath, "camera height", "--camera-height",
                m ? std::optional<double>(m->camHeight_m) : std::nullopt,
                m ? road.Frames() + " puts it " + Fixed(m->camHeight_m, 3) + " m above the road" : "",
                JsonNumber(d.camHeight_m) + " m", camera.camHeight_m, warnings);
    TakeMissing(pitchGiven, o.cameraPath, "pitch", "--pitch", m ? std::optional<double>(m->tanPitch) : std::nullopt,
                m ? road.Frames() + " puts it at " + Fixed(m->tanPitch, 4) : "", JsonNumber(d.tanPitch),
                camera.tanPitch, warnings);
}

// The picture size of a calibration: the first disparity picture's where the calibration gives
// none, else the calibration's, which that picture must have. A calibration without a size whose
// principal point lies far off the picture's middle is of another size (a half-size disparity
// picture with a full-size calibration) and refused.
bool CalibrationPictureSize(const TrackOptions& o, const CameraFile& file, Camera& camera, std::string& error) {
    if (FramePattern(o).empty()) {
        if (file.given[KEY_WIDTH]) return true;
        error = "--camera: " + o.cameraPath + ": a calibration without a picture size takes it from the first "
                "--disparity picture: give --disparity (or --left and --right)";
        return false;
    }
    const std::string option = FrameOption(o);
    const std::string first = FramePath(FramePattern(o), o.first);
    int width = 0;
    int height = 0;
    if (!ReadDisparitySize(first, width, height, error, option)) return false;
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (file.given[KEY_WIDTH] && (width != camera.width_pix || height != camera.height_pix)) {
        error = option + ": " + first + ": " + size + " pixels, where the calibration " + o.cameraPath + " is of " +
                std::to_string(camera.width_pix) + " x " + std::to_string(camera.height_pix);
        return false;
    }
    const std::string problem = PictureSizeProblem(width, height);
    if (!problem.empty()) {
        error = option + ": " + first + ": " + problem + " (the calibration " + o.cameraPath +
                " takes the camera's picture size from this picture)";
        return false;
    }
    if (std::fabs(camera.u0_pix - width / 2.0) > width * PRINCIPAL_POINT_SPREAD ||
        std::fabs(camera.v0_pix - height / 2.0) > height * PRINCIPAL_POINT_SPREAD) {
        error = option + ": " + first + ": " + size + " pixels, where the calibration " + o.cameraPath +
                " puts the principal point at (" + Fixed(camera.u0_pix, 1) + ", " + Fixed(camera.v0_pix, 1) +
                "), far off its middle: a calibration of pictures of about " +
                std::to_string(static_cast<int>(std::lround(2.0 * camera.u0_pix))) + " x " +
                std::to_string(static_cast<int>(std::lround(2.0 * camera.v0_pix)));
        return false;
    }
    camera.width_pix = width;
    camera.height_pix = height;
    return true;
}

}  // namespace

bool SettleFrameIntervals(const TrackOptions& options, IntervalOfFrame& interval, std::string& error) {
    interval = nullptr;
    if (options.timesPath.empty()) return true;
    std::vector<double> times;
    if (!ReadTimesFile(options.timesPath, times, error)) {
        error = "--times: " + error;
        return false;
    }
    if (static_cast<long long>(times.size()) <= options.last) {
        error = "--times: " + options.timesPath + ": " + std::to_string(times.size()) + " times cover frames 0 to " +
                std::to_string(times.size() - 1) + ", not the run's last frame " + std::to_string(options.last);
        return false;
    }
    const int first = options.first;
    interval = [times, first](int frame) -> std::optional<double> {
        if (frame == first) return std::nullopt;
        return times[static_cast<size_t>(frame)] - times[static_cast<size_t>(frame) - 1];
    };
    return true;
}

bool SettleEgoMotion(const TrackOptions& options, const Camera& camera, const IntervalOfFrame& interval,
                     EgoMotionOfFrame& egoMotion, std::string& error) {
    egoMotion = nullptr;
    if (options.egoSpeed_mps) {
        const double speed_mps = *options.egoSpeed_mps;
        const double yawRate_radps = options.yawRate_radps.value_or(0.0);
        const double usual_s = camera.frameInterval_s;
        egoMotion = [speed_mps, yawRate_radps, usual_s, interval](int frame) {
            return EgoMotionOfRates(speed_mps, yawRate_radps, interval ? interval(frame).value_or(usual_s) : usual_s);
        };
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

bool FindPatternFrames(const std::string& pattern, std::vector<int>& frames, std::string& error,
                       const std::string& option) {
    const size_t slash = pattern.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : pattern.substr(0, slash);
    const std::string name = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    const size_t digits = static_cast<size_t>(FrameDigits(pattern));
    if (digits == 0) {
        error = PatternProblem(option, pattern, "holds no frame number");
        return false;
    }
    if (slash != std::string::npos && folder.find(std::string(digits, 'X')) != std::string::npos) {
        error = PatternProblem(option, pattern, "the frame number stands in a folder's name, so the frames cannot be looked up: "
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
        error = PatternProblem(option, pattern, "its folder " + folder + " cannot be read");
        return false;
    }
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    return true;
}

bool ResolveFrameRange(TrackOptions& o, std::string& error) {
    if (!RangeFromDisk(o)) return true;
    std::vector<int> found;
    const std::string& pattern = FramePattern(o);
    if (!FindPatternFrames(pattern, found, error, FrameOption(o))) return false;
    const auto inRange = [&](int frame) {
        return (!o.firstGiven || frame >= o.first) && (!o.lastGiven || frame <= o.last);
    };
    found.erase(std::remove_if(found.begin(), found.end(), [&](int frame) { return !inRange(frame); }), found.end());
    if (found.empty()) {
        const std::string bound = o.firstGiven ? " from --first " + std::to_string(o.first) + " on"
                                  : o.lastGiven ? " up to --last " + std::to_string(o.last)
                                                : "";
        error = PatternProblem(FrameOption(o), pattern, "no file matches it" + bound);
        return false;
    }
    if (!o.firstGiven) o.first = found.front();
    if (!o.lastGiven) o.last = found.back();
    const int missing = FirstMissing(found, o.first, o.last);
    if (missing >= 0) {
        error = PatternProblem(FrameOption(o), pattern,
                               "frame " + std::to_string(missing) + " is missing between " + std::to_string(o.first) +
                                   " and " + std::to_string(o.last) + ": give --first and --last for frames without a gap");
        return false;
    }
    o.firstGiven = o.lastGiven = true;
    return CheckFrameRange(o, error);
}

bool ResolveCamera(const TrackOptions& o, Camera& camera, std::ostream& warnings, std::string& error,
                   DecodedFrames* decoded) {
    CameraFile file;
    if (!o.cameraPath.empty() && !ReadCameraFile(o.cameraPath, file, error, o.kittiColour, o.cameraRightPath)) {
        error = "--camera: " + error;
        return false;
    }
    camera = file.camera;
    if (file.calibration && !CalibrationPictureSize(o, file, camera, error)) return false;
    if (o.camHeight_m) camera.camHeight_m = *o.camHeight_m;
    if (o.tanPitch) camera.tanPitch = *o.tanPitch;
    if (o.fps_hz) camera.frameInterval_s = 1.0 / *o.fps_hz;
    if (o.zoneL_m) camera.zoneL_m = *o.zoneL_m;
    if (o.zoneR_m) camera.zoneR_m = *o.zoneR_m;
    if (!o.cameraPath.empty()) {
        TakeMissing(file.given[KEY_FRAME_INTERVAL] || o.fps_hz, o.cameraPath, "frame rate", "--fps", std::nullopt, "",
                    JsonNumber(DEFAULT_CAMERA.frameInterval_s) + " s from frame to frame", camera.frameInterval_s,
                    warnings);
    }
    std::string problem = CameraProblem(camera);
    if (problem.empty() && FramePattern(o).empty() && (camera.width_pix != TOTAL_U || camera.height_pix != TOTAL_V)) {
        problem = "the embedded pictures are " + std::to_string(TOTAL_U) + " x " + std::to_string(TOTAL_V) +
                  " pixels, the camera's " + std::to_string(camera.width_pix) + " x " +
                  std::to_string(camera.height_pix) + ": give --disparity";
    }
    if (problem.empty()) {
        if (!o.cameraPath.empty()) SettleMounting(o, file, camera, warnings, decoded);
        problem = CameraProblem(camera);
    }
    // Values no car's rig has are warned of where the run goes on, and told beside the refusal
    // where they make the camera impossible.
    const std::string implausible = ImplausibleCamera(camera);
    if (problem.empty()) {
        for (size_t start = 0, end; (end = implausible.find('\n', start)) != std::string::npos; start = end + 1) {
            warnings << "obstacle-track: warning: " << implausible.substr(start, end - start) << "\n";
        }
        return true;
    }
    error = (o.cameraPath.empty() ? "the camera" : "--camera: " + o.cameraPath) + ": " + problem;
    if (!implausible.empty()) error += "; " + implausible.substr(0, implausible.size() - 1);
    return false;
}

bool SettleTrackRun(TrackOptions& o, Camera& camera, std::ostream& warnings, std::string& error,
                    DecodedFrames* decoded) {
    return ResolveFrameRange(o, error) && ResolveCamera(o, camera, warnings, error, decoded);
}

FileFrames FrameSourceOf(const TrackOptions& o, const Camera& camera, bool colourPicture) {
    FramePatterns patterns{o.disparityPattern, o.greyPattern, o.disparityScale, colourPicture};
    if (o.leftPattern.empty()) return FileFrames(camera, patterns);
    if (patterns.grey.empty()) patterns.grey = o.leftPattern;
    SgbmParameters parameters = RoadSgbmParameters(camera);
    parameters.levels = o.sgbmLevels.value_or(parameters.levels);
    parameters.block_pix = o.sgbmBlock_pix.value_or(parameters.block_pix);
    const std::shared_ptr<StereoMatcher> matcher = std::make_shared<StereoMatcher>(parameters);
    StereoPairs pairs;
    pairs.left = o.leftPattern;
    pairs.right = o.rightPattern;
    pairs.disparityOut = o.disparityOutPattern;
    pairs.match = [matcher](const unsigned char* left, const unsigned char* right, int cols, int rows,
                            std::vector<int16_t>& sixteenths, std::string& problem) {
        return matcher->Match(left, right, cols, rows, sixteenths, problem);
    };
    return FileFrames(camera, patterns, pairs);
}

bool WriteCameraOut(const std::string& path, const Camera& camera, std::string& error) {
    const std::string text = CameraFileText(camera);
    std::string problem;
    if (WriteFileReplacing(path, text.data(), text.size(), &problem)) return true;
    error = "--camera-out: " + path + ": " + problem;
    return false;
}
