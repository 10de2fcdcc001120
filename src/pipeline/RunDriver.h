// The frame loop: names of each frame's files, the progress line, the frame sources and the
// stages in their fixed order.
#pragma once

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>

#include "FrameNumbering.h"
#include "RunState.h"
#include "TrackAssociation.h"

constexpr size_t NAME_SIZE = 256;  // every name buffer, terminating zero included

// Names of the recording's files; "XXXXX" in a template stands for the five-digit frame number.
struct FrameNames {
    char name[NAME_SIZE];             // the sequence name
    char pass[NAME_SIZE];             // the sequence folder
    char folderOriginal[NAME_SIZE];   // template of a frame's rectified grey picture
    char folderDisparity[NAME_SIZE];  // template of a frame's colour-coded disparity picture
    char folderTopview[NAME_SIZE];    // template of a frame's output picture
    char iFile[NAME_SIZE];            // the top-view background
    char iTmpBuf[NAME_SIZE];          // the frame number, five digits
    char iFileD[NAME_SIZE];           // this frame's disparity picture
    char iFileOriginal[NAME_SIZE];    // this frame's grey picture
    char outputFileTopview[NAME_SIZE];// this frame's output picture
};

void InitialNames(FrameNames& names);
void FormFrameNames(FrameNames& names, int frame);

// The stages from the frame's disparity picture to its detections run.newObject, in their order;
// RunDriver.cpp says what each reads and writes.
void DetectObstacles(RunState& run);

// A set of detection stages: DetectObstacles, or another with the same results (the tests run the
// straightforward forms of the stages through the same frame).
using DetectionStages = std::function<void(RunState&)>;

// Looks at the run between detection and association, as the detection stages left it.
using DetectionView = std::function<void(const RunState&)>;

// One frame on the disparities the frame source has put into the run: the per-frame reset of the
// tables, the detection stages, `view` (when given), then track association, whose doings `record`
// (when given) receives.
void ProcessFrame(RunState& run, AssociationRecord* record = nullptr, const DetectionStages& detect = DetectObstacles,
                  const DetectionView& view = nullptr);

// Where a run's pictures come from. A loader fills what it loads and returns true, or returns false
// with the reason in `error`, which ends the run. LoadDisparity puts a colour-coded picture into
// run.src_img_colorD (or hands over its own pixels in run.disparityPicture, which it otherwise
// leaves empty), or disparity values into run.measuredDisparity with run.disparityValuesGiven set.
// LoadGrey fills `img`; a source without grey pictures leaves it empty.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual bool LoadDisparity(const FrameNames& names, int frame, RunState& run, std::string& error) = 0;
    virtual bool LoadGrey(const FrameNames& names, int frame, qim::Image& img, std::string& error) = 0;
};

// Receives each frame once its tracks are up to date: the run state and what association did.
// Returning false ends the run (the receiver keeps its own reason).
using FrameSink = std::function<bool(int frame, const RunState& run, const AssociationRecord& record)>;

struct RunOutcome {
    int frames = 0;         // frames completed (sink included)
    bool complete = false;  // every frame of the range completed
    std::string error;      // why a picture could not be loaded; empty when the sink ended the run
};

// The car's own motion into a frame, by frame number.
using EgoMotionOfFrame = std::function<EgoMotion(int frame)>;

// Runs frames first..last through `camera`: per frame the names are formed, "Frame=N" written to
// `progress` (when given), the disparity and grey pictures loaded, the frame's ego motion taken
// from `egoMotion` (when given; else it is not known), the frame processed, and `sink` (when
// given) called. Stops at the first picture that cannot be loaded or when the sink returns false.
RunOutcome RunSequence(const Camera& camera, FrameSource& source, int first, int last, std::ostream* progress,
                       const FrameSink& sink, const EgoMotionOfFrame& egoMotion = nullptr);
