// KITTI's pose files: one camera pose [R | t] per line, twelve numbers (3 x 4, row-major), line k
// (from 0) the pose of frame k in the first pose's axes. obstacle-track takes the car's own motion
// from them and obstacle-eval scores a street against them.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "EgoMotion.h"

// Reads the poses of the text `in`, named `name` in messages. False with "NAME:LINE: MESSAGE" for a
// line that is not twelve finite numbers, "NAME: no poses" for a text without any, or the line
// reader's message for a line or a text beyond its bounds.
bool ParsePoses(std::istream& in, const std::string& name, std::vector<Pose>& poses, std::string& error);

// The same from the regular file at `path`.
bool ReadPoseFile(const std::string& path, std::vector<Pose>& poses, std::string& error);
