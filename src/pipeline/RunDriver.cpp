#include "RunDriver.h"

#include "GridSmoothing.h"
#include "GroupObjects.h"
#include "OccupancyGrid.h"
#include "RoadDisparityMap.h"
#include "RoadProfile.h"
#include "TrackAssociation.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The recording's names are far shorter than a name buffer; a longer text is cut, never overrun.
void SetName(char (&buf)[NAME_SIZE], const std::string& text) {
    const size_t n = std::min(text.size(), NAME_SIZE - 1);
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
}

}  // namespace

void InitialNames(FrameNames& names) {
    const std::string name = "20141028_153309";
    SetName(names.name, name);
    SetName(names.pass, "..\\" + name + "\\");
    SetName(names.folderOriginal, "Rect\\" + name + "-L0001_XXXXX_calib.bmp");
    SetName(names.folderDisparity, "Disparity\\" + name + "-L0001_XXXXX_calib_disparity.bmp");
    SetName(names.folderTopview, "Output\\" + name + "-L0001_XXXXX_new_out.bmp");
    SetName(names.iFile, "format10.bmp");
}

void FormFrameNames(FrameNames& names, int frame) {
    SetName(names.iFileD, std::string(names.pass) + names.folderDisparity);
    SetName(names.iFileOriginal, std::string(names.pass) + names.folderOriginal);
    SetName(names.outputFileTopview, std::string(names.pass) + names.folderTopview);
    std::snprintf(names.iTmpBuf, NAME_SIZE, "%05d", frame);
    SubstituteFrameNumber(names.iFileD, NAME_SIZE, frame);
    SubstituteFrameNumber(names.iFileOriginal, NAME_SIZE, frame);
    SubstituteFrameNumber(names.outputFileTopview, NAME_SIZE, frame);
}

void DetectObstacles(RunState& run) {
    // Reads the frame's input (its picture, or the values given in measuredDisparity); writes a
    // picture's codes to disparityCodes (or limits the given values), roadClasses,
    // scratch.columnCounts and MaxY.
    RoadDisparityMap(run);
    // Reads MaxY and the profile in force (pre_ground, bGndFixFlg, refusedFrames); writes ground,
    // blind, ceiling, roadProfile and groundAccepted, raises threshold, and updates the profile in force.
    RoadProfile(run);
    // Reads disparityCodes (or the given measuredDisparity), ground, blind, ceiling, disparity and
    // threshold; removes road and overhead from them and writes newGrid (through scratch).
    OccupancyGrid(run);
    // Reads newGrid and the previous frame's grid; makes newGrid the grid of record and clears nonGridFlg.
    GridSmoothing(run);
    // Reads grid; writes the frame's detections newObject.
    GroupObjects(run);
}

void ProcessFrame(RunState& run, AssociationRecord* record, const DetectionStages& detect, const DetectionView& view) {
    ResetFrameTables(run.geometry, run.disparity, run.threshold);
    detect(run);
    if (view) view(run);
    TrackAssociation(run, record);
}

RunOutcome RunSequence(const Camera& camera, FrameSource& source, int first, int last, std::ostream* progress,
                       const FrameSink& sink, const EgoMotionOfFrame& egoMotion) {
    RunOutcome outcome;
    RunState run(camera);
    AssociationRecord record;
    FrameNames names;
    InitialNames(names);
    for (int frame = first; frame <= last; ++frame) {
        FormFrameNames(names, frame);
        if (progress != nullptr) *progress << "Frame=" << frame << std::endl;
        if (!source.LoadDisparity(names, frame, run, outcome.error)) return outcome;
        if (!source.LoadGrey(names, frame, run.src_img_grayR, outcome.error)) return outcome;
        if (egoMotion) run.egoMotion = egoMotion(frame);
        ProcessFrame(run, sink ? &record : nullptr);
        if (sink && !sink(frame, run, record)) return outcome;
        ++outcome.frames;
    }
    outcome.complete = true;
    return outcome;
}
