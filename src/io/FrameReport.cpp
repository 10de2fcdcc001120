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

void WriteDetection(std::ostream& out, const obstacle::Obstacle& c) {
    out << "{\"lX_m\": " << JsonNumber(c.left_m) << ", \"rX_m\": " << JsonNumber(c.right_m)
        << ", \"d_pix\": " << JsonNumber(c.disparity_pix) << ", \"z_m\": " << JsonNumber(c.distance_m)
        << ", \"h_m\": " << JsonNumber(c.height_m) << ", \"S_u\": " << c.firstBlock << ", \"E_u\": " << c.lastBlock
        << ", \"bb_left\": " << c.box.left << ", \"bb_top\": " << c.box.top << ", \"bb_width\": " << c.box.Width()
        << ", \"bb_height\": " << c.box.Height() << '}';
}

const char* JsonBool(bool value) { return value ? "true" : "false"; }

void WriteTrack(std::ostream& out, const obstacle::Track& t) {
    out << "{\"id\": " << t.id << ", \"track\": " << t.trajectory << ", \"count\": " << t.updates
        << ", \"confirmed\": " << JsonBool(t.confirmed) << ", \"loss\": " << t.missed << ", \"det\": ";
    if (t.obstacle < 0) {
        out << "null";
    } else {
        out << t.obstacle;
    }
    out << ", \"z_m\": " << JsonNumber(t.distance_m) << ", \"x_m\": " << JsonNumber(t.lateral_m)
        << ", \"w_m\": " << JsonNumber(t.width_m) << ", \"h_m\": " << JsonNumber(t.height_m)
        << ", \"d_pix\": " << JsonNumber(t.disparity_pix) << ", \"vz_mps\": " << JsonNumber(t.vz_mps)
        << ", \"vx_mps\": " << JsonNumber(t.vx_mps);
    if (t.groundKnown) {
        out << ", \"vz_ground_mps\": " << JsonNumber(t.vzGround_mps) << ", \"vx_ground_mps\": "
            << JsonNumber(t.vxGround_mps) << ", \"moving\": " << JsonBool(t.moving);
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

const char* RoadProfileName(obstacle::RoadProfileKind kind) {
    switch (kind) {
        case obstacle::RoadProfileKind::Own: return "own";
        case obstacle::RoadProfileKind::Reseeded: return "reseeded";
        case obstacle::RoadProfileKind::Kept: break;
    }
    return "kept";
}

void RoadProfileCounts::Add(obstacle::RoadProfileKind kind) {
    own += kind == obstacle::RoadProfileKind::Own ? 1 : 0;
    reseeded += kind == obstacle::RoadProfileKind::Reseeded ? 1 : 0;
    kept += kind == obstacle::RoadProfileKind::Kept ? 1 : 0;
}

void WriteJsonFrame(std::ostream& out, int frame, const obstacle::FrameResult& result, const RunState* gridOf) {
    out << "{\"frame\": " << frame << ", \"road\": {\"ground\": ";
    JsonArray(out, result.road.rows, [&](int row) { out << row; });
    out << ", \"accepted\": " << JsonBool(result.road.accepted) << ", \"profile\": \""
        << RoadProfileName(result.road.kind) << "\"}";
    if (result.pathCurvature_pm) out << ", \"path_curvature_pm\": " << JsonNumber(*result.pathCurvature_pm);
    out << ", \"detections\": ";
    JsonArray(out, result.obstacles, [&](const obstacle::Obstacle& c) { WriteDetection(out, c); });
    out << ", \"tracks\": ";
    JsonArray(out, result.tracks, [&](const obstacle::Track& t) { WriteTrack(out, t); });
    if (gridOf != nullptr) WriteGrid(out, gridOf->grid, gridOf->geometry.blocksU);
    out << "}\n";
}

bool ReportedTrack(const obstacle::Track& track, bool tentative) { return tentative || track.confirmed; }

void WriteMotFrame(std::ostream& out, int motFrame, const obstacle::FrameResult& result, bool tentative) {
    for (const obstacle::Track& t : result.tracks) {
        if (!ReportedTrack(t, tentative)) continue;
        const obstacle::Box& box = t.box;
        out << motFrame << ',' << t.trajectory << ',' << box.left << ',' << box.top << ',' << box.Width() << ','
            << box.Height() << ',' << (t.confirmed ? 1 : 0) << ",-1,-1,-1\n";
    }
}
