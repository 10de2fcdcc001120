#include "ObjectLabels.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <new>
#include <set>
#include <sstream>
#include <utility>

#include "Files.h"
#include "NumberParsing.h"
#include "SequenceFiles.h"  // InputError

namespace {

constexpr size_t LABEL_FIELDS = 17;
// A label line is about a hundred bytes; a recording of thousands of frames with dozens of
// objects each stays far below the file bound.
constexpr size_t MAX_LABEL_LINE_BYTES = 4096;
constexpr uint64_t MAX_LABEL_FILE_BYTES = uint64_t(1) << 28;
constexpr int MOST_VISIBLE_OCCLUSION = 1;  // "partly occluded"
constexpr int LARGEST_OCCLUSION_CODE = 3;  // "unknown"
const char* const NOT_AN_OBJECT = "DontCare";
const char* const OBJECT_TYPES[] = {"Car", "Van", "Truck", "Pedestrian", "Person_sitting", "Cyclist", "Tram", "Misc"};

int IntegerField(const std::string& field, const char* name) {
    int value = 0;
    const char* end = field.data() + field.size();
    const std::from_chars_result read = std::from_chars(field.data(), end, value);
    if (read.ec != std::errc() || read.ptr != end) throw InputError(std::string(name) + " is not an integer: \"" + field + "\"");
    return value;
}

double NumberField(const std::string& field, const char* name) {
    double value = 0.0;
    if (!ParseNumber(field, value)) throw InputError(std::string(name) + " is not a finite number: \"" + field + "\"");
    return value;
}

std::vector<std::string> Fields(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> fields;
    for (std::string field; fields.size() <= LABEL_FIELDS && in >> field;) fields.push_back(field);
    if (fields.size() != LABEL_FIELDS) throw InputError("expected " + std::to_string(LABEL_FIELDS) + " fields");
    return fields;
}

bool KnownType(const std::string& type) {
    return std::find(std::begin(OBJECT_TYPES), std::end(OBJECT_TYPES), type) != std::end(OBJECT_TYPES);
}

// The line's object, or false for a "DontCare" region.
bool ParseLabel(const std::string& line, ObjectLabel& label) {
    const std::vector<std::string> f = Fields(line);
    if (f[2] == NOT_AN_OBJECT) return false;
    if (!KnownType(f[2])) throw InputError("unknown object type \"" + f[2] + "\"");
    label = ObjectLabel{IntegerField(f[0], "frame"),
                        IntegerField(f[1], "track_id"),
                        f[2],
                        NumberField(f[3], "truncated"),
                        IntegerField(f[4], "occluded"),
                        NumberField(f[10], "h"),
                        NumberField(f[11], "w"),
                        NumberField(f[12], "l"),
                        NumberField(f[13], "x"),
                        NumberField(f[14], "y"),
                        NumberField(f[15], "z"),
                        NumberField(f[16], "rotation_y")};
    for (size_t field = 5; field <= 9; ++field) NumberField(f[field], field == 5 ? "alpha" : "the 2D box");
    if (label.frame < 0) throw InputError("frame must not be negative");
    if (label.truncated < 0.0) throw InputError("truncated must not be negative");
    if (label.occluded < 0 || label.occluded > LARGEST_OCCLUSION_CODE) throw InputError("occluded must be 0 to 3");
    if (label.h_m < 0.0 || label.w_m < 0.0 || label.l_m < 0.0) throw InputError("h, w and l must not be negative");
    return true;
}

std::vector<ObjectLabel> Labels(std::istream& in, const std::string& name) {
    LineReader lines(in, name, MAX_LABEL_LINE_BYTES, MAX_LABEL_FILE_BYTES);
    std::vector<ObjectLabel> labels;
    std::set<std::pair<int, int>> seen;
    std::string line;
    while (lines.Next(line)) {
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        const std::string where = name + ":" + std::to_string(lines.Number()) + ": ";
        ObjectLabel label;
        try {
            if (!ParseLabel(line, label)) continue;
        } catch (const InputError& e) {
            throw InputError(where + e.what());
        }
        if (!seen.insert({label.frame, label.id}).second) {
            throw InputError(where + "object " + std::to_string(label.id) + " appears twice in frame " +
                             std::to_string(label.frame));
        }
        labels.push_back(std::move(label));
    }
    if (!lines.Error().empty()) throw InputError(lines.Error());
    return labels;
}

}  // namespace

bool LabelVisible(const ObjectLabel& label) {
    return label.truncated == 0.0 && label.occluded <= MOST_VISIBLE_OCCLUSION;
}

Footprint FootprintOf(const ObjectLabel& label) {
    // KITTI turns the box's length (its x axis) by rotation_y toward -z: a corner (cx, cz) of the
    // unturned box lies at (x + cx cos + cz sin, z - cx sin + cz cos).
    const double c = std::fabs(std::cos(label.rotationY)), s = std::fabs(std::sin(label.rotationY));
    const double halfX = c * label.l_m / 2.0 + s * label.w_m / 2.0;
    const double halfZ = s * label.l_m / 2.0 + c * label.w_m / 2.0;
    return Footprint{label.x_m - halfX, label.x_m + halfX, label.z_m - halfZ};
}

std::vector<ObjectLabel> ReadObjectLabels(std::istream& in, const std::string& name) {
    try {
        return Labels(in, name);
    } catch (const std::bad_alloc&) {
        throw InputError(name + ": not enough memory to read it");
    }
}
