#include "TrackOptions.h"

namespace {

// A frame number: decimal digits only, at most MAX_FRAME.
bool ParseFrame(const std::string& option, const std::string& text, int& value, std::string& error) {
    long parsed = 0;
    bool valid = !text.empty();
    for (char c : text) {
        if (c < '0' || c > '9' || parsed > MAX_FRAME) {
            valid = false;
            break;
        }
        parsed = parsed * 10 + (c - '0');
    }
    if (!valid || parsed > MAX_FRAME) {
        error = option + ": '" + text + "' is not a frame number (0 to " + std::to_string(MAX_FRAME) + ")";
        return false;
    }
    value = static_cast<int>(parsed);
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

// Relations between options that each parsed on its own.
bool CheckTogether(const TrackOptions& o, std::string& error) {
    if (o.last < o.first) {
        error = "--last: " + std::to_string(o.last) + " is before --first " + std::to_string(o.first);
        return false;
    }
    if (!o.motPath.empty() && o.first == 0) {
        error = "--mot: MOTChallenge frames start at 1, so --first must be at least 1";
        return false;
    }
    return true;
}

}  // namespace

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
        std::string* text = Text(options, name);
        int* number = Number(options, name);
        PictureFormat* format = Format(options, name);
        if (text == nullptr && number == nullptr && format == nullptr) {
            error = "'" + arg + "': " + (arg.compare(0, 1, "-") == 0 ? "unknown option" : "unexpected argument");
            return false;
        }
        if (!joined && i + 1 == argc) {
            error = name + ": needs a value";
            return false;
        }
        const std::string value = joined ? arg.substr(equals + 1) : argv[++i];
        if (number != nullptr) {
            if (!ParseFrame(name, value, *number, error)) return false;
        } else if (format != nullptr) {
            if (!ParseFormat(name, value, *format, error)) return false;
        } else if (value.empty()) {
            error = name + ": needs a value";
            return false;
        } else {
            *text = value;
        }
    }
    return CheckTogether(options, error);
}

const char* const TRACK_USAGE =
    "Usage: obstacle-track [--disparity PATTERN] [--grey PATTERN] [--first N] [--last N]\n"
    "                      [--json PATH] [--mot PATH] [--overlay DIR] [--overlay-format bmp|png] [--grid]\n"
    "                      [--quiet] [--help] [--version]\n"
    "\n"
    "Runs the obstacle detector and tracker on a sequence of frames and writes what it finds.\n"
    "\n"
    "  --disparity PATTERN  colour-coded disparity pictures, BMP 32 or 24 bits, 560 x 360; XXXXX in\n"
    "                       PATTERN stands for the five-digit frame number (default: the embedded picture)\n"
    "  --grey PATTERN       grey camera pictures, BMP 8 bits, 656 x 486, drawn under the overlays\n"
    "  --first N, --last N  the frames to run, both included (default 410 and 610)\n"
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
