// Frames of a recording read from files. A name pattern stands for one file per frame: a run of
// n 'X' in it is replaced by the n-digit frame number (FramePath).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "EmbeddedRun.h"
#include "PictureFiles.h"
#include "RunDriver.h"
#include "obstacle/Detector.h"

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
// PNG and grey PFM, whose values go straight into run.measuredDisparity (0 and values that are not
// finite or not positive: no disparity). Grey pictures of GreyPictureOf(camera) from `grey`: 8-bit
// BMP or 8-bit grey PNG. A missing file, one that is not regular, no readable picture, a picture
// of the wrong size or depth end the run with a message naming the file; size and depth are
// checked on the header, before anything is allocated.
//
// For a Detector, Load reads a frame's pictures into the source's own buffers and Disparity hands
// them over as they were stored: a colour-coded BMP as ColourCoded, a 16-bit PNG as Fixed16 and a
// PFM as Float32 with the scale, values RunState's loading would have given the stages; without a
// pattern, the embedded picture (copied to three bytes a pixel).
class FileFrames : public FrameSource {
public:
    FileFrames(const Camera& camera, FramePatterns patterns);
    bool LoadDisparity(const FrameNames& names, int frame, RunState& run, std::string& error) override;
    bool LoadGrey(const FrameNames& names, int frame, qim::Image& img, std::string& error) override;

    // Reads frame `frame`'s disparity and grey pictures; false with a message naming the file.
    // What the accessors below give stays valid until the next Load.
    bool Load(int frame, std::string& error);
    // The disparity picture loaded.
    obstacle::DisparityView Disparity() const { return view; }
    // Its colour-coded picture: the BMP, or (with colourPicture) the values coded as a colour source's.
    PictureView ColourPicture() const { return ViewOf(colour); }
    // The grey picture loaded; empty without a grey pattern.
    const qim::Image& Grey() const { return grey; }

private:
    // Why a picture whose header suits the camera still cannot be this run's disparities.
    std::string FitProblem(const PictureHeader& h, const RunState& run) const;
    // Reads the pixels: a colour-coded picture into run.src_img_colorD, values into run.measuredDisparity.
    std::string ReadDisparity(PictureReader& file, RunState& run);
    // PNG and PFM values times this.
    double ValueScale(const PictureHeader& h) const;
    // Load's disparity picture, and its reading of the samples.
    bool LoadSamples(int frame, std::string& error);
    std::string ReadSamples(PictureReader& file);
    bool TakeEmbedded(std::string& error);
    bool ReadGrey(int frame, qim::Image& img, std::string& error);

    const Camera camera;
    FramePatterns patterns;
    std::vector<unsigned char> scratch;
    EmbeddedFrames embedded;
    // Load's pictures.
    obstacle::DisparityView view;
    qim::Image colour;
    std::vector<uint16_t> png16;
    std::vector<float> pfm;
    qim::Image grey;
};

// The size a disparity file's header declares; false with a message naming the file.
bool ReadDisparitySize(const std::string& path, int& cols, int& rows, std::string& error);
