#include "FrameOverlay.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "EmbeddedPictures.h"
#include "FileFrames.h"
#include "FrameReport.h"
#include "Overlay.h"

namespace {

constexpr int TRACK_LINE_PIX = 2;    // outline width of a track's box
constexpr int LABEL_SCALE = 2;       // pixels per cell of the identifier digits
constexpr int LABEL_GAP_PIX = 2;     // space between a mark and its identifier
constexpr int TOPVIEW_BAR_PIX = 1;   // half the thickness of a track's bar in the top view
constexpr double DISTANCE_MARK_M = 10.0;  // the top view's distance marks
constexpr int MARK_TICK_PIX = 6;     // length of a distance mark from the top view's left edge
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

// Picture positions of the top view: distance upward from the bottom row, lateral position 0 at
// the middle column.
struct TopView {
    explicit TopView(const qim::Image& picture) : centre(picture.cols / 2), bottom(picture.rows - 1) {}
    int Row(double z_m) const { return PixelOf(bottom - z_m / TOPVIEW_M_PER_PIX); }
    int Column(double x_m) const { return PixelOf(centre + x_m / TOPVIEW_M_PER_PIX); }
    double Distance(int row) const { return (bottom - row) * TOPVIEW_M_PER_PIX; }

    double centre;
    double bottom;
};

// A mark at the left edge every DISTANCE_MARK_M with its distance in metres beside it, and the
// edges of the lateral detection zone from the bottom row to the top, offset at each distance
// along the car's path of curvature `curvature_pm` as the zone is (PathOffset): straight where the
// path is. Each row's piece of an edge reaches the column of the row below, so a bent edge is
// unbroken.
void DrawTopViewScale(InkLayer& layer, const TopView& view, const Camera& camera, double curvature_pm, int rows) {
    for (int k = 1; view.Row(k * DISTANCE_MARK_M) >= 0; ++k) {
        const int row = view.Row(k * DISTANCE_MARK_M);
        layer.Fill(0, row, MARK_TICK_PIX - 1, row, NEUTRAL_INK);
        layer.Number(MARK_TICK_PIX + LABEL_GAP_PIX, row - InkLayer::NumberHeight(LABEL_SCALE) / 2,
                     k * static_cast<int>(DISTANCE_MARK_M), NEUTRAL_INK, LABEL_SCALE);
    }
    for (double x_m : {camera.zoneL_m, camera.zoneR_m}) {
        int below = view.Column(x_m + PathOffset(curvature_pm, view.Distance(rows - 1)));
        for (int row = rows - 1; row >= 0; --row) {
            const int column = view.Column(x_m + PathOffset(curvature_pm, view.Distance(row)));
            layer.Fill(std::min(column, below), row, std::max(column, below), row, NEUTRAL_INK);
            below = column;
        }
    }
}

bool WritePictureOf(const std::string& path, const qim::Image& picture, PictureFormat format, std::string& error) {
    std::string problem;
    if (WritePicture(path, picture, format, problem)) return true;
    error = "--overlay: " + path + ": " + problem;
    return false;
}

}  // namespace

std::vector<std::string> OverlayPaths(const std::string& dir, int frame, PictureFormat format) {
    const std::string ending = PictureExtension(format);
    return {dir + "/" + FramePath("overlay_XXXXX" + ending, frame), dir + "/" + FramePath("topview_XXXXX" + ending, frame)};
}

void DrawFrameOverlay(const OverlayFrame& frame, qim::Image& picture) {
    const bool grey = !frame.grey.empty();
    if (grey) {
        GreyToColour(frame.grey, picture);
    } else {
        DimmedColour(frame.disparity, picture);
    }
    if (picture.empty()) return;
    const GreyWindow window = GreyPictureOf(frame.camera);
    const int du = grey ? window.offsetU : 0;
    const int dv = grey ? window.offsetV : 0;
    InkLayer layer(picture.cols, picture.rows);

    const obstacle::FrameResult& result = frame.result;
    std::vector<bool> held(result.obstacles.size(), false);
    for (const obstacle::Track& t : result.tracks) {
        if (t.obstacle >= 0) held[static_cast<size_t>(t.obstacle)] = true;
    }
    for (size_t i = 0; i < result.obstacles.size(); ++i) {
        if (held[i]) continue;
        const obstacle::Box& b = result.obstacles[i].box;
        layer.Outline(b.left + du, b.top + dv, b.right + du, b.bottom + dv, NEUTRAL_INK, 1);
    }
    for (const obstacle::Track& t : result.tracks) {
        const obstacle::Box& b = t.box;
        const uint8_t ink = IdentifierInk(t.id);
        layer.Outline(b.left + du, b.top + dv, b.right + du, b.bottom + dv, ink, TRACK_LINE_PIX);
        Label(layer, b.left + du, b.top + dv, t.id, ink);
    }
    layer.PaintOnto(picture);
}

void DrawTopView(const OverlayFrame& frame, qim::Image& picture) {
    qim::Image background;
    bmp_reader_24bpp(nullptr, background);
    GreyToColour(background, picture);
    background.release();
    if (picture.empty()) return;
    InkLayer layer(picture.cols, picture.rows);
    const TopView view(picture);
    DrawTopViewScale(layer, view, frame.camera, PathCurvature(frame.egoMotion), picture.rows);
    for (const obstacle::Track& t : frame.result.tracks) {
        const uint8_t ink = IdentifierInk(t.id);
        const int row = view.Row(t.distance_m);
        const int left = view.Column(t.lateral_m - t.width_m * 0.5);
        const int right = view.Column(t.lateral_m + t.width_m * 0.5);
        layer.Fill(left, row - TOPVIEW_BAR_PIX, right, row + TOPVIEW_BAR_PIX, ink);
        const int labelTop = row - InkLayer::NumberHeight(LABEL_SCALE) / 2;
        layer.Number(right + LABEL_GAP_PIX + 1, labelTop, t.id, ink, LABEL_SCALE);
    }
    layer.PaintOnto(picture);
}

bool WriteOverlays(const std::string& dir, int frame, const OverlayFrame& shown, PictureFormat format,
                   std::string& error) {
    const std::vector<std::string> paths = OverlayPaths(dir, frame, format);
    qim::Image picture;
    DrawFrameOverlay(shown, picture);
    bool written = WritePictureOf(paths[0], picture, format, error);
    if (written) {
        DrawTopView(shown, picture);
        written = WritePictureOf(paths[1], picture, format, error);
    }
    picture.release();
    return written;
}
