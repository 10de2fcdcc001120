// Scores a run on a real street without object labels: its road against the road seen in its own
// disparities, its trajectories, and, where the recording's ego motion is given and the street
// stands still (parked cars, trees, posts, facades), its tracks against that motion.
//
// Poses: KITTI's one 3 x 4 matrix [R | t] per line, row-major, twelve numbers: the left camera of
// frame k (the line k, from 0) in the first frame's coordinates (x right, y down, z forward,
// metres). The results' frame numbers are the poses' line numbers, as KITTI's files 000000, ...
// are numbered.
//
// Tracks: for every established track (count >= ESTABLISHED_COUNT) of a frame whose previous frame
// holds the same trajectory (its "track" number, the id where there is none), the previous
// position (x_m, 0, z_m) moved by the ego motion between the two poses predicts where it lies
// now: P_now = R_now^T (R_prev P_prev + t_prev - t_now). The distance error is |z_m - z_pred| /
// z_pred; a prediction out of view is not counted: at or behind the camera, or, where the picture's
// columns are given, beside the picture (a track the car is passing, coasting where no camera sees:
// centimetres of error there are tens of percent of a distance near zero). The speed is judged
// once a track has VELOCITY_SETTLED_COUNT updates: vz_mps of a static obstacle is minus the
// camera's speed (its displacement between the two poses per frame interval); the ratio
// vz_mps / -speed is 1 when it is right (a vz_mps that is not finite counts as 0).
//
// The worst distance errors (those beyond the 95th percentile, worst first) are listed with their
// frame and trajectory, so that what makes the tail can be seen.
//
// Road: the road line of a frame is fitted to its own disparity picture (RoadLine); its rows are
// compared with the run's road rows ("road"."ground") at every disparity level from 1 to
// LUT_NUM - 1 whose fitted row lies inside the picture (truncated toward zero, as the detector's
// rows are), over all frames, accepted or not: the rows the run used. Where the results say which
// profile each frame used ("own", "kept", "reseeded"), the frames and the median row error are
// given per profile kind too.
//
// Trajectories: every trajectory (TrackReport::Identity) of the results, confirmed or not; the
// share of them reported in one frame only (tracks started on noise and never seen again), and
// the number confirmed (TrackReport::Confirmed) in some frame.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "PoseFile.h"
#include "RoadLine.h"
#include "SequenceFiles.h"

// Reads KITTI's poses (PoseFile.h); an InputError names the file and line of a row that is not
// twelve finite numbers. At least one pose.
std::vector<Pose> ReadPoses(std::istream& in, const std::string& name);

// The columns of the disparity picture and the camera's focal length and principal column: where a
// point of the camera's axes appears across the picture. A width of 0 gives no columns (every point
// ahead counts as in view).
struct PictureColumns {
    int width_pix = 0;
    double f_pix = 0.0;
    double u0_pix = 0.0;
};

// One track-frame's distance error against the ego motion.
struct TrackFrameError {
    int frame = 0;
    int track = 0;          // the trajectory (TrackReport::Identity)
    int count = 0;          // the track's updates
    double z_m = 0.0;       // its distance
    double x_m = 0.0;       // its lateral centre
    double predicted_m = 0.0;
    double error = 0.0;     // relative
};

// The road figures of the frames that used one kind of profile.
struct ProfileFigures {
    int frames = 0;
    std::optional<double> roadRowErrorMedian;  // rows
};

struct StreetScores {
    bool withPoses = false;  // whether the ego motion was given: the track and speed figures need it
    int frames = 0;
    int trackSamples = 0;   // established tracks with a prediction
    int speedSamples = 0;   // of them, those judged for their speed
    int roadFrames = 0;     // frames with a fitted road line
    int roadLevels = 0;     // road rows compared
    int acceptedFrames = 0;
    std::optional<double> distanceErrorMedian;  // relative
    std::optional<double> distanceErrorP95;     // relative
    std::optional<double> withinFivePercent;    // share of samples with a distance error <= 5 %
    std::optional<double> speedRatioMedian;     // median of vz_mps / -ego speed
    std::optional<double> roadRowErrorMedian;   // rows
    std::optional<double> acceptedShare;        // frames whose profile was accepted
    bool profilesGiven = false;                 // whether the results say which profile each frame used
    ProfileFigures own, kept, reseeded;
    int trajectories = 0;
    int oneFrameTrajectories = 0;
    int confirmedTrajectories = 0;
    std::optional<double> oneFrameShare;        // of the trajectories
    std::vector<TrackFrameError> worstDistances;  // beyond the 95th percentile, worst first
};

// `poses` is the ego motion, empty where it is not known; `roads` holds the fitted line of each
// result frame (same order; absent where none could be fitted); `pictureRows` is the disparity
// picture's height and `frameInterval_s` the time between frames. An EvaluationError when a result
// frame has no road profile, or no pose where poses are given. `columns` decides which predictions
// are in view.
StreetScores EvaluateStreet(const std::vector<Pose>& poses, const std::vector<FrameResult>& results,
                            const std::vector<std::optional<RoadLine>>& roads, int pictureRows,
                            double frameInterval_s, const PictureColumns& columns = PictureColumns{});
