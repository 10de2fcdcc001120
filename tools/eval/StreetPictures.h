// The road lines of a recording's frames, fitted to the disparity pictures the run read, through
// obstacle-track's own frame reader (so that the evaluation sees the disparities the detector saw).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Camera.h"
#include "SequenceFiles.h"
#include "StreetEvaluation.h"

// One line per result frame (FitRoadLine on the frame's picture). `pattern` names the pictures as
// obstacle-track's --disparity does, `scale` is its --disparity-scale. An InputError names the
// file that cannot be read as a disparity picture of the camera.
std::vector<std::optional<RoadLine>> FitFrameRoads(const Camera& camera, const std::string& pattern,
                                                   std::optional<double> scale,
                                                   const std::vector<FrameResult>& results);
