// The state of one run of the detector, in five sections: fixed for the run; carried between
// frames; this frame's input; this frame's results; scratch. Every stage is a function of this
// record, and the comment of each member names the stage that writes it.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "Camera.h"
#include "CodeTables.h"
#include "Config.h"
#include "IdManager.h"
#include "PictureView.h"
#include "StageGeometry.h"
#include "TrackingObject.h"
#include "core.h"

// Working buffers of the stages, sized for the camera once per run; each frame overwrites them.
struct StageScratch {
    explicit StageScratch(const StageGeometry& geometry);
    std::vector<uint16_t> columnCounts;  // road stage: class counts of every column (RoadDisparityMap.h)
    std::vector<double> stripValues;     // grid stage: one strip's disparities inside the levels' windows
    std::vector<int> stripRows;          // grid stage: one strip's rows holding a disparity (geometry.height)
    std::vector<double> smallestBlockValues;  // grid stage: a strip's smallest block disparities (FarBlocksNeeded)
};

// The column blocks first .. last hold the frame's disparities; first > last where it holds none.
// Beyond them the picture, or the matcher that made it, measured nothing (a stereo matcher leaves a
// band along one side, as wide as its disparity range): an obstacle reaching either end may go on
// there. Until a frame's are known the span is unbounded: no block is an edge.
struct MeasuredBlocks {
    int first = std::numeric_limits<int>::min();
    int last = std::numeric_limits<int>::max();
};

// Which road profile a frame used: its own, accepted next to the profile in force; the profile in
// force, kept because the frame's own was refused; or the frame's own, taken although outside the
// band because the profile in force had been refused for the re-seeding span.
enum class RoadProfileKind { Own, Kept, Reseeded };

// The camera's picture must have at least SHIFT_PITCH columns and a row (StageGeometry's
// preconditions hold). The run owns every member; buffers are sized for the camera once, at
// construction, and never reallocated by the stages.
struct RunState {
    explicit RunState(const Camera& camera = DEFAULT_CAMERA);
    ~RunState();
    RunState(const RunState&) = delete;
    RunState& operator=(const RunState&) = delete;

    // Fixed for the run: set at construction, read by every stage; only the values that follow the
    // frame interval change, where a frame gives its own interval (StageGeometry::SetFrameInterval).
    StageGeometry geometry;        // sizes and thresholds derived from the camera
    const Camera& camera;          // the rig the frames come from (geometry.camera)

    // Carried between frames: what one frame leaves for the next; only the stage named writes it.
    std::vector<Grid> grid;         // GridSmoothing: the grid of record, index GRID(uBl, d, blocksU)
    bool nonGridFlg = true;         // GridSmoothing: true until the first frame's grid has been stored
    int pre_ground[LUT_NUM];        // RoadProfile: road rows in force (the geometric road at first, then
                                    // the last accepted profile); rows count from the picture's top
    bool bGndFixFlg = false;        // RoadProfile: set at the first accepted road profile, never cleared
    int refusedFrames = 0;          // RoadProfile: frames in a row that kept the profile in force
    IdManager idNum;                // TrackAssociation: track identifiers
    std::vector<TrackingObject> preObject;  // TrackAssociation: the tracks, nearest first
    std::vector<TrackingObject> candidates; // TrackAssociation: new tracks not numbered yet (NumberedCount), not reported

    // This frame's input, set by the frame source before the stages run. A colour-coded picture
    // arrives in src_img_colorD (owned by the run) or disparityPicture (pixels the source owns and
    // keeps until the frame is done; DisparityPictureOf says which), and RoadDisparityMap decodes it
    // into disparityCodes; a 16-bit picture of values arrives in fixed16Picture (the source's
    // pixels, kept likewise), decoded into disparityCodes too; values arrive in measuredDisparity
    // with disparityValuesGiven set.
    qim::Image src_img_colorD;          // colour-coded disparity picture (the camera's size)
    PictureView disparityPicture;       // the source's pixels; empty when src_img_colorD holds the picture
    PictureView fixed16Picture;         // 16-bit values (2 bytes a pixel, this machine's byte order); empty for none
    double fixed16Scale = 0.0;          // fixed16Picture's disparity per unit of value (Fixed16OnCodes holds)
    bool disparityValuesGiven = false;  // this frame's measuredDisparity came from the source
    qim::Image src_img_grayR;           // grey camera picture, for the overlays only (656 x 486)
    EgoMotion egoMotion;                // the car's motion since the last frame; not known unless set

    // This frame's results: rewritten by the stages every frame, valid until the next frame starts.
    // Per-disparity tables are indexed by integer disparity 0..99.
    std::vector<double> measuredDisparity;  // a value source's disparities, limited by RoadDisparityMap: index
                                            // PIXEL(u, v, width); 0.0 = none (a colour picture's: disparityCodes)
    std::vector<uint16_t> disparityCodes;   // RoadDisparityMap: a picture's disparities as codes (frameCodes
                                            // gives each code's value), index PIXEL(u, v, width)
    FrameCodeTables frameCodes;             // RoadDisparityMap: the tables of this frame's codes (at first
                                            // the colour coding's)
    std::unique_ptr<Fixed16Codes> fixed16Codes;  // Fixed16CodesOf: the codes of the last 16-bit picture's scale
    std::vector<uint8_t> roadClasses;       // RoadDisparityMap: the class of every even row's entry (RoadDisparityMap.h)
    int MaxY[LUT_NUM];                      // RoadDisparityMap: V-disparity peak row per class (RoadDisparityMap.h)
    MeasuredBlocks measured;                // RoadDisparityMap: the column blocks holding the frame's disparities
    int ground[LUT_NUM];                    // RoadProfile: this frame's road row
    int blind[LUT_NUM];                     // RoadProfile: row 0.3 m above the road
    int ceiling[LUT_NUM];                   // RoadProfile: row 2.0 m above the road
    double disparity[LUT_NUM];              // ResetFrameTables: the disparity value of each level
    double threshold[LUT_NUM];              // ResetFrameTables, raised by RoadProfile: pixel count of a grid cell
    bool groundAccepted = false;            // RoadProfile: the frame's own profile is used (own or re-seeded)
    RoadProfileKind roadProfile = RoadProfileKind::Kept;  // RoadProfile: the profile this frame used
    std::vector<Grid> newGrid;              // OccupancyGrid: this frame's grid before GridSmoothing, which
                                            // then swaps it with grid (it holds the previous grid after)
    std::vector<DetectedObject> newObject;  // GroupObjects: detections, nearest first; TrackAssociation consumes them

    // Scratch: working buffers of the stages, meaningless between their calls.
    StageScratch scratch;
};

// The frame's colour-coded disparity picture: disparityPicture when a source has set it, else
// src_img_colorD's pixels.
PictureView DisparityPictureOf(const RunState& run);

// The codes of the frame's 16-bit picture (run.fixed16Scale), built at the first such frame and
// again only when the scale changes.
const Fixed16Codes& Fixed16CodesOf(RunState& run);

// Geometric road rows of the flat road the camera sees: entry k holds the row at disparity k + 1.
void InitialRoadRows(const Camera& camera, int pre_ground[LUT_NUM]);

// Per-frame reset of the disparity levels and the cell thresholds.
void ResetFrameTables(const StageGeometry& geometry, double disparity[LUT_NUM], double threshold[LUT_NUM]);
