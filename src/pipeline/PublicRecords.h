// The public interface's camera record (obstacle/Detector.h) beside the stages' own: the
// programs, tests and benchmark of this repository convert between them here.
#pragma once

#include "Camera.h"
#include "obstacle/Detector.h"

::Camera InternalCamera(const obstacle::Camera& camera);
obstacle::Camera PublicCamera(const ::Camera& camera);
