// Pictures of a frame's findings: the camera view with the tracks and detections marked, and the
// top view with each track at its lateral position and distance.
#pragma once

#include <string>
#include <vector>

#include "PictureFiles.h"
#include "RunState.h"
#include "TrackAssociation.h"
#include "format10bmpdata.h"

// The frame's grey picture (the disparity picture is its window at GreyPictureOf(run.camera))
// or, without one, the disparity picture in its colours at half brightness; each track's box (its column blocks from the road row up to
// its height) outlined in its identifier's colour with the identifier above it, and each detection
// that no track took outlined thin in white.
void DrawFrameOverlay(const RunState& run, const AssociationRecord& record, qim::Image& picture);

// The embedded top-view background (TOPVIEW_M_PER_PIX on both axes) with distance marks every 10 m at its
// left edge, numbered in metres, and the edges of the camera's lateral detection zone in white
// (bent along the car's path where the frame's ego motion turns, as the zone is);
// over them each track as a bar as wide as the track at its lateral position and distance, in its
// identifier's colour, with the identifier beside it.
void DrawTopView(const RunState& run, qim::Image& picture);

// The pictures of one frame: dir/overlay_NNNNN and dir/topview_NNNNN (NNNNN the five-digit frame
// number) with the format's ending.
std::vector<std::string> OverlayPaths(const std::string& dir, int frame, PictureFormat format);

// Writes the frame's two pictures (OverlayPaths) in `format`. Returns false with a message naming
// the file and the reason when one cannot be written; no partial file is left.
bool WriteOverlays(const std::string& dir, int frame, const RunState& run, const AssociationRecord& record,
                   PictureFormat format, std::string& error);
