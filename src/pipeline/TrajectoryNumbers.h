// Trajectory numbers of a run's tracks, as tracking evaluators count trajectories.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "TrackAssociation.h"
#include "TrackingObject.h"

// Run-unique trajectory numbers. The identifier pool hands a freed identifier to the next new
// track, so over a run one identifier can name several trajectories, while tracking evaluators
// take one identifier for one trajectory. Each track started (new or split off) gets the next
// number from 1 and keeps it for as long as it lives; no number is given twice in a run.
class TrajectoryNumbers {
public:
    // Numbers a frame's tracks after association: those started in it get new numbers, the
    // others keep theirs.
    void Update(const std::vector<TrackingObject>& tracks, const AssociationRecord& record);
    // The number of the live track with identifier `id`; 0 for an identifier no live track has.
    int Of(int32_t id) const;
    // Trajectories numbered so far in the run.
    int Count() const { return count; }
    // Of them, those that have been confirmed (ESTABLISHED_COUNT updates) in a frame numbered.
    int Confirmed() const { return static_cast<int>(confirmed.size()); }

private:
    std::map<int32_t, int> byId;  // the live tracks' numbers by identifier
    std::set<int> confirmed;      // numbers of the trajectories confirmed so far
    int count = 0;
};
