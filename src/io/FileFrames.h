// Frames of a recording read from BMP files. A name pattern stands for one file per frame:
// "XXXXX" in it is replaced by the five-digit frame number, as in the recording's naming scheme.
#pragma once

#include <string>

#include "RunDriver.h"

// Colour-coded disparity pictures (32 or 24 bits per pixel, 560 x 360) from `disparityPattern`, or
// the embedded picture when it is empty; grey camera pictures (8 bits per pixel, 656 x 486) from
// `greyPattern`, or none when it is empty. A missing file, a file that is no readable BMP and a
// picture of the wrong size or depth end the run with a message naming the file.
class FileFrames : public FrameSource {
public:
    FileFrames(std::string disparityPattern, std::string greyPattern);
    bool LoadDisparity(const FrameNames& names, int frame, RunState& run, std::string& error) override;
    bool LoadGrey(const FrameNames& names, int frame, qim::Image& img, std::string& error) override;

private:
    std::string disparityPattern;
    std::string greyPattern;
    EmbeddedFrames embedded;
};
