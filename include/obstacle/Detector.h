// The obstacle detector and tracker as a library: a Detector made from the stereo camera's record
// takes one frame's disparity picture at a time and gives the frame's road profile, its obstacles
// and the tracks carried over the frames. It needs the C++ standard library only, and this header
// is all a program includes (link the library `obstacle`).
//
//   obstacle::Detector detector(camera);  // the camera's record is copied
//   for (each frame) {
//       const obstacle::FrameResult result =
//           detector.Process(obstacle::FloatDisparity(pixels, rows, cols, rowStride_bytes));
//       for (const obstacle::Track& t : result.tracks) ...  // t.distance_m, t.trajectory, t.box
//   }
//
// Bad input (an impossible camera, a picture of another size than the camera's, a missing pixel
// pointer, a scale that is not a positive number) throws std::invalid_argument naming what is
// wrong; the detector is then unchanged.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace obstacle {

// The stereo rig the frames come from: its calibration, its mounting on the car, its frame rate
// and the lateral zone in which obstacles become tracks. Rows grow downward, x to the right.
struct Camera {
    double f_pix;            // focal length (pixel)
    double baseline_m;       // stereo baseline (metre)
    double bf_pix;           // focal length x baseline (metre x pixel): distance = bf_pix / disparity
    double u0_pix;           // principal point column in the disparity picture (pixel)
    double v0_pix;           // principal point row in the disparity picture (pixel)
    int width_pix;           // disparity picture width (pixel), 16 to 8192
    int height_pix;          // disparity picture height (pixel), 16 to 8192; 16 Mi pixels in all at most
    double camHeight_m;      // height of the camera above the road (metre)
    double tanPitch;         // downward pitch of the optical axis, as its tangent
    double frameInterval_s;  // time from one frame to the next (second)
    double zoneL_m;          // left bound of the lateral detection zone (metre)
    double zoneR_m;          // right bound of the lateral detection zone (metre)
};

// The camera of the demonstration pictures: 560 x 360 disparities, 1.2 m above the road.
Camera DefaultCamera();

// How a disparity picture holds its values.
enum class DisparityCoding {
    ColourCoded,  // blue, green, red bytes (3 or 4 bytes a pixel): the system's own colour coding of disparity
    Fixed16,      // unsigned 16-bit values: disparity = value x scale (KITTI: scale 1/256)
    Float32,      // 32-bit floats: disparity = value x scale
};

// One frame's disparity picture where the caller keeps it. The view owns nothing: the caller owns
// the pixels and keeps them unchanged during Detector::Process, which reads them and keeps no
// pointer to them afterwards. A value (Fixed16, Float32) of 0, below 0 or not finite is no disparity.
struct DisparityView {
    DisparityCoding coding = DisparityCoding::ColourCoded;
    const void* data = nullptr;         // the first pixel of the top row
    int rows = 0;
    int cols = 0;
    std::ptrdiff_t rowStride_bytes = 0; // bytes from a row to the next lower one (negative: stored bottom row first)
    double scale = 1.0;                 // Fixed16 and Float32: pixels of disparity per unit of value
    int pixelStride_bytes = 3;          // ColourCoded: bytes from a pixel to the next, 3 or 4 (a fourth byte skipped)
};

// A 32-bit BMP's pixel data is viewed where it lies: the last stored row's address, the negative
// padded row length, 4 bytes a pixel.
DisparityView ColourCodedDisparity(const std::uint8_t* bgr, int rows, int cols, std::ptrdiff_t rowStride_bytes,
                                   int pixelStride_bytes = 3);
DisparityView Fixed16Disparity(const std::uint16_t* values, int rows, int cols, std::ptrdiff_t rowStride_bytes,
                               double scale);
DisparityView FloatDisparity(const float* values, int rows, int cols, std::ptrdiff_t rowStride_bytes,
                             double scale = 1.0);

// The car's own motion from the previous frame to this one, in the road's plane (x right, z
// forward, metres): how far the camera has travelled and turned. With it, tracks are predicted
// along the car's path and report their velocity over ground.
struct EgoMotion {
    double travelX_m = 0.0;  // the camera's displacement, in the previous frame's axes
    double travelZ_m = 0.0;
    double yaw_rad = 0.0;    // its turn, positive to the right
};

// A camera pose [R | t], 3 x 4 row-major (KITTI's pose files): the motion between two poses.
using Pose = std::array<double, 12>;
EgoMotion EgoMotionOfPoses(const Pose& previous, const Pose& now);

// One frame of `interval_s` driven at `speed_mps` and `yawRate_radps` (positive to the right).
EgoMotion EgoMotionOfRates(double speed_mps, double yawRate_radps, double interval_s);

// Which road profile a frame used: its own, accepted next to the profile in force; the profile in
// force, kept because the frame's own was refused; or its own, taken although it lay outside the
// band because the profile in force had been refused for a while (the road changed).
enum class RoadProfileKind { Own, Kept, Reseeded };

struct RoadProfile {
    std::vector<int> rows;  // the road's picture row at each disparity level 0..99 (entry k: disparity k)
    bool accepted = false;  // the frame's own profile is used (Own or Reseeded)
    RoadProfileKind kind = RoadProfileKind::Kept;
};

// A rectangle in the disparity picture, bounds included, always inside the picture.
struct Box {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left + 1; }
    int Height() const { return bottom - top + 1; }
};

// An obstacle found in the frame: its box runs from its column blocks' edges and its top down to
// the road row at its disparity.
struct Obstacle {
    double left_m = 0.0;         // lateral extent (metre, right of the camera positive)
    double right_m = 0.0;
    double distance_m = 0.0;     // bf_pix / disparity_pix
    double disparity_pix = 0.0;
    double height_m = 0.0;       // height of its top above the road
    int firstBlock = 0;          // its column blocks (4 columns each), left to right
    int lastBlock = 0;
    Box box;
};

// An obstacle followed over the frames.
struct Track {
    int id = 0;               // identifier; a freed one is given to a later track
    int trajectory = 0;       // run-unique number from 1, kept for the track's life
    int updates = 0;          // frames it has been seen in
    int missed = 0;           // frames in a row it has not been seen in
    bool confirmed = false;   // seen often enough to be reported as an obstacle
    int obstacle = -1;        // index in FrameResult::obstacles of the obstacle it took, -1 for none
    double distance_m = 0.0;  // filtered position and size
    double lateral_m = 0.0;   // centre, right of the camera positive
    double width_m = 0.0;
    double height_m = 0.0;
    double disparity_pix = 0.0;
    double vz_mps = 0.0;      // velocity relative to the camera, forward and to the right
    double vx_mps = 0.0;
    bool groundKnown = false; // the frame's ego motion was given: the three below hold
    double vzGround_mps = 0.0;// velocity over ground
    double vxGround_mps = 0.0;
    bool moving = false;      // moves over ground rather than stands still
    Box box;
};

// One frame as the detector takes it: its disparity picture (read during Process only) and what
// else is known of it.
struct Frame {
    DisparityView disparity;
    std::optional<EgoMotion> egoMotion;  // the car's motion since the previous frame, where it is known
    std::optional<double> interval_s;    // the time since the previous frame (second), where it is not
                                         // the camera's frame interval: a frame dropped, an uneven clock
};

// What one frame gave. It is the caller's: it holds no pointer into the detector.
struct FrameResult {
    RoadProfile road;
    std::vector<Obstacle> obstacles;  // nearest first, as association left them
    std::vector<Track> tracks;        // nearest first
    // Where the frame's ego motion is known: the curvature of the car's path (1 / metre, positive
    // when it turns right) that the lateral zone followed in this frame; a straight zone otherwise.
    std::optional<double> pathCurvature_pm;
};

// One run of the detector: it owns its whole state (buffers in proportion to the camera's picture,
// allocated at construction) and carries the road profile and the tracks from frame to frame.
// One thread at a time; separate detectors are independent. A moved-from detector may only be
// destroyed or assigned to.
class Detector {
public:
    // Keeps a copy of `camera`; throws std::invalid_argument for one the stages cannot see through.
    explicit Detector(const Camera& camera = DefaultCamera());
    ~Detector();
    Detector(Detector&&) noexcept;
    Detector& operator=(Detector&&) noexcept;
    Detector(const Detector&) = delete;
    Detector& operator=(const Detector&) = delete;

    // The next frame, with the car's motion since the previous frame when it is known. The picture
    // is read during the call only; the result is the caller's.
    FrameResult Process(const DisparityView& disparity);
    FrameResult Process(const DisparityView& disparity, const EgoMotion& egoMotion);
    // The next frame with all that is known of it. The tracks' filters, their search gates and the
    // spans of time the grid and the road profile count in frames follow its interval; an interval
    // that is not a positive number throws std::invalid_argument.
    FrameResult Process(const Frame& frame);

    const Camera& CameraRecord() const;

private:
    friend struct DetectorInternals;  // this repository's programs and tests, not installed

    struct Run;
    std::unique_ptr<Run> run;
};

}  // namespace obstacle
