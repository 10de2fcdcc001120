// Compile-time configuration of the detector and the records its stages exchange.
// Lengths are metres unless a name ends in _PIX; disparities are pixels; u is the column
// and v the row of the disparity picture, counted from its top-left corner. The camera
// constants and sizes describe the default camera (Camera.h); a run reads its own camera.
#pragma once

#include <cstdint>

// Image, grid and run.
constexpr int TOTAL_U = 560;          // disparity picture width (pixel)
constexpr int TOTAL_V = 360;          // disparity picture height (pixel)
constexpr int SHIFT_PITCH = 4;        // width of one column block (pixel)
constexpr int LUT_NUM = 100;          // integer disparity levels 0..99
constexpr int START_FRAME = 410;      // first frame of the run
constexpr int END_FRAME = 610;        // last frame of the run (included)
constexpr int DISPARITY_OFS_U = 96;   // left edge of the disparity picture in the camera picture (pixel)
constexpr int DISPARITY_OFS_V = 63;   // top edge of the disparity picture in the camera picture (pixel)
constexpr int CAMERA_COLS = 656;      // width of the camera picture the disparity picture is cut from (pixel)
constexpr int CAMERA_ROWS = 486;      // height of that camera picture (pixel)

constexpr int totalBlkNumU = TOTAL_U / SHIFT_PITCH;  // 140 column blocks
constexpr int gridNum = totalBlkNumU * LUT_NUM;      // 14000 grid cells
constexpr int TOTAL_PIXELS = TOTAL_U * TOTAL_V;      // 201600 disparity values

constexpr int PIXEL(int u, int v) { return u + (v * TOTAL_U); }
constexpr int GRID(int uBl, int d) { return uBl + (d * totalBlkNumU); }

// Camera model.
constexpr double BF_PIX = 142.366;    // baseline x focal length (metre x pixel): distance = BF_PIX / disparity
constexpr double B_MM = 0.15;         // stereo baseline (metre)
constexpr double F_PIX = 949.1;       // focal length (pixel)
constexpr int U0 = 328;               // principal point column in the camera picture (pixel)
constexpr int V0 = 243;               // principal point row in the camera picture (pixel)
constexpr double DELTA_T = 0.03333;   // frame interval (second)
constexpr double CAM_H_M = 1.32;      // camera height above the road (metre)
constexpr double TAN_CAM_ANGLE = 0.075; // downward pitch of the optical axis, as its tangent

// Decoded disparities outside this range are neither road nor obstacle candidates of the road
// stage; keeping them out also keeps every road disparity class below ROAD_CLASSES = 41.
constexpr double ROAD_MIN_DISPARITY = 2.0;
constexpr double ROAD_MAX_DISPARITY = 40.0;
constexpr int ROAD_CLASSES = static_cast<int>(ROAD_MAX_DISPARITY + 0.5) + 1;

// Detection.
constexpr double C_THRESHOLD1 = 2.0;         // below C_THRESHOLD1 x threshold[d] pixels a cell is empty
constexpr double C_THRESHOLD2 = 5.0;         // below C_THRESHOLD2 x threshold[d] a cell is only a weak candidate
constexpr double XW = 1.5;                   // lateral span of the weak-run promotion window (metre)
constexpr double MYCAR_HIGHT = 2.0;          // height above the road beyond which a block may be far background (metre)
constexpr int THRESHOLD_FARBLOCK = 5;        // a high block with more farther blocks below it than this is blanked
constexpr double OBJECT_MIN_HEIGHT_M = 0.5;  // cells lower than this above the road are dropped
constexpr double OBJECT_MIN_WIDTH_M = 0.3;   // groups narrower than this are dropped, unless thin obstacles:
// a group's width runs between its outer cells' positions, so an obstacle loses up to a column block
// on each side. A cyclist (THIN_OBSTACLE_WIDTH_M wide, 1.7 to 2 m tall) can then fall below the width
// rule where a block is wider than half the difference of the two widths: beyond 26 m through KITTI's
// camera, beyond 36 m through the default one. There, through a camera whose blocks are wider than
// the default camera's (f below F_PIX, which sees a cyclist in fewer blocks at any distance), a
// narrow group spanning two or more blocks that stands as tall as a person on foot or on a bicycle
// is kept. The lower height stands above a car's body (1.4 to 1.7 m), so a narrow piece of a car is
// not kept; the upper one allows for the height's measurement error, below poles and trunks.
constexpr double THIN_OBSTACLE_WIDTH_M = 0.6;        // a cyclist's width (metre)
constexpr int THIN_OBSTACLE_MIN_BLOCKS = 2;          // column blocks a thin obstacle spans at least
constexpr double THIN_OBSTACLE_MIN_HEIGHT_M = 1.7;   // height range of a thin obstacle (metre)
constexpr double THIN_OBSTACLE_MAX_HEIGHT_M = 2.6;
constexpr double MIN_D = 2.37;               // groups of smaller mean disparity (beyond ~60 m) are not reported (pixel)
constexpr double GROUPED_RANGE = 0.4;        // lateral tolerance for joining cells (metre)
constexpr double GROUPED_RANGE_H_M = 0.8;    // height tolerance for joining cells and matching heights (metre)
constexpr int GROUPED_RANGE_H_PIX = 30;      // the same height tolerance in picture rows (pixel)

// Tracking.
constexpr double SIGMA_V2 = 3.8468;          // process-noise variance of the two-state track filters
constexpr double SIGMA_W2 = 9.0;             // measurement-noise variance of the three-state road filter
constexpr double PREDICTED_RANGE = 0.5;      // range argument handed to the track search
constexpr int ONESIDE_COUNT = 3;             // one-sided matches accepted while the one-side counter is below this
constexpr double RANGE_GATE_M = 1.0;         // distance tolerance of a track's prediction (metre)
constexpr double EDGE_M = 0.3;               // lateral tolerance of a track's predicted edge (metre)
constexpr double MAX_ROAD_SPEED_MPS = 40.0;   // fastest road traffic over ground (metre/second)
constexpr double MAX_CLOSING_SPEED_MPS = 2.0 * MAX_ROAD_SPEED_MPS;  // two such cars meeting
constexpr double MAX_CROSSING_SPEED_MPS = 15.0;  // fastest traffic crossing the road (metre/second)
constexpr double MAX_VEHICLE_LENGTH_M = 12.0;    // longest rigid road vehicle, a bus or lorry (metre)
// How far an established track's rate may still be from its obstacle's (metre/second): a rate
// learnt from a few frames' distances, each a few per cent off, and traffic braking or speeding up.
constexpr double TRACK_RATE_ERROR_MPS = 5.0;
constexpr double DETECTABLE_AREA_L_M = -1.5; // left bound of the lateral detection zone (metre)
constexpr double DETECTABLE_AREA_R_M = 1.5;  // right bound of the lateral detection zone (metre)

// Build switches: embedded frame data instead of files; the self-contained image container.
#define REPLACEMENT 1
#define OPENCV_DEP 0

// One colour, each channel 0..255.
struct ColorSet {
    int32_t red;
    int32_t green;
    int32_t blue;
};

// Occupancy levels of a grid cell (Grid::exist), and the first disparity level a cell can occupy.
constexpr int32_t EXIST_EMPTY = 0;
constexpr int32_t EXIST_WEAK = 1;       // a candidate, inside the grid stage only
constexpr int32_t EXIST_OCCUPIED = 10;
constexpr int FIRST_GRID_LEVEL = 2;     // levels 0 and 1 are never occupied

// One cell of the occupancy grid (column block x disparity level).
struct Grid {
    int32_t exist;    // occupancy: 0 empty, 1 weak candidate (inside the grid stage only), 10 occupied
    int32_t h_pix;    // picture row of the top of the cell's matched run; the road row when none matched
    int32_t hl_pix;   // picture row of the bottom of the matched run (last matching row + 4)
    double aveD;      // sub-pixel disparity, averaged over up to three frames (pixel)
    int32_t id;       // group number: 0 none; raw label while labelling, final group (from 1) afterwards
    int32_t ref;      // label-table entry: representative of the label equal to this cell's index
    double x_m;       // lateral position at distance z_m (metre)
    double z_m;       // distance BF_PIX / aveD (metre)
    double h_m;       // height of the cell's top above the road (metre)
    int32_t count;    // persistence in frames, 1..5; counts down while a lost cell is held
    double nowAveD;   // this frame's measured aveD before averaging (pixel)
    double preAveD;   // the predecessor cell's nowAveD of the previous frame (pixel)
};

// One obstacle of the current frame.
struct DetectedObject {
    double lX_m;      // left edge: smallest lateral position of the group's cells (metre)
    double rX_m;      // right edge: largest lateral position (metre)
    double d_pix;     // mean disparity of the cells (pixel)
    double h_m;       // largest cell height (metre)
    int32_t S_u;      // first column block
    int32_t E_u;      // last column block
    double sigmaUD;   // sum of u*d over the cells (u column block, d the cell's aveD)
    double sigmaU;    // sum of u
    double sigmaD;    // sum of d
    double sigmaUU;   // sum of u*u
    int32_t iN;       // number of cells
    double a;         // slope of the least-squares line d = a*u + b
    double b;         // intercept of that line
    bool inRange;     // unused, false
    bool bUsed;       // claimed by a track in this frame
};

// Result of one track's search: indices into the frame's detections, -1 for none.
struct objectNum {
    int32_t n;        // the detection that represents the track
    int32_t n1;       // the better one-sided detection
    int32_t n2;       // a detection on the other side that starts a second track
};

// A sortable (index, key) pair; both orders compare the key only.
struct SortNum {
    int32_t num;
    double key;
    bool operator<(const SortNum& other) const { return key < other.key; }
    bool operator>(const SortNum& other) const { return key > other.key; }
};
