#include "FrameOverlay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "EgoMotion.h"
#include "FileFrames.h"
#include "Overlay.h"

namespace {

constexpr double TEXT_LINES_PER_PICTURE = 40.0;  // a text line about this part of the picture's height
constexpr double TOPVIEW_MAX_RANGE_M = 80.0;     // the top view reaches no farther
constexpr double FARTHEST_DISPARITY_PIX = 1.0;   // the lowest whole disparity level the grid holds
constexpr double TOPVIEW_MARGIN_M = 2.0;         // beside the zone's wider side
constexpr double TOPVIEW_MIN_WIDTH = 0.6;        // columns per row at least, for the labels
constexpr int TOPVIEW_MIN_ROWS = 240;
constexpr double CAR_LENGTH_M = 4.5;             // the car's mark in the top view
constexpr double CAR_WIDTH_M = 1.8;
constexpr double DISTANCE_RULE_M = 10.0;         // the top view's distance rules
constexpr int LABEL_SHIFTS = 24;                 // places tried on each side before a label may overlap
constexpr double FAR_PIX = 1.0e6;                // beyond any picture: positions are held inside this

// A picture position from a coordinate that may be huge or not a number.
int PixelOf(double value) {
    if (!(value > -FAR_PIX)) return static_cast<int>(-FAR_PIX);
    return static_cast<int>(value < FAR_PIX ? std::floor(value) : FAR_PIX);
}

// Line widths and the backdrop's padding at a text scale.
int ThickLine(int scale) { return scale + 1; }
int Padding(int scale) { return scale; }
int DashLength(int scale) { return 3 * scale + 1; }

std::string Label(const obstacle::Track& t) {
    char distance[32];
    std::snprintf(distance, sizeof distance, "%.1f", t.distance_m);
    return "#" + std::to_string(t.trajectory) + " " + distance + " m";
}

// The rectangle of a label's text with its backdrop, top-left corner at (x, y).
PixelRect LabelRect(int x, int y, const std::string& text, int scale) {
    const int pad = Padding(scale);
    return {x, y, x + InkLayer::TextWidth(text, scale) + 2 * pad - 1, y + InkLayer::TextHeight(scale) + 2 * pad - 1};
}

PixelRect Shifted(const PixelRect& r, int dx, int dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

// The rectangle moved inside the layer where it fits.
PixelRect Inside(const PixelRect& r, const InkLayer& layer) {
    const int dx = r.right >= layer.Width() ? layer.Width() - 1 - r.right : 0;
    const int dy = r.bottom >= layer.Height() ? layer.Height() - 1 - r.bottom : 0;
    const PixelRect moved = Shifted(r, dx, dy);
    return Shifted(moved, std::max(0, -moved.left), std::max(0, -moved.top));
}

bool Free(const PixelRect& r, const std::vector<PixelRect>& placed) {
    return std::none_of(placed.begin(), placed.end(), [&](const PixelRect& p) { return Overlapping(r, p); });
}

// The first place free of the labels placed: each of the `wanted` places (in order) as it is,
// then shifted down and up by a line at a time; the first wanted place where none is free.
PixelRect PlaceLabel(const std::vector<PixelRect>& wanted, const std::vector<PixelRect>& placed, const InkLayer& layer) {
    for (const PixelRect& w : wanted) {
        const int step = w.bottom - w.top + 2;
        for (int k = 0; k <= 2 * LABEL_SHIFTS; ++k) {
            const int shift = (k + 1) / 2 * (k % 2 == 1 ? step : -step);
            const PixelRect r = Inside(Shifted(w, 0, shift), layer);
            if (Free(r, placed)) return r;
        }
    }
    return Inside(wanted.front(), layer);
}

void DrawLabel(InkLayer& layer, const PixelRect& r, const std::string& text, uint8_t ink, int scale) {
    layer.Fill(r.left, r.top, r.right, r.bottom, BACKDROP_INK);
    layer.Text(r.left + Padding(scale), r.top + Padding(scale), text, ink, scale);
}

OutlineStyle StyleOf(const obstacle::Track& t) {
    if (t.missed > 0) return OutlineStyle::Corners;
    return t.confirmed ? OutlineStyle::Solid : OutlineStyle::Dashed;
}

void OutlineTrack(InkLayer& layer, const obstacle::Box& b, int du, int dv, uint8_t ink, OutlineStyle style, int scale) {
    const int thickness = style == OutlineStyle::Dashed ? 1 : ThickLine(scale);
    layer.StyledOutline(b.left + du, b.top + dv, b.right + du, b.bottom + dv, ink, thickness, style, DashLength(scale));
}

// The frame number and, beneath it, a sample of each style with its meaning, on a backdrop in the
// top-left corner. Returns the backdrop's rectangle.
PixelRect DrawLegend(InkLayer& layer, int frameNumber, bool detections, int scale) {
    struct Entry {
        const char* meaning;
        OutlineStyle style;
        int thickness;
    };
    std::vector<Entry> entries = {{"CONFIRMED", OutlineStyle::Solid, ThickLine(scale)},
                                  {"TENTATIVE", OutlineStyle::Dashed, 1},
                                  {"COASTING", OutlineStyle::Corners, ThickLine(scale)}};
    if (detections) entries.push_back({"DETECTION", OutlineStyle::Solid, 1});
    const int line = TEXT_LINE_CELLS * scale;
    const int pad = Padding(scale);
    const int sample = 2 * line;  // a sample box's width
    const std::string title = "FRAME " + std::to_string(frameNumber);
    const int width = std::max(InkLayer::TextWidth(title, scale), sample + line / 2 + InkLayer::TextWidth("DETECTION", scale));
    const int rows = static_cast<int>(entries.size()) + 1;
    const PixelRect backdrop{0, 0, width + 2 * pad - 1, rows * (line + pad) + pad - 1};
    layer.Fill(backdrop.left, backdrop.top, backdrop.right, backdrop.bottom, BACKDROP_INK);
    layer.Text(pad, pad, title, NEUTRAL_INK, scale);
    for (size_t k = 0; k < entries.size(); ++k) {
        const int top = pad + static_cast<int>(k + 1) * (line + pad);
        const Entry& e = entries[k];
        layer.StyledOutline(pad, top, pad + sample - 1, top + line - 2, NEUTRAL_INK, e.thickness, e.style, DashLength(scale));
        layer.Text(pad + sample + line / 2, top, e.meaning, NEUTRAL_INK, scale);
    }
    return backdrop;
}

// The obstacles no track took.
std::vector<bool> Untaken(const obstacle::FrameResult& result) {
    std::vector<bool> untaken(result.obstacles.size(), true);
    for (const obstacle::Track& t : result.tracks) {
        if (t.obstacle >= 0 && static_cast<size_t>(t.obstacle) < untaken.size()) untaken[static_cast<size_t>(t.obstacle)] = false;
    }
    return untaken;
}

// The background of the overlay into `picture`; the disparity picture's offset within it.
void DrawBackground(const Camera& camera, const OverlayFrame& frame, qim::Image& picture, int& du, int& dv) {
    du = 0;
    dv = 0;
    if (frame.grey != nullptr && !frame.grey->empty()) {
        GreyToColour(*frame.grey, picture);
        const GreyWindow window = GreyPictureOf(camera);
        du = window.offsetU;
        dv = window.offsetV;
    } else {
        DimmedColour(frame.disparity, picture);
    }
}

// The zone's edges from the bottom row to the top, offset at each distance along the car's path
// of curvature `curvature_pm` as the zone is (PathOffset); below the car's front as at distance 0.
// Each row's piece of an edge reaches the column of the row below, so a bent edge is unbroken.
void DrawZoneEdges(InkLayer& layer, const TopViewScale& view, const Camera& camera, double curvature_pm) {
    for (double x_m : {camera.zoneL_m, camera.zoneR_m}) {
        int below = view.Column(x_m);
        for (int row = view.rows - 1; row >= 0; --row) {
            const int column = view.Column(x_m + PathOffset(curvature_pm, std::max(0.0, view.Distance(row))));
            layer.Fill(std::min(column, below), row, std::max(column, below), row, NEUTRAL_INK);
            below = column;
        }
    }
}

// The row of a track's bar: a track beyond the view's reach is drawn on its top edge, where its
// label gives its distance.
int BarRow(const TopViewScale& view, const obstacle::Track& t, int scale) { return std::max(view.Row(t.distance_m), scale); }

}  // namespace

bool Overlapping(const PixelRect& a, const PixelRect& b) {
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

int TextScale(int rows) {
    return std::max(1, static_cast<int>(std::lround(rows / TEXT_LINES_PER_PICTURE / TEXT_LINE_CELLS)));
}

int TopViewScale::Row(double z_m) const { return PixelOf(originRow - z_m / m_per_pix); }
int TopViewScale::Column(double x_m) const { return PixelOf(centreColumn + x_m / m_per_pix); }
double TopViewScale::Distance(int row) const { return (originRow - row) * m_per_pix; }

TopViewScale TopViewScaleOf(const Camera& camera, int rows) {
    TopViewScale view;
    view.rows = std::max(rows, TOPVIEW_MIN_ROWS);
    view.far_m = std::min(camera.bf_pix / FARTHEST_DISPARITY_PIX, TOPVIEW_MAX_RANGE_M);
    const int top = InkLayer::TextHeight(TextScale(view.rows));  // room for the farthest rule's number
    view.m_per_pix = (view.far_m + CAR_LENGTH_M) / (view.rows - 1 - top);
    view.originRow = view.rows - 1 - static_cast<int>(std::lround(CAR_LENGTH_M / view.m_per_pix));
    const double half_m = std::max(std::fabs(camera.zoneL_m), std::fabs(camera.zoneR_m)) + TOPVIEW_MARGIN_M;
    const int zoneCols = 2 * static_cast<int>(std::ceil(half_m / view.m_per_pix)) + 1;
    view.cols = std::max(zoneCols, static_cast<int>(view.rows * TOPVIEW_MIN_WIDTH));
    view.centreColumn = view.cols / 2;
    return view;
}

std::vector<PixelRect> DrawFrameOverlay(const obstacle::FrameResult& result, const Camera& camera,
                                        const OverlayFrame& frame, qim::Image& picture) {
    int du = 0;
    int dv = 0;
    DrawBackground(camera, frame, picture, du, dv);
    std::vector<PixelRect> labels;
    if (picture.empty()) return labels;
    const int scale = TextScale(picture.rows);
    InkLayer layer(picture.cols, picture.rows);
    if (frame.detections) {
        const std::vector<bool> untaken = Untaken(result);
        for (size_t i = 0; i < result.obstacles.size(); ++i) {
            if (!untaken[i]) continue;
            const obstacle::Box& b = result.obstacles[i].box;
            layer.Outline(b.left + du, b.top + dv, b.right + du, b.bottom + dv, NEUTRAL_INK, 1);
        }
    }
    for (const obstacle::Track& t : result.tracks) OutlineTrack(layer, t.box, du, dv, IdentifierInk(t.trajectory), StyleOf(t), scale);
    labels.push_back(DrawLegend(layer, frame.frame, frame.detections, scale));  // kept free of labels
    for (const obstacle::Track& t : result.tracks) {
        const std::string text = Label(t);
        const PixelRect above = LabelRect(t.box.left + du, 0, text, scale);
        const int height = above.bottom + 1;
        const PixelRect r = PlaceLabel({Shifted(above, 0, t.box.top + dv - height - 1)}, labels, layer);
        DrawLabel(layer, r, text, IdentifierInk(t.trajectory), scale);
        labels.push_back(r);
    }
    layer.PaintOnto(picture);
    labels.erase(labels.begin());
    return labels;
}

std::vector<PixelRect> DrawTopView(const obstacle::FrameResult& result, const Camera& camera, const OverlayFrame& frame,
                                   int rows, qim::Image& picture) {
    const TopViewScale view = TopViewScaleOf(camera, rows);
    picture.create(view.rows, view.cols, SGBM_8UC3);
    std::vector<PixelRect> labels;
    if (picture.empty()) return labels;
    std::memset(picture.data, 0, static_cast<size_t>(picture.rows) * picture.step[0]);
    const int scale = TextScale(view.rows);
    InkLayer layer(view.cols, view.rows);
    for (int k = 1; k * DISTANCE_RULE_M <= view.far_m + 1e-9; ++k) {
        const int row = view.Row(k * DISTANCE_RULE_M);
        layer.Fill(0, row, view.cols - 1, row, RULE_INK);
        const int number = k * static_cast<int>(DISTANCE_RULE_M);
        layer.Text(1, row - InkLayer::TextHeight(scale) / 2, std::to_string(number), NEUTRAL_INK, scale);
    }
    DrawZoneEdges(layer, view, camera, frame.pathCurvature_pm);
    const int carHalf = static_cast<int>(std::lround(CAR_WIDTH_M / 2.0 / view.m_per_pix));
    layer.Fill(view.centreColumn - carHalf, view.originRow + 1, view.centreColumn + carHalf, view.rows - 1, NEUTRAL_INK);
    std::vector<PixelRect> taken;  // the bars and the labels placed: no label covers either
    for (const obstacle::Track& t : result.tracks) {
        const int row = BarRow(view, t, scale);
        const int left = view.Column(t.lateral_m - t.width_m * 0.5);
        const int right = view.Column(t.lateral_m + t.width_m * 0.5);
        layer.Fill(left, row - scale, right, row + scale, IdentifierInk(t.trajectory));
        taken.push_back({left, row - scale, right, row + scale});
    }
    for (const obstacle::Track& t : result.tracks) {
        const std::string text = Label(t);
        const int row = BarRow(view, t, scale);
        const PixelRect at = LabelRect(0, 0, text, scale);
        const int top = row - at.bottom / 2;
        const int gap = 2 * scale;
        const PixelRect right = Shifted(at, view.Column(t.lateral_m + t.width_m * 0.5) + gap, top);
        const PixelRect left = Shifted(at, view.Column(t.lateral_m - t.width_m * 0.5) - gap - at.right, top);
        const PixelRect r = PlaceLabel({right, left}, taken, layer);
        DrawLabel(layer, r, text, IdentifierInk(t.trajectory), scale);
        labels.push_back(r);
        taken.push_back(r);
    }
    layer.PaintOnto(picture);
    return labels;
}

void FramePictures::Release() {
    overlay.release();
    topView.release();
}

void DrawFramePictures(const obstacle::FrameResult& result, const Camera& camera, const OverlayFrame& frame,
                       FramePictures& pictures) {
    DrawFrameOverlay(result, camera, frame, pictures.overlay);
    DrawTopView(result, camera, frame, pictures.overlay.rows, pictures.topView);
}

std::vector<std::string> OverlayPaths(const std::string& dir, int frame, PictureFormat format) {
    const std::string ending = PictureExtension(format);
    return {dir + "/" + FramePath("overlay_XXXXX" + ending, frame), dir + "/" + FramePath("topview_XXXXX" + ending, frame)};
}

bool WriteOverlays(const std::string& dir, int frame, const FramePictures& pictures, PictureFormat format,
                   std::string& error) {
    const std::vector<std::string> paths = OverlayPaths(dir, frame, format);
    const qim::Image* written[] = {&pictures.overlay, &pictures.topView};
    for (size_t k = 0; k < paths.size(); ++k) {
        std::string problem;
        if (!WritePicture(paths[k], *written[k], format, problem)) {
            error = "--overlay: " + paths[k] + ": " + problem;
            return false;
        }
    }
    return true;
}
