// The public interface's records (obstacle/Detector.h) beside the stages' own: the programs,
// tests and benchmark of this repository convert between them here.
#pragma once

#include "Camera.h"
#include "RunState.h"
#include "TrackAssociation.h"
#include "TrajectoryNumbers.h"
#include "obstacle/Detector.h"

::Camera InternalCamera(const obstacle::Camera& camera);
obstacle::Camera PublicCamera(const ::Camera& camera);

// What the frame the run has just processed gave, as Detector::Process returns it: the road
// profile, the detections `record` holds and the run's tracks, numbered by `numbers` (already
// updated with this frame).
obstacle::FrameResult PublicResult(const RunState& run, const AssociationRecord& record, const TrajectoryNumbers& numbers);
