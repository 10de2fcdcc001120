// obstacle-track: runs the detector and tracker on a recording (or the embedded pictures) and
// writes its findings: JSON Lines per frame, MOTChallenge tracks, overlay pictures, a video.
#include <chrono>
#include <iomanip>
#include <iostream>
#include <optional>
#include <string>

#include "CommandLine.h"
#include "FileFrames.h"
#include "ProcessSetup.h"
#include "TrackOptions.h"
#include "TrackOutputs.h"
#include "TrackRun.h"
#include "TrackSetup.h"

namespace {

const char* const STANDARD_OUTPUT_FAILURE = "standard output: cannot be written (closed or full)";

int Fail(const std::string& message) {
    std::cerr << "obstacle-track: " << message << '\n';
    return FAILURE_STATUS;
}

// --help and --version: the text on standard output, which must take it.
int Print(const std::string& text, bool outputOpen) {
    std::cout << text << std::flush;
    return outputOpen && std::cout ? 0 : Fail(STANDARD_OUTPUT_FAILURE);
}

}  // namespace

int main(int argc, char** argv) {
    const bool outputOpen = ReserveStandardStreams();
    RemoveTemporariesOnSignals();
    TrackOptions options;
    std::string error;
    if (!ParseTrackOptions(argc, argv, options, error)) {
        std::cerr << error << " (see obstacle-track --help)\n";
        return FAILURE_STATUS;
    }
    if (options.help) return Print(TRACK_USAGE, outputOpen);
    if (options.version) return Print(std::string("obstacle-track ") + PROJECT_VERSION + "\n", outputOpen);
    if (!outputOpen && (!options.quiet || options.jsonPath == "-")) return Fail(STANDARD_OUTPUT_FAILURE);
    Camera camera = DEFAULT_CAMERA;
    DecodedFrames firstFrames;  // decoded for the camera's mounting, then run
    if (!SettleTrackRun(options, camera, std::cerr, error, &firstFrames)) return Fail(error);
    IntervalOfFrame interval;
    if (!SettleFrameIntervals(options, interval, error)) return Fail(error);
    EgoMotionOfFrame egoMotion;
    if (!SettleEgoMotion(options, camera, interval, egoMotion, error)) return Fail(error);
    TrackOutputs outputs(options);
    if (!outputs.Check(error)) return Fail(error);
    if (!options.cameraOutPath.empty() && !WriteCameraOut(options.cameraOutPath, camera, error)) return Fail(error);

    // Overlays drawn without grey pictures show the disparity picture, which PNG and PFM sources
    // then colour-code as well; stereo pairs show their left picture.
    const bool colourPicture = (!options.overlayDir.empty() || !options.videoPath.empty()) && options.greyPattern.empty() &&
                               options.leftPattern.empty();
    FileFrames source = FrameSourceOf(options, camera, colourPicture);
    source.Adopt(std::move(firstFrames));
    std::ostream* progressStream = options.quiet ? nullptr : (options.jsonPath == "-" ? &std::cerr : &std::cout);
    std::optional<Progress> progress;
    if (progressStream != nullptr) {
        const bool terminal = IsTerminal(progressStream == &std::cout ? STANDARD_OUTPUT : STANDARD_ERROR);
        progress.emplace(*progressStream, terminal, options.last - options.first + 1);
    }
    const auto start = std::chrono::steady_clock::now();
    const RunOutcome outcome = RunTrack(camera, source, options.first, options.last, progress ? &*progress : nullptr,
                                        egoMotion, interval,
                                        [&](int frame, const obstacle::FrameResult& result, const OverlayFrame& shown,
                                            const RunState& run) {
                                            if (progressStream == &std::cout && !std::cout) {
                                                error = STANDARD_OUTPUT_FAILURE;
                                                return false;
                                            }
                                            if (!outputs.IsOpen() && !outputs.Open(error)) return false;
                                            return outputs.Write(frame, result, shown, run, error);
                                        });
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    if (progress) progress->Stop();
    std::string closeError;
    const bool closed = outputs.Close(closeError);
    // A run whose first frame could not be read never started: its error alone is said.
    if (outcome.frames == 0 && !outcome.error.empty()) return Fail(outcome.error);
    const RoadProfileCounts& roads = outputs.RoadProfiles();
    std::cerr << "obstacle-track: " << outcome.frames << " frames processed, " << outputs.Trajectories()
              << " trajectories (" << outputs.ConfirmedTrajectories() << " confirmed), road profile accepted in "
              << roads.Accepted() << " of " << outcome.frames << " frames (" << roads.own << " own, " << roads.reseeded
              << " re-seeded, " << roads.kept << " kept), " << std::fixed << std::setprecision(1)
              << (outcome.frames > 0 ? elapsed.count() / outcome.frames : 0.0) << " ms per frame\n";
    if (!outcome.complete) return Fail(outcome.error.empty() ? error : outcome.error);
    if (!closed) return Fail(closeError);
    return 0;
}
