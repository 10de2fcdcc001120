// obstacle-eval: scores the JSON Lines of obstacle-track against a sequence's ground truth.
// Exit status 0 on success, 2 on a usage error, an input that cannot be read or trusted, or
// scores that cannot be written.
#include <fstream>
#include <iostream>
#include <string>

#include "CommandLine.h"
#include "Evaluation.h"
#include "Files.h"
#include "ScoreReport.h"
#include "SequenceFiles.h"

namespace {

constexpr int FAILURE = 2;

const char* const USAGE =
    "usage: obstacle-eval --truth TRUTH.csv --results RESULTS.jsonl [--json]\n"
    "  --truth FILE    ground truth of the sequence (CSV written by the scene renderer)\n"
    "  --results FILE  per-frame results (JSON Lines written by obstacle-track)\n"
    "  --json          print the scores as one JSON object instead of a table\n"
    "  --help          print this text\n";

struct Options {
    std::string truth;
    std::string results;
    bool json = false;
    bool help = false;
};

// Returns false, with a message on standard error, when the arguments make no sense.
bool ParseOptions(int argc, char** argv, Options& options) {
    CommandLine line("obstacle-eval");
    line.Text("--truth", options.truth);
    line.Text("--results", options.results);
    line.Flag("--json", options.json);
    line.Flag("--help", options.help);
    std::string error;
    if (!line.Parse(argc, argv, error)) {
        std::cerr << error << '\n' << USAGE;
        return false;
    }
    if (!options.help && (options.truth.empty() || options.results.empty())) {
        std::cerr << "obstacle-eval: both --truth and --results are needed\n" << USAGE;
        return false;
    }
    return true;
}

template <typename Reader> auto Read(Reader read, const std::string& path) {
    std::ifstream in;
    std::string error;
    if (!OpenInputFile(path, in, error)) throw InputError(error);
    return read(in, path);
}

// Standard output may be a full disk or a closed pipe: the scores count only once written.
int Written() {
    if (std::cout.flush()) return 0;
    std::cerr << "obstacle-eval: standard output cannot be written\n";
    return FAILURE;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) return FAILURE;
    if (options.help) {
        std::cout << USAGE;
        return Written();
    }
    try {
        const auto truth = Read(ReadTruthCsv, options.truth);
        const auto results = Read(ReadResultsJsonl, options.results);
        const Scores scores = Evaluate(truth, results);
        if (options.json) {
            PrintScoreJson(std::cout, scores);
        } else {
            PrintScoreTable(std::cout, scores);
        }
    } catch (const std::exception& e) {
        std::cerr << "obstacle-eval: " << e.what() << "\n";
        return FAILURE;
    }
    return Written();
}
