#include "PoseFile.h"

#include <cstdint>
#include <fstream>
#include <sstream>

#include "Files.h"
#include "NumberParsing.h"

namespace {

constexpr size_t POSE_LINE_MAX_BYTES = 4096;
constexpr uint64_t POSE_FILE_MAX_BYTES = uint64_t(1) << 26;

// Twelve finite numbers, or false with what is wrong.
bool ParsePose(const std::string& line, Pose& pose, std::string& problem) {
    std::istringstream fields(line);
    for (double& value : pose) {
        std::string field;
        if (!(fields >> field)) {
            problem = "fewer than 12 numbers";
            return false;
        }
        if (!ParseNumber(field, value)) {
            problem = "\"" + field + "\" is not a finite number";
            return false;
        }
    }
    std::string extra;
    if (fields >> extra) {
        problem = "more than 12 numbers";
        return false;
    }
    return true;
}

}  // namespace

bool ParsePoses(std::istream& in, const std::string& name, std::vector<Pose>& poses, std::string& error) {
    LineReader lines(in, name, POSE_LINE_MAX_BYTES, POSE_FILE_MAX_BYTES);
    poses.clear();
    std::string line;
    while (lines.Next(line)) {
        Pose pose{};
        std::string problem;
        if (!ParsePose(line, pose, problem)) {
            error = name + ":" + std::to_string(lines.Number()) + ": " + problem;
            return false;
        }
        poses.push_back(pose);
    }
    error = lines.Error();
    if (error.empty() && poses.empty()) error = name + ": no poses";
    return error.empty();
}

bool ReadPoseFile(const std::string& path, std::vector<Pose>& poses, std::string& error) {
    std::ifstream in;
    return OpenInputFile(path, in, error) && ParsePoses(in, path, poses, error);
}
