#include "SequenceFiles.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <limits>
#include <new>
#include <nlohmann/json.hpp>
#include <set>
#include <utility>

#include "Files.h"

namespace {

const char* const TRUTH_HEADER = "frame,id,z_m,x_left_m,x_right_m,x_center_m,height_m,vz_mps,vx_mps,visible";
constexpr size_t TRUTH_FIELDS = 10;

// Bounds on the inputs: a truth row is a few dozen bytes; a results line with the grid of a
// frame full of occupied cells stays under 1 MB.
constexpr size_t MAX_TRUTH_LINE_BYTES = 4096;
constexpr size_t MAX_RESULTS_LINE_BYTES = 4u << 20;
constexpr uint64_t MAX_INPUT_BYTES = uint64_t(1) << 30;

// A fault within one line; the reader adds the file and line.
class LineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string Where(const std::string& name, int line) { return name + ":" + std::to_string(line) + ": "; }

std::vector<std::string> SplitCommas(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1) {
        fields.push_back(line.substr(start, comma - start));
    }
    fields.push_back(line.substr(start));
    return fields;
}

// The whole field must be the number: no blanks, no sign '+', nothing after it (not even a zero byte).
template <typename Number> bool WholeField(const std::string& field, Number& value) {
    const char* end = field.data() + field.size();
    const std::from_chars_result read = std::from_chars(field.data(), end, value);
    return read.ec == std::errc() && read.ptr == end;
}

int CsvInt(const std::string& field, const char* column) {
    int value = 0;
    if (!WholeField(field, value)) throw LineError(std::string(column) + " is not an integer: \"" + field + "\"");
    return value;
}

double CsvDouble(const std::string& field, const char* column) {
    double value = 0.0;
    if (!WholeField(field, value) || !std::isfinite(value)) {
        throw LineError(std::string(column) + " is not a finite number: \"" + field + "\"");
    }
    return value;
}

TruthRow ParseTruthRow(const std::string& line) {
    const std::vector<std::string> f = SplitCommas(line);
    if (f.size() != TRUTH_FIELDS) {
        throw LineError("expected " + std::to_string(TRUTH_FIELDS) + " fields, found " + std::to_string(f.size()));
    }
    TruthRow row{CsvInt(f[0], "frame"),         CsvInt(f[1], "id"),
                 CsvDouble(f[2], "z_m"),        CsvDouble(f[3], "x_left_m"),
                 CsvDouble(f[4], "x_right_m"),  CsvDouble(f[5], "x_center_m"),
                 CsvDouble(f[6], "height_m"),   CsvDouble(f[7], "vz_mps"),
                 CsvDouble(f[8], "vx_mps"),     false};
    const int visible = CsvInt(f[9], "visible");
    if (visible != 0 && visible != 1) throw LineError("visible must be 0 or 1");
    row.visible = visible == 1;
    if (!(row.z_m > 0.0)) throw LineError("z_m must be positive");
    if (row.xLeft_m > row.xRight_m) throw LineError("x_left_m lies right of x_right_m");
    return row;
}

using Json = nlohmann::json;

const Json* Member(const Json& object, const char* key) {
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

// An integer, also when written with a fraction of zero ("410.0").
int JsonInt(const Json* value, const std::string& what) {
    const bool integral = value != nullptr && value->is_number() && value->get<double>() >= INT_MIN &&
                          value->get<double>() <= INT_MAX &&
                          value->get<double>() == static_cast<double>(static_cast<int>(value->get<double>()));
    if (!integral) throw LineError(what + " must be an integer");
    return static_cast<int>(value->get<double>());
}

double JsonNumberOrNull(const Json* value, const std::string& what) {
    if (value != nullptr && value->is_number()) return value->get<double>();
    if (value != nullptr && value->is_null()) return std::numeric_limits<double>::quiet_NaN();
    throw LineError(what + " must be a number or null");
}

std::optional<int> TrajectoryNumber(const Json& track, const std::string& name) {
    const Json* number = Member(track, "track");
    if (number == nullptr) return std::nullopt;
    return JsonInt(number, name + " \"track\"");
}

std::optional<bool> ConfirmedFlag(const Json& track, const std::string& name) {
    const Json* confirmed = Member(track, "confirmed");
    if (confirmed == nullptr) return std::nullopt;
    if (!confirmed->is_boolean()) throw LineError(name + " \"confirmed\" must be true or false");
    return confirmed->get<bool>();
}

TrackReport ParseTrack(const Json& track, size_t index) {
    const std::string name = "track " + std::to_string(index);
    if (!track.is_object()) throw LineError(name + " is not an object");
    return TrackReport{JsonInt(Member(track, "id"), name + " \"id\""),
                       JsonInt(Member(track, "count"), name + " \"count\""),
                       JsonNumberOrNull(Member(track, "z_m"), name + " \"z_m\""),
                       JsonNumberOrNull(Member(track, "x_m"), name + " \"x_m\""),
                       JsonNumberOrNull(Member(track, "w_m"), name + " \"w_m\""),
                       JsonNumberOrNull(Member(track, "vz_mps"), name + " \"vz_mps\""),
                       TrajectoryNumber(track, name),
                       ConfirmedFlag(track, name)};
}

// The parser's own text without its "[json.exception...] " tag; for a syntax error the column
// counts bytes of the line from 1.
std::string JsonFault(const nlohmann::json::exception& e) {
    const std::string text = e.what();
    const size_t tagEnd = text.find("] ");
    const std::string reason = tagEnd == std::string::npos ? text : text.substr(tagEnd + 2);
    const auto* syntax = dynamic_cast<const nlohmann::json::parse_error*>(&e);
    if (syntax == nullptr) return reason;
    const size_t colon = reason.find(": ");
    return "at column " + std::to_string(syntax->byte) + ": " +
           (colon == std::string::npos ? reason : reason.substr(colon + 2));
}

// The road's "profile", where there is one; it must agree with "accepted".
std::optional<ProfileKind> ProfileOf(const Json& road, bool accepted) {
    const Json* profile = Member(road, "profile");
    if (profile == nullptr) return std::nullopt;
    const std::string name = profile->is_string() ? profile->get<std::string>() : "";
    const ProfileKind kind = name == "own"        ? ProfileKind::OWN
                             : name == "kept"     ? ProfileKind::KEPT
                             : name == "reseeded" ? ProfileKind::RESEEDED
                                                  : throw LineError("\"road\" \"profile\" must be \"own\", \"kept\" or \"reseeded\"");
    if (accepted != (kind != ProfileKind::KEPT)) {
        throw LineError("\"road\" \"accepted\" must be true exactly for the profiles \"own\" and \"reseeded\"");
    }
    return kind;
}

// The road member, when there is one: "ground", an array of rows, "accepted" and maybe "profile".
RoadReport ParseRoad(const Json* road) {
    RoadReport report;
    if (road == nullptr) return report;
    const Json* ground = road->is_object() ? Member(*road, "ground") : nullptr;
    const Json* accepted = road->is_object() ? Member(*road, "accepted") : nullptr;
    if (ground == nullptr || !ground->is_array()) throw LineError("\"road\" must hold \"ground\", an array of rows");
    if (accepted == nullptr || !accepted->is_boolean()) throw LineError("\"road\" must hold the boolean \"accepted\"");
    for (size_t i = 0; i < ground->size(); ++i) {
        report.ground.push_back(JsonInt(&(*ground)[i], "road row " + std::to_string(i)));
    }
    report.accepted = accepted->get<bool>();
    report.profile = ProfileOf(*road, report.accepted);
    return report;
}

// The frame's "path_curvature_pm", where there is one: a finite number.
double PathCurvatureOf(const Json* curvature) {
    if (curvature == nullptr) return 0.0;
    if (!curvature->is_number() || !std::isfinite(curvature->get<double>())) {
        throw LineError("\"path_curvature_pm\" must be a finite number");
    }
    return curvature->get<double>();
}

FrameResult ParseResultLine(const std::string& line) {
    Json root;
    try {
        root = Json::parse(line);
    } catch (const nlohmann::json::exception& e) {
        throw LineError("malformed JSON " + JsonFault(e));
    }
    if (!root.is_object()) throw LineError("the line is not a JSON object");
    FrameResult result{JsonInt(Member(root, "frame"), "\"frame\""), {}};
    const Json* tracks = Member(root, "tracks");
    if (tracks == nullptr || !tracks->is_array()) throw LineError("\"tracks\" must be an array");
    for (size_t i = 0; i < tracks->size(); ++i) result.tracks.push_back(ParseTrack((*tracks)[i], i));
    result.road = ParseRoad(Member(root, "road"));
    result.pathCurvature_pm = PathCurvatureOf(Member(root, "path_curvature_pm"));
    return result;
}

}  // namespace

namespace {

std::vector<TruthRow> TruthRows(std::istream& in, const std::string& name) {
    LineReader lines(in, name, MAX_TRUTH_LINE_BYTES, MAX_INPUT_BYTES);
    std::string line;
    if (!lines.Next(line)) {
        throw InputError(!lines.Error().empty() ? lines.Error() : name + ": empty file, expected the header " + TRUTH_HEADER);
    }
    if (line != TRUTH_HEADER) throw InputError(Where(name, 1) + "expected the header " + TRUTH_HEADER);
    std::vector<TruthRow> rows;
    std::set<std::pair<int, int>> seen;
    while (lines.Next(line)) {
        if (line.empty()) continue;
        try {
            rows.push_back(ParseTruthRow(line));
        } catch (const LineError& e) {
            throw InputError(Where(name, lines.Number()) + e.what());
        }
        if (!seen.insert({rows.back().frame, rows.back().id}).second) {
            throw InputError(Where(name, lines.Number()) + "obstacle " + std::to_string(rows.back().id) +
                             " appears twice in frame " + std::to_string(rows.back().frame));
        }
    }
    if (!lines.Error().empty()) throw InputError(lines.Error());
    return rows;
}

std::vector<FrameResult> FrameResults(std::istream& in, const std::string& name) {
    LineReader lines(in, name, MAX_RESULTS_LINE_BYTES, MAX_INPUT_BYTES);
    std::vector<FrameResult> frames;
    std::set<int> seen;
    std::optional<bool> numbered;  // whether the tracks carry "track", once one has been read
    std::string line;
    while (lines.Next(line)) {
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        try {
            frames.push_back(ParseResultLine(line));
        } catch (const LineError& e) {
            throw InputError(Where(name, lines.Number()) + e.what());
        }
        if (!seen.insert(frames.back().frame).second) {
            throw InputError(Where(name, lines.Number()) + "frame " + std::to_string(frames.back().frame) +
                             " appears twice");
        }
        for (const TrackReport& track : frames.back().tracks) {
            if (!numbered) numbered = track.track.has_value();
            if (*numbered != track.track.has_value()) {
                throw InputError(Where(name, lines.Number()) + "tracks with and without a \"track\" number: " +
                                 "identity needs the one or the other");
            }
        }
    }
    if (!lines.Error().empty()) throw InputError(lines.Error());
    if (frames.empty()) throw InputError(name + ": no frame results");
    return frames;
}

// What a reader holds grows with its input: a failed allocation is a fault of that input.
template <typename Reader> auto ReadWithin(Reader read, std::istream& in, const std::string& name) {
    try {
        return read(in, name);
    } catch (const std::bad_alloc&) {
        throw InputError(name + ": not enough memory to read it");
    }
}

}  // namespace

std::vector<TruthRow> ReadTruthCsv(std::istream& in, const std::string& name) { return ReadWithin(TruthRows, in, name); }

std::vector<FrameResult> ReadResultsJsonl(std::istream& in, const std::string& name) {
    return ReadWithin(FrameResults, in, name);
}
