#include "FrameReport.h"

#include <algorithm>

#include "Geometry.h"
#include "GroupObjects.h"

namespace {

constexpr double MAX_BOX_HEIGHT_M = 100.0;  // keeps the row arithmetic of a wild height in range

int Clamp(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

// A disparity the road table can be read at: inside 0 .. LUT_NUM - 1, 0 when not a number.
double TableDisparity(double d_pix) {
    if (!(d_pix > 0.0)) return 0.0;
    return d_pix > LUT_NUM - 1 ? LUT_NUM - 1 : d_pix;
}

double BoxHeight(double h_m) {
    if (!(h_m > 0.0)) return 0.0;
    return h_m > MAX_BOX_HEIGHT_M ? MAX_BOX_HEIGHT_M : h_m;
}

// Writes `items` as a JSON array, each through `write`.
template <typename Items, typename Write>
void JsonArray(std::ostream& out, const Items& items, Write write) {
    out << '[';
    bool first = true;
    for (const auto& item : items) {
        if (!first) out << ", ";
        first = false;
        write(item);
    }
    out << ']';
}

void WriteDetection(std::ostream& out, const DetectedObject& c, const StageGeometry& g, const int ground[LUT_NUM]) {
    const PictureBox box = DetectionBox(g, c, ground);
    out << "{\"lX_m\": " << JsonNumber(c.lX_m) << ", \"rX_m\": " << JsonNumber(c.rX_m)
        << ", \"d_pix\": " << JsonNumber(c.d_pix) << ", \"z_m\": " << JsonNumber(g.camera.bf_pix / c.d_pix)
        << ", \"h_m\": " << JsonNumber(c.h_m) << ", \"S_u\": " << c.S_u << ", \"E_u\": " << c.E_u
        << ", \"bb_left\": " << box.left << ", \"bb_top\": " << box.top << ", \"bb_width\": " << box.Width()
        << ", \"bb_height\": " << box.Height() << '}';
}

const char* JsonBool(bool value) { return value ? "true" : "false"; }

void WriteTrack(std::ostream& out, const TrackingObject& t, int number, int det, const EgoMotion& ego) {
    out << "{\"id\": " << t.m_id << ", \"track\": " << number << ", \"count\": " << t.m_count
        << ", \"confirmed\": " << JsonBool(IsConfirmed(t)) << ", \"loss\": " << t.m_loss_co
        << ", \"det\": ";
    if (det < 0) {
        out << "null";
    } else {
        out << det;
    }
    out << ", \"z_m\": " << JsonNumber(t.m_Z_m) << ", \"x_m\": " << JsonNumber(t.m_X_m)
        << ", \"w_m\": " << JsonNumber(t.m_w_m) << ", \"h_m\": " << JsonNumber(t.m_h_m)
        << ", \"d_pix\": " << JsonNumber(t.m_D_pix) << ", \"vz_mps\": " << JsonNumber(t.RelativeVelocity(ego))
        << ", \"vx_mps\": " << JsonNumber(t.RelativeVelocityX(ego));
    if (ego.known) {
        out << ", \"vz_ground_mps\": " << JsonNumber(t.GetVelocity()) << ", \"vx_ground_mps\": "
            << JsonNumber(t.GetVelocityX()) << ", \"moving\": " << JsonBool(IsMoving(t));
    }
    out << '}';
}

void WriteGrid(std::ostream& out, const std::vector<Grid>& grid, int blocksU) {
    out << ", \"grid\": [";
    bool first = true;
    for (int d = 0; d < LUT_NUM; ++d) {
        for (int uBl = 0; uBl < blocksU; ++uBl) {
            const Grid& c = grid[GRID(uBl, d, blocksU)];
            if (!TakesPart(c)) continue;
            if (!first) out << ", ";
            first = false;
            out << '[' << uBl << ", " << d << ", " << JsonNumber(c.aveD) << ", " << c.count << ']';
        }
    }
    out << ']';
}

}  // namespace

void TrajectoryNumbers::Update(const std::vector<TrackingObject>& tracks, const AssociationRecord& record) {
    std::map<int32_t, int> live;
    for (const TrackingObject& t : tracks) {
        const auto known = byId.find(t.m_id);
        const bool started = std::find(record.started.begin(), record.started.end(), t.m_id) != record.started.end();
        live[t.m_id] = started || known == byId.end() ? ++count : known->second;
        if (t.m_count >= ESTABLISHED_COUNT) confirmed.insert(live[t.m_id]);
    }
    byId.swap(live);
}

int TrajectoryNumbers::Of(int32_t id) const {
    const auto known = byId.find(id);
    return known == byId.end() ? 0 : known->second;
}

PictureBox ObstacleBox(const StageGeometry& g, int S_u, int E_u, double d_pix, double h_m,
                       const int ground[LUT_NUM]) {
    const int first = Clamp(S_u < E_u ? S_u : E_u, 0, g.blocksU - 1);
    const int last = Clamp(S_u < E_u ? E_u : S_u, 0, g.blocksU - 1);
    const double dD = TableDisparity(d_pix);
    const int road = Clamp(Real2ImgH_D(g.camera, 0.0, dD, ground), 0, g.height - 1);
    const int top = Clamp(Real2ImgH_D(g.camera, BoxHeight(h_m), dD, ground), 0, road);
    return PictureBox{first * SHIFT_PITCH, top, (last + 1) * SHIFT_PITCH - 1, road};
}

PictureBox TrackBox(const StageGeometry& g, const TrackingObject& track, const int ground[LUT_NUM]) {
    return ObstacleBox(g, track.m_S_u, track.m_E_u, track.m_D_pix, track.m_h_m, ground);
}

PictureBox DetectionBox(const StageGeometry& g, const DetectedObject& detection, const int ground[LUT_NUM]) {
    return ObstacleBox(g, detection.S_u, detection.E_u, detection.d_pix, detection.h_m, ground);
}

const char* RoadProfileName(RoadProfileKind kind) {
    switch (kind) {
        case RoadProfileKind::Own: return "own";
        case RoadProfileKind::Reseeded: return "reseeded";
        case RoadProfileKind::Kept: break;
    }
    return "kept";
}

void RoadProfileCounts::Add(RoadProfileKind kind) {
    own += kind == RoadProfileKind::Own ? 1 : 0;
    reseeded += kind == RoadProfileKind::Reseeded ? 1 : 0;
    kept += kind == RoadProfileKind::Kept ? 1 : 0;
}

void WriteJsonFrame(std::ostream& out, int frame, const RunState& run, const AssociationRecord& record,
                    const TrajectoryNumbers& numbers, bool withGrid) {
    out << "{\"frame\": " << frame << ", \"road\": {\"ground\": ";
    JsonArray(out, run.ground, [&](int row) { out << row; });
    out << ", \"accepted\": " << (run.groundAccepted ? "true" : "false") << ", \"profile\": \""
        << RoadProfileName(run.roadProfile) << "\"}, \"detections\": ";
    JsonArray(out, record.detections, [&](const DetectedObject& c) { WriteDetection(out, c, run.geometry, run.ground); });
    out << ", \"tracks\": ";
    JsonArray(out, run.preObject, [&](const TrackingObject& t) {
        WriteTrack(out, t, numbers.Of(t.m_id), TakenDetection(record, t), run.egoMotion);
    });
    if (withGrid) WriteGrid(out, run.grid, run.geometry.blocksU);
    out << "}\n";
}

bool IsConfirmed(const TrackingObject& track) { return track.m_count >= ESTABLISHED_COUNT; }

bool ReportedTrack(const TrackingObject& track, bool tentative) { return tentative || IsConfirmed(track); }

void WriteMotFrame(std::ostream& out, int motFrame, const RunState& run, const TrajectoryNumbers& numbers,
                   bool tentative) {
    for (const TrackingObject& t : run.preObject) {
        if (!ReportedTrack(t, tentative)) continue;
        const PictureBox box = TrackBox(run.geometry, t, run.ground);
        out << motFrame << ',' << numbers.Of(t.m_id) << ',' << box.left << ',' << box.top << ',' << box.Width() << ','
            << box.Height() << ',' << (IsConfirmed(t) ? 1 : 0) << ",-1,-1,-1\n";
    }
}
