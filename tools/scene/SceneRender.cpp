#include <cmath>

#include "ColorMap.h"
#include "Config.h"
#include "Geometry.h"
#include "Random.h"
#include "Scene.h"
#include "StageGeometry.h"

namespace scene {
namespace {

// Holes: half of them single pixels, half in blobs of 2..5 x 2..5 pixels without their corners.
constexpr double SINGLE_HOLE_SHARE = 0.5;
constexpr double MEAN_BLOB_PIXELS = 10.0;
constexpr int MIN_BLOB = 2;
constexpr int BLOB_SIZES = 4;

// Speckles: spurious matches on far background, squares of 1 to 3 pixels with one disparity
// between 0.5 and 3 pixels (285 to 47 m through the default camera), drawn from a stream of their
// own so that the holes and the noise do not depend on them.
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

// Frame intervals this close to 1/n s are 1/n s.
constexpr double WHOLE_RATE_TOLERANCE = 5e-4;

enum class Kind { Sky, Verge, Road, Box };

// A piece of the road from start_m on, between two grade changes: its rise above the flat road is
// lift_m + grade x z.
struct RoadPiece {
    double start_m;
    double lift_m;
    double grade;
};

std::vector<RoadPiece> RoadPieces(const Scene& scene) {
    std::vector<RoadPiece> pieces{RoadPiece{0.0, 0.0, 0.0}};
    for (const GradeChange& change : scene.grades) {
        const RoadPiece& before = pieces.back();  // the rise is continuous at the change
        pieces.push_back(RoadPiece{change.z_m, before.lift_m + (before.grade - change.grade) * change.z_m, change.grade});
    }
    return pieces;
}

// Distance at which the ray through fractional row v meets the plane of `piece`, or 0.0 where it
// meets it behind the camera or not at all: the road formula (FlatRoadRow) with the camera's height
// less the rise, h - lift - grade z, solved for z.
double PieceDistance(const Camera& camera, const RoadPiece& piece, double v) {
    const double t = v - camera.v0_pix;
    const double h = camera.camHeight_m - piece.lift_m;
    const double denominator = t - -camera.tanPitch * camera.f_pix + piece.grade * (camera.f_pix + camera.tanPitch * t);
    if (denominator == 0.0) return 0.0;
    const double z = (h * camera.f_pix + h * camera.tanPitch * t) / denominator;
    return z > 0.0 ? z : 0.0;
}

// The disparity of the nearest piece that the ray through row v's centre meets within its span.
double RoadDisparityOn(const Camera& camera, const std::vector<RoadPiece>& pieces, int v) {
    if (pieces.size() == 1) return RoadDisparity(camera, v);  // the flat road
    for (size_t i = 0; i < pieces.size(); ++i) {
        const double z = PieceDistance(camera, pieces[i], v + 0.5);
        const bool within = z > pieces[i].start_m && (i + 1 == pieces.size() || z <= pieces[i + 1].start_m);
        if (within) return camera.bf_pix / z;
    }
    return 0.0;
}

struct Surface {
    Kind kind;
    int box;       // index of the box for Kind::Box
    double d_pix;  // 0.0 for the sky
};

// What the camera sees at each pixel. A box hides the road behind it and a nearer box a farther
// one. The road in front of a box lies below its bottom row, except a crest, which hides what
// stands beyond it.
class View {
public:
    explicit View(const Scene& scene) : scene_(scene), pieces_(RoadPieces(scene)) {
        for (const Box& box : scene.boxes) extents_.push_back(Extent(scene, box));
    }

    Surface At(int u, int v) const {
        const Camera& camera = scene_.camera;
        Surface s{Kind::Sky, -1, 0.0};
        const double road = RoadDisparityOn(camera, pieces_, v);
        if (road > 0.0) {
            const double x = Img2RealX(camera, u, camera.bf_pix / road);
            const bool onRoad = x >= scene_.roadLeft_m && x <= scene_.roadRight_m;
            s = Surface{onRoad ? Kind::Road : Kind::Verge, -1, road};
        }
        for (size_t i = 0; i < extents_.size(); ++i) {
            const BoxExtent& e = extents_[i];
            const bool inside = u >= e.uLeft && u <= e.uRight && v >= e.vTop && v <= e.vBottom;
            const bool behindCrest = v < e.vBottom && road > e.d_pix;
            if (inside && !behindCrest && (s.kind != Kind::Box || e.d_pix > s.d_pix)) {
                s = Surface{Kind::Box, static_cast<int>(i), e.d_pix};
            }
        }
        return s;
    }

    const Scene& scene() const { return scene_; }
    const BoxExtent& extent(int box) const { return extents_[static_cast<size_t>(box)]; }

private:
    const Scene& scene_;
    const std::vector<RoadPiece> pieces_;
    std::vector<BoxExtent> extents_;
};

// Index of pixel (u, v) of the camera's disparity picture.
size_t At(const Camera& camera, int u, int v) { return static_cast<size_t>(PIXEL(u, v, camera.width_pix)); }

void MarkBlob(const Camera& camera, std::vector<char>& hole, int u0, int v0, Random& random) {
    const int w = MIN_BLOB + random.Below(BLOB_SIZES);
    const int h = MIN_BLOB + random.Below(BLOB_SIZES);
    for (int v = v0; v < v0 + h && v < camera.height_pix; ++v) {
        for (int u = u0; u < u0 + w && u < camera.width_pix; ++u) {
            const bool corner = (u == u0 || u == u0 + w - 1) && (v == v0 || v == v0 + h - 1);
            if (!corner || w == MIN_BLOB || h == MIN_BLOB) hole[At(camera, u, v)] = 1;
        }
    }
}

std::vector<char> Holes(const Camera& camera, double fraction, Random& random) {
    std::vector<char> hole(static_cast<size_t>(camera.width_pix) * camera.height_pix, 0);
    const double single = fraction * SINGLE_HOLE_SHARE;
    const double blobStart = single + fraction * (1.0 - SINGLE_HOLE_SHARE) / MEAN_BLOB_PIXELS;
    for (int v = 0; v < camera.height_pix; ++v) {
        for (int u = 0; u < camera.width_pix; ++u) {
            const double r = random.Uniform();
            if (r < single) {
                hole[At(camera, u, v)] = 1;
            } else if (r < blobStart) {
                MarkBlob(camera, hole, u, v, random);
            }
        }
    }
    return hole;
}

void AddSpeckles(const Camera& camera, std::vector<double>& disparity, double fraction, Random& random) {
    const double start = fraction / MEAN_SPECKLE_PIXELS;
    for (int v = 0; v < camera.height_pix; ++v) {
        for (int u = 0; u < camera.width_pix; ++u) {
            if (random.Uniform() >= start) continue;
            const int side = 1 + random.Below(SPECKLE_SIDES);
            const double d = SPECKLE_MIN_D + (SPECKLE_MAX_D - SPECKLE_MIN_D) * random.Uniform();
            for (int sv = v; sv < v + side && sv < camera.height_pix; ++sv) {
                for (int su = u; su < u + side && su < camera.width_pix; ++su) disparity[At(camera, su, sv)] = d;
            }
        }
    }
}

bool OnLine(double x_m, double lineX_m) {
    return x_m >= lineX_m - LINE_HALF_WIDTH_M && x_m <= lineX_m + LINE_HALF_WIDTH_M;
}

int RoadShade(const Scene& scene, int u, double d_pix) {
    const double z = scene.camera.bf_pix / d_pix;
    const double x = Img2RealX(scene.camera, u, z);
    const bool dash = static_cast<int>(z / DASH_M) % 3 != 2;
    const bool lane = dash && (OnLine(x, -LANE_X_M) || OnLine(x, LANE_X_M));
    const bool edge = OnLine(x, scene.roadLeft_m + EDGE_LINE_INSET_M) || OnLine(x, scene.roadRight_m - EDGE_LINE_INSET_M);
    return (lane || edge) ? MARKING : ROAD;
}

int BoxShade(const Camera& camera, const BoxExtent& e, int v) {
    const int shade = BOX_NEAR + static_cast<int>(3.0 * (camera.bf_pix / e.d_pix));
    const int base = shade > BOX_FAR ? BOX_FAR : shade;
    const bool bottomBand = 5 * (e.vBottom - v) < e.vBottom - e.vTop;
    return bottomBand ? base - BOX_BOTTOM_SHADE : base;
}

// Shade of grey pixel (uc, vc) before texture.
int Shade(const View& view, const GreyFrame& frame, int uc, int vc) {
    const int u = uc - frame.offsetU;
    const int v = vc - frame.offsetV;
    const Surface s = view.At(u, v);
    switch (s.kind) {
        case Kind::Sky: return SKY_TOP - vc / 3;
        case Kind::Verge: return VERGE;
        case Kind::Road: return RoadShade(view.scene(), u, s.d_pix);
        case Kind::Box: break;
    }
    return BoxShade(view.scene().camera, view.extent(s.box), v);
}

unsigned char Clamp(int value) { return static_cast<unsigned char>(value < 0 ? 0 : (value > 255 ? 255 : value)); }

// A picture coordinate truncated toward zero, held within +-DERIVED_MAX_PIX (a coordinate that is
// not a number counts as far above or left): an edge farther out, as a box nearly in the camera's
// plane or a zone of many kilometres gives, covers the same pixels from there.
int PictureCoordinate(double value) {
    if (!(value > -DERIVED_MAX_PIX)) return static_cast<int>(-DERIVED_MAX_PIX);
    return static_cast<int>(value < DERIVED_MAX_PIX ? value : DERIVED_MAX_PIX);
}

}  // namespace

// At the row's centre.
double RoadDisparity(const Camera& camera, int v) {
    const double z = FlatRoadDistance(camera, v + 0.5);
    return z > 0.0 ? camera.bf_pix / z : 0.0;
}

double RoadDisparity(const Scene& scene, int v) { return RoadDisparityOn(scene.camera, RoadPieces(scene), v); }

double RoadRise(const Scene& scene, double z_m) {
    const std::vector<RoadPiece> pieces = RoadPieces(scene);
    size_t i = pieces.size() - 1;
    while (i > 0 && pieces[i].start_m >= z_m) --i;
    return pieces[i].lift_m + pieces[i].grade * z_m;
}

// The box's road row is that of the flat road of a camera raised less by the rise at its distance.
BoxExtent Extent(const Scene& scene, const Box& box) {
    Camera lifted = scene.camera;
    lifted.camHeight_m -= RoadRise(scene, box.z_m);
    return Extent(lifted, box);
}

BoxExtent Extent(const Camera& camera, const Box& box) {
    BoxExtent e;
    e.d_pix = camera.bf_pix / box.z_m;
    const double pixPerMetre = camera.f_pix / box.z_m;
    e.uLeft = PictureCoordinate(std::ceil(camera.u0_pix + box.left_m * pixPerMetre));
    e.uRight = PictureCoordinate(std::floor(camera.u0_pix + box.right_m * pixPerMetre));
    // Not capped at the picture: near boxes reach below it.
    e.vBottom = PictureCoordinate(FlatRoadRow(camera, e.d_pix));
    e.vTop = PictureCoordinate(e.vBottom - std::trunc(box.height_m * e.d_pix / camera.baseline_m + 0.5));
    return e;
}

std::vector<double> RenderExactDisparity(const Scene& scene) {
    const Camera& camera = scene.camera;
    const View view(scene);
    std::vector<double> disparity(static_cast<size_t>(camera.width_pix) * camera.height_pix, 0.0);
    for (int v = 0; v < camera.height_pix; ++v) {
        for (int u = 0; u < camera.width_pix; ++u) {
            const Surface s = view.At(u, v);
            if (s.kind == Kind::Road || s.kind == Kind::Box) disparity[At(camera, u, v)] = s.d_pix;
        }
    }
    return disparity;
}

std::vector<double> RenderDisparity(const Scene& scene) {
    std::vector<double> disparity = RenderExactDisparity(scene);
    Random random(scene.seed);
    const std::vector<char> hole = Holes(scene.camera, scene.holes, random);
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
    AddSpeckles(scene.camera, disparity, scene.speckles, speckles);
    return disparity;
}

double VisibleShare(const Scene& scene, size_t index) {
    const View view(scene);
    const int box = static_cast<int>(index);
    const BoxExtent& e = view.extent(box);
    if (e.uRight < e.uLeft) return 0.0;
    const double face = static_cast<double>(e.uRight - e.uLeft + 1) * static_cast<double>(e.vBottom - e.vTop + 1);
    int seen = 0;
    for (int v = e.vTop < 0 ? 0 : e.vTop; v <= e.vBottom && v < scene.camera.height_pix; ++v) {
        for (int u = e.uLeft < 0 ? 0 : e.uLeft; u <= e.uRight && u < scene.camera.width_pix; ++u) {
            const Surface s = view.At(u, v);
            if (s.kind == Kind::Box && s.box == box) ++seen;
        }
    }
    return seen / face;
}

std::vector<unsigned char> EncodeDisparity(const Camera& camera, const std::vector<double>& disparity) {
    std::vector<unsigned char> bytes(4 * disparity.size(), 0);
    for (int v = 0; v < camera.height_pix; ++v) {
        for (int u = 0; u < camera.width_pix; ++u) {
            ColorSet c{0, 0, 0};
            SetColorMap(&c, disparity[At(camera, u, v)]);
            unsigned char* p = &bytes[4 * At(camera, u, camera.height_pix - 1 - v)];
            p[0] = static_cast<unsigned char>(c.blue);
            p[1] = static_cast<unsigned char>(c.green);
            p[2] = static_cast<unsigned char>(c.red);
        }
    }
    return bytes;
}

GreyFrame GreyPicture(const Camera& camera) {
    if (camera.width_pix == TOTAL_U && camera.height_pix == TOTAL_V) {
        return GreyFrame{GREY_U, GREY_V, DISPARITY_OFS_U, DISPARITY_OFS_V};
    }
    return GreyFrame{camera.width_pix, camera.height_pix, 0, 0};
}

std::vector<unsigned char> RenderGrey(const Scene& scene) {
    const View view(scene);
    const GreyFrame frame = GreyPicture(scene.camera);
    Random texture(scene.seed ^ TEXTURE_STREAM);
    std::vector<unsigned char> grey(static_cast<size_t>(frame.cols) * frame.rows, 0);
    for (int vc = 0; vc < frame.rows; ++vc) {
        for (int uc = 0; uc < frame.cols; ++uc) {
            const int shade = Shade(view, frame, uc, vc) + texture.Below(2 * TEXTURE + 1) - TEXTURE;
            grey[static_cast<size_t>(frame.rows - 1 - vc) * frame.cols + uc] = Clamp(shade);
        }
    }
    return grey;
}

std::vector<unsigned char> RenderTopView(const Camera& camera) {
    const int gridRows = static_cast<int>(TOPVIEW_GRID_M / TOPVIEW_M_PER_PIX + 0.5);
    const int zoneLeft = TOPVIEW_CENTRE_U + PictureCoordinate(camera.zoneL_m / TOPVIEW_M_PER_PIX - 0.5);
    const int zoneRight = TOPVIEW_CENTRE_U + PictureCoordinate(camera.zoneR_m / TOPVIEW_M_PER_PIX + 0.5);
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

double FrameTime(const Camera& camera, int k) {
    const double interval = camera.frameInterval_s;
    const double rate = std::round(1.0 / interval);
    if (rate >= 1.0 && std::fabs(rate * interval - 1.0) < WHOLE_RATE_TOLERANCE) return k * (1.0 / rate);
    return k * interval;
}

}  // namespace scene
