// Frames of a recording read from files. A name pattern stands for one file per frame: a run of
// n 'X' in it is replaced by the n-digit frame number (FramePath).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "EmbeddedRun.h"
#include "PictureFiles.h"
#include "RunDriver.h"

// The grey picture a camera's frames come with, and where the disparity picture lies in it.
struct GreyWindow {
    int cols;
    int rows;
    int offsetU;  // column of the disparity picture's left edge in the grey picture
    int offsetV;  // row of its top edge
};

// The default rig's grey picture is its 656 x 486 camera picture, around the disparity picture at
// (DISPARITY_OFS_U, DISPARITY_OFS_V); any other camera's is the disparity picture's own size.
GreyWindow GreyPictureOf(const Camera& camera);

struct FramePatterns {
    std::string disparity;                // empty: the embedded picture
    std::string grey;                     // empty: no grey pictures
    std::optional<double> disparityScale; // PNG and PFM values times this (default 1/256 and 1)
    bool colourPicture = false;           // also give PNG and PFM disparities a colour-coded picture
};

// Default scale of KITTI's 16-bit PNG disparities: value / 256.
constexpr double PNG_DISPARITY_SCALE = 1.0 / 256.0;

// Disparity pictures of the camera's size from `disparity`, told apart by their contents:
// colour-coded BMP (32 or 24 bits per pixel), whose colours the road stage decodes; 16-bit grey
// PNG, handed to the run as it is (run.fixed16Picture) at a scale that runs on codes, and grey PFM,
// whose values go straight into run.measuredDisparity (0 and values that are not finite or not
// positive: no disparity). Grey pictures of GreyPictureOf(camera) from `grey`: 8-bit
// BMP or 8-bit grey PNG. A missing file, one that is not regular, no readable picture, a picture
// of the wrong size or depth end the run with a message naming the file; size and depth are
// checked on the header, before anything is allocated.
class FileFrames : public FrameSource {
public:
    FileFrames(const Camera& camera, FramePatterns patterns);
    bool LoadDisparity(const FrameNames& names, int frame, RunState& run, std::string& error) override;
    bool LoadGrey(const FrameNames& names, int frame, qim::Image& img, std::string& error) override;

private:
    // Why a picture whose header suits the camera still cannot be this run's disparities.
    std::string FitProblem(const PictureHeader& h, const RunState& run) const;
    // Reads the pixels: a colour-coded picture into run.src_img_colorD, a 16-bit one into fixed16,
    // values into run.measuredDisparity.
    std::string ReadDisparity(PictureReader& file, RunState& run);
    std::string ReadFixed16(PictureReader& file, double scale, RunState& run);

    const Camera camera;
    FramePatterns patterns;
    std::vector<unsigned char> scratch;
    std::vector<uint16_t> fixed16;  // the frame's 16-bit picture, which run.fixed16Picture views
    EmbeddedFrames embedded;
};

// The size a disparity file's header declares; false with a message naming the file.
bool ReadDisparitySize(const std::string& path, int& cols, int& rows, std::string& error);
