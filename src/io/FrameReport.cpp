#include "FrameReport.h"

#include <algorithm>
#include <cmath>

#include "GroupObjects.h"

namespace {

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
