// obstacle-track's frame loop: each frame's pictures read from their files, run through the
// Detector with the frame's ego motion and interval, and handed to the outputs; and the progress
// it shows meanwhile.
#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

#include "FileFrames.h"
#include "FrameOverlay.h"
#include "RunDriver.h"
#include "TrackSetup.h"

// The progress line a terminal shows while `done` of `total` frames are done after `elapsed_s`
// seconds: "Frame I of N" for the frame being run (I = done + 1, at most N) and, once a frame is
// done, the frames per second so far and the time left at that rate (M:SS).
std::string ProgressLine(int done, int total, double elapsed_s);

// A run's progress on `out`: "Frame=N" lines, one per frame before it is run; or, on a terminal,
// ProgressLine rewritten in place (a carriage return, the line, spaces over what is left of a
// longer one), ended by a line end once the run stops.
class Progress {
public:
    Progress(std::ostream& out, bool terminal, int total);
    void Before(int frame);
    void Stop();

private:
    std::ostream& out;
    const bool terminal;
    const int total;
    int done = 0;
    size_t shown = 0;  // characters of the terminal line written last
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

// Receives each frame once the Detector has run it: its result, what its pictures show beside the
// result, and the detector's run state. Returning false ends the run (the receiver keeps its
// own reason).
using TrackSink =
    std::function<bool(int frame, const obstacle::FrameResult& result, const OverlayFrame& shown, const RunState& run)>;

// Runs frames first..last of `source` through a Detector of `camera`: per frame the progress (when
// given), the pictures loaded, the Detector given them with the frame's ego motion and interval
// (where the functions give them), then `sink`. Stops at the first picture that cannot be loaded
// or that the Detector refuses (RunOutcome::error says why), or when the sink returns false.
RunOutcome RunTrack(const Camera& camera, FileFrames& source, int first, int last, Progress* progress,
                    const EgoMotionOfFrame& egoMotion, const IntervalOfFrame& interval, const TrackSink& sink);
