// Any bytes as the colour-coded disparity picture and the grey camera picture of one to three
// frames in a row, run through the frame loop as obstacle-track runs a recording, so that the
// grid, the road rows and the tracks carry hostile state from one frame to the next. Each
// frame's findings are written as obstacle-track writes them (JSON Lines and MOT files, and the
// last frame's overlay pictures, BMP or PNG) into a scratch folder.
//
// Input: byte 0 picks the number of frames (1 to 3), in bit 2 whether there are grey pictures,
// in bit 3 PNG overlays and in bit 4 the default camera; without it the camera is the default one
// seen at a quarter of its size (140 x 90 pixels), sixteen times cheaper a frame, so that the
// fuzzer tries many more inputs and reaches the paths a camera of another size takes. Byte 1 is
// how many pixels the pictures move sideways (wrapping round) from one frame to the next. The
// remaining bytes are rows of pixels (blue, green, red), stretched over the picture's rows; bytes
// short of a whole row are repeated along a single row, which then fills every row. The grey
// picture takes the same bytes, one per pixel, stretched the same way.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <vector>

#include "DetectorInternals.h"
#include "EgoMotion.h"
#include "FileFrames.h"
#include "FrameOverlay.h"
#include "FuzzScratch.h"
#include "RunDriver.h"
#include "TrackOutputs.h"

namespace {

// Paints `cols` x `rows` pixels of `channels` bytes each (3, or 1 for grey) from the input bytes,
// every row moved `shift` bytes sideways, wrapping round.
void Paint(qim::Image& picture, int cols, int rows, int channels, const uint8_t* bytes, size_t count, size_t shift) {
    picture.create(rows, cols, SGBM_8UC3);
    if (picture.empty()) std::abort();
    const size_t rowBytes = static_cast<size_t>(cols) * static_cast<size_t>(channels);
    const size_t inputRows = count / rowBytes;
    std::vector<uint8_t> shortRow(inputRows == 0 ? rowBytes : 0);
    for (size_t x = 0; x < shortRow.size(); ++x) shortRow[x] = bytes[x % count];
    std::vector<uint8_t> moved(rowBytes);
    for (int y = 0; y < rows; ++y) {
        const uint8_t* row = inputRows == 0 ? shortRow.data()
                                            : bytes + (static_cast<size_t>(y) * inputRows / static_cast<size_t>(rows)) * rowBytes;
        const size_t start = shift % rowBytes;
        std::copy(row + start, row + rowBytes, moved.begin());
        std::copy(row, row + start, moved.begin() + static_cast<std::ptrdiff_t>(rowBytes - start));
        uchar* out = picture.ptr(y);
        if (channels == 3) {
            std::copy(moved.begin(), moved.end(), out);
            continue;
        }
        for (size_t x = 0; x < rowBytes; ++x) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = moved[x];
    }
}

// The default camera with its picture, principal point and focal length scaled by 1/4.
Camera QuarterCamera() {
    constexpr int SCALE = 4;
    Camera camera = DEFAULT_CAMERA;
    camera.f_pix /= SCALE;
    camera.bf_pix /= SCALE;
    camera.u0_pix /= SCALE;
    camera.v0_pix /= SCALE;
    camera.width_pix /= SCALE;
    camera.height_pix /= SCALE;
    return camera;
}

class FuzzFrames : public FrameSource {
public:
    FuzzFrames(const Camera& camera, const uint8_t* bytes, size_t count, size_t shiftPixels, bool grey)
        : camera_(camera), bytes_(bytes), count_(count), shift_(shiftPixels), grey_(grey) {}

    bool LoadDisparity(const FrameNames&, int frame, RunState& run, std::string&) override {
        run.disparityValuesGiven = false;
        Paint(run.src_img_colorD, camera_.width_pix, camera_.height_pix, 3, bytes_, count_,
              static_cast<size_t>(frame) * shift_ * 3);
        return true;
    }

    bool LoadGrey(const FrameNames&, int frame, qim::Image& img, std::string&) override {
        if (!grey_) {
            img.release();
            return true;
        }
        const GreyWindow window = GreyPictureOf(camera_);
        Paint(img, window.cols, window.rows, 1, bytes_, count_, static_cast<size_t>(frame) * shift_);
        return true;
    }

private:
    Camera camera_;
    const uint8_t* bytes_;
    size_t count_;
    size_t shift_;
    bool grey_;
};

// Every track holds a distinct identifier in use, and the pool holds no identifier without a track.
void CheckTracks(const RunState& run) {
    std::set<int> ids;
    for (const TrackingObject& t : run.preObject) {
        if (!run.idNum.State(t.m_id) || !ids.insert(t.m_id).second) std::abort();
    }
    for (int id = 1; id < run.idNum.Size(); ++id) {
        if (run.idNum.State(id) != (ids.count(id) == 1)) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const int frames = 1 + data[0] % 3;
    const bool grey = (data[0] & 4) != 0;
    const Camera camera = (data[0] & 16) != 0 ? DEFAULT_CAMERA : QuarterCamera();
    FuzzFrames source(camera, data + 2, size - 2, data[1], grey);
    const PictureFormat format = (data[0] & 8) != 0 ? PictureFormat::PNG : PictureFormat::BMP;
    const std::string& dir = FuzzScratch();
    TrackOptions options;
    options.jsonPath = dir + "/frames.jsonl";
    options.motPath = dir + "/tracks.txt";
    options.grid = true;
    TrackOutputs outputs(options);
    std::string error;
    if (!outputs.Check(error) || !outputs.Open(error)) std::abort();
    TrajectoryNumbers numbers;
    const RunOutcome outcome =
        RunSequence(camera, source, 1, frames, nullptr, [&](int frame, const RunState& run, const AssociationRecord& record) {
            CheckTracks(run);
            numbers.Update(run.preObject, record);
            const obstacle::FrameResult result = obstacle::FrameResultOf(run, record, numbers);
            OverlayFrame shown;
            shown.frame = frame;
            shown.grey = &run.src_img_grayR;
            shown.disparity = DisparityPictureOf(run);
            shown.pathCurvature_pm = PathCurvature(run.egoMotion);
            if (!outputs.Write(frame, result, shown, run, error)) std::abort();
            if (frame < frames) return true;
            FramePictures pictures;
            DrawFramePictures(result, camera, shown, pictures);
            const bool written = WriteOverlays(dir, frame, pictures, format, error);
            pictures.Release();
            return written;
        });
    if (!outcome.complete || outcome.frames != frames || !outputs.Close(error)) std::abort();
    return 0;
}
