// KITTI's time stamp files (times.txt): one time in seconds per line, line k (from 0) the time of
// frame k of the recording. obstacle-track takes each frame's interval from them.
#pragma once

#include <istream>
#include <string>
#include <vector>

// Reads the times of the text `in`, named `name` in messages. False with "NAME:LINE: MESSAGE" for a
// line that is not one finite number or a time not later than the line before, "NAME: no times"
// for a text without any, or the line reader's message for a line or a text beyond its bounds.
bool ParseTimes(std::istream& in, const std::string& name, std::vector<double>& times, std::string& error);

// The same from the regular file at `path`.
bool ReadTimesFile(const std::string& path, std::vector<double>& times, std::string& error);
