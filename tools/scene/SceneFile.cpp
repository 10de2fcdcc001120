// The scene description: one statement per line, fields separated by blanks, '#' starts a comment.
//   seed N                                   noise and holes generator seed (unsigned integer)
//   noise SIGMA                              disparity noise, pixels
//   holes FRACTION                           share of pixels without disparity
//   road LEFT RIGHT                          lateral extent of the road surface, metres
//   speckles FRACTION                        share of pixels covered by spurious far matches
//   frames N                                 length of a moving sequence, in frames of the
//                                            default camera (1/30 s each)
//   box NAME LEFT RIGHT DISTANCE HEIGHT [VZ VX]
//                                            an upright obstacle, metres, moving at VZ (rate of
//                                            change of its distance) and VX (to the right), m/s
//   grade DISTANCE GRADE                     from DISTANCE metres ahead on, the road rises GRADE
//                                            metres per metre (falls where negative); repeated in
//                                            increasing distance
//   pitch AMPLITUDE FREQUENCY                the car pitches by AMPLITUDE degrees at FREQUENCY Hz
//   ego SPEED YAWRATE                        the car drives at SPEED m/s, turning right at YAWRATE
//                                            rad/s (left where negative); the boxes' places are
//                                            then those of the first frame and their velocities
//                                            are over ground
// Every statement leads with its keyword and fixed fields, so a statement can gain trailing
// optional fields (such as a box's velocities for moving sequences) without breaking old files.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "Files.h"
#include "NumberParsing.h"
#include "Scene.h"

namespace scene {
namespace {

// Box bounds: nearer faces would leave the coded disparity range; the far bounds keep picture
// positions well inside the integer range.
constexpr double MIN_BOX_Z_M = 1.5;
constexpr double MAX_BOX_Z_M = 1000.0;
constexpr double MAX_LATERAL_M = 1000.0;
constexpr double MAX_HEIGHT_M = 100.0;
constexpr double MAX_NOISE_PIX = 1.0;
constexpr double MAX_HOLES = 0.5;
constexpr double MAX_SPECKLES = 0.2;
constexpr int MAX_FRAMES = 10000;
constexpr double MAX_SPEED_MPS = 100.0;
// Roads and cars: grades up to 20 %, a pitching of a few degrees at the springs' frequencies, a
// yaw rate of 1 rad/s (a 25 m circle at 25 m/s).
constexpr double MAX_GRADE = 0.2;
constexpr size_t MAX_GRADE_CHANGES = 16;
constexpr double MAX_PITCH_DEG = 5.0;
constexpr double MAX_PITCH_HZ = 10.0;
constexpr double MAX_YAW_RATE_RADPS = 1.0;
constexpr double RAD_PER_DEG = PI / 180.0;
// Every box is drawn into every pixel's depth test and every other box's visibility: 64 boxes
// render a frame in well under a second.
constexpr size_t MAX_BOXES = 64;
// A description is a few dozen short lines.
constexpr size_t MAX_LINE_BYTES = 4096;
constexpr uint64_t MAX_SCENE_BYTES = 1u << 20;

std::vector<std::string> Tokens(const std::string& line) {
    std::istringstream fields(line.substr(0, line.find('#')));
    std::vector<std::string> tokens;
    std::string token;
    while (fields >> token) tokens.push_back(token);
    return tokens;
}

bool ToDouble(const std::string& text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == '\0' && end != text.c_str() && std::isfinite(value);
}

bool ToSeed(const std::string& text, uint64_t& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0;
}

// Reads fields first..first+count-1 as numbers; returns an error text or "".
std::string Numbers(const std::vector<std::string>& tokens, size_t first, size_t count, double* out) {
    for (size_t i = 0; i < count; ++i) {
        if (!ToDouble(tokens[first + i], out[i])) return "'" + tokens[first + i] + "' is not a number";
    }
    return "";
}

class Parser {
public:
    Parser(const Camera& camera, Scene& scene) : scene_(scene) { scene_.camera = camera; }

    // Applies the statement of line `line`; returns an error text or "".
    std::string Apply(const std::vector<std::string>& t, int line) {
        line_ = line;
        const std::string& keyword = t[0];
        if (keyword == "box") return Box(t);
        if (keyword == "grade") return Grade(t);
        if (keyword != "seed" && keyword != "noise" && keyword != "holes" && keyword != "road" &&
            keyword != "speckles" && keyword != "frames" && keyword != "pitch" && keyword != "ego") {
            return "unknown statement '" + keyword + "'";
        }
        if (!given_.insert(keyword).second) return keyword + " is given twice";
        if (keyword == "seed") return Seed(t);
        if (keyword == "road") return Road(t);
        if (keyword == "frames") return Frames(t);
        if (keyword == "pitch") return Pitch(t);
        if (keyword == "ego") return Ego(t);
        if (keyword == "noise") return Fraction(t, MAX_NOISE_PIX, scene_.noise_pix);
        if (keyword == "speckles") return Fraction(t, MAX_SPECKLES, scene_.speckles);
        return Fraction(t, MAX_HOLES, scene_.holes);
    }

    // Checks that every box stays within the bounds over the whole sequence (motion relative to
    // the camera is linear without the car's own motion, so its last frame is the other extreme;
    // with it every frame is checked); returns the box's line with an error text, or "".
    std::string Finish(int& line) {
        if (framesLine_ != 0) {  // a still scene is one frame through any camera
            const double frames = std::max(1.0, SequenceFrames(scene_.camera, scene_.frames));
            if (!(frames <= MAX_FRAMES)) {
                line = framesLine_;
                return "frames: " + JsonNumber(frames) + " frames of the camera, more than 10000";
            }
            scene_.frames = static_cast<int>(frames);
        }
        for (size_t i = 0; i < scene_.boxes.size(); ++i) {
            const std::string problem = scene_.ego ? BoundsAlongTheDrive(scene_.boxes[i]) : LastFrameBounds(scene_.boxes[i]);
            if (problem.empty()) continue;
            line = boxLines_[i];
            return problem;
        }
        return "";
    }

private:
    std::string LastFrameBounds(const scene::Box& box) const {
        const std::string problem = Bounds(BoxAtFrame(scene_.camera, box, scene_.frames - 1));
        return problem.empty() ? "" : problem + " by the last frame";
    }

    std::string BoundsAlongTheDrive(const scene::Box& box) const {
        for (int k = 1; k < scene_.frames; ++k) {
            const std::string problem = Bounds(BoxAtFrame(scene_, box, k));
            if (!problem.empty()) return problem + " at frame " + std::to_string(SEQUENCE_FIRST_FRAME + k);
        }
        return "";
    }

    // Reads fields 1 and 2 of a statement of two values as numbers within [-limit0, limit0] and
    // [-limit1, limit1]; returns an error text (`bounds` for values beyond the limits) or "".
    static std::string TwoWithin(const std::vector<std::string>& t, double limit0, double limit1, const std::string& bounds, double* v) {
        if (t.size() != 3) return t[0] + " needs two values";
        const std::string problem = Numbers(t, 1, 2, v);
        if (!problem.empty()) return problem;
        if (std::fabs(v[0]) > limit0 || std::fabs(v[1]) > limit1) return t[0] + ": " + bounds;
        return "";
    }

    std::string Grade(const std::vector<std::string>& t) {
        double v[2];
        const std::string problem = TwoWithin(t, MAX_BOX_Z_M, MAX_GRADE, "DISTANCE must lie within 1000 m and GRADE within 0.2", v);
        if (!problem.empty()) return problem;
        if (v[0] <= 0.0) return "grade: DISTANCE must lie ahead of the camera";
        if (!scene_.grades.empty() && v[0] <= scene_.grades.back().z_m) return "grade: DISTANCE must lie beyond the previous change";
        if (scene_.grades.size() == MAX_GRADE_CHANGES) return "more than " + std::to_string(MAX_GRADE_CHANGES) + " grade changes";
        scene_.grades.push_back(GradeChange{v[0], v[1]});
        return "";
    }

    std::string Pitch(const std::vector<std::string>& t) {
        double v[2];
        const std::string problem = TwoWithin(t, MAX_PITCH_DEG, MAX_PITCH_HZ, "AMPLITUDE must lie within 5 degrees and FREQUENCY within 10 Hz", v);
        if (!problem.empty()) return problem;
        if (v[0] <= 0.0 || v[1] <= 0.0) return "pitch: AMPLITUDE and FREQUENCY must lie above 0";
        scene_.pitching = Pitching{v[0] * RAD_PER_DEG, v[1]};
        return "";
    }

    std::string Ego(const std::vector<std::string>& t) {
        double v[2];
        const std::string problem = TwoWithin(t, MAX_SPEED_MPS, MAX_YAW_RATE_RADPS, "SPEED must lie within 100 m/s and YAWRATE within 1 rad/s", v);
        if (!problem.empty()) return problem;
        if (v[0] < 0.0) return "ego: SPEED must not be negative";
        scene_.ego = EgoMotion{v[0], v[1]};
        return "";
    }

    std::string Frames(const std::vector<std::string>& t) {
        uint64_t frames = 0;
        if (t.size() != 2) return "frames needs one value";
        if (!ToSeed(t[1], frames) || frames < 1 || frames > MAX_FRAMES) return "frames must lie between 1 and 10000";
        scene_.frames = static_cast<int>(frames);
        framesLine_ = line_;
        return "";
    }

    std::string Seed(const std::vector<std::string>& t) {
        if (t.size() != 2) return "seed needs one value";
        if (!ToSeed(t[1], scene_.seed)) return "'" + t[1] + "' is not an unsigned integer";
        return "";
    }

    std::string Fraction(const std::vector<std::string>& t, double max, double& value) {
        if (t.size() != 2) return t[0] + " needs one value";
        std::string problem = Numbers(t, 1, 1, &value);
        if (problem.empty() && (value < 0.0 || value > max)) {
            std::ostringstream text;
            text << t[0] << " must lie between 0 and " << max;
            problem = text.str();
        }
        return problem;
    }

    std::string Road(const std::vector<std::string>& t) {
        if (t.size() != 3) return "road needs LEFT RIGHT";
        double v[2];
        std::string problem = Numbers(t, 1, 2, v);
        if (!problem.empty()) return problem;
        if (v[0] >= v[1]) return "road: LEFT must be less than RIGHT";
        scene_.roadLeft_m = v[0];
        scene_.roadRight_m = v[1];
        return "";
    }

    static std::string Bounds(const scene::Box& box) {
        const std::string self = "box " + box.name + ": ";
        if (box.left_m < -MAX_LATERAL_M || box.right_m > MAX_LATERAL_M) return self + "LEFT and RIGHT must lie within 1000 m";
        if (box.z_m < MIN_BOX_Z_M || box.z_m > MAX_BOX_Z_M) return self + "DISTANCE must lie between 1.5 and 1000 m";
        return "";
    }

    std::string Box(const std::vector<std::string>& t) {
        if (t.size() != 6 && t.size() != 8) return "box needs NAME LEFT RIGHT DISTANCE HEIGHT [VZ VX]";
        scene::Box box;
        box.name = t[1];
        double v[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
        std::string problem = Numbers(t, 2, t.size() - 2, v);
        if (!problem.empty()) return problem;
        box.left_m = v[0];
        box.right_m = v[1];
        box.z_m = v[2];
        box.height_m = v[3];
        box.vz_mps = v[4];
        box.vx_mps = v[5];
        const std::string self = "box " + box.name + ": ";
        if (box.left_m >= box.right_m) return self + "LEFT must be less than RIGHT";
        problem = Bounds(box);
        if (!problem.empty()) return problem;
        if (box.height_m <= 0.0 || box.height_m > MAX_HEIGHT_M) return self + "HEIGHT must lie above 0 and up to 100 m";
        if (std::fabs(box.vz_mps) > MAX_SPEED_MPS || std::fabs(box.vx_mps) > MAX_SPEED_MPS) {
            return self + "VZ and VX must lie within 100 m/s";
        }
        if (!names_.insert(box.name).second) return "box " + box.name + " is given twice";
        if (scene_.boxes.size() == MAX_BOXES) return "more than " + std::to_string(MAX_BOXES) + " boxes";
        scene_.boxes.push_back(box);
        boxLines_.push_back(line_);
        return "";
    }

    Scene& scene_;
    std::set<std::string> given_;
    std::set<std::string> names_;
    std::vector<int> boxLines_;
    int line_ = 0;
    int framesLine_ = 0;
};

}  // namespace

bool ParseScene(std::istream& in, const std::string& sourceName, const Camera& camera, Scene& scene, std::string& error) {
    Scene parsed;
    Parser parser(camera, parsed);
    LineReader lines(in, sourceName, MAX_LINE_BYTES, MAX_SCENE_BYTES);
    std::string line;
    while (lines.Next(line)) {
        const std::vector<std::string> tokens = Tokens(line);
        if (tokens.empty()) continue;
        const std::string problem = parser.Apply(tokens, lines.Number());
        if (!problem.empty()) {
            error = sourceName + ":" + std::to_string(lines.Number()) + ": " + problem;
            return false;
        }
    }
    if (!lines.Error().empty()) {
        error = lines.Error();
        return false;
    }
    int boxLine = 0;
    const std::string problem = parser.Finish(boxLine);
    if (!problem.empty()) {
        error = sourceName + ":" + std::to_string(boxLine) + ": " + problem;
        return false;
    }
    scene = parsed;
    return true;
}

bool ParseScene(std::istream& in, const std::string& sourceName, Scene& scene, std::string& error) {
    return ParseScene(in, sourceName, DEFAULT_CAMERA, scene, error);
}

bool LoadScene(const std::string& path, const Camera& camera, Scene& scene, std::string& error) {
    std::ifstream in;
    return OpenInputFile(path, in, error) && ParseScene(in, path, camera, scene, error);
}

bool LoadScene(const std::string& path, Scene& scene, std::string& error) { return LoadScene(path, DEFAULT_CAMERA, scene, error); }

}  // namespace scene
