#include "TrackOptions.h"

#include "FrameNumbering.h"
#include "NumberParsing.h"

namespace {

// A frame number: decimal digits only, at most MAX_FRAME.
bool ParseFrame(const std::string& option, const std::string& text, int& value, std::string& error) {
    long long parsed = 0;
    if (!ParseDigits(text, MAX_FRAME, parsed)) {
        error = option + ": '" + text + "' is not a frame number (0 to " + std::to_string(MAX_FRAME) + ")";
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

// Options that take a real number, and whether it must be above 0.
struct RealOption {
    const char* name;
    std::optional<double> TrackOptions::*value;
    bool positive;
};

constexpr RealOption REAL_OPTIONS[] = {
    {"--camera-height", &TrackOptions::camHeight_m, true},
    {"--pitch", &TrackOptions::tanPitch, false},
    {"--fps", &TrackOptions::fps_hz, true},
    {"--disparity-scale", &TrackOptions::disparityScale, true},
};

const RealOption* Real(const std::string& name) {
    for (const RealOption& option : REAL_OPTIONS) {
        if (name == option.name) return &option;
    }
    return nullptr;
}

bool ParseReal(const RealOption& option, const std::string& text, TrackOptions& o, std::string& error) {
    double value = 0.0;
    if (!ParseNumber(text, value) || (option.positive && !(value > 0.0))) {
        error = std::string(option.name) + ": '" + text + "' is not a number" + (option.positive ? " above 0" : "");
        return false;
    }
    o.*option.value = value;
    return true;
}

// --zone LEFT_M,RIGHT_M
bool ParseZone(const std::string& text, TrackOptions& o, std::string& error) {
    const size_t comma = text.find(',');
    double left = 0.0;
    double right = 0.0;
    if (comma == std::string::npos || !ParseNumber(text.substr(0, comma), left) ||
        !ParseNumber(text.substr(comma + 1), right) || !(left < right)) {
        error = "--zone: '" + text + "' is not LEFT_M,RIGHT_M with LEFT_M below RIGHT_M";
        return false;
    }
    o.zoneL_m = left;
    o.zoneR_m = right;
    return true;
}

bool ParseFormat(const std::string& option, const std::string& text, PictureFormat& format, std::string& error) {
    if (text != "bmp" && text != "png") {
        error = option + ": '" + text + "' is not a picture format (bmp or png)";
        return false;
    }
    format = text == "png" ? PictureFormat::PNG : PictureFormat::BMP;
    return true;
}

bool* Flag(TrackOptions& o, const std::string& name) {
    if (name == "--grid") return &o.grid;
    if (name == "--quiet") return &o.quiet;
    if (name == "--help" || name == "-h") return &o.help;
    if (name == "--version") return &o.version;
    return nullptr;
}

std::string* Text(TrackOptions& o, const std::string& name) {
    if (name == "--disparity") return &o.disparityPattern;
    if (name == "--grey") return &o.greyPattern;
    if (name == "--json") return &o.jsonPath;
    if (name == "--mot") return &o.motPath;
    if (name == "--overlay") return &o.overlayDir;
    if (name == "--camera") return &o.cameraPath;
    if (name == "--camera-out") return &o.cameraOutPath;
    return nullptr;
}

int* Number(TrackOptions& o, const std::string& name) {
    if (name == "--first") return &o.first;
    if (name == "--last") return &o.last;
    return nullptr;
}

PictureFormat* Format(TrackOptions& o, const std::string& name) {
    return name == "--overlay-format" ? &o.overlayFormat : nullptr;
}

bool TakesValue(const std::string& name) {
    TrackOptions o;
    return Real(name) != nullptr || name == "--zone" || Number(o, name) != nullptr || Format(o, name) != nullptr ||
           Text(o, name) != nullptr;
}

// Parses the value of an option that takes one.
bool ParseValue(TrackOptions& o, const std::string& name, const std::string& value, std::string& error) {
    if (const RealOption* real = Real(name)) return ParseReal(*real, value, o, error);
    if (name == "--zone") return ParseZone(value, o, error);
    if (PictureFormat* format = Format(o, name)) return ParseFormat(name, value, *format, error);
    if (int* number = Number(o, name)) {
        (name == "--first" ? o.firstGiven : o.lastGiven) = true;
        return ParseFrame(name, value, *number, error);
    }
    std::string* text = Text(o, name);
    if (value.empty()) {
        error = name + ": needs a value";
        return false;
    }
    *text = value;
    return true;
}

}  // namespace

bool RangeFromDisk(const TrackOptions& o) {
    return !o.disparityPattern.empty() && FrameDigits(o.disparityPattern) > 0 && !(o.firstGiven && o.lastGiven);
}

bool CheckFrameRange(const TrackOptions& o, std::string& error) {
    const bool fromDisk = RangeFromDisk(o);
    const bool firstKnown = o.firstGiven || !fromDisk;
    const bool lastKnown = o.lastGiven || !fromDisk;
    if (firstKnown && lastKnown && o.last < o.first) {
        error = "--last: " + std::to_string(o.last) + " is before --first " + std::to_string(o.first);
        return false;
    }
    if (firstKnown && !o.motPath.empty() && o.first == 0) {
        error = "--mot: MOTChallenge frames start at 1, so --first must be at least 1";
        return false;
    }
    return true;
}

bool ParseTrackOptions(int argc, const char* const* argv, TrackOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const size_t equals = arg.find('=');
        const bool joined = arg.compare(0, 2, "--") == 0 && equals != std::string::npos;
        const std::string name = joined ? arg.substr(0, equals) : arg;
        if (bool* flag = Flag(options, name)) {
            if (joined) {
                error = name + ": takes no value";
                return false;
            }
            *flag = true;
            continue;
        }
        if (!TakesValue(name)) {
            error = "'" + arg + "': " + (arg.compare(0, 1, "-") == 0 ? "unknown option" : "unexpected argument");
            return false;
        }
        if (!joined && i + 1 == argc) {
            error = name + ": needs a value";
            return false;
        }
        if (!ParseValue(options, name, joined ? arg.substr(equals + 1) : argv[++i], error)) return false;
    }
    return CheckFrameRange(options, error);
}

const char* const TRACK_USAGE =
    "Usage: obstacle-track [--disparity PATTERN] [--grey PATTERN] [--first N] [--last N]\n"
    "                      [--camera FILE] [--camera-height M] [--pitch TAN] [--fps HZ] [--zone LEFT_M,RIGHT_M]\n"
    "                      [--disparity-scale S] [--camera-out FILE]\n"
    "                      [--json PATH] [--mot PATH] [--overlay DIR] [--overlay-format bmp|png] [--grid]\n"
    "                      [--quiet] [--help] [--version]\n"
    "\n"
    "Runs the obstacle detector and tracker on a sequence of frames and writes what it finds.\n"
    "\n"
    "  --disparity PATTERN  disparity pictures of the camera's size, told apart by their contents:\n"
    "                       colour-coded BMP (32 or 24 bits), 16-bit grey PNG (value / 256, 0 = none)\n"
    "                       or grey PFM; a run of n X in PATTERN stands for the n-digit frame number\n"
    "                       (default: the embedded picture)\n"
    "  --grey PATTERN       grey camera pictures, 8-bit BMP or PNG, drawn under the overlays: 656 x 486\n"
    "                       for the default camera, else the disparity pictures' size\n"
    "  --first N, --last N  the frames to run, both included (default: the frames PATTERN finds on\n"
    "                       disk, or 410 and 610)\n"
    "  --camera FILE        the camera: a key = value camera file or a KITTI calibration (P0, P1)\n"
    "  --camera-height M    camera height above the road in metres\n"
    "  --pitch TAN          downward pitch of the camera, as a tangent\n"
    "  --fps HZ             frames per second\n"
    "  --zone LEFT_M,RIGHT_M  lateral zone in which obstacles become tracks, in metres\n"
    "  --disparity-scale S  PNG and PFM values times S (default 1/256 for PNG, 1 for PFM)\n"
    "  --camera-out FILE    write the camera the run used as a camera file\n"
    "  --json PATH          one JSON object per frame and line; '-' for standard output\n"
    "  --mot PATH           the tracks in the MOTChallenge text format\n"
    "  --overlay DIR        per frame DIR/overlay_NNNNN.bmp and DIR/topview_NNNNN.bmp\n"
    "  --overlay-format F   bmp (default) or png: the overlay pictures' format and name ending\n"
    "  --grid               list each frame's occupied grid cells in the JSON\n"
    "  --quiet              no Frame=N progress lines\n"
    "  --help, --version    print this text or the version and stop\n"
    "\n"
    "Progress goes to standard output, or to standard error when the JSON goes to standard output;\n"
    "a summary line ends the run on standard error. Exit status 0, or 2 on a bad argument or file,\n"
    "an output that would overwrite an input or another output, or an output that cannot be written.\n";
