// scene-render: renders the synthetic road scene described in a scene file.
//   scene-render --scene FILE [--camera FILE] [--embedded OUT.cpp] [--bmp DIR]
//                [--sequence PATTERN --truth CSV [--poses-out FILE]]
// --camera sees the scene through the camera of a camera file in obstacle-track's own format
// (pictures of its size, its focal length, baseline, principal point and mounting, and a moving
// scene's span of time in its frames); the default camera otherwise. --embedded writes the C++
// source of the detector's embedded pictures, of the default camera only; --bmp writes
// disparity.bmp, grey.bmp and topview.bmp into DIR (created if missing) for viewing;
// --sequence writes the moving scene's frames as disparity BMPs named by PATTERN ("XXXXX"
// stands for the five-digit frame number, from 1) and --truth its ground-truth CSV; --poses-out
// the camera's poses (KITTI's layout, from frame number 0, the car's motion over ground).
// Exit status 0 once every file is in place, 2 on a bad argument, scene file or output.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "CameraFile.h"
#include "CommandLine.h"
#include "Files.h"
#include "OutputChecks.h"
#include "Scene.h"

namespace {

constexpr const char* USAGE =
    "usage: scene-render --scene FILE [--camera FILE] [--embedded OUT.cpp] [--bmp DIR]\n"
    "                    [--sequence PATTERN --truth CSV [--poses-out FILE]]\n"
    "  --camera FILE  render through this camera (obstacle-track's key = value camera file; the fields\n"
    "                 it leaves out are the default camera's); a sequence spans the scene's time\n"
    "  PATTERN names one disparity BMP per frame, \"XXXXX\" standing for the frame number\n"
    "  --poses-out FILE  the camera's pose at each frame number from 0, KITTI's 3 x 4 [R | t] per line\n";

struct Options {
    std::string scene;
    std::string camera;
    std::string embedded;
    std::string bmpDir;
    std::string sequence;
    std::string truth;
    std::string poses;
    bool help = false;
};

// What the options say together: a scene, at least one output, a sequence with its truth.
std::string Incomplete(const Options& o) {
    if (o.scene.empty()) return "--scene is needed";
    const bool sequence = !o.sequence.empty() || !o.truth.empty();
    if (sequence && (o.sequence.empty() || o.truth.empty())) return "--sequence and --truth go together";
    if (sequence && o.sequence.find(scene::FRAME_MARK) == std::string::npos) {
        return "--sequence: '" + o.sequence + "' has no " + scene::FRAME_MARK + " for the frame number";
    }
    if (!o.poses.empty() && !sequence) return "--poses-out goes with --sequence";
    if (o.embedded.empty() && o.bmpDir.empty() && !sequence) return "nothing to write: give --embedded, --bmp or --sequence";
    if (!o.embedded.empty() && !o.camera.empty()) return "--embedded renders the default camera's pictures: it takes no --camera";
    return "";
}

bool ParseOptions(int argc, char** argv, Options& options) {
    CommandLine line("scene-render");
    line.Text("--scene", options.scene);
    line.Text("--camera", options.camera);
    line.Text("--embedded", options.embedded);
    line.Text("--bmp", options.bmpDir);
    line.Text("--sequence", options.sequence);
    line.Text("--truth", options.truth);
    line.Text("--poses-out", options.poses);
    line.Flag("--help", options.help);
    std::string error;
    if (!line.Parse(argc, argv, error)) return ShowUsageError(error, USAGE);
    const std::string incomplete = options.help ? "" : Incomplete(options);
    return incomplete.empty() || ShowUsageError("scene-render: " + incomplete, USAGE);
}

// Every file the run will write, by its option, so that one it must not replace stops it before any
// rendering.
std::vector<NamedFile> Outputs(const Options& o, const scene::Scene& s) {
    std::vector<NamedFile> outputs;
    if (!o.embedded.empty()) outputs.push_back({"--embedded", o.embedded});
    if (!o.bmpDir.empty()) {
        for (const std::string& path : scene::SceneBmpPaths(o.bmpDir)) outputs.push_back({"--bmp", path});
    }
    if (!o.sequence.empty()) {
        for (int k = 0; k < s.frames; ++k) {
            outputs.push_back({"--sequence", scene::SequenceFramePath(o.sequence, scene::SEQUENCE_FIRST_FRAME + k)});
        }
        outputs.push_back({"--truth", o.truth});
    }
    if (!o.poses.empty()) outputs.push_back({"--poses-out", o.poses});
    return outputs;
}

// The files the run reads: the scene and the camera.
std::vector<NamedFile> Inputs(const Options& o) {
    std::vector<NamedFile> inputs = {{"--scene", o.scene}};
    if (!o.camera.empty()) inputs.push_back({"--camera", o.camera});
    return inputs;
}

int Fail(const std::string& message) {
    std::cerr << "scene-render: " << message << '\n';
    return FAILURE_STATUS;
}

// The camera of --camera, or the default camera. A calibration without a picture size is refused.
bool LoadCamera(const std::string& path, Camera& camera, std::string& error) {
    camera = DEFAULT_CAMERA;
    if (path.empty()) return true;
    CameraFile file;
    if (!ReadCameraFile(path, file, error)) return false;
    if (!file.given[KEY_WIDTH]) {
        error = path + ": a calibration without a picture size: give the camera in the own key = value format";
        return false;
    }
    camera = file.camera;
    return true;
}

int Write(const Options& o, const scene::Scene& s) {
    std::string error;
    const std::vector<NamedFile> outputs = Outputs(o, s);
    RunFiles files;
    files.inputs = Inputs(o);
    files.outputs = outputs;
    if (!CheckOutputsApart(files, error)) return Fail(error);
    for (const NamedFile& output : outputs) {
        if (!ReplaceableOutput(output.path, error)) return Fail(error);
    }
    if (!o.embedded.empty() && !scene::WriteEmbeddedSource(s, o.embedded)) return Fail("cannot write " + o.embedded);
    if (!o.bmpDir.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(o.bmpDir, ignored);
        if (!scene::WriteSceneBmps(s, o.bmpDir)) return Fail("cannot write the pictures into " + o.bmpDir);
    }
    if (!o.sequence.empty() && !scene::WriteSequence(s, o.sequence, o.truth)) {
        return Fail("cannot write the sequence " + o.sequence + " or " + o.truth);
    }
    if (!o.poses.empty() && !scene::WritePoses(s, o.poses)) return Fail("cannot write " + o.poses);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) return FAILURE_STATUS;
    if (options.help) return PrintUsage("scene-render", USAGE);
    Camera camera;
    scene::Scene scene;
    std::string error;
    if (!LoadCamera(options.camera, camera, error)) return Fail("--camera: " + error);
    if (!scene::LoadScene(options.scene, camera, scene, error)) return Fail(error);
    return Write(options, scene);
}
