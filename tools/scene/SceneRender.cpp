#include <cmath>

#include "ColorMap.h"
#include "Config.h"
#include "Random.h"
#include "Scene.h"

namespace scene {
namespace {

// The road model of the detector's initial road rows: camera height and tilt written as the
// negative values of that model, and their product as the decimal it uses.
constexpr double REAL_H = -1.32;
constexpr double REAL_TAN = -0.075;
constexpr double REAL_H_TAN = 0.099;
constexpr double AXIS_ROW = V0 - DISPARITY_OFS_V;  // 180, the optical axis row of the disparity picture
constexpr int AXIS_COL = U0 - DISPARITY_OFS_U;     // 232

// Holes: half of them single pixels, half in blobs of 2..5 x 2..5 pixels without their corners.
constexpr double SINGLE_HOLE_SHARE = 0.5;
constexpr double MEAN_BLOB_PIXELS = 10.0;
constexpr int MIN_BLOB = 2;
constexpr int BLOB_SIZES = 4;

// Speckles: spurious matches on far background, squares of 1 to 3 pixels with one disparity
// between 0.5 and 3 pixels (285 to 47 m), drawn from a stream of their own so that a scene
// without speckles renders as it did before they existed.
constexpr double SPECKLE_MIN_D = 0.5;
constexpr double SPECKLE_MAX_D = 3.0;
constexpr int SPECKLE_SIDES = 3;
constexpr double MEAN_SPECKLE_PIXELS = (1.0 + 4.0 + 9.0) / 3.0;
constexpr uint64_t SPECKLE_STREAM = 0xBB67AE8584CAA73Bull;

// Grey picture: shades of sky, verge, road, markings and obstacles, and the texture amplitude.
constexpr int SKY_TOP = 235;           // sky darkens by one step every three rows
constexpr int VERGE = 80;
constexpr int ROAD = 120;
constexpr int MARKING = 215;
constexpr int BOX_NEAR = 40;           // obstacles brighten with distance: BOX_NEAR + 3 per metre
constexpr int BOX_FAR = 200;
constexpr int BOX_BOTTOM_SHADE = 25;   // darker band at the bottom fifth of an obstacle
constexpr int TEXTURE = 6;
constexpr double LANE_X_M = 1.75;      // dashed lane lines: 6 m painted, 3 m gap
constexpr double DASH_M = 3.0;
constexpr double LINE_HALF_WIDTH_M = 0.07;
constexpr double EDGE_LINE_INSET_M = 0.2;  // solid lines just inside the road's edges
constexpr uint64_t TEXTURE_STREAM = 0x6A09E667F3BCC909ull;

// Top view shades.
constexpr int TOPVIEW_BACKGROUND = 24;
constexpr int TOPVIEW_LINE = 90;
constexpr int TOPVIEW_LINE_10M = 140;
constexpr int TOPVIEW_AXIS = 80;
constexpr int TOPVIEW_ZONE = 60;

// Lateral position of column u at distance z, as the detector measures it.
double LateralAt(int u, double z_m) { return (z_m / F_PIX) * (u - AXIS_COL); }

enum class Kind { Sky, Verge, Road, Box };

struct Surface {
    Kind kind;
    int box;       // index of the box for Kind::Box
    double d_pix;  // 0.0 for the sky
};

// What the camera sees at each pixel. A box hides the road behind it and a nearer box a farther
// one; the road in front of a box lies below its bottom row, so boxes always win over the road.
class View {
public:
    explicit View(const Scene& scene) : scene_(scene) {
        for (const Box& box : scene.boxes) extents_.push_back(Extent(box));
    }

    Surface At(int u, int v) const {
        Surface s{Kind::Sky, -1, 0.0};
        const double road = RoadDisparity(v);
        if (road > 0.0) {
            const double x = LateralAt(u, BF_PIX / road);
            const bool onRoad = x >= scene_.roadLeft_m && x <= scene_.roadRight_m;
            s = Surface{onRoad ? Kind::Road : Kind::Verge, -1, road};
        }
        for (size_t i = 0; i < extents_.size(); ++i) {
            const BoxExtent& e = extents_[i];
            const bool inside = u >= e.uLeft && u <= e.uRight && v >= e.vTop && v <= e.vBottom;
            if (inside && (s.kind != Kind::Box || e.d_pix > s.d_pix)) s = Surface{Kind::Box, static_cast<int>(i), e.d_pix};
        }
        return s;
    }

    const Scene& scene() const { return scene_; }
    const BoxExtent& extent(int box) const { return extents_[static_cast<size_t>(box)]; }

private:
    const Scene& scene_;
    std::vector<BoxExtent> extents_;
};

void MarkBlob(std::vector<char>& hole, int u0, int v0, Random& random) {
    const int w = MIN_BLOB + random.Below(BLOB_SIZES);
    const int h = MIN_BLOB + random.Below(BLOB_SIZES);
    for (int v = v0; v < v0 + h && v < TOTAL_V; ++v) {
        for (int u = u0; u < u0 + w && u < TOTAL_U; ++u) {
            const bool corner = (u == u0 || u == u0 + w - 1) && (v == v0 || v == v0 + h - 1);
            if (!corner || w == MIN_BLOB || h == MIN_BLOB) hole[static_cast<size_t>(PIXEL(u, v))] = 1;
        }
    }
}

std::vector<char> Holes(double fraction, Random& random) {
    std::vector<char> hole(TOTAL_PIXELS, 0);
    const double single = fraction * SINGLE_HOLE_SHARE;
    const double blobStart = single + fraction * (1.0 - SINGLE_HOLE_SHARE) / MEAN_BLOB_PIXELS;
    for (int v = 0; v < TOTAL_V; ++v) {
        for (int u = 0; u < TOTAL_U; ++u) {
            const double r = random.Uniform();
            if (r < single) {
                hole[static_cast<size_t>(PIXEL(u, v))] = 1;
            } else if (r < blobStart) {
                MarkBlob(hole, u, v, random);
            }
        }
    }
    return hole;
}

void AddSpeckles(std::vector<double>& disparity, double fraction, Random& random) {
    const double start = fraction / MEAN_SPECKLE_PIXELS;
    for (int v = 0; v < TOTAL_V; ++v) {
        for (int u = 0; u < TOTAL_U; ++u) {
            if (random.Uniform() >= start) continue;
            const int side = 1 + random.Below(SPECKLE_SIDES);
            const double d = SPECKLE_MIN_D + (SPECKLE_MAX_D - SPECKLE_MIN_D) * random.Uniform();
            for (int sv = v; sv < v + side && sv < TOTAL_V; ++sv) {
                for (int su = u; su < u + side && su < TOTAL_U; ++su) disparity[static_cast<size_t>(PIXEL(su, sv))] = d;
            }
        }
    }
}

bool OnLine(double x_m, double lineX_m) {
    return x_m >= lineX_m - LINE_HALF_WIDTH_M && x_m <= lineX_m + LINE_HALF_WIDTH_M;
}

int RoadShade(const Scene& scene, int u, double d_pix) {
    const double z = BF_PIX / d_pix;
    const double x = LateralAt(u, z);
    const bool dash = static_cast<int>(z / DASH_M) % 3 != 2;
    const bool lane = dash && (OnLine(x, -LANE_X_M) || OnLine(x, LANE_X_M));
    const bool edge = OnLine(x, scene.roadLeft_m + EDGE_LINE_INSET_M) || OnLine(x, scene.roadRight_m - EDGE_LINE_INSET_M);
    return (lane || edge) ? MARKING : ROAD;
}

int BoxShade(const BoxExtent& e, int v) {
    const int shade = BOX_NEAR + static_cast<int>(3.0 * (BF_PIX / e.d_pix));
    const int base = shade > BOX_FAR ? BOX_FAR : shade;
    const bool bottomBand = 5 * (e.vBottom - v) < e.vBottom - e.vTop;
    return bottomBand ? base - BOX_BOTTOM_SHADE : base;
}

// Shade of camera pixel (uc, vc) before texture.
int Shade(const View& view, int uc, int vc) {
    const int u = uc - DISPARITY_OFS_U;
    const int v = vc - DISPARITY_OFS_V;
    const Surface s = view.At(u, v);
    switch (s.kind) {
        case Kind::Sky: return SKY_TOP - vc / 3;
        case Kind::Verge: return VERGE;
        case Kind::Road: return RoadShade(view.scene(), u, s.d_pix);
        case Kind::Box: break;
    }
    return BoxShade(view.extent(s.box), v);
}

unsigned char Clamp(int value) { return static_cast<unsigned char>(value < 0 ? 0 : (value > 255 ? 255 : value)); }

}  // namespace

double RoadRowReal(double d_pix) {
    const double tmp_z = BF_PIX / d_pix;
    const double n = (REAL_H - tmp_z * REAL_TAN) * F_PIX;
    const double m = tmp_z - REAL_H_TAN;
    return AXIS_ROW - n / m;
}

int RoadRow(double d_pix) {
    const int row = static_cast<int>(RoadRowReal(d_pix));
    return row > TOTAL_V ? TOTAL_V : row;
}

double HorizonRow() { return AXIS_ROW + REAL_TAN * F_PIX; }

double RoadDisparity(int v) {
    // The road row formula solved for the distance, at the row's centre.
    const double t = (v + 0.5) - AXIS_ROW;
    const double denominator = t - REAL_TAN * F_PIX;
    if (denominator <= 0.0) return 0.0;
    const double z = (-REAL_H * F_PIX + REAL_H_TAN * t) / denominator;
    return BF_PIX / z;
}

BoxExtent Extent(const Box& box) {
    BoxExtent e;
    e.d_pix = BF_PIX / box.z_m;
    const double pixPerMetre = F_PIX / box.z_m;
    e.uLeft = static_cast<int>(std::ceil(AXIS_COL + box.left_m * pixPerMetre));
    e.uRight = static_cast<int>(std::floor(AXIS_COL + box.right_m * pixPerMetre));
    e.vBottom = static_cast<int>(RoadRowReal(e.d_pix));  // not capped: near boxes reach below the picture
    e.vTop = e.vBottom - static_cast<int>(box.height_m * e.d_pix / B_MM + 0.5);
    return e;
}

std::vector<double> RenderExactDisparity(const Scene& scene) {
    const View view(scene);
    std::vector<double> disparity(TOTAL_PIXELS, 0.0);
    for (int v = 0; v < TOTAL_V; ++v) {
        for (int u = 0; u < TOTAL_U; ++u) {
            const Surface s = view.At(u, v);
            if (s.kind == Kind::Road || s.kind == Kind::Box) disparity[static_cast<size_t>(PIXEL(u, v))] = s.d_pix;
        }
    }
    return disparity;
}

std::vector<double> RenderDisparity(const Scene& scene) {
    std::vector<double> disparity = RenderExactDisparity(scene);
    Random random(scene.seed);
    const std::vector<char> hole = Holes(scene.holes, random);
    for (size_t i = 0; i < disparity.size(); ++i) {
        double& d = disparity[i];
        if (hole[i] || d == 0.0) {
            d = 0.0;
            continue;
        }
        d += scene.noise_pix * random.Normal();
        if (d < 0.0) d = 0.0;  // a match that noise pushes below zero is no match
    }
    Random speckles(scene.seed ^ SPECKLE_STREAM);
    AddSpeckles(disparity, scene.speckles, speckles);
    return disparity;
}

double VisibleShare(const Scene& scene, size_t index) {
    const View view(scene);
    const int box = static_cast<int>(index);
    const BoxExtent& e = view.extent(box);
    if (e.uRight < e.uLeft) return 0.0;
    const double face = static_cast<double>(e.uRight - e.uLeft + 1) * static_cast<double>(e.vBottom - e.vTop + 1);
    int seen = 0;
    for (int v = e.vTop < 0 ? 0 : e.vTop; v <= e.vBottom && v < TOTAL_V; ++v) {
        for (int u = e.uLeft < 0 ? 0 : e.uLeft; u <= e.uRight && u < TOTAL_U; ++u) {
            const Surface s = view.At(u, v);
            if (s.kind == Kind::Box && s.box == box) ++seen;
        }
    }
    return seen / face;
}

std::vector<unsigned char> EncodeDisparity(const std::vector<double>& disparity) {
    std::vector<unsigned char> bytes(DISPARITY_BYTES, 0);
    for (int v = 0; v < TOTAL_V; ++v) {
        for (int u = 0; u < TOTAL_U; ++u) {
            ColorSet c{0, 0, 0};
            SetColorMap(&c, disparity[static_cast<size_t>(PIXEL(u, v))]);
            unsigned char* p = &bytes[4 * static_cast<size_t>(PIXEL(u, TOTAL_V - 1 - v))];
            p[0] = static_cast<unsigned char>(c.blue);
            p[1] = static_cast<unsigned char>(c.green);
            p[2] = static_cast<unsigned char>(c.red);
        }
    }
    return bytes;
}

std::vector<unsigned char> RenderGrey(const Scene& scene) {
    const View view(scene);
    Random texture(scene.seed ^ TEXTURE_STREAM);
    std::vector<unsigned char> grey(GREY_BYTES, 0);
    for (int vc = 0; vc < GREY_V; ++vc) {
        for (int uc = 0; uc < GREY_U; ++uc) {
            const int shade = Shade(view, uc, vc) + texture.Below(2 * TEXTURE + 1) - TEXTURE;
            grey[static_cast<size_t>((GREY_V - 1 - vc) * GREY_U + uc)] = Clamp(shade);
        }
    }
    return grey;
}

std::vector<unsigned char> RenderTopView() {
    const int gridRows = static_cast<int>(TOPVIEW_GRID_M / TOPVIEW_M_PER_PIX + 0.5);
    const int zoneLeft = TOPVIEW_CENTRE_U + static_cast<int>(DETECTABLE_AREA_L_M / TOPVIEW_M_PER_PIX - 0.5);
    const int zoneRight = TOPVIEW_CENTRE_U + static_cast<int>(DETECTABLE_AREA_R_M / TOPVIEW_M_PER_PIX + 0.5);
    std::vector<unsigned char> top(TOPVIEW_BYTES);
    for (int row = 0; row < TOPVIEW_V; ++row) {  // row 0 is the bottom, at distance 0
        for (int u = 0; u < TOPVIEW_U; ++u) {
            int shade = TOPVIEW_BACKGROUND;
            if (u == TOPVIEW_CENTRE_U) shade = TOPVIEW_AXIS;
            if (u == zoneLeft || u == zoneRight) shade = TOPVIEW_ZONE;
            if (row % gridRows == 0) shade = (row % (2 * gridRows) == 0) ? TOPVIEW_LINE_10M : TOPVIEW_LINE;
            top[static_cast<size_t>(row * TOPVIEW_U + u)] = static_cast<unsigned char>(shade);
        }
    }
    return top;
}

}  // namespace scene
