#include "TrackRun.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>
#include <stdexcept>

#include "DetectorInternals.h"
#include "PublicRecords.h"

namespace {

constexpr int SECONDS_PER_MINUTE = 60;

obstacle::Frame FrameInput(const obstacle::DisparityView& disparity, const EgoMotion& ego,
                           const std::optional<double>& interval_s) {
    obstacle::Frame input{disparity, std::nullopt, interval_s};
    if (ego.known) input.egoMotion = obstacle::EgoMotion{ego.travelX_m, ego.travelZ_m, ego.yaw_rad};
    return input;
}

}  // namespace

std::string ProgressLine(int done, int total, double elapsed_s) {
    std::ostringstream line;
    line << "Frame " << std::min(done + 1, total) << " of " << total;
    if (done > 0 && elapsed_s > 0.0) {
        const double rate = done / elapsed_s;
        const long left_s = std::lround((total - done) / rate);
        line << ", " << std::fixed << std::setprecision(1) << rate << " frames/s, " << left_s / SECONDS_PER_MINUTE
             << ':' << std::setw(2) << std::setfill('0') << left_s % SECONDS_PER_MINUTE << " left";
    }
    return line.str();
}

Progress::Progress(std::ostream& out, bool terminal, int total) : out(out), terminal(terminal), total(total) {}

void Progress::Before(int frame) {
    if (!terminal) {
        out << "Frame=" << frame << std::endl;
        return;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const std::string line = ProgressLine(done++, total, elapsed.count());
    out << '\r' << line << std::string(shown > line.size() ? shown - line.size() : 0, ' ') << std::flush;
    shown = line.size();
}

void Progress::Stop() {
    if (terminal && shown > 0) out << std::endl;
    shown = 0;
}

RunOutcome RunTrack(const Camera& camera, FileFrames& source, int first, int last, Progress* progress,
                    const EgoMotionOfFrame& egoMotion, const IntervalOfFrame& interval, const TrackSink& sink) {
    RunOutcome outcome;
    try {
        obstacle::Detector detector(PublicCamera(camera));
        for (int frame = first; frame <= last; ++frame) {
            if (progress != nullptr) progress->Before(frame);
            if (!source.Load(frame, outcome.error)) return outcome;
            const EgoMotion ego = egoMotion ? egoMotion(frame) : EgoMotion{};
            const std::optional<double> interval_s = interval ? interval(frame) : std::nullopt;
            const obstacle::FrameResult result = detector.Process(FrameInput(source.Disparity(), ego, interval_s));
            OverlayFrame shown;
            shown.frame = frame;
            shown.grey = &source.Grey();
            shown.disparity = source.ColourPicture();
            shown.pathCurvature_pm = result.pathCurvature_pm.value_or(0.0);
            if (sink && !sink(frame, result, shown, obstacle::DetectorInternals::State(detector))) return outcome;
            ++outcome.frames;
        }
    } catch (const std::invalid_argument& refused) {
        outcome.error = refused.what();
        return outcome;
    }
    outcome.complete = true;
    return outcome;
}
