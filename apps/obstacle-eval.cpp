// obstacle-eval: scores the JSON Lines of obstacle-track against a sequence's ground truth: the
// truth of a rendered scene or the object labels of a recording, with the run's camera where the
// camera decides what is judged; or a recorded street by the road in its own disparities, its
// trajectories and, where its ego motion is given, its static obstacles.
// Exit status 0 on success, 2 on a usage error, an input that cannot be read or trusted, or
// scores that cannot be written.
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "CameraFile.h"
#include "CommandLine.h"
#include "Evaluation.h"
#include "Files.h"
#include "LabelEvaluation.h"
#include "ObjectLabels.h"
#include "ScoreReport.h"
#include "SequenceFiles.h"
#include "StreetEvaluation.h"
#include "StreetPictures.h"

namespace {

const char* const USAGE =
    "usage: obstacle-eval --truth TRUTH.csv --results RESULTS.jsonl [--camera FILE] [--json]\n"
    "       obstacle-eval --labels LABELS.txt --results RESULTS.jsonl [--camera FILE] [--range M] [--json]\n"
    "       obstacle-eval --disparity PATTERN --results RESULTS.jsonl --camera FILE [--poses POSES.txt]\n"
    "                     [--disparity-scale S] [--fps HZ] [--json]\n"
    "  --truth FILE         ground truth of the sequence (CSV written by the scene renderer)\n"
    "  --labels FILE        object labels of a recording in KITTI's tracking label layout, in the\n"
    "                       frame of the camera the disparity belongs to\n"
    "  --range M            with --labels: objects whose nearest face is this near count (default 50)\n"
    "  --results FILE       per-frame results (JSON Lines written by obstacle-track)\n"
    "  --camera FILE        the run's camera (obstacle-track --camera-out, or any file its --camera\n"
    "                       takes): with --truth or --labels its detection zone decides which obstacles\n"
    "                       count (the default camera otherwise); a street needs the picture size\n"
    "                       --camera-out gives\n"
    "  --disparity PATTERN  a street: the run's disparity pictures, as obstacle-track reads them\n"
    "  --poses FILE         with --disparity: ego motion of a street that stands still, KITTI's poses,\n"
    "                       one 3 x 4 matrix per line, line k for frame k\n"
    "  --disparity-scale S  with --disparity: as obstacle-track's (default 1/256 for PNG, 1 for PFM)\n"
    "  --fps HZ             with --disparity: frames per second (default: the camera file's)\n"
    "  --json               print the scores as one JSON object instead of a table\n"
    "  --help               print this text\n";

struct Options {
    std::string truth;
    std::string labels;
    std::string poses;
    std::string results;
    std::string camera;
    std::string disparity;
    std::optional<double> disparityScale;
    std::optional<double> fps_hz;
    std::optional<double> range_m;
    bool json = false;
    bool help = false;
};

// What the options lack or hold too much of, or "".
std::string MissingOption(const Options& o) {
    if (o.help) return "";
    if (o.results.empty()) return "--results is needed";
    const bool street = !o.disparity.empty() || !o.poses.empty();
    if (!o.truth.empty() + !o.labels.empty() + street != 1) {
        return "give one of --truth, --labels or --disparity (a street, with or without --poses)";
    }
    if (street && (o.camera.empty() || o.disparity.empty())) return "a street needs --camera and --disparity";
    if (!street && (o.disparityScale || o.fps_hz)) return "--disparity-scale and --fps go with --disparity";
    if (o.labels.empty() && o.range_m) return "--range goes with --labels";
    return "";
}

// Returns false, with a message on standard error, when the arguments make no sense.
bool ParseOptions(int argc, char** argv, Options& options) {
    CommandLine line("obstacle-eval");
    line.Text("--truth", options.truth);
    line.Text("--labels", options.labels);
    line.Text("--poses", options.poses);
    line.Text("--results", options.results);
    line.Text("--camera", options.camera);
    line.Text("--disparity", options.disparity);
    line.Real("--disparity-scale", options.disparityScale, true);
    line.FrameRate("--fps", options.fps_hz);
    line.Real("--range", options.range_m, true);
    line.Flag("--json", options.json);
    line.Flag("--help", options.help);
    std::string error;
    if (!line.Parse(argc, argv, error)) return ShowUsageError(error, USAGE);
    const std::string missing = MissingOption(options);
    if (!missing.empty()) return ShowUsageError("obstacle-eval: " + missing, USAGE);
    return true;
}

template <typename Reader> auto Read(Reader read, const std::string& path) {
    std::ifstream in;
    std::string error;
    if (!OpenInputFile(path, in, error)) throw InputError(error);
    return read(in, path);
}

// The run's camera: the --camera file's, or the default camera.
Camera RunCamera(const std::string& path) {
    if (path.empty()) return DEFAULT_CAMERA;
    CameraFile file;
    std::string error;
    if (!ReadCameraFile(path, file, error)) throw InputError("--camera: " + error);
    return file.camera;
}

// A street's camera: a camera file with the picture size and, unless --fps gives it, the frame interval.
Camera StreetCamera(const Options& o) {
    CameraFile file;
    std::string error;
    if (!ReadCameraFile(o.camera, file, error)) throw InputError("--camera: " + error);
    if (!file.given[KEY_WIDTH] || !file.given[KEY_HEIGHT]) {
        throw InputError(o.camera + ": the picture size is needed: give the camera file obstacle-track --camera-out wrote");
    }
    if (o.fps_hz) {
        file.camera.frameInterval_s = 1.0 / *o.fps_hz;
    } else if (!file.given[KEY_FRAME_INTERVAL]) {
        throw InputError(o.camera + ": no frame interval (frameInterval_s): give --fps");
    }
    return file.camera;
}

void ScoreScene(const Options& o) {
    const Camera camera = RunCamera(o.camera);
    const auto truth = Read(ReadTruthCsv, o.truth);
    const auto results = Read(ReadResultsJsonl, o.results);
    const Scores scores = Evaluate(truth, results, camera);
    o.json ? PrintScoreJson(std::cout, scores) : PrintScoreTable(std::cout, scores);
}

void ScoreLabels(const Options& o) {
    const Camera camera = RunCamera(o.camera);
    const auto labels = Read(ReadObjectLabels, o.labels);
    const auto results = Read(ReadResultsJsonl, o.results);
    const LabelScores scores = EvaluateLabels(labels, results, camera, o.range_m.value_or(LABEL_RANGE_M));
    o.json ? PrintLabelJson(std::cout, scores) : PrintLabelTable(std::cout, scores);
}

void ScoreStreet(const Options& o) {
    const Camera camera = StreetCamera(o);
    const auto poses = o.poses.empty() ? std::vector<Pose>() : Read(ReadPoses, o.poses);
    const auto results = Read(ReadResultsJsonl, o.results);
    const auto roads = FitFrameRoads(camera, o.disparity, o.disparityScale, results);
    const StreetScores scores = EvaluateStreet(poses, results, roads, camera.height_pix, camera.frameInterval_s,
                                               PictureColumns{camera.width_pix, camera.f_pix, camera.u0_pix});
    o.json ? PrintStreetJson(std::cout, scores) : PrintStreetTable(std::cout, scores);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) return FAILURE_STATUS;
    if (options.help) return PrintUsage("obstacle-eval", USAGE);
    try {
        if (!options.truth.empty()) {
            ScoreScene(options);
        } else if (!options.labels.empty()) {
            ScoreLabels(options);
        } else {
            ScoreStreet(options);
        }
    } catch (const std::exception& e) {
        std::cerr << "obstacle-eval: " << e.what() << "\n";
        return FAILURE_STATUS;
    }
    return StandardOutputStatus("obstacle-eval");
}
