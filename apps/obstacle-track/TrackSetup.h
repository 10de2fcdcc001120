// What obstacle-track settles before its first frame: the frames to run, found on disk where the
// options leave them open, and the camera the run sees through.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Camera.h"
#include "FileFrames.h"
#include "RunDriver.h"
#include "TrackOptions.h"

// The frame numbers of the files a pattern finds in its folder, ascending: the names that hold,
// in place of each run of n X, the same n-digit number. The frame number must stand in the file
// name, not in a folder's.
bool FindPatternFrames(const std::string& pattern, std::vector<int>& frames, std::string& error,
                       const std::string& option = "--disparity");

// Where RangeFromDisk(options), sets the ends not given to the first and last frame found. A range
// with frames missing inside it is refused, naming the first missing frame: the tracker's filters
// take frames to follow one another at the camera's frame interval.
bool ResolveFrameRange(TrackOptions& options, std::string& error);

// The camera's height and pitch, where neither the camera file nor an option gives them, are those
// of the road in the first MOUNTING_SPAN_S of the run's disparity pictures (RoadLine.h): a fraction
// of a second, a road the car has hardly moved on.
constexpr double MOUNTING_SPAN_S = 0.5;
// A given height or pitch that the first frames' road puts more than this far off is warned of: a
// car's load and the road's surface move the height by a few per cent, the car's pitching and the
// road's grade the pitch by about a degree.
constexpr double MOUNTING_HEIGHT_MARGIN = 0.1;  // of the given height
constexpr double MOUNTING_PITCH_MARGIN = 0.02;  // tangent, about 1.1 degrees

// A principal point farther than this share of the picture's side from its middle belongs to a
// calibration of pictures of another size.
constexpr double PRINCIPAL_POINT_SPREAD = 0.25;

// The camera of a run: the --camera file (own format or another tool's calibration) or the default
// camera; a calibration's picture size from the first disparity picture where it gives none, and
// that picture refused where it has another size than the calibration's; then --camera-height,
// --pitch, --fps and --zone. With --camera, a frame rate that neither the file nor an option gives
// is the default camera's, and a height or pitch the first frames' road where --disparity pictures
// are given (else the default camera's), with a line on `warnings` saying so; a given height or
// pitch that road disagrees with is warned of. Values no car's rig has (ImplausibleCamera) are
// warned of. Without --camera the default camera is the rig. The 16-bit pictures the first frames'
// road is read from go to `decoded` where it is given, for the run's own source (FileFrames::Adopt).
bool ResolveCamera(const TrackOptions& options, Camera& camera, std::ostream& warnings, std::string& error,
                   DecodedFrames* decoded = nullptr);

// The frame range and the camera (`decoded` as ResolveCamera has it).
bool SettleTrackRun(TrackOptions& options, Camera& camera, std::ostream& warnings, std::string& error,
                    DecodedFrames* decoded = nullptr);

// The time from the previous frame into a frame, by frame number, where it is not the camera's
// frame interval.
using IntervalOfFrame = std::function<std::optional<double>(int frame)>;

// Each frame's interval from --times (frame k's time less frame k - 1's; none into the run's first
// frame), refused unless the times reach the run's last frame; or none (an empty function). False
// with a message naming the file and, for a malformed or not increasing time, its line.
bool SettleFrameIntervals(const TrackOptions& options, IntervalOfFrame& interval, std::string& error);

// The car's own motion into each frame of the run: from --poses (frame k's motion from pose k - 1
// to pose k; not known into frame 0), refused unless the poses reach the run's last frame; or a
// forward travel and turn from --ego-speed and --yaw-rate over each frame's interval (`interval`
// where it gives one, else the camera's); or none (an empty function). False with a message naming
// the file or option.
bool SettleEgoMotion(const TrackOptions& options, const Camera& camera, const IntervalOfFrame& interval,
                     EgoMotionOfFrame& egoMotion, std::string& error);

// The run's frame source: --disparity pictures, or --left and --right pairs matched with the
// --sgbm-* parameters (RoadSgbmParameters(camera) where not given) and saved to --disparity-out,
// the left pictures standing for --grey where it is not given; `colourPicture` as FramePatterns has it.
FileFrames FrameSourceOf(const TrackOptions& options, const Camera& camera, bool colourPicture);

// Writes the camera in the camera file format (--camera-out), replacing the file only once it is
// complete; false with a message naming the file.
bool WriteCameraOut(const std::string& path, const Camera& camera, std::string& error);
