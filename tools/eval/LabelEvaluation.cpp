#include "LabelEvaluation.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>


namespace {

bool Counted(const ObjectLabel& label, const Footprint& footprint, const Camera& camera, double range_m,
             double pathCurvature_pm) {
    return LabelVisible(label) && footprint.zNearest_m > 0.0 && footprint.zNearest_m <= range_m &&
           ReachesIntoZone(camera, footprint.xLeft_m, footprint.xRight_m, footprint.zNearest_m, pathCurvature_pm);
}

// The object as the matching sees it: its footprint, at the distance of its nearest face.
TruthRow AsTruth(const ObjectLabel& label, const Footprint& footprint) {
    return TruthRow{label.frame,       label.id,         footprint.zNearest_m, footprint.xLeft_m, footprint.xRight_m,
                    label.x_m,         label.h_m,        0.0,                  0.0,               true};
}

struct LabelTally {
    LabelScores scores;
    std::vector<double> distanceErrors;
    std::map<int, ObjectScore> objects;
    std::map<int, std::set<int>> trajectoriesOf;  // object id -> trajectories that held it
    std::map<int, int> lastTrackOf;               // object id -> trajectory of its last holding
};

void TallyFound(LabelTally& tally, const TruthRow& object, const TrackReport& track) {
    ++tally.scores.found;
    ++tally.objects[object.id].found;
    tally.distanceErrors.push_back(std::fabs(track.z_m - object.z_m) / object.z_m);
    tally.trajectoriesOf[object.id].insert(track.Identity());
    const auto last = tally.lastTrackOf.find(object.id);
    if (last != tally.lastTrackOf.end() && last->second != track.Identity()) ++tally.scores.switches;
    tally.lastTrackOf[object.id] = track.Identity();
}

void TallyFrame(LabelTally& tally, const std::vector<const ObjectLabel*>& labels, const FrameResult& frame,
                const Camera& camera, double range_m) {
    std::vector<TruthRow> objects;
    for (const ObjectLabel* label : labels) {
        const Footprint footprint = FootprintOf(*label);
        if (!Counted(*label, footprint, camera, range_m, frame.pathCurvature_pm)) continue;
        objects.push_back(AsTruth(*label, footprint));
        ObjectScore& object = tally.objects[label->id];
        object.id = label->id;
        object.type = label->type;
        ++object.counted;
    }
    std::vector<const TruthRow*> nearestFirst;
    for (const TruthRow& object : objects) nearestFirst.push_back(&object);
    std::sort(nearestFirst.begin(), nearestFirst.end(), NearerTruth);
    std::vector<const TrackReport*> confirmed;
    for (const TrackReport& track : frame.tracks) {
        if (track.Confirmed()) confirmed.push_back(&track);
    }
    std::vector<bool> taken(confirmed.size(), false);
    for (const auto& pair : MatchNearestFirst(nearestFirst, confirmed, taken, LABEL_GATE, &tally.lastTrackOf)) {
        TallyFound(tally, *nearestFirst[pair.first], *confirmed[pair.second]);
    }
    tally.scores.counted += static_cast<int>(objects.size());
}

LabelScores FinalScores(LabelTally& tally) {
    LabelScores s = tally.scores;
    int trajectories = 0;
    for (auto& [id, object] : tally.objects) {
        object.trajectories = static_cast<int>(tally.trajectoriesOf[id].size());
        trajectories += object.trajectories;
        s.objectsFound += object.found > 0 ? 1 : 0;
        s.objects.push_back(object);
    }
    s.foundShare = Ratio(s.found, s.counted);
    s.distanceErrorMedian = MaybePercentile(tally.distanceErrors, 0.5);
    s.distanceErrorP95 = MaybePercentile(tally.distanceErrors, 0.95);
    s.trajectoriesPerObject = Ratio(trajectories, s.objectsFound);
    return s;
}

}  // namespace

LabelScores EvaluateLabels(const std::vector<ObjectLabel>& labels, const std::vector<FrameResult>& results,
                           const Camera& camera, double range_m) {
    std::map<int, const FrameResult*> frames;
    for (const FrameResult& frame : results) frames[frame.frame] = &frame;
    std::map<int, std::vector<const ObjectLabel*>> labelsOf;
    for (const ObjectLabel& label : labels) {
        if (frames.count(label.frame) == 0) {
            throw EvaluationError("the labels have frame " + std::to_string(label.frame) + " but the results do not");
        }
        labelsOf[label.frame].push_back(&label);
    }
    LabelTally tally;
    tally.scores.frames = static_cast<int>(frames.size());
    for (const auto& [number, frame] : frames) TallyFrame(tally, labelsOf[number], *frame, camera, range_m);
    return FinalScores(tally);
}
