#include "RunDriver.h"

#include "GridSmoothing.h"
#include "GroupObjects.h"
#include "Imageread.h"
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
    RoadDisparityMap(run);
    RoadProfile(run);
    OccupancyGrid(run);
    GridSmoothing(run);
    GroupObjects(run);
}

void ProcessFrame(RunState& run, AssociationRecord* record, const DetectionStages& detect, const DetectionView& view) {
    ResetFrameTables(run.geometry, run.disparity, run.threshold);
    detect(run);
    if (view) view(run);
    TrackAssociation(run, record);
}

bool EmbeddedFrames::LoadDisparity(const FrameNames&, int, RunState& run, std::string& error) {
    run.disparityValuesGiven = false;
    run.disparityPicture = EmbeddedDisparityPicture();
    if (run.disparityPicture.rows > 0) return true;
    error = FILE_OPEN_ERROR_MESSAGE;
    return false;
}

bool EmbeddedFrames::LoadGrey(const FrameNames& names, int, qim::Image& img, std::string&) {
    bmp_reader_dsip_8ppp(names.iFileOriginal, img);
    return true;
}

RunOutcome RunSequence(const Camera& camera, FrameSource& source, int first, int last, std::ostream* progress,
                       const FrameSink& sink, const EgoMotionOfFrame& egoMotion) {
    RunOutcome outcome;
    RunState run(camera);
    AssociationRecord record;
    FrameNames names;
    InitialNames(names);
    bmp_reader_24bpp(names.iFile, run.src_img_topview);
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

int RunEmbeddedSequence(std::ostream& out, int first, int last) {
    EmbeddedFrames source;
    const RunOutcome outcome = RunSequence(DEFAULT_CAMERA, source, first, last, &out, nullptr);
    if (outcome.complete) return 0;
    out << outcome.error << std::endl;
    return -1;
}
