// Any bytes as obstacle-eval's inputs: up to the first zero byte the truth CSV, the object labels or
// the poses of a street, after it the results JSON Lines (without a zero byte the same bytes serve
// as both). What the readers take is scored, and the scores must hold together and print.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "Evaluation.h"
#include "LabelEvaluation.h"
#include "ObjectLabels.h"
#include "ScoreReport.h"
#include "SequenceFiles.h"
#include "StreetEvaluation.h"

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

void CheckStreetScores(const StreetScores& s) {
    const bool consistent = s.speedSamples <= s.trackSamples && s.acceptedFrames <= s.frames &&
                            s.oneFrameTrajectories <= s.trajectories && s.confirmedTrajectories <= s.trajectories &&
                            s.own.frames + s.reseeded.frames + s.kept.frames <= s.frames &&
                            s.own.frames + s.reseeded.frames <= s.acceptedFrames &&
                            Within(s.withinFivePercent, 0.0, 1.0) && Within(s.acceptedShare, 0.0, 1.0) &&
                            Within(s.distanceErrorMedian, 0.0, 1e308);
    if (!consistent) std::abort();
}

void CheckLabelScores(const LabelScores& s) {
    int counted = 0, found = 0;
    for (const ObjectScore& o : s.objects) {
        counted += o.counted;
        found += o.found;
        if (o.found > o.counted || o.trajectories > o.found || (o.found > 0) != (o.trajectories > 0)) std::abort();
    }
    const bool consistent = counted == s.counted && found == s.found && s.found <= s.counted &&
                            Within(s.foundShare, 0.0, 1.0) && Within(s.trajectoriesPerObject, 1.0, 1e308);
    if (!consistent) std::abort();
}

// The results scored against the labels, where both can be read, with the zone and range wide
// enough to count what lies ahead.
void ScoreLabels(const std::string& labelsText, const std::vector<FrameResult>& results) {
    std::istringstream in(labelsText);
    Camera camera = DEFAULT_CAMERA;
    camera.zoneL_m = -20.0;
    camera.zoneR_m = 20.0;
    try {
        const LabelScores scores = EvaluateLabels(ReadObjectLabels(in, "labels.txt"), results, camera);
        CheckLabelScores(scores);
        std::ostringstream out;
        PrintLabelTable(out, scores);
        PrintLabelJson(out, scores);
    } catch (const InputError&) {
    } catch (const EvaluationError&) {
    }
}

// The results scored against the poses, where both can be read (no road lines: no pictures here).
void ScoreStreet(const std::string& posesText, const std::vector<FrameResult>& results) {
    std::istringstream in(posesText);
    try {
        const StreetScores scores = EvaluateStreet(ReadPoses(in, "poses.txt"), results, {}, 370, 0.1);
        CheckStreetScores(scores);
        std::ostringstream out;
        PrintStreetTable(out, scores);
        PrintStreetJson(out, scores);
    } catch (const InputError&) {
    } catch (const EvaluationError&) {
    }
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
        ScoreStreet(text.substr(0, split), results);
        ScoreLabels(text.substr(0, split), results);
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
