// obstacle-eval: scores the JSON Lines of obstacle-track against a sequence's ground truth, with
// the run's camera where the camera decides what is judged.
// Exit status 0 on success, 2 on a usage error, an input that cannot be read or trusted, or
// scores that cannot be written.
#include <fstream>
#include <iostream>
#include <string>

#include "CameraFile.h"
#include "CommandLine.h"
#include "Evaluation.h"
#include "Files.h"
#include "ScoreReport.h"
#include "SequenceFiles.h"

namespace {

const char* const USAGE =
    "usage: obstacle-eval --truth TRUTH.csv --results RESULTS.jsonl [--camera FILE] [--json]\n"
    "  --truth FILE    ground truth of the sequence (CSV written by the scene renderer)\n"
    "  --results FILE  per-frame results (JSON Lines written by obstacle-track)\n"
    "  --camera FILE   the run's camera (obstacle-track --camera-out, or any file its --camera takes):\n"
    "                  its detection zone decides which obstacles count; the default camera otherwise\n"
    "  --json          print the scores as one JSON object instead of a table\n"
    "  --help          print this text\n";

struct Options {
    std::string truth;
    std::string results;
    std::string camera;
    bool json = false;
    bool help = false;
};

// Returns false, with a message on standard error, when the arguments make no sense.
bool ParseOptions(int argc, char** argv, Options& options) {
    CommandLine line("obstacle-eval");
    line.Text("--truth", options.truth);
    line.Text("--results", options.results);
    line.Text("--camera", options.camera);
    line.Flag("--json", options.json);
    line.Flag("--help", options.help);
    std::string error;
    if (!line.Parse(argc, argv, error)) return ShowUsageError(error, USAGE);
    if (!options.help && (options.truth.empty() || options.results.empty())) {
        return ShowUsageError("obstacle-eval: both --truth and --results are needed", USAGE);
    }
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

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) return FAILURE_STATUS;
    if (options.help) return PrintUsage("obstacle-eval", USAGE);
    try {
        const Camera camera = RunCamera(options.camera);
        const auto truth = Read(ReadTruthCsv, options.truth);
        const auto results = Read(ReadResultsJsonl, options.results);
        const Scores scores = Evaluate(truth, results, camera);
        if (options.json) {
            PrintScoreJson(std::cout, scores);
        } else {
            PrintScoreTable(std::cout, scores);
        }
    } catch (const std::exception& e) {
        std::cerr << "obstacle-eval: " << e.what() << "\n";
        return FAILURE_STATUS;
    }
    return StandardOutputStatus("obstacle-eval");
}
