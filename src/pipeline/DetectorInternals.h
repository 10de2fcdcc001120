// What this repository's programs and tests read of a detector beyond its public records (the
// grid of record, the stage state the pictures are drawn from), and the public record of a frame
// made from the stage state. Not installed.
#pragma once

#include "RunState.h"
#include "TrackAssociation.h"
#include "TrajectoryNumbers.h"
#include "obstacle/Detector.h"

namespace obstacle {

struct DetectorInternals {
    // The detector's run state, as its last frame left it; valid until the next Process.
    static const RunState& State(const Detector& detector);
};

// What Detector::Process returns for the frame the run state holds.
FrameResult FrameResultOf(const RunState& run, const AssociationRecord& record, const TrajectoryNumbers& numbers);

}  // namespace obstacle
