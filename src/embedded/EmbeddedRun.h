// The default run over the pictures compiled into the program (library embedded_data): a frame
// source that hands every frame the same embedded pictures, and the run of the default program.
#pragma once

#include <ostream>
#include <string>

#include "RunDriver.h"

// Written when a frame's disparity picture has no pixels: the recording's own text, a garbled
// Japanese phrase for "file open error" (41 bytes of UTF-8).
constexpr const char* FILE_OPEN_ERROR_MESSAGE =
    "\xC6\x92\x74\xC6\x92\x40\xC6\x92\x43\xC6\x92\xE2\x80\xB9\xC6\x92\x49\xEF\xBF\xBD\x5B"
    "\xC6\x92\x76\xC6\x92\xE2\x80\x9C\xC6\x92\x47\xC6\x92\xE2\x80\xB0\xEF\xBF\xBD\x5B";

// The pictures compiled into the program, the same for every frame; the disparity picture is read
// where it lies.
class EmbeddedFrames : public FrameSource {
public:
    bool LoadDisparity(const FrameNames& names, int frame, RunState& run, std::string& error) override;
    bool LoadGrey(const FrameNames& names, int frame, qim::Image& img, std::string& error) override;
};

// Runs frames first..last over the embedded pictures, writing "Frame=N" per frame to out.
// Returns 0, or -1 when a frame's disparity picture has no pixels.
int RunEmbeddedSequence(std::ostream& out, int first = START_FRAME, int last = END_FRAME);
