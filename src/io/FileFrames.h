// Frames of a recording read from files. A name pattern stands for one file per frame: a run of
// n 'X' in it is replaced by the n-digit frame number (FramePath).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
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

// Matches a rectified pair of 8-bit grey pictures of cols x rows pixels (row 0 at the top, rows
// packed) into the left picture's disparities in sixteenths of a pixel (below 0: none), as
// StereoMatcher::Match does; false with the problem.
using StereoMatch = std::function<bool(const unsigned char* left, const unsigned char* right, int cols, int rows,
                                       std::vector<int16_t>& sixteenths, std::string& problem)>;

struct FramePatterns {
    std::string disparity;                // empty: the stereo pairs, else the embedded picture
    std::string grey;                     // empty: no grey pictures
    std::optional<double> disparityScale; // PNG and PFM values times this (default 1/256 and 1)
    bool colourPicture = false;           // also give PNG and PFM disparities a colour-coded picture
};

// Stereo pairs in place of disparity pictures: 8-bit grey BMP or PNG pictures of the camera's
// size, matched by `match`, the disparities saved as 16-bit PNG in KITTI's convention
// (disparity x 256, 0 none) where `disparityOut` is given.
struct StereoPairs {
    std::string left;          // empty: no pairs
    std::string right;
    std::string disparityOut;  // empty: not saved
    StereoMatch match;
};

// Default scale of KITTI's 16-bit PNG disparities: value / 256.
constexpr double PNG_DISPARITY_SCALE = 1.0 / 256.0;
// Scale of a StereoMatch's disparities: sixteenths of a pixel.
constexpr double SIXTEENTHS_SCALE = 1.0 / 16.0;

// 16-bit disparity pictures already decoded, by frame number: those one FileFrames read, handed to
// another that reads the same frames, so that no file is decoded twice (obstacle-track's check of
// the camera's mounting on its first frames, then its run).
using DecodedFrames = std::map<int, std::vector<uint16_t>>;

// Most bytes of pictures a FileFrames keeps for another (a fraction of a second of frames of a
// camera's size; KITTI's five take 4.6 MB).
constexpr size_t DECODED_FRAMES_MAX_BYTES = size_t{64} << 20;

// Disparity pictures of the camera's size from `disparity`, told apart by their contents:
// colour-coded BMP (32 or 24 bits per pixel), whose colours the road stage decodes; 16-bit grey
// PNG, handed to the run as it is (run.fixed16Picture) at a scale that runs on codes, and grey PFM,
// whose values go straight into run.measuredDisparity (0 and values that are not finite or not
// positive: no disparity). Grey pictures of GreyPictureOf(camera) from `grey`: 8-bit
// BMP or 8-bit grey PNG. A missing file, one that is not regular, no readable picture, a picture
// of the wrong size or depth end the run with a message naming the file; size and depth are
// checked on the header, before anything is allocated.
//
// A colour-coded BMP's pixel data is one read into a buffer of the source's, which the stages
// read where it lies (3 or 4 bytes a pixel, rows bottom row first as stored); the three-channel
// picture is drawn from it only by the overlays that show it.
//
// For a Detector, Load reads a frame's pictures into the source's own buffers and Disparity hands
// them over as they were stored: a colour-coded BMP as ColourCoded, a 16-bit PNG as Fixed16 and a
// PFM as Float32 with the scale, values RunState's loading would have given the stages; without a
// pattern, the embedded picture where it lies.
class FileFrames : public FrameSource {
public:
    FileFrames(const Camera& camera, FramePatterns patterns, StereoPairs pairs = StereoPairs{});
    // The pictures Load read are the source's own (qim::Image has no destructor); it is not copied.
    ~FileFrames() override;
    FileFrames(const FileFrames&) = delete;
    FileFrames& operator=(const FileFrames&) = delete;
    bool LoadDisparity(const FrameNames& names, int frame, RunState& run, std::string& error) override;
    bool LoadGrey(const FrameNames& names, int frame, qim::Image& img, std::string& error) override;

    // Where `kept` is given, LoadDisparity adds each 16-bit PNG it reads on codes to it, up to
    // DECODED_FRAMES_MAX_BYTES in all; `kept` must outlive the loading.
    void KeepDecoded(DecodedFrames* kept) { keep = kept; }
    // Pictures that Load takes in place of reading the frame's file (each once). They must come
    // from a FileFrames of the same patterns and camera size.
    void Adopt(DecodedFrames decoded) { adopted = std::move(decoded); }

    // Reads frame `frame`'s disparity and grey pictures; false with a message naming the file.
    // What the accessors below give stays valid until the next Load.
    bool Load(int frame, std::string& error);
    // The disparity picture loaded.
    obstacle::DisparityView Disparity() const { return view; }
    // Its colour-coded picture: the BMP's or the embedded picture's pixels, or (with colourPicture)
    // the values coded as a colour source's; empty for values without colourPicture.
    PictureView ColourPicture() const { return colourView; }
    // The grey picture loaded; empty without a grey pattern.
    const qim::Image& Grey() const { return grey; }

private:
    // Why a picture whose header suits the camera still cannot be this run's disparities.
    std::string FitProblem(const PictureHeader& h, const RunState& run) const;
    // Reads the pixels: a colour-coded picture into bmpPixels, viewed by run.disparityPicture, a
    // 16-bit one into fixed16, values into run.measuredDisparity.
    std::string ReadDisparity(PictureReader& file, int frame, RunState& run);
    // PNG and PFM values times this.
    double ValueScale(const PictureHeader& h) const;
    // Load's disparity picture, and its reading of the samples.
    bool LoadSamples(int frame, std::string& error);
    std::string ReadSamples(PictureReader& file);
    // The 16-bit picture in png16 as Load's view at `scale`, colour-coded where asked.
    void ViewFixed16(int cols, int rows, double scale);
    // Where the frame was adopted, its picture into png16; false where it was not.
    bool TakeAdopted(int frame);
    bool TakeEmbedded(std::string& error);
    bool ReadGrey(int frame, qim::Image& img, std::string& error);
    // A frame's stereo pair matched into `sixteenths`, and saved where asked.
    bool MatchStereoPair(int frame, std::string& error);
    // The matched pair as the run's disparity values (LoadDisparity) or as Load's 16-bit picture.
    bool LoadPair(int frame, RunState& run, std::string& error);
    bool TakePair(int frame, std::string& error);
    // The frame's matched disparities as a 16-bit PNG at its disparityOut name.
    bool SaveDisparity(int frame, std::string& error);
    // A 16-bit picture at a scale that runs on codes, into fixed16, viewed by run.fixed16Picture
    // (and kept where asked).
    std::string ReadFixed16(PictureReader& file, int frame, double scale, RunState& run);

    const Camera camera;
    FramePatterns patterns;
    StereoPairs pairs;
    std::vector<unsigned char> scratch;
    std::vector<int16_t> sixteenths;  // a stereo pair's disparities
    std::vector<uint16_t> saved;      // their 16-bit PNG samples
    std::vector<uint16_t> fixed16;    // the frame's 16-bit picture, which run.fixed16Picture views
    std::vector<unsigned char> bmpPixels;  // a colour-coded BMP's pixel data as stored, viewed where it lies
    DecodedFrames* keep = nullptr;    // where LoadDisparity's 16-bit pictures go as well
    size_t keptBytes = 0;
    DecodedFrames adopted;
    EmbeddedFrames embedded;
    // Load's pictures.
    obstacle::DisparityView view;
    PictureView colourView;  // the colour-coded picture: bmpPixels', the embedded one, or colour
    qim::Image colour;       // values coded as colours (colourPicture)
    std::vector<uint16_t> png16;
    std::vector<float> pfm;
    qim::Image grey;
};

// The size a disparity (or left) picture's header declares; false with a message naming the file
// and `option`.
bool ReadDisparitySize(const std::string& path, int& cols, int& rows, std::string& error,
                       const std::string& option = "--disparity");
