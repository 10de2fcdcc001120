#include "EmbeddedRun.h"

#include "EmbeddedPictures.h"

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

int RunEmbeddedSequence(std::ostream& out, int first, int last) {
    EmbeddedFrames source;
    const RunOutcome outcome = RunSequence(DEFAULT_CAMERA, source, first, last, &out, nullptr);
    if (outcome.complete) return 0;
    out << outcome.error << std::endl;
    return -1;
}
