// Pictures of a frame's findings for a person to look at: the camera view with each track's box
// and label ("#12 8.4 m": trajectory number and distance), and the top view with each track as a
// bar at its lateral position and distance. They are drawn from the frame's public results
// (obstacle::FrameResult), the camera and the frame's background picture only.
#pragma once

#include <string>
#include <vector>

#include "Camera.h"
#include "PictureFiles.h"
#include "PictureView.h"
#include "RunState.h"
#include "obstacle/Detector.h"

// What the pictures of a frame show beside its results. The pointed-to grey picture and the
// disparity pixels are the caller's, read during the drawing only.
struct OverlayFrame {
    int frame = 0;                     // shown in the overlay's corner
    const qim::Image* grey = nullptr;  // the grey camera picture (GreyPictureOf(camera)); null or empty: none
    PictureView disparity;             // without a grey picture: the colour-coded disparity picture, dimmed
    double pathCurvature_pm = 0.0;     // the car's path (PathCurvature of the frame's ego motion): bends the zone
    bool detections = false;           // outline the obstacles no track took, thin in white
};

// A rectangle of picture pixels, bounds included.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

bool Overlapping(const PixelRect& a, const PixelRect& b);

// Pixels per font cell for a picture of `rows` rows: a text line (TEXT_LINE_CELLS cells) about a
// 40th of the picture's height, at least one pixel per cell.
int TextScale(int rows);

// The top view's geometry: metres per pixel alike on both axes, distance 0 (the car's front) a car's
// length above the bottom row, lateral 0 on the middle column. It reaches from the car to the
// farthest distance the camera's disparity levels reach (capped at TOPVIEW_MAX_RANGE_M) and
// across the detection zone with a margin; a narrow zone gets a wider view, so labels fit.
struct TopViewScale {
    int cols = 0;
    int rows = 0;
    double m_per_pix = 1.0;
    double far_m = 0.0;
    int originRow = 0;
    int centreColumn = 0;

    int Row(double z_m) const;
    int Column(double x_m) const;
    double Distance(int row) const;
};

TopViewScale TopViewScaleOf(const Camera& camera, int rows);

// The frame's overlay: the grey picture, or the dimmed disparity picture, with each track's box
// (confirmed: solid and thick, tentative: thin and dashed, coasting: its corners) in its trajectory
// number's colour and its label on a dark backdrop, placed so that no two labels overlap; the
// untracked detections when asked; the frame number and a legend in the top-left corner.
// Returns where the track labels went. `picture` is the caller's (it releases it).
std::vector<PixelRect> DrawFrameOverlay(const obstacle::FrameResult& result, const Camera& camera,
                                        const OverlayFrame& frame, qim::Image& picture);

// The top view of TopViewScaleOf(camera, rows): distance rules every 10 m numbered in metres, the
// zone's edges in white (bent along the car's path where it turns, as the zone is), the car's mark
// at the bottom, and each track as a bar as wide as the track with its label beside it on a dark
// backdrop (shifted down, up or to the other side so that no label overlaps another or a bar).
// Returns where the labels went.
std::vector<PixelRect> DrawTopView(const obstacle::FrameResult& result, const Camera& camera, const OverlayFrame& frame,
                                   int rows, qim::Image& picture);

// A frame's two pictures, the top view as tall as the overlay (TOPVIEW_MIN_ROWS at least). The
// holder releases them (qim::Image has no destructor).
struct FramePictures {
    qim::Image overlay;
    qim::Image topView;
    void Release();
};

void DrawFramePictures(const obstacle::FrameResult& result, const Camera& camera, const OverlayFrame& frame,
                       FramePictures& pictures);


// The pictures of one frame: dir/overlay_NNNNN and dir/topview_NNNNN (NNNNN the five-digit frame
// number) with the format's ending.
std::vector<std::string> OverlayPaths(const std::string& dir, int frame, PictureFormat format);

// Writes the frame's two pictures (OverlayPaths) in `format`. Returns false with a message naming
// the file and the reason when one cannot be written; no partial file is left.
bool WriteOverlays(const std::string& dir, int frame, const FramePictures& pictures, PictureFormat format,
                   std::string& error);
