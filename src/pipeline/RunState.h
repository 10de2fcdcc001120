// The state of one run of the detector: the camera and what the stages derive from it, per-run
// buffers sized for the camera and allocated once, the tables each frame rewrites, and what
// carries over between frames (grid, road rows, flags, tracks, identifiers). Every stage is a
// function of this record.
#pragma once

#include <cstdint>
#include <vector>

#include "Camera.h"
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
};

// Which road profile a frame used: its own, accepted next to the profile in force; the profile in
// force, kept because the frame's own was refused; or the frame's own, taken although outside the
// band because the profile in force had been refused for the re-seeding span.
enum class RoadProfileKind { Own, Kept, Reseeded };

// The camera's picture must have at least SHIFT_PITCH columns and a row (StageGeometry's
// preconditions hold).
struct RunState {
    explicit RunState(const Camera& camera = DEFAULT_CAMERA);
    ~RunState();
    RunState(const RunState&) = delete;
    RunState& operator=(const RunState&) = delete;

    const StageGeometry geometry;               // sizes and thresholds derived from the camera
    const Camera& camera;                       // the rig the frames come from (geometry.camera)

    // Per-run buffers, allocated once and reused by every frame.
    std::vector<double> measuredDisparity;      // a value source's disparities, index PIXEL(u, v, width); 0.0 = none
    std::vector<uint8_t> roadClasses;           // road stage: the class of every even row's entry (RoadDisparityMap.h)
    std::vector<Grid> grid;                     // the grid of record, index GRID(uBl, d, blocksU)
    std::vector<Grid> newGrid;                  // this frame's grid before temporal smoothing
    StageScratch scratch;                       // the stages' working buffers
    std::vector<uint16_t> disparityCodes;       // a colour picture's codes (DisparityCodes.h), index PIXEL(u, v, width)

    IdManager idNum;                            // track identifiers
    std::vector<TrackingObject> preObject;      // tracks carried from frame to frame, nearest first
    std::vector<DetectedObject> newObject;      // this frame's detections, nearest first
    EgoMotion egoMotion;                        // this frame's input: the car's motion since the last
                                                // frame, not known unless the frame source sets it

    // Per-disparity tables (index = integer disparity 0..99); rows count from the picture's top.
    int pre_ground[LUT_NUM];   // road rows in force: the geometric road at first, then the last accepted profile
    int ground[LUT_NUM];       // this frame's road row
    int blind[LUT_NUM];        // row 0.3 m above the road
    int ceiling[LUT_NUM];      // row 2.0 m above the road
    int MaxY[LUT_NUM];         // V-disparity peak row per disparity class; 359 = none
    double disparity[LUT_NUM]; // the disparity value of each level
    double threshold[LUT_NUM]; // pixel-count threshold of a grid cell

    bool nonGridFlg = true;       // true until the first frame's grid has been stored
    bool bGndFixFlg = false;      // set at the first accepted road profile, never cleared
    bool groundAccepted = false;  // this frame's own road profile is used (own or re-seeded)
    RoadProfileKind roadProfile = RoadProfileKind::Kept;  // the profile this frame used
    int refusedFrames = 0;        // frames in a row that kept the profile in force

    // A frame's disparities arrive either as a colour-coded picture, which the road stage decodes
    // into disparityCodes, or as values a frame source has put into measuredDisparity itself.
    // The picture is disparityPicture where a source hands over pixels it keeps (the embedded
    // picture, read where it lies), else src_img_colorD: DisparityPictureOf says which.
    qim::Image src_img_colorD;    // this frame's colour-coded disparity picture (the camera's size)
    PictureView disparityPicture; // pixels a source keeps for this frame; empty when src_img_colorD holds the picture
    bool disparityValuesGiven = false;  // this frame's measuredDisparity came from the source
    qim::Image src_img_grayR;     // this frame's grey camera picture (656 x 486)
    qim::Image src_img_topview;   // top-view background, loaded once
};

// The frame's colour-coded disparity picture: disparityPicture when a source has set it, else
// src_img_colorD's pixels.
PictureView DisparityPictureOf(const RunState& run);

// Geometric road rows of the flat road the camera sees: entry k holds the row at disparity k + 1.
void InitialRoadRows(const Camera& camera, int pre_ground[LUT_NUM]);

// Per-frame reset of the disparity levels and the cell thresholds.
void ResetFrameTables(const StageGeometry& geometry, double disparity[LUT_NUM], double threshold[LUT_NUM]);
