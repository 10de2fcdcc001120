// obstacle-eval: scores the JSON Lines of obstacle-track against a sequence's ground truth.
// Exit status 0 on success, 2 on a usage error or an input that cannot be read or trusted.
#include <fstream>
#include <iostream>
#include <string>

#include "Evaluation.h"
#include "ScoreReport.h"
#include "SequenceFiles.h"

namespace {

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
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--help") {
            options.help = true;
        } else if ((arg == "--truth" || arg == "--results") && i + 1 < argc) {
            (arg == "--truth" ? options.truth : options.results) = argv[++i];
        } else {
            const bool lacksValue = arg == "--truth" || arg == "--results";
            std::cerr << "obstacle-eval: " << (lacksValue ? "missing value for " : "unknown argument ") << arg << "\n"
                      << USAGE;
            return false;
        }
    }
    if (!options.help && (options.truth.empty() || options.results.empty())) {
        std::cerr << "obstacle-eval: both --truth and --results are needed\n" << USAGE;
        return false;
    }
    return true;
}

std::ifstream Open(const std::string& name) {
    std::ifstream in(name);
    if (!in) throw InputError(name + ": cannot open");
    return in;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) return 2;
    if (options.help) {
        std::cout << USAGE;
        return 0;
    }
    try {
        std::ifstream truthFile = Open(options.truth);
        const auto truth = ReadTruthCsv(truthFile, options.truth);
        std::ifstream resultsFile = Open(options.results);
        const auto results = ReadResultsJsonl(resultsFile, options.results);
        const Scores scores = Evaluate(truth, results);
        if (options.json) {
            PrintScoreJson(std::cout, scores);
        } else {
            PrintScoreTable(std::cout, scores);
        }
    } catch (const std::exception& e) {
        std::cerr << "obstacle-eval: " << e.what() << "\n";
        return 2;
    }
    return 0;
}
