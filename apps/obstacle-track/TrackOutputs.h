// Everything obstacle-track writes for a run: the JSON Lines, the MOT and KITTI tracking files,
// the overlay pictures and the video. They are checked before anything is opened (no output may be the same file as an
// input or as another output), opened once the first frame's inputs have been read, and written
// a frame at a time so that the files hold whole frames: exactly those the run counts.
#pragma once

#include <set>
#include <string>

#include "FrameOverlay.h"
#include "FrameReport.h"
#include "LineFile.h"
#include "RunState.h"
#include "TrackOptions.h"
#include "VideoFile.h"

class TrackOutputs {
public:
    explicit TrackOutputs(TrackOptions options);

    // Refuses, with a message naming both, an output (--camera-out among them) that is the same
    // file as one of the range's input files (the camera file among them) or as another output, a standard stream the run writes that is, and an overlay
    // folder the inputs lie in; a video without the encoder program on PATH. Nothing is opened or created.
    bool Check(std::string& error) const;
    // Creates or empties the files and creates the overlay folder. False with a message naming
    // the file.
    bool Open(std::string& error);
    bool IsOpen() const { return opened; }
    // Writes one frame, the detector's result with `run` its run state (the grid of record): its
    // pictures and video frame (`shown`, with the detections drawn where asked), then its MOT lines,
    // its KITTI lines, then its JSON line. When one of them cannot be written the frame's lines
    // already written are undone, and false is returned with a message naming the file; the
    // frame's pictures may remain.
    bool Write(int frame, const obstacle::FrameResult& result, OverlayFrame shown, const RunState& run,
               std::string& error);
    // Closes the files and finishes the video; false with a message when the system or the encoder
    // reports a failure.
    bool Close(std::string& error);
    // Trajectories in the frames written (the highest trajectory number: they are given from 1).
    int Trajectories() const { return trajectories; }
    // The frames written, by the road profile they used.
    const RoadProfileCounts& RoadProfiles() const { return roads; }
    // Of them, those confirmed (ESTABLISHED_COUNT updates) in some frame written.
    int ConfirmedTrajectories() const { return static_cast<int>(confirmed.size()); }

private:
    // The frame's overlay pictures and its video frame, where asked for.
    bool WritePictures(int frame, const obstacle::FrameResult& result, const Camera& camera, const OverlayFrame& view,
                       std::string& error);
    bool WriteVideoFrame(const FramePictures& pictures, const Camera& camera, std::string& error);

    const TrackOptions options;
    LineFile json;
    LineFile mot;
    LineFile kitti;
    VideoFile video;
    int trajectories = 0;
    std::set<int> confirmed;
    RoadProfileCounts roads;
    bool opened = false;
};
