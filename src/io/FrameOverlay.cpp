#include "FrameOverlay.h"

#include <cmath>
#include <vector>

#include "FileFrames.h"
#include "FrameReport.h"
#include "Overlay.h"

namespace {

constexpr int TRACK_LINE_PIX = 2;    // outline width of a track's box
constexpr int LABEL_SCALE = 2;       // pixels per cell of the identifier digits
constexpr int LABEL_GAP_PIX = 2;     // space between a mark and its identifier
constexpr int TOPVIEW_BAR_PIX = 1;   // half the thickness of a track's bar in the top view
constexpr double FAR_PIX = 1.0e6;    // beyond any picture: positions are held inside this

// A picture position from a coordinate that may be huge or not a number.
int PixelOf(double value) {
    if (!(value > -FAR_PIX)) return static_cast<int>(-FAR_PIX);
    return static_cast<int>(value < FAR_PIX ? std::floor(value) : FAR_PIX);
}

// Identifier above the box's top-left corner, or inside the box when there is no room above.
void Label(InkLayer& layer, int left, int top, int id, uint8_t ink) {
    const int height = InkLayer::NumberHeight(LABEL_SCALE);
    const int above = top - LABEL_GAP_PIX - height;
    layer.Number(left, above >= 0 ? above : top + TRACK_LINE_PIX + LABEL_GAP_PIX, id, ink, LABEL_SCALE);
}

}  // namespace

void DrawFrameOverlay(const RunState& run, const AssociationRecord& record, qim::Image& picture) {
    const bool grey = !run.src_img_grayR.empty();
    if (grey) {
        GreyToColour(run.src_img_grayR, picture);
    } else {
        DimmedColour(run.src_img_colorD, picture);
    }
    if (picture.empty()) return;
    const GreyWindow window = GreyPictureOf(run.camera);
    const int du = grey ? window.offsetU : 0;
    const int dv = grey ? window.offsetV : 0;
    InkLayer layer(picture.cols, picture.rows);

    std::vector<bool> held(record.detections.size(), false);
    for (const TrackingObject& t : run.preObject) {
        const int det = TakenDetection(record, t);
        if (det >= 0) held[static_cast<size_t>(det)] = true;
    }
    for (size_t i = 0; i < record.detections.size(); ++i) {
        if (held[i]) continue;
        const PictureBox b = DetectionBox(record.detections[i], run.ground);
        layer.Outline(b.left + du, b.top + dv, b.right + du, b.bottom + dv, NEUTRAL_INK, 1);
    }
    for (const TrackingObject& t : run.preObject) {
        const PictureBox b = TrackBox(t, run.ground);
        const uint8_t ink = IdentifierInk(t.m_id);
        layer.Outline(b.left + du, b.top + dv, b.right + du, b.bottom + dv, ink, TRACK_LINE_PIX);
        Label(layer, b.left + du, b.top + dv, t.m_id, ink);
    }
    layer.PaintOnto(picture);
}

void DrawTopView(const RunState& run, qim::Image& picture) {
    GreyToColour(run.src_img_topview, picture);
    if (picture.empty()) return;
    InkLayer layer(picture.cols, picture.rows);
    const double centre = picture.cols / 2;
    const double bottom = picture.rows - 1;
    for (const TrackingObject& t : run.preObject) {
        const uint8_t ink = IdentifierInk(t.m_id);
        const int row = PixelOf(bottom - t.m_Z_m / TOPVIEW_M_PER_PIX);
        const int left = PixelOf(centre + (t.m_X_m - t.m_w_m * 0.5) / TOPVIEW_M_PER_PIX);
        const int right = PixelOf(centre + (t.m_X_m + t.m_w_m * 0.5) / TOPVIEW_M_PER_PIX);
        layer.Fill(left, row - TOPVIEW_BAR_PIX, right, row + TOPVIEW_BAR_PIX, ink);
        const int labelTop = row - InkLayer::NumberHeight(LABEL_SCALE) / 2;
        layer.Number(right + LABEL_GAP_PIX + 1, labelTop, t.m_id, ink, LABEL_SCALE);
    }
    layer.PaintOnto(picture);
}

bool WriteOverlays(const std::string& dir, int frame, const RunState& run, const AssociationRecord& record,
                   std::string& error) {
    qim::Image picture;
    const std::string overlay = dir + "/" + FramePath("overlay_XXXXX.bmp", frame);
    const std::string topview = dir + "/" + FramePath("topview_XXXXX.bmp", frame);
    DrawFrameOverlay(run, record, picture);
    bool written = WriteColourBmp(overlay, picture);
    if (written) {
        DrawTopView(run, picture);
        written = WriteColourBmp(topview, picture);
        if (!written) error = "--overlay: " + topview + ": cannot be written";
    } else {
        error = "--overlay: " + overlay + ": cannot be written";
    }
    picture.release();
    return written;
}
