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

