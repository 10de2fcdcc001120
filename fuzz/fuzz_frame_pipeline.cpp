// Any bytes as the colour-coded disparity picture of several frames in a row, so that the grid,
// the road rows and the tracks carry hostile state from one frame to the next. Each frame's
// findings are also written out as obstacle-track writes them (JSON, MOT, overlay pictures).
//
// Input: byte 0 picks the number of frames (2 to 4), byte 1 how many pixels the picture moves
// sideways (wrapping round) from one frame to the next. The remaining bytes are rows of 560 pixels
// (blue, green, red), stretched over the picture's 360 rows; bytes short of a whole row are
// repeated along a single row, which then fills every row.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <sstream>

#include "FrameOverlay.h"
#include "FrameReport.h"
#include "Imageread.h"
#include "ObjectDetection.h"
#include "RunDriver.h"

namespace {

constexpr size_t ROW_BYTES = static_cast<size_t>(TOTAL_U) * 3;

void Paint(qim::Image& picture, const uint8_t* pixels, size_t count, size_t shift) {
    const size_t inputRows = count / ROW_BYTES;
    for (int y = 0; y < TOTAL_V; ++y) {
        const size_t rowStart = inputRows == 0 ? 0 : (static_cast<size_t>(y) * inputRows / TOTAL_V) * ROW_BYTES;
        uchar* out = picture.ptr(y);
        for (size_t x = 0; x < ROW_BYTES; ++x) {
            const size_t source = (x + shift) % ROW_BYTES;
            out[x] = inputRows == 0 ? pixels[source % count] : pixels[rowStart + source];
        }
    }
}

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

void WriteFindings(int frame, const RunState& run, const AssociationRecord& record, TrajectoryNumbers& numbers) {
    std::ostringstream text;
    numbers.Update(run.preObject, record);
    WriteJsonFrame(text, frame, run, record, numbers, true);
    WriteMotFrame(text, frame + 1, run, numbers);
    qim::Image picture;
    DrawFrameOverlay(run, record, picture);
    DrawTopView(run, picture);
    picture.release();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const int frames = 2 + data[0] % 3;
    const size_t shiftBytes = static_cast<size_t>(data[1]) * 3;  // whole pixels
    const uint8_t* pixels = data + 2;
    const size_t count = size - 2;

    RunState run;
    TrajectoryNumbers numbers;
    bmp_reader_24bpp("embedded", run.src_img_topview);
    for (int frame = 0; frame < frames; ++frame) {
        run.src_img_colorD.create(TOTAL_V, TOTAL_U, SGBM_8UC3);
        if (run.src_img_colorD.empty()) std::abort();
        Paint(run.src_img_colorD, pixels, count, frame * shiftBytes);
        AssociationRecord record;
        ProcessFrame(run, &record);
        CheckTracks(run);
        WriteFindings(frame, run, record, numbers);
    }
    return 0;
}
