#include "TrajectoryNumbers.h"

#include <algorithm>

void TrajectoryNumbers::Update(const std::vector<TrackingObject>& tracks, const AssociationRecord& record) {
    std::map<int32_t, int> live;
    for (const TrackingObject& t : tracks) {
        const auto known = byId.find(t.m_id);
        const bool started = std::find(record.started.begin(), record.started.end(), t.m_id) != record.started.end();
        live[t.m_id] = started || known == byId.end() ? ++count : known->second;
        if (t.m_count >= ESTABLISHED_COUNT) confirmed.insert(live[t.m_id]);
    }
    byId.swap(live);
}

int TrajectoryNumbers::Of(int32_t id) const {
    const auto known = byId.find(id);
    return known == byId.end() ? 0 : known->second;
}
