// Pictures of a frame's findings: the camera view with the tracks and detections marked, and the
// top view with each track at its lateral position and distance.
#pragma once

#include <string>
#include <vector>

#include "Camera.h"
#include "EgoMotion.h"
#include "PictureFiles.h"
#include "PictureView.h"
#include "core.h"
#include "format10bmpdata.h"
#include "obstacle/Detector.h"

// What a frame's pictures show: the detector's findings in the frame, over its grey picture or,
// without one, its colour-coded disparity picture. Nothing is owned: the referred records and
// pixels outlive the drawing.
struct OverlayFrame {
    const Camera& camera;                  // the rig the frame was seen through
    const obstacle::FrameResult& result;   // the frame's detections and tracks
    const qim::Image& grey;                // the frame's grey picture; empty for none
    PictureView disparity;                 // the frame's colour-coded disparity picture
    EgoMotion egoMotion;                   // the car's motion into the frame
};

// The frame's grey picture (the disparity picture is its window at GreyPictureOf(camera)) or,
// without one, the disparity picture in its colours at half brightness; each track's box (its
// column blocks from the road row up to its height) outlined in its identifier's colour with the
// identifier above it, and each detection that no track took outlined thin in white.
void DrawFrameOverlay(const OverlayFrame& frame, qim::Image& picture);

// The embedded top-view background (TOPVIEW_M_PER_PIX on both axes) with distance marks every 10 m at its
// left edge, numbered in metres, and the edges of the camera's lateral detection zone in white
// (bent along the car's path where the frame's ego motion turns, as the zone is);
// over them each track as a bar as wide as the track at its lateral position and distance, in its
// identifier's colour, with the identifier beside it.
void DrawTopView(const OverlayFrame& frame, qim::Image& picture);

// The pictures of one frame: dir/overlay_NNNNN and dir/topview_NNNNN (NNNNN the five-digit frame
// number) with the format's ending.
std::vector<std::string> OverlayPaths(const std::string& dir, int frame, PictureFormat format);

// Writes the frame's two pictures (OverlayPaths) in `format`. Returns false with a message naming
// the file and the reason when one cannot be written; no partial file is left.
bool WriteOverlays(const std::string& dir, int frame, const OverlayFrame& shown, PictureFormat format,
                   std::string& error);
