#include "TrackOptions.h"

#include "CommandLine.h"
#include "FrameNumbering.h"
#include "NumberParsing.h"
#include "StereoMatcher.h"

namespace {

// Largest value --sgbm-levels and --sgbm-block read before their own bounds are checked.
constexpr long long MAX_SGBM_VALUE = 99999;

// --zone LEFT_M,RIGHT_M
CommandLine::Reader Zone(TrackOptions& o) {
    return [&o](const std::string& text, std::string& problem) {
        const size_t comma = text.find(',');
        double left = 0.0;
        double right = 0.0;
        if (comma == std::string::npos || !ParseNumber(text.substr(0, comma), left) ||
            !ParseNumber(text.substr(comma + 1), right) || !(left < right)) {
            problem = "'" + text + "' is not LEFT_M,RIGHT_M with LEFT_M below RIGHT_M";
            return false;
        }
        o.zoneL_m = left;
        o.zoneR_m = right;
        return true;
    };
}

CommandLine::Reader Pair(bool& colour) {
    return [&colour](const std::string& text, std::string& problem) {
        if (text != "grey" && text != "colour") {
            problem = "'" + text + "' is not a camera pair (grey or colour)";
            return false;
        }
        colour = text == "colour";
        return true;
    };
}

CommandLine::Reader Format(PictureFormat& format) {
    return [&format](const std::string& text, std::string& problem) {
        if (text != "bmp" && text != "png") {
            problem = "'" + text + "' is not a picture format (bmp or png)";
            return false;
        }
        format = text == "png" ? PictureFormat::PNG : PictureFormat::BMP;
        return true;
    };
}

// --sgbm-levels N and --sgbm-block N: a whole number that `problemOf` finds nothing wrong with.
CommandLine::Reader SgbmInteger(std::optional<int>& target, std::string (*problemOf)(int)) {
    return [&target, problemOf](const std::string& text, std::string& problem) {
        long long value = 0;
        problem = ParseDigits(text, MAX_SGBM_VALUE, value) ? problemOf(static_cast<int>(value))
                                                           : "'" + text + "' is not a whole number";
        if (!problem.empty()) return false;
        target = static_cast<int>(value);
        return true;
    };
}

// The stereo options' relations: a pair whole, in place of disparity pictures, in a build that matches.
bool CheckStereoOptions(const TrackOptions& o, std::string& error) {
    const bool pair = !o.leftPattern.empty() || !o.rightPattern.empty();
    const char* problem = nullptr;
    if (pair && (o.leftPattern.empty() || o.rightPattern.empty())) {
        problem = "--left and --right go together: a stereo pair's left and right pictures";
    } else if (pair && !o.disparityPattern.empty()) {
        problem = "--disparity and --left/--right are two sources of disparities: give one";
    } else if (pair && o.disparityScale) {
        problem = "--disparity-scale scales --disparity pictures; the stereo pairs' disparities have their own scale";
    } else if (!pair && (!o.disparityOutPattern.empty() || o.sgbmLevels || o.sgbmBlock_pix)) {
        problem = "--disparity-out, --sgbm-levels and --sgbm-block go with --left and --right";
    } else if (!o.disparityOutPattern.empty() && FrameDigits(o.disparityOutPattern) == 0) {
        problem = "--disparity-out: the pattern holds no run of X for the frame number: each frame would replace "
                  "the last";
    } else if (pair && !StereoMatcherBuilt()) {
        problem = STEREO_MATCHER_MISSING;
    }
    if (problem == nullptr) return true;
    error = problem;
    return false;
}

}  // namespace

const std::string& FramePattern(const TrackOptions& o) {
    return o.disparityPattern.empty() ? o.leftPattern : o.disparityPattern;
}

const char* FrameOption(const TrackOptions& o) {
    return o.disparityPattern.empty() && !o.leftPattern.empty() ? "--left" : "--disparity";
}

bool RangeFromDisk(const TrackOptions& o) {
    return !FramePattern(o).empty() && FrameDigits(FramePattern(o)) > 0 && !(o.firstGiven && o.lastGiven);
}

bool CheckFrameRange(const TrackOptions& o, std::string& error) {
    const bool fromDisk = RangeFromDisk(o);
    const bool firstKnown = o.firstGiven || !fromDisk;
    const bool lastKnown = o.lastGiven || !fromDisk;
    if (firstKnown && lastKnown && o.last < o.first) {
        error = "--last: " + std::to_string(o.last) + " is before --first " + std::to_string(o.first);
        return false;
    }
    if (!o.posesPath.empty() && (o.egoSpeed_mps || o.yawRate_radps)) {
        error = "--poses gives the car's motion per frame: --ego-speed and --yaw-rate go without it";
        return false;
    }
    if (!o.cameraRightPath.empty() && o.cameraPath.empty()) {
        error = "--camera-right goes with --camera, the left camera's file";
        return false;
    }
    if (o.overlayDetections && o.overlayDir.empty() && o.videoPath.empty()) {
        error = "--overlay-detections goes with --overlay or --video, which draw the pictures";
        return false;
    }
    if (o.yawRate_radps && !o.egoSpeed_mps) {
        error = "--yaw-rate needs --ego-speed: the car's path is a circle of radius speed / yaw rate";
        return false;
    }
    return CheckStereoOptions(o, error);
}

bool ParseTrackOptions(int argc, const char* const* argv, TrackOptions& o, std::string& error) {
    CommandLine line("obstacle-track");
    line.Text("--disparity", o.disparityPattern);
    line.Text("--grey", o.greyPattern);
    line.Text("--left", o.leftPattern);
    line.Text("--right", o.rightPattern);
    line.Text("--disparity-out", o.disparityOutPattern);
    line.Value("--sgbm-levels", SgbmInteger(o.sgbmLevels, SgbmLevelsProblem));
    line.Value("--sgbm-block", SgbmInteger(o.sgbmBlock_pix, SgbmBlockProblem));
    line.Integer("--first", o.first, 0, MAX_FRAME, "a frame number");
    line.Integer("--last", o.last, 0, MAX_FRAME, "a frame number");
    line.Text("--camera", o.cameraPath);
    line.Text("--camera-right", o.cameraRightPath);
    line.Value("--kitti-pair", Pair(o.kittiColour));
    line.Real("--camera-height", o.camHeight_m, true);
    line.Real("--pitch", o.tanPitch, false);
    line.FrameRate("--fps", o.fps_hz);
    line.Value("--zone", Zone(o));
    line.Real("--disparity-scale", o.disparityScale, true);
    line.Text("--poses", o.posesPath);
    line.Text("--times", o.timesPath);
    line.Real("--ego-speed", o.egoSpeed_mps, false);
    line.Real("--yaw-rate", o.yawRate_radps, false);
    line.Text("--camera-out", o.cameraOutPath);
    line.Text("--json", o.jsonPath);
    line.Text("--mot", o.motPath);
    line.Text("--kitti-tracking", o.kittiTrackingPath);
    line.Flag("--tentative", o.tentative);
    line.Text("--overlay", o.overlayDir);
    line.Value("--overlay-format", Format(o.overlayFormat));
    line.Flag("--overlay-detections", o.overlayDetections);
    line.Text("--video", o.videoPath);
    line.Flag("--grid", o.grid);
    line.Flag("--quiet", o.quiet);
    line.Flag("--help", o.help);
    line.Flag("-h", o.help);
    line.Flag("--version", o.version);
    if (!line.Parse(argc, argv, error)) return false;
    o.firstGiven = line.Given("--first");
    o.lastGiven = line.Given("--last");
    if (CheckFrameRange(o, error)) return true;
    error = "obstacle-track: " + error;
    return false;
}

const char* const TRACK_USAGE =
    "Usage: obstacle-track [--disparity PATTERN | --left PATTERN --right PATTERN [--disparity-out PATTERN]\n"
    "                      [--sgbm-levels N] [--sgbm-block N]] [--grey PATTERN] [--first N] [--last N]\n"
    "                      [--camera FILE [--camera-right FILE] [--kitti-pair grey|colour]] [--camera-height M] [--pitch TAN] [--fps HZ] [--zone LEFT_M,RIGHT_M]\n"
    "                      [--disparity-scale S] [--camera-out FILE]\n"
    "                      [--poses FILE | --ego-speed MPS [--yaw-rate RADPS]] [--times FILE]\n"
    "                      [--json PATH] [--mot PATH] [--kitti-tracking PATH] [--tentative]\n"
    "                      [--overlay DIR] [--overlay-format bmp|png] [--overlay-detections]\n"
    "                      [--video FILE] [--grid]\n"
    "                      [--quiet] [--help] [--version]\n"
    "\n"
    "Runs the obstacle detector and tracker on a sequence of frames and writes what it finds.\n"
    "\n"
    "  --disparity PATTERN  disparity pictures of the camera's size, told apart by their contents:\n"
    "                       colour-coded BMP (32 or 24 bits), 16-bit grey PNG (value / 256, 0 = none)\n"
    "                       or grey PFM; a run of n X in PATTERN stands for the n-digit frame number\n"
    "                       (default: the embedded picture)\n"
    "  --left PATTERN, --right PATTERN  rectified stereo pairs in place of --disparity: 8-bit grey\n"
    "                       BMP or PNG pictures of the camera's size, each frame matched by OpenCV's\n"
    "                       semi-global matcher (StereoSGBM, 3-way; uniqueness 10 %, speckle window\n"
    "                       100 / range 2; P1 = 8 x block^2, P2 = 32 x block^2; pre-filter cap 63)\n"
    "  --sgbm-levels N      disparity levels searched, a multiple of 16 up to 240 (default: enough for\n"
    "                       3 m at the camera's f B, e.g. 128 for KITTI's 379.8)\n"
    "  --sgbm-block N       side of the matching block, odd (default 5)\n"
    "  --disparity-out PATTERN  save each pair's disparities as 16-bit grey PNG, disparity x 256, 0 none\n"
    "  --grey PATTERN       grey camera pictures, 8-bit BMP or PNG, drawn under the overlays: 656 x 486\n"
    "                       for the default camera, else the disparity pictures' size (default with\n"
    "                       --left: the left pictures)\n"
    "  --first N, --last N  the frames to run, both included (default: the frames the --disparity or\n"
    "                       --left PATTERN finds on disk, or 410 and 610)\n"
    "  --camera FILE        the camera: a key = value camera file, a KITTI calibration (calib.txt's P0\n"
    "                       and P1, or a raw recording's calib_cam_to_cam.txt), OpenCV's stereo\n"
    "                       calibration YAML (P1 and P2, or M1 and T) or the left camera's ROS\n"
    "                       camera_info YAML\n"
    "  --camera-right FILE  the right camera's ROS camera_info YAML\n"
    "  --kitti-pair P       grey (default: P_rect_00, P_rect_01) or colour (P_rect_02, P_rect_03)\n"
    "  --camera-height M    camera height above the road in metres\n"
    "  --pitch TAN          downward pitch of the camera, as a tangent\n"
    "  --fps HZ             frames per second\n"
    "  --zone LEFT_M,RIGHT_M  lateral zone in which obstacles become tracks, in metres\n"
    "  --disparity-scale S  PNG and PFM values times S (default 1/256 for PNG, 1 for PFM)\n"
    "  --camera-out FILE    write the camera the run used as a camera file\n"
    "  --poses FILE         the car's own motion: KITTI's poses, one 3 x 4 [R | t] per line, line k\n"
    "                       for frame k; the tracks then report their velocity over ground\n"
    "  --ego-speed MPS      the car's own motion as a forward speed in metres per second ...\n"
    "  --yaw-rate RADPS     ... and a yaw rate in radians per second, positive turning right; the\n"
    "                       detection zone then follows the car's curved path\n"
    "  --times FILE         each frame's time in seconds: KITTI's times.txt, one number per line,\n"
    "                       increasing; line k (from 0) for frame k of the recording, whatever --first\n"
    "                       is; the tracker then takes each frame's real interval from the one before\n"
    "                       (dropped frames), where it takes the camera's frame interval otherwise\n"
    "  --json PATH          one JSON object per frame and line; '-' for standard output\n"
    "  --mot PATH           the confirmed tracks in MOTChallenge's 2D text format, frames numbered\n"
    "                       from 1 at the run's first frame\n"
    "  --kitti-tracking PATH  the confirmed tracks in KITTI's tracking label format, frames numbered\n"
    "                       from 0 at the run's first frame\n"
    "  --tentative          tentative tracks too in the MOT and KITTI files\n"
    "  --overlay DIR        per frame DIR/overlay_NNNNN.bmp and DIR/topview_NNNNN.bmp\n"
    "  --overlay-format F   bmp (default) or png: the overlay pictures' format and name ending\n"
    "  --overlay-detections the detections no track took, outlined thin in white, in the overlays\n"
    "  --video FILE         an MP4 of the overlay and the top view side by side, one frame per frame,\n"
    "                       encoded by the ffmpeg program (which must be installed)\n"
    "  --grid               list each frame's occupied grid cells in the JSON\n"
    "  --quiet              no progress\n"
    "  --help, --version    print this text or the version and stop\n"
    "\n"
    "Progress goes to standard output, or to standard error when the JSON goes to standard output:\n"
    "on a terminal one line updated in place (frame i of n, frames per second, time left), else a\n"
    "Frame=N line per frame. A summary line on standard error ends a run that started. Exit status\n"
    "0, or 2 on a bad argument or file, an output that would overwrite an input or another output,\n"
    "or an output that cannot be written.\n";
