// obstacle-eval: scores the JSON Lines of obstacle-track against a sequence's ground truth: the
// truth of a rendered scene, with the run's camera where the camera decides what is judged, or the
// ego motion of a recorded street that stands still.
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
#include "ScoreReport.h"
#include "SequenceFiles.h"
#include "StreetEvaluation.h"
#include "StreetPictures.h"

namespace {

const char* const USAGE =
    "usage: obstacle-eval --truth TRUTH.csv --results RESULTS.jsonl [--camera FILE] [--json]\n"
    "       obstacle-eval --poses POSES.txt --results RESULTS.jsonl --camera FILE --disparity PATTERN\n"
    "                     [--disparity-scale S] [--fps HZ] [--json]\n"
    "  --truth FILE         ground truth of the sequence (CSV written by the scene renderer)\n"
    "  --poses FILE         ego motion of a street that stands still: KITTI's poses, one 3 x 4 matrix\n"
    "                       per line, line k for frame k\n"
    "  --results FILE       per-frame results (JSON Lines written by obstacle-track)\n"
    "  --camera FILE        the run's camera (obstacle-track --camera-out, or any file its --camera\n"
    "                       takes): with --truth its detection zone decides which obstacles count (the\n"
    "                       default camera otherwise); --poses needs the picture size --camera-out gives\n"
    "  --disparity PATTERN  with --poses: the run's disparity pictures, as obstacle-track reads them\n"
    "  --disparity-scale S  with --poses: as obstacle-track's (default 1/256 for PNG, 1 for PFM)\n"
    "  --fps HZ             with --poses: frames per second (default: the camera file's)\n"
    "  --json               print the scores as one JSON object instead of a table\n"
    "  --help               print this text\n";

struct Options {
    std::string truth;
    std::string poses;
    std::string results;
    std::string camera;
    std::string disparity;
    std::optional<double> disparityScale;
    std::optional<double> fps_hz;
    bool json = false;
    bool help = false;
};

// What the options lack or hold too much of, or "".
std::string MissingOption(const Options& o) {
    if (o.help) return "";
    if (o.results.empty()) return "--results is needed";
    if (o.truth.empty() == o.poses.empty()) return "give either --truth or --poses";
    if (!o.poses.empty() && (o.camera.empty() || o.disparity.empty())) return "--poses needs --camera and --disparity";
    if (!o.truth.empty() && (!o.disparity.empty() || o.disparityScale || o.fps_hz)) {
        return "--disparity, --disparity-scale and --fps go with --poses";
    }
    return "";
}

// Returns false, with a message on standard error, when the arguments make no sense.
bool ParseOptions(int argc, char** argv, Options& options) {
    CommandLine line("obstacle-eval");
    line.Text("--truth", options.truth);
    line.Text("--poses", options.poses);
    line.Text("--results", options.results);
    line.Text("--camera", options.camera);
    line.Text("--disparity", options.disparity);
    line.Real("--disparity-scale", options.disparityScale, true);
    line.FrameRate("--fps", options.fps_hz);
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
    if (file.kitti || !file.given[KEY_WIDTH] || !file.given[KEY_HEIGHT]) {
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

void ScoreStreet(const Options& o) {
    const Camera camera = StreetCamera(o);
    const auto poses = Read(ReadPoses, o.poses);
    const auto results = Read(ReadResultsJsonl, o.results);
    const auto roads = FitFrameRoads(camera, o.disparity, o.disparityScale, results);
    const StreetScores scores = EvaluateStreet(poses, results, roads, camera.height_pix, camera.frameInterval_s);
    o.json ? PrintStreetJson(std::cout, scores) : PrintStreetTable(std::cout, scores);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) return FAILURE_STATUS;
    if (options.help) return PrintUsage("obstacle-eval", USAGE);
    try {
        options.poses.empty() ? ScoreScene(options) : ScoreStreet(options);
    } catch (const std::exception& e) {
        std::cerr << "obstacle-eval: " << e.what() << "\n";
        return FAILURE_STATUS;
    }
    return StandardOutputStatus("obstacle-eval");
}
