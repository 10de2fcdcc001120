// Synthetic road scene: a flat road seen by the vehicle's stereo camera with upright box obstacles
// standing on it, rendered into the pictures the detector embeds (colour-coded disparity, grey
// camera picture, top-view background) and into BMP files for a person to look at.
//
// The scene is seen through a camera (the default one unless the scene says otherwise): its picture
// size, focal length, baseline (disparity = f B / z), principal point, mounting height and pitch
// (the road model of Camera.h) and its frame interval (the motion of moving scenes). Coordinates
// are those of the detector: u the column and v the row of the disparity picture (row 0 at the
// top), x metres to the right (larger columns), z metres ahead, heights in metres above the road.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "Camera.h"
#include "Config.h"
#include "format10bmpdata.h"

namespace scene {

// Picture sizes.
constexpr int GREY_U = CAMERA_COLS;            // the default camera's grey picture width (pixel)
constexpr int GREY_V = CAMERA_ROWS;            // and height; the disparity picture is its window at
                                               // (DISPARITY_OFS_U, DISPARITY_OFS_V)
constexpr int TOPVIEW_U = 200;                 // top view width (pixel)
constexpr int TOPVIEW_V = 480;                 // top view height (pixel)
constexpr int TOPVIEW_BYTES = TOPVIEW_U * TOPVIEW_V;

// Top view: both axes at the embedded picture's scale; the bottom row is at distance 0, column 100 at x = 0.
using ::TOPVIEW_M_PER_PIX;
constexpr int TOPVIEW_CENTRE_U = TOPVIEW_U / 2;
constexpr double TOPVIEW_GRID_M = 5.0;         // distance lines every 5 m, brighter every 10 m

// Moving sequences: frame k (from 0) shows the scene k frame intervals after its description.
constexpr int SEQUENCE_FIRST_FRAME = 1;  // file and truth number of frame k: SEQUENCE_FIRST_FRAME + k
constexpr double VISIBLE_SHARE = 0.3;    // a box is visible when this share of its face is seen
constexpr char FRAME_MARK[] = "XXXXX";   // stands for the frame number in a file name pattern
constexpr double PI = 3.14159265358979323846;

// One upright obstacle: a box whose face, at distance z_m, looks at the camera. Its velocity is
// relative to the camera and constant, except in a scene with the car's own motion (EgoMotion):
// there a description's box gives its place at the first frame and its velocity over ground, and
// BoxAtFrame turns both into the camera's axes of the frame.
struct Box {
    std::string name;
    double left_m = 0.0;    // lateral edges
    double right_m = 0.0;
    double z_m = 0.0;       // distance of the face
    double height_m = 0.0;  // height of the top above the road
    double vz_mps = 0.0;    // rate of change of the distance: negative while coming nearer
    double vx_mps = 0.0;    // lateral, positive to the right
};

// A change of the road's grade: from z_m ahead of the camera on, the road rises `grade` metres per
// metre (falls where negative). Before the first change the road is the camera's flat road, so a
// falling grade makes a crest and a rising one a dip. The changes keep their distance from the car.
struct GradeChange {
    double z_m;
    double grade;
};

// The car pitching on its springs: the camera's pitch is its mounting pitch plus
// amplitude_rad x sin(2 pi frequency_hz t), t the time from the first frame.
struct Pitching {
    double amplitude_rad = 0.0;
    double frequency_hz = 0.0;
};

// The car's own motion over ground: constant forward speed and yaw rate (positive while it turns
// right, toward +x), so it drives along a circle of radius speed / yaw rate.
struct EgoMotion {
    double speed_mps = 0.0;
    double yawRate_radps = 0.0;
};

// Where the car is after driving t seconds, in the axes of where it was (x right, z ahead).
struct CarPose {
    double heading_rad;  // turned right by this angle
    double x_m;
    double z_m;
};

// A scene description (data/scene.txt) and the camera it is seen through. Geometry and rendering
// expect the bounds that the reader enforces: boxes 1.5 to 1000 m away, edges within 1000 m,
// heights up to 100 m.
struct Scene {
    Camera camera = DEFAULT_CAMERA;
    uint64_t seed = 1;           // seed of the noise, holes and speckles
    double noise_pix = 0.0;      // standard deviation of the disparity noise
    double holes = 0.0;          // fraction of pixels left without disparity
    double speckles = 0.0;       // fraction of pixels given a spurious far disparity
    int frames = 1;              // frames of a moving sequence
    double roadLeft_m = -1e9;    // lateral extent of the road surface (the whole width unless given)
    double roadRight_m = 1e9;
    std::vector<GradeChange> grades;  // in increasing distance; none for the flat road
    Pitching pitching;                // amplitude 0: the camera keeps its mounting pitch
    std::optional<EgoMotion> ego;     // absent: the camera stands still, box velocities are relative
    std::vector<Box> boxes;
};

// Where a box lies in the disparity picture (rows and columns may fall outside the picture).
struct BoxExtent {
    double d_pix;  // disparity of the face, bf / z
    int uLeft;     // first and last column whose lateral position (as the detector measures it)
    int uRight;    //   lies between the box's edges
    int vTop;      // top row: vBottom - round(height x d / B)
    int vBottom;   // the road row of the face's disparity, truncated (the row the box stands on)
};

// Reading a description seen through `camera` (the default camera where none is given). A
// description's `frames N` is a span of time, N frame intervals of the default camera: a sequence
// through the camera has as many of its own frames as cover that span (SequenceFrames). Failures
// return false with "NAME:LINE: message" in `error`.
bool ParseScene(std::istream& in, const std::string& sourceName, const Camera& camera, Scene& scene, std::string& error);
bool ParseScene(std::istream& in, const std::string& sourceName, Scene& scene, std::string& error);
bool LoadScene(const std::string& path, const Camera& camera, Scene& scene, std::string& error);
bool LoadScene(const std::string& path, Scene& scene, std::string& error);

// Road geometry. The flat road is the camera's road model (FlatRoadRow); a graded road is that
// model with the camera's height less the road's rise at each distance.
double RoadDisparity(const Camera& camera, int v);  // disparity of the road at the centre of row v; 0.0 at or above the horizon
// The same on the scene's road: the nearest road the ray through row v's centre meets, so a crest
// hides the road beyond it; 0.0 where the ray meets no road.
double RoadDisparity(const Scene& scene, int v);
double RoadRise(const Scene& scene, double z_m);  // the road's height at z_m above the flat road
BoxExtent Extent(const Camera& camera, const Box& box);  // a box on the flat road
BoxExtent Extent(const Scene& scene, const Box& box);    // a box standing on the scene's road

// Rendering. Disparity pictures are indexed PIXEL(u, v, width), 0.0 = no disparity.
std::vector<double> RenderExactDisparity(const Scene& scene);  // without noise and holes
std::vector<double> RenderDisparity(const Scene& scene);       // with the scene's noise and holes
// 32-bit colour coding of a disparity picture: blue, green, red, 0 per pixel, bottom row first.
std::vector<unsigned char> EncodeDisparity(const Camera& camera, const std::vector<double>& disparity);
// The grey camera picture, 1 byte per pixel, bottom row first: GREY_U x GREY_V around the disparity
// picture for a camera of the default picture size, the disparity picture's own size otherwise.
struct GreyFrame {
    int cols;
    int rows;
    int offsetU;  // where the disparity picture's first column and row lie
    int offsetV;
};
GreyFrame GreyPicture(const Camera& camera);
std::vector<unsigned char> RenderGrey(const Scene& scene);
std::vector<unsigned char> RenderTopView(const Camera& camera);  // 200 x 480, 1 byte, bottom row first

// Sequences. The scene at frame k: boxes moved by k frame intervals and a seed of its own, so
// the noise, holes and speckles differ from frame to frame yet repeat with the description's seed.
// A frame interval within 0.05 % of 1/n s (a whole rate of n frames per second, the interval
// written to a few digits, as 0.03333 for 30) is taken as exactly 1/n s.
double FrameTime(const Camera& camera, int k);
// The number of the camera's frames that span `defaultFrames` frame intervals of the default camera,
// rounded to the nearest (the same number through a camera of the default frame interval); a real
// number, since through a short enough frame interval it exceeds every integer type.
double SequenceFrames(const Camera& camera, int defaultFrames);
Box BoxAtFrame(const Camera& camera, const Box& box, int k);  // at constant velocity relative to the camera
// The box in the camera's axes at frame k: as above, or moved over ground and seen from where the
// car's own motion has taken it.
Box BoxAtFrame(const Scene& scene, const Box& box, int k);
// The camera's pitch at frame k, as the tangent the road formula uses.
double PitchAtFrame(const Scene& scene, int k);
CarPose CarPoseAfter(const EgoMotion& ego, double t_s);
// The scene at frame k: its boxes there, the camera pitched as at that frame.
Scene SceneAtFrame(const Scene& scene, int k);
// Share of box `index`'s face (its full extent, BoxExtent) that lies in the picture and is not
// hidden by a nearer box; 0 for a face narrower than a column.
double VisibleShare(const Scene& scene, size_t index);
// The ground truth of every frame: the header
//   frame,id,z_m,x_left_m,x_right_m,x_center_m,height_m,vz_mps,vx_mps,visible
// then one row per frame per box, boxes numbered from 1 in description order.
std::string TruthCsv(const Scene& scene);
// The camera's poses, one line per frame number from 0 (the frame before the first picture, whose
// number is SEQUENCE_FIRST_FRAME) to the last: KITTI's 3 x 4 matrix [R | t] row-major, the pose of
// frame number n in the axes of frame number 0 (x right, y down, z ahead, metres): the car's motion
// over n frame intervals. The pitching is not in them: the truth's axes are those of the level car.
std::string PosesText(const Scene& scene);
// The file a pattern names for a frame: "XXXXX" replaced by the five-digit frame number (FramePath).
std::string SequenceFramePath(const std::string& pattern, int frame);

// Output. All write under temporary names and rename, so a failure leaves no partial file.
// The C++ source defining the embedded picture arrays, rendered from `scene`.
bool WriteEmbeddedSource(const Scene& scene, const std::string& path);
// disparity.bmp (24-bit colour), grey.bmp (8-bit) and topview.bmp (8-bit) in directory `dir`.
bool WriteSceneBmps(const Scene& scene, const std::string& dir);
std::vector<std::string> SceneBmpPaths(const std::string& dir);  // the three files, in that order
// One 24-bit colour-coded disparity BMP per frame at SequenceFramePath(pattern, frame) and the
// truth CSV at `truthPath`. `pattern` must contain "XXXXX".
bool WriteSequence(const Scene& scene, const std::string& pattern, const std::string& truthPath);
bool WritePoses(const Scene& scene, const std::string& path);

}  // namespace scene
