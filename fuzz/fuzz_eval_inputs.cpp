// Any bytes as obstacle-eval's two inputs: up to the first zero byte the truth CSV, after it the
// results JSON Lines (without a zero byte the same bytes serve as both). What the readers take is
// scored, and the scores must hold together and print.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "Evaluation.h"
#include "ScoreReport.h"
#include "SequenceFiles.h"

namespace {

bool Within(const std::optional<double>& value, double low, double high) {
    return !value || (*value >= low && *value <= high);
}

// Counts that the rules tie together, and ratios within their ranges.
void CheckScores(const Scores& s) {
    const bool consistent = s.matches + s.misses == s.counted && s.idTruePositives <= s.counted &&
                            s.idTruePositives <= s.trackReports && s.vzSamples <= s.matches &&
                            Within(s.recall, 0.0, 1.0) && Within(s.idf1, 0.0, 1.0) && Within(s.mota, -1e18, 1.0);
    if (!consistent) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t split = text.find('\0');
    std::istringstream truthText(text.substr(0, split));
    std::istringstream resultsText(split == std::string::npos ? text : text.substr(split + 1));
    std::vector<TruthRow> truth;
    std::vector<FrameResult> results;
    try {
        truth = ReadTruthCsv(truthText, "truth.csv");
    } catch (const InputError&) {
        truth.clear();  // score the results alone
    }
    try {
        results = ReadResultsJsonl(resultsText, "results.jsonl");
        const Scores scores = Evaluate(truth, results);
        CheckScores(scores);
        std::ostringstream out;
        PrintScoreTable(out, scores);
        PrintScoreJson(out, scores);
    } catch (const InputError&) {
    } catch (const EvaluationError&) {
    }
    return 0;
}
