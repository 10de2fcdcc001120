// Command line of obstacle-track, the program that runs the detector on a recording and writes
// its findings.
#pragma once

#include <optional>
#include <string>

#include "Config.h"
#include "PictureFiles.h"

struct TrackOptions {
    std::string disparityPattern;  // --disparity: disparity pictures (BMP, PNG, PFM); empty = embedded
    std::string greyPattern;       // --grey: grey camera pictures for the overlays; empty = none
    std::string leftPattern;       // --left: left pictures of stereo pairs, matched into disparities; empty = none
    std::string rightPattern;      // --right: their right pictures
    std::string disparityOutPattern;  // --disparity-out: where to save the pairs' disparities; empty = nowhere
    std::optional<int> sgbmLevels;    // --sgbm-levels: disparity levels the matcher searches
    std::optional<int> sgbmBlock_pix; // --sgbm-block: side of its matching block (pixel)
    int first = START_FRAME;       // --first
    int last = END_FRAME;          // --last
    bool firstGiven = false;       // --first was given; else it is START_FRAME or found on disk
    bool lastGiven = false;        // --last was given
    std::string cameraPath;        // --camera: camera file or KITTI calibration; empty = the default camera
    std::string cameraRightPath;   // --camera-right: the right camera's ROS camera_info file; empty = none
    bool kittiColour = false;      // --kitti-pair colour: a KITTI raw calibration's colour pair
    std::string cameraOutPath;     // --camera-out: where to write the camera the run used; empty = nowhere
    std::optional<double> camHeight_m;     // --camera-height: camera height above the road (metre)
    std::optional<double> tanPitch;        // --pitch: pitch as the road formula's tangent
    std::optional<double> fps_hz;          // --fps: frames per second
    std::optional<double> zoneL_m;         // --zone LEFT_M,RIGHT_M: the lateral detection zone (metre)
    std::optional<double> zoneR_m;
    std::optional<double> disparityScale;  // --disparity-scale: PNG and PFM values times this
    std::string posesPath;                 // --poses: the car's motion, KITTI's poses (line k = frame k); empty = none
    std::optional<double> egoSpeed_mps;    // --ego-speed: the car's forward speed (metre/second)
    std::optional<double> yawRate_radps;   // --yaw-rate: its yaw rate, positive turning right (radian/second)
    std::string timesPath;                 // --times: each frame's time (second), line k = frame k; empty = none
    std::string jsonPath;          // --json: JSON Lines output, "-" = standard output; empty = none
    std::string motPath;           // --mot: MOTChallenge track file; empty = none
    std::string kittiTrackingPath; // --kitti-tracking: KITTI tracking label file; empty = none
    bool tentative = false;        // --tentative: tentative tracks in the MOT and KITTI files too
    std::string overlayDir;        // --overlay: folder of overlay pictures; empty = none
    PictureFormat overlayFormat = PictureFormat::BMP;  // --overlay-format: bmp or png
    bool overlayDetections = false;  // --overlay-detections: the untracked detections in the overlays too
    std::string videoPath;         // --video: MP4 of the overlay and top view side by side; empty = none
    bool grid = false;             // --grid: list each frame's occupied grid cells in the JSON
    bool quiet = false;            // --quiet: no progress lines
    bool help = false;             // --help
    bool version = false;          // --version
};

// Largest frame number obstacle-track runs.
constexpr int MAX_FRAME = 99999;

// The pictures the run's frames come from, which the frame range is found from and the camera's
// picture size read from: --disparity's, else the stereo pairs' --left (empty where neither is
// given), and that option's name.
const std::string& FramePattern(const TrackOptions& options);
const char* FrameOption(const TrackOptions& options);

// Parses argv[1..argc-1]; an option's value follows it ("--first 410") or is joined with '='
// ("--first=410"). Returns false with a message naming the argument and what is wrong.
bool ParseTrackOptions(int argc, const char* const* argv, TrackOptions& options, std::string& error);

// The range's ends come from the files on disk: a disparity pattern with a frame number in it and
// --first or --last not given.
bool RangeFromDisk(const TrackOptions& options);

// Relations between the frame range and the other options, on the ends known so far.
bool CheckFrameRange(const TrackOptions& options, std::string& error);

// The usage text of --help.
extern const char* const TRACK_USAGE;
