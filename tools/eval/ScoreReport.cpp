#include "ScoreReport.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Absent scores print as "-", an infinite error as "inf".
std::string TableValue(const std::optional<double>& value, const char* format, double scale = 1.0) {
    if (!value) return "-";
    if (!std::isfinite(*value)) return "inf";
    return Format(format, *value * scale);
}

std::string JsonValueOf(const std::optional<double>& value) {
    return value && std::isfinite(*value) ? Format("%.9g", *value) : "null";
}

// One line of a table: name, value and unit (no unit for an absent value).
void TableRow(std::ostream& out, const char* name, const std::string& value, const char* unit) {
    char line[160];
    const bool withUnit = *unit != '\0' && value != "-";
    std::snprintf(line, sizeof line, "%-34s %12s%s%s\n", name, value.c_str(), withUnit ? " " : "", withUnit ? unit : "");
    out << line;
}

// A count that is absent where the results do not give what it counts.
std::optional<double> CountWhere(bool given, int count) {
    return given ? std::optional<double>(count) : std::nullopt;
}

}  // namespace

void PrintScoreTable(std::ostream& out, const Scores& s) {
    auto row = [&out](const char* name, const std::string& value, const char* unit) { TableRow(out, name, value, unit); };
    row("frames", std::to_string(s.frames), "");
    row("true obstacles counted", std::to_string(s.counted), "");
    row("matches", std::to_string(s.matches), "");
    row("misses", std::to_string(s.misses), "");
    row("recall", TableValue(s.recall, "%.4f"), "");
    row("false tracks", std::to_string(s.falseTracks), "");
    row("false tracks per frame", TableValue(s.falseTracksPerFrame, "%.4f"), "");
    row("distance error, median", TableValue(s.distanceErrorMedian, "%.2f", 100.0), "%");
    row("distance error, 95th percentile", TableValue(s.distanceErrorP95, "%.2f", 100.0), "%");
    row("lateral-centre error, median", TableValue(s.lateralErrorMedian_m, "%.3f"), "m");
    row("width error, median", TableValue(s.widthErrorMedian_m, "%.3f"), "m");
    row("vz error after 10 updates, median", TableValue(s.vzErrorMedian_mps, "%.3f"), "m/s");
    row("vz samples", std::to_string(s.vzSamples), "");
    row("identifier switches", std::to_string(s.switches), "");
    row("MOTA", TableValue(s.mota, "%.4f"), "");
    row("MOTP", TableValue(s.motp_m, "%.3f"), "m");
    row("IDF1", TableValue(s.idf1, "%.4f"), "");
}

void PrintScoreJson(std::ostream& out, const Scores& s) {
    out << "{\"frames\": " << s.frames << ", \"counted\": " << s.counted << ", \"matches\": " << s.matches
        << ", \"misses\": " << s.misses << ", \"recall\": " << JsonValueOf(s.recall)
        << ", \"false_tracks\": " << s.falseTracks
        << ", \"false_tracks_per_frame\": " << JsonValueOf(s.falseTracksPerFrame)
        << ", \"distance_error_median\": " << JsonValueOf(s.distanceErrorMedian)
        << ", \"distance_error_p95\": " << JsonValueOf(s.distanceErrorP95)
        << ", \"lateral_error_median_m\": " << JsonValueOf(s.lateralErrorMedian_m)
        << ", \"width_error_median_m\": " << JsonValueOf(s.widthErrorMedian_m)
        << ", \"vz_error_median_mps\": " << JsonValueOf(s.vzErrorMedian_mps)
        << ", \"vz_samples\": " << s.vzSamples << ", \"id_switches\": " << s.switches
        << ", \"mota\": " << JsonValueOf(s.mota) << ", \"motp_m\": " << JsonValueOf(s.motp_m)
        << ", \"idf1\": " << JsonValueOf(s.idf1) << "}\n";
}

void PrintStreetTable(std::ostream& out, const StreetScores& s) {
    auto row = [&out](const char* name, const std::string& value, const char* unit) { TableRow(out, name, value, unit); };
    row("frames", std::to_string(s.frames), "");
    if (s.withPoses) {
        row("track samples", std::to_string(s.trackSamples), "");
        row("distance error, median", TableValue(s.distanceErrorMedian, "%.2f", 100.0), "%");
        row("distance error, 95th percentile", TableValue(s.distanceErrorP95, "%.2f", 100.0), "%");
        row("distance error within 5 %", TableValue(s.withinFivePercent, "%.4f"), "");
        row("speed samples (10 updates)", std::to_string(s.speedSamples), "");
        row("vz / -ego speed, median", TableValue(s.speedRatioMedian, "%.4f"), "");
    }
    row("frames with a fitted road", std::to_string(s.roadFrames), "");
    row("road rows compared", std::to_string(s.roadLevels), "");
    row("road row error, median", TableValue(s.roadRowErrorMedian, "%.1f"), "rows");
    row("road profile accepted", std::to_string(s.acceptedFrames), "");
    row("road profile accepted, share", TableValue(s.acceptedShare, "%.4f"), "");
    const struct {
        const char* frames;
        const char* error;
        const ProfileFigures& figures;
    } kinds[] = {{"frames on their own profile", "  road row error, median", s.own},
                 {"frames on a re-seeded profile", "  road row error, median", s.reseeded},
                 {"frames on a kept profile", "  road row error, median", s.kept}};
    for (const auto& kind : kinds) {
        row(kind.frames, TableValue(CountWhere(s.profilesGiven, kind.figures.frames), "%.0f"), "");
        row(kind.error, TableValue(kind.figures.roadRowErrorMedian, "%.1f"), "rows");
    }
    row("trajectories", std::to_string(s.trajectories), "");
    row("trajectories lasting one frame", std::to_string(s.oneFrameTrajectories), "");
    row("trajectories lasting one frame, share", TableValue(s.oneFrameShare, "%.4f"), "");
    row("trajectories confirmed", std::to_string(s.confirmedTrajectories), "");
}

void PrintStreetJson(std::ostream& out, const StreetScores& s) {
    out << "{\"frames\": " << s.frames;
    if (s.withPoses) {
        out << ", \"track_samples\": " << s.trackSamples
            << ", \"distance_error_median\": " << JsonValueOf(s.distanceErrorMedian)
            << ", \"distance_error_p95\": " << JsonValueOf(s.distanceErrorP95)
            << ", \"distance_within_5pct\": " << JsonValueOf(s.withinFivePercent)
            << ", \"speed_samples\": " << s.speedSamples
            << ", \"vz_ratio_median\": " << JsonValueOf(s.speedRatioMedian) << ", \"worst_distances\": [";
        for (size_t k = 0; k < s.worstDistances.size(); ++k) {
            const TrackFrameError& e = s.worstDistances[k];
            out << (k > 0 ? ", " : "") << "{\"frame\": " << e.frame << ", \"track\": " << e.track
                << ", \"count\": " << e.count << ", \"z_m\": " << JsonValueOf(e.z_m) << ", \"x_m\": " << JsonValueOf(e.x_m)
                << ", \"predicted_m\": " << JsonValueOf(e.predicted_m) << ", \"error\": " << JsonValueOf(e.error) << "}";
        }
        out << "]";
    }
    out << ", \"road_frames\": " << s.roadFrames << ", \"road_levels\": " << s.roadLevels
        << ", \"road_row_error_median\": " << JsonValueOf(s.roadRowErrorMedian)
        << ", \"accepted_frames\": " << s.acceptedFrames
        << ", \"accepted_share\": " << JsonValueOf(s.acceptedShare)
        << ", \"profile_own_frames\": " << JsonValueOf(CountWhere(s.profilesGiven, s.own.frames))
        << ", \"profile_reseeded_frames\": " << JsonValueOf(CountWhere(s.profilesGiven, s.reseeded.frames))
        << ", \"profile_kept_frames\": " << JsonValueOf(CountWhere(s.profilesGiven, s.kept.frames))
        << ", \"road_row_error_median_own\": " << JsonValueOf(s.own.roadRowErrorMedian)
        << ", \"road_row_error_median_reseeded\": " << JsonValueOf(s.reseeded.roadRowErrorMedian)
        << ", \"road_row_error_median_kept\": " << JsonValueOf(s.kept.roadRowErrorMedian)
        << ", \"trajectories\": " << s.trajectories << ", \"one_frame_trajectories\": " << s.oneFrameTrajectories
        << ", \"one_frame_share\": " << JsonValueOf(s.oneFrameShare)
        << ", \"confirmed_trajectories\": " << s.confirmedTrajectories << "}\n";
}

void PrintLabelTable(std::ostream& out, const LabelScores& s) {
    auto row = [&out](const char* name, const std::string& value, const char* unit) { TableRow(out, name, value, unit); };
    row("frames", std::to_string(s.frames), "");
    row("labelled object-frames counted", std::to_string(s.counted), "");
    row("found by a confirmed track", std::to_string(s.found), "");
    row("found, share", TableValue(s.foundShare, "%.4f"), "");
    row("distance error, median", TableValue(s.distanceErrorMedian, "%.2f", 100.0), "%");
    row("distance error, 95th percentile", TableValue(s.distanceErrorP95, "%.2f", 100.0), "%");
    row("objects counted", std::to_string(s.objects.size()), "");
    row("objects found", std::to_string(s.objectsFound), "");
    row("trajectories per object found", TableValue(s.trajectoriesPerObject, "%.2f"), "");
    row("identity switches", std::to_string(s.switches), "");
    char line[160];
    std::snprintf(line, sizeof line, "%8s %-16s %8s %8s %12s\n", "object", "type", "counted", "found", "trajectories");
    out << line;
    for (const ObjectScore& o : s.objects) {
        std::snprintf(line, sizeof line, "%8d %-16s %8d %8d %12d\n", o.id, o.type.c_str(), o.counted, o.found, o.trajectories);
        out << line;
    }
}

void PrintLabelJson(std::ostream& out, const LabelScores& s) {
    out << "{\"frames\": " << s.frames << ", \"object_frames\": " << s.counted
        << ", \"object_frames_found\": " << s.found << ", \"found_share\": " << JsonValueOf(s.foundShare)
        << ", \"object_distance_error_median\": " << JsonValueOf(s.distanceErrorMedian)
        << ", \"object_distance_error_p95\": " << JsonValueOf(s.distanceErrorP95)
        << ", \"objects\": " << s.objects.size() << ", \"objects_found\": " << s.objectsFound
        << ", \"trajectories_per_object\": " << JsonValueOf(s.trajectoriesPerObject)
        << ", \"object_id_switches\": " << s.switches << ", \"per_object\": [";
    for (size_t k = 0; k < s.objects.size(); ++k) {
        const ObjectScore& o = s.objects[k];
        out << (k > 0 ? ", " : "") << "{\"id\": " << o.id << ", \"type\": \"" << o.type << "\", \"counted\": " << o.counted
            << ", \"found\": " << o.found << ", \"trajectories\": " << o.trajectories << "}";
    }
    out << "]}\n";
}
