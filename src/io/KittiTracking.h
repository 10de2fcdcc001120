// The tracks in KITTI's tracking label format, which KITTI's development kit and TrackEval's KITTI
// mode read: one line per track and frame, fields apart by a space,
//   frame track_id type truncated occluded alpha left top right bottom h w l x y z rotation_y score
#pragma once

#include <ostream>

#include "FrameReport.h"
#include "Camera.h"
#include "obstacle/Detector.h"

// The type every track is written as: the detector does not tell kinds of obstacle apart, and
// KITTI's evaluators score cars and pedestrians only.
constexpr const char* KITTI_TRACK_TYPE = "Car";
// KITTI's mark for a value that is not known: -1 for truncation, occlusion and the length, -10
// for the two angles.
constexpr int KITTI_UNKNOWN = -1;
constexpr int KITTI_UNKNOWN_ANGLE = -10;

// One line per reported track (ReportedTrack) with `kittiFrame` as the frame and its trajectory
// number as track_id. The 2D box is the MOT file's (left top right bottom, bounds included, in
// disparity-picture pixels); h and w are the track's height and width in metres; its length along
// the road is not seen (-1), nor is its heading (alpha and rotation_y -10). The location is the
// middle of the track's bottom in the left camera's axes (x right, y down, z along the optical
// axis): x the track's lateral centre, z its distance, y the flat road's depth below the optical
// axis at that distance (FlatRoadRow through `camera`). The score is 1 for a confirmed track, 0 for a tentative one.
// Values that are not finite are written as -1.
void WriteKittiTrackingFrame(std::ostream& out, int kittiFrame, const Camera& camera, const obstacle::FrameResult& result,
                             bool tentative);
