#include "SequenceFiles.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <set>
#include <utility>

#include "Json.h"

namespace {

const char* const TRUTH_HEADER = "frame,id,z_m,x_left_m,x_right_m,x_center_m,height_m,vz_mps,vx_mps,visible";
constexpr size_t TRUTH_FIELDS = 10;

// A fault within one line; the reader adds the file and line.
class LineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string Where(const std::string& name, int line) { return name + ":" + std::to_string(line) + ": "; }

bool ReadLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

std::vector<std::string> SplitCommas(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1) {
        fields.push_back(line.substr(start, comma - start));
    }
    fields.push_back(line.substr(start));
    return fields;
}

int CsvInt(const std::string& field, const char* column) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(field.c_str(), &end, 10);
    if (field.empty() || *end != '\0' || errno != 0 || value < INT_MIN || value > INT_MAX) {
        throw LineError(std::string(column) + " is not an integer: \"" + field + "\"");
    }
    return static_cast<int>(value);
}

double CsvDouble(const std::string& field, const char* column) {
    char* end = nullptr;
    const double value = std::strtod(field.c_str(), &end);
    if (field.empty() || *end != '\0' || !std::isfinite(value)) {
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

int JsonInt(const JsonValue* value, const std::string& what) {
    const bool integral = value != nullptr && value->kind == JsonValue::Kind::Number &&
                          value->number >= INT_MIN && value->number <= INT_MAX &&
                          value->number == static_cast<double>(static_cast<int>(value->number));
    if (!integral) throw LineError(what + " must be an integer");
    return static_cast<int>(value->number);
}

double JsonNumberOrNull(const JsonValue* value, const std::string& what) {
    if (value != nullptr && value->kind == JsonValue::Kind::Number) return value->number;
    if (value != nullptr && value->kind == JsonValue::Kind::Null) return std::numeric_limits<double>::quiet_NaN();
    throw LineError(what + " must be a number or null");
}

TrackReport ParseTrack(const JsonValue& track, size_t index) {
    const std::string name = "track " + std::to_string(index);
    if (track.kind != JsonValue::Kind::Object) throw LineError(name + " is not an object");
    return TrackReport{JsonInt(track.Find("id"), name + " \"id\""),
                       JsonInt(track.Find("count"), name + " \"count\""),
                       JsonNumberOrNull(track.Find("z_m"), name + " \"z_m\""),
                       JsonNumberOrNull(track.Find("x_m"), name + " \"x_m\""),
                       JsonNumberOrNull(track.Find("w_m"), name + " \"w_m\""),
                       JsonNumberOrNull(track.Find("vz_mps"), name + " \"vz_mps\"")};
}

FrameResult ParseResultLine(const std::string& line) {
    JsonValue root;
    try {
        root = ParseJson(line);
    } catch (const JsonError& e) {
        throw LineError(std::string("malformed JSON: ") + e.what());
    }
    if (root.kind != JsonValue::Kind::Object) throw LineError("the line is not a JSON object");
    FrameResult result{JsonInt(root.Find("frame"), "\"frame\""), {}};
    const JsonValue* tracks = root.Find("tracks");
    if (tracks == nullptr || tracks->kind != JsonValue::Kind::Array) throw LineError("\"tracks\" must be an array");
    for (size_t i = 0; i < tracks->items.size(); ++i) result.tracks.push_back(ParseTrack(tracks->items[i], i));
    return result;
}

}  // namespace

std::vector<TruthRow> ReadTruthCsv(std::istream& in, const std::string& name) {
    std::string line;
    if (!ReadLine(in, line)) throw InputError(name + ": empty file, expected the header " + TRUTH_HEADER);
    if (line != TRUTH_HEADER) throw InputError(Where(name, 1) + "expected the header " + TRUTH_HEADER);
    std::vector<TruthRow> rows;
    std::set<std::pair<int, int>> seen;
    for (int number = 2; ReadLine(in, line); ++number) {
        if (line.empty()) continue;
        try {
            rows.push_back(ParseTruthRow(line));
        } catch (const LineError& e) {
            throw InputError(Where(name, number) + e.what());
        }
        if (!seen.insert({rows.back().frame, rows.back().id}).second) {
            throw InputError(Where(name, number) + "obstacle " + std::to_string(rows.back().id) +
                             " appears twice in frame " + std::to_string(rows.back().frame));
        }
    }
    return rows;
}

std::vector<FrameResult> ReadResultsJsonl(std::istream& in, const std::string& name) {
    std::vector<FrameResult> frames;
    std::set<int> seen;
    std::string line;
    for (int number = 1; ReadLine(in, line); ++number) {
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        try {
            frames.push_back(ParseResultLine(line));
        } catch (const LineError& e) {
            throw InputError(Where(name, number) + e.what());
        }
        if (!seen.insert(frames.back().frame).second) {
            throw InputError(Where(name, number) + "frame " + std::to_string(frames.back().frame) + " appears twice");
        }
    }
    if (frames.empty()) throw InputError(name + ": no frame results");
    return frames;
}
