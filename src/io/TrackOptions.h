// Command line of obstacle-track, the program that runs the detector on a recording and writes
// its findings.
#pragma once

#include <string>

#include "Config.h"
#include "PictureFile.h"

struct TrackOptions {
    std::string disparityPattern;  // --disparity: colour-coded disparity pictures; empty = embedded
    std::string greyPattern;       // --grey: grey camera pictures for the overlays; empty = none
    int first = START_FRAME;       // --first
    int last = END_FRAME;          // --last
    std::string jsonPath;          // --json: JSON Lines output, "-" = standard output; empty = none
    std::string motPath;           // --mot: MOTChallenge track file; empty = none
    std::string overlayDir;        // --overlay: folder of overlay pictures; empty = none
    PictureFormat overlayFormat = PictureFormat::BMP;  // --overlay-format: bmp or png
    bool grid = false;             // --grid: list each frame's occupied grid cells in the JSON
    bool quiet = false;            // --quiet: no progress lines
    bool help = false;             // --help
    bool version = false;          // --version
};

// Largest frame number the five-digit naming scheme holds.
constexpr int MAX_FRAME = 99999;

// Parses argv[1..argc-1]; an option's value follows it ("--first 410") or is joined with '='
// ("--first=410"). Returns false with a message naming the argument and what is wrong.
bool ParseTrackOptions(int argc, const char* const* argv, TrackOptions& options, std::string& error);

// The usage text of --help.
extern const char* const TRACK_USAGE;
