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
    row("track samples", std::to_string(s.trackSamples), "");
    row("distance error, median", TableValue(s.distanceErrorMedian, "%.2f", 100.0), "%");
    row("distance error, 95th percentile", TableValue(s.distanceErrorP95, "%.2f", 100.0), "%");
    row("distance error within 5 %", TableValue(s.withinFivePercent, "%.4f"), "");
    row("speed samples (10 updates)", std::to_string(s.speedSamples), "");
    row("vz / -ego speed, median", TableValue(s.speedRatioMedian, "%.4f"), "");
    row("frames with a fitted road", std::to_string(s.roadFrames), "");
    row("road rows compared", std::to_string(s.roadLevels), "");
    row("road row error, median", TableValue(s.roadRowErrorMedian, "%.1f"), "rows");
    row("road profile accepted", std::to_string(s.acceptedFrames), "");
    row("road profile accepted, share", TableValue(s.acceptedShare, "%.4f"), "");
}

void PrintStreetJson(std::ostream& out, const StreetScores& s) {
    out << "{\"frames\": " << s.frames << ", \"track_samples\": " << s.trackSamples
        << ", \"distance_error_median\": " << JsonValueOf(s.distanceErrorMedian)
        << ", \"distance_error_p95\": " << JsonValueOf(s.distanceErrorP95)
        << ", \"distance_within_5pct\": " << JsonValueOf(s.withinFivePercent)
        << ", \"speed_samples\": " << s.speedSamples
        << ", \"vz_ratio_median\": " << JsonValueOf(s.speedRatioMedian)
        << ", \"road_frames\": " << s.roadFrames << ", \"road_levels\": " << s.roadLevels
        << ", \"road_row_error_median\": " << JsonValueOf(s.roadRowErrorMedian)
        << ", \"accepted_frames\": " << s.acceptedFrames
        << ", \"accepted_share\": " << JsonValueOf(s.acceptedShare) << "}\n";
}
