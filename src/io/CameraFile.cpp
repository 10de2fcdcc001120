#include "CameraFile.h"

#include <cmath>
#include <sstream>
#include <string_view>
#include <vector>

#include "NumberParsing.h"
#include "Files.h"
#include "StageGeometry.h"

namespace {

enum class Range { POSITIVE, ANY, SIDE };

constexpr std::string_view UTF8_BYTE_ORDER_MARK = "\xEF\xBB\xBF";

struct KeyInfo {
    const char* name;
    const char* meaning;
    Range range;
    bool required;  // part of the calibration, which a file in the own format must give
};

constexpr KeyInfo KEYS[CAMERA_KEY_COUNT] = {
    {"f_pix", "focal length (pixel)", Range::POSITIVE, true},
    {"baseline_m", "stereo baseline (metre)", Range::POSITIVE, true},
    {"bf_pix", "focal length x baseline: distance = bf_pix / disparity", Range::POSITIVE, false},
    {"u0_pix", "principal point column in the disparity picture (pixel)", Range::ANY, true},
    {"v0_pix", "principal point row in the disparity picture (pixel)", Range::ANY, true},
    {"width_pix", "disparity picture width (pixel)", Range::SIDE, true},
    {"height_pix", "disparity picture height (pixel)", Range::SIDE, true},
    {"camHeight_m", "camera height above the road (metre)", Range::POSITIVE, false},
    {"tanPitch", "downward pitch, as the tangent the road formula uses", Range::ANY, false},
    {"frameInterval_s", "time from one frame to the next (second)", Range::POSITIVE, false},
    {"zoneL_m", "left bound of the detection zone (metre)", Range::ANY, false},
    {"zoneR_m", "right bound of the detection zone (metre)", Range::ANY, false},
};

// The field of a key in a camera (Camera or const Camera): a real or a whole number.
template <typename C>
auto RealField(C& c, CameraKey key) {
    decltype(&c.f_pix) const fields[CAMERA_KEY_COUNT] = {
        &c.f_pix,    &c.baseline_m,      &c.bf_pix,  &c.u0_pix,  &c.v0_pix,  nullptr,
        nullptr,     &c.camHeight_m,     &c.tanPitch, &c.frameInterval_s, &c.zoneL_m, &c.zoneR_m};
    return fields[key];
}

template <typename C>
auto WholeField(C& c, CameraKey key) {
    return key == KEY_WIDTH ? &c.width_pix : key == KEY_HEIGHT ? &c.height_pix : nullptr;
}

double FieldValue(const Camera& c, CameraKey key) {
    const int* whole = WholeField(c, key);
    return whole != nullptr ? *whole : *RealField(c, key);
}

void SetField(Camera& c, CameraKey key, double value) {
    if (int* whole = WholeField(c, key)) {
        *whole = static_cast<int>(value);
    } else {
        *RealField(c, key) = value;
    }
}

// Why a value cannot be the key's, or an empty text.
std::string ValueProblem(CameraKey key, double value) {
    switch (KEYS[key].range) {
        case Range::POSITIVE:
            return value > 0.0 ? "" : "must be above 0";
        case Range::SIDE:
            if (value != std::floor(value)) return "is not a whole number of pixels";
            if (value < CAMERA_MIN_SIDE_PIX || value > CAMERA_MAX_SIDE_PIX) {
                return "lies outside " + std::to_string(CAMERA_MIN_SIDE_PIX) + ".." + std::to_string(CAMERA_MAX_SIDE_PIX);
            }
            return "";
        case Range::ANY:
            break;
    }
    return "";
}

std::string Trim(const std::string& text) {
    const char* const blanks = " \t\r\v\f";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The lines of a text without their comments and surrounding blanks (empty lines kept, so that
// an index + 1 is a line number).
std::vector<std::string> ContentLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(Trim(line.substr(0, line.find('#'))));
    return lines;
}

// Everything but the whole-camera problems of the parse, kept to name the line of a problem.
struct Parse {
    Parse(const std::string& name, CameraFile& file, std::string& error) : name(name), file(file), error(error) {}

    const std::string& name;
    CameraFile& file;
    std::string& error;
    int lineOf[CAMERA_KEY_COUNT] = {};

    bool Fail(int line, const std::string& problem) {
        error = name + (line > 0 ? ":" + std::to_string(line) : "") + ": " + problem;
        return false;
    }

    bool Give(CameraKey key, double value, int line) {
        const std::string problem = ValueProblem(key, value);
        if (!problem.empty()) return Fail(line, std::string(KEYS[key].name) + " " + JsonNumber(value) + " " + problem);
        SetField(file.camera, key, value);
        file.given[key] = true;
        lineOf[key] = line;
        return true;
    }

    bool OwnLine(const std::string& line, int number) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) return Fail(number, "'" + line + "' is not key = value");
        const std::string key = Trim(line.substr(0, equals));
        const std::string value = Trim(line.substr(equals + 1));
        int k = 0;
        while (k < CAMERA_KEY_COUNT && key != KEYS[k].name) ++k;
        if (k == CAMERA_KEY_COUNT) return Fail(number, "unknown key '" + key + "'");
        if (file.given[k]) {
            return Fail(number, key + " given twice (first on line " + std::to_string(lineOf[k]) + ")");
        }
        if (value.empty()) return Fail(number, key + " has no value");
        double parsed = 0.0;
        if (!ParseNumber(value, parsed)) return Fail(number, key + ": '" + value + "' is not a number");
        return Give(static_cast<CameraKey>(k), parsed, number);
    }

    bool OwnFinish() {
        for (int k = 0; k < CAMERA_KEY_COUNT; ++k) {
            if (KEYS[k].required && !file.given[k]) {
                return Fail(0, std::string("no ") + KEYS[k].name + " given (" + KEYS[k].meaning + ")");
            }
        }
        Camera& c = file.camera;
        if (!file.given[KEY_BF]) return Give(KEY_BF, c.f_pix * c.baseline_m, 0);
        const std::string problem = BfProblem(c);
        return problem.empty() || Fail(lineOf[KEY_BF], problem);
    }

    static std::string BfProblem(const Camera& c) {
        const double product = c.f_pix * c.baseline_m;
        if (std::fabs(c.bf_pix - product) <= BF_TOLERANCE * product) return "";
        return "bf_pix " + JsonNumber(c.bf_pix) + " differs from f_pix x baseline_m = " + JsonNumber(product) +
               " by more than " + JsonNumber(BF_TOLERANCE * 100.0) + " %";
    }

    // KITTI rows: P0 and P1, labelled or as the first two bare rows.
    std::vector<double> rows[2];
    int rowLine[2] = {};
    int bareRows = 0;

    bool KittiLine(const std::string& line, int number) {
        std::istringstream in(line);
        std::vector<std::string> tokens;
        for (std::string token; in >> token;) tokens.push_back(token);
        if (tokens.empty()) return true;
        std::string label;
        if (tokens.front().back() == ':') {
            label = tokens.front().substr(0, tokens.front().size() - 1);
            if (label != "P0" && label != "P1") return true;  // other matrices of the set are not needed
            tokens.erase(tokens.begin());
        } else {
            label = bareRows == 0 ? "P0" : bareRows == 1 ? "P1" : "";
            ++bareRows;
        }
        std::vector<double> numbers;
        for (const std::string& token : tokens) {
            double value = 0.0;
            if (!ParseNumber(token, value)) return Fail(number, "'" + token + "' is not a number");
            numbers.push_back(value);
        }
        if (numbers.size() != 12) {
            return Fail(number, (label.empty() ? std::string("a row") : label) + " has " +
                                    std::to_string(numbers.size()) + " numbers, 12 needed");
        }
        if (label.empty()) return true;  // bare rows after P0 and P1
        const int row = label == "P0" ? 0 : 1;
        if (rowLine[row] != 0) {
            return Fail(number, label + " given twice (first on line " + std::to_string(rowLine[row]) + ")");
        }
        rows[row] = numbers;
        rowLine[row] = number;
        return true;
    }

    bool KittiFinish() {
        for (int row = 0; row < 2; ++row) {
            if (rowLine[row] == 0) {
                return Fail(0, std::string("no P") + std::to_string(row) + " row (12 numbers of the " +
                                   (row == 0 ? "left" : "right") + " camera's projection)");
            }
        }
        const std::vector<double>& p0 = rows[0];
        const std::vector<double>& p1 = rows[1];
        if (!(p1[0] > 0.0)) return Fail(rowLine[1], "P1[0] " + JsonNumber(p1[0]) + " is no focal length above 0");
        file.kitti = true;
        if (!Give(KEY_F, p0[0], rowLine[0]) || !Give(KEY_U0, p0[2], rowLine[0]) || !Give(KEY_V0, p0[6], rowLine[0])) {
            return false;
        }
        if (!Give(KEY_BASELINE, -p1[3] / p1[0], rowLine[1])) {
            error += " (the baseline is -P1[3] / P1[0])";
            return false;
        }
        return Give(KEY_BF, file.camera.f_pix * file.camera.baseline_m, rowLine[1]);
    }
};

}  // namespace

const char* CameraKeyName(CameraKey key) { return KEYS[key].name; }

bool ParseCameraFile(const std::string& text, const std::string& name, CameraFile& file, std::string& error) {
    file = CameraFile{};
    Parse parse(name, file, error);
    // A text saved as UTF-8 by some editors starts with a byte-order mark, which is no content.
    const bool marked = text.compare(0, UTF8_BYTE_ORDER_MARK.size(), UTF8_BYTE_ORDER_MARK) == 0;
    const std::vector<std::string> lines = ContentLines(marked ? text.substr(UTF8_BYTE_ORDER_MARK.size()) : text);
    // The first line with content tells the format: `key = value` or matrix rows.
    bool own = true;
    for (const std::string& line : lines) {
        if (line.empty()) continue;
        own = line.find('=') != std::string::npos;
        break;
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        const int number = static_cast<int>(i + 1);
        if (!(own ? parse.OwnLine(lines[i], number) : parse.KittiLine(lines[i], number))) return false;
    }
    if (!(own ? parse.OwnFinish() : parse.KittiFinish())) return false;
    const std::string problem = CameraProblem(file.camera);
    if (problem.empty()) return true;
    error = name + ": " + problem;
    return false;
}

bool ReadCameraFile(const std::string& path, CameraFile& file, std::string& error) {
    std::string problem;
    RegularFile input = OpenRegularFile(path, CAMERA_FILE_MAX_BYTES, problem);
    if (!input.file) {
        error = path + ": " + problem;
        return false;
    }
    std::string text(static_cast<size_t>(input.length), '\0');
    if (std::fread(text.data(), 1, text.size(), input.file.get()) != text.size()) {
        error = path + ": read error";
        return false;
    }
    return ParseCameraFile(text, path, file, error);
}

std::string PictureSizeProblem(int width, int height) {
    for (const CameraKey key : {KEY_WIDTH, KEY_HEIGHT}) {
        const int side = key == KEY_WIDTH ? width : height;
        const std::string problem = ValueProblem(key, side);
        if (!problem.empty()) return std::string(KEYS[key].name) + " " + std::to_string(side) + " " + problem;
    }
    if (int64_t{width} * height <= CAMERA_MAX_PIXELS) return "";
    return std::to_string(width) + " x " + std::to_string(height) + " pixels, more than " +
           std::to_string(CAMERA_MAX_PIXELS) + " in all";
}

std::string CameraProblem(const Camera& camera) {
    for (int k = 0; k < CAMERA_KEY_COUNT; ++k) {
        const CameraKey key = static_cast<CameraKey>(k);
        const double value = FieldValue(camera, key);
        if (!std::isfinite(value)) return std::string(KEYS[k].name) + " is not a finite number";
        const std::string problem = ValueProblem(key, value);
        if (!problem.empty()) return std::string(KEYS[k].name) + " " + JsonNumber(value) + " " + problem;
    }
    const std::string size = PictureSizeProblem(camera.width_pix, camera.height_pix);
    if (!size.empty()) return size;
    if (!(camera.zoneL_m < camera.zoneR_m)) {
        return "zoneL_m " + JsonNumber(camera.zoneL_m) + " is not left of zoneR_m " + JsonNumber(camera.zoneR_m);
    }
    const std::string bf = Parse::BfProblem(camera);
    if (!bf.empty()) return bf;
    const std::optional<DerivedValue> derived = DerivedOutOfRange(camera);
    if (!derived) return "";
    const double value = derived->value;
    const std::string shown = std::isfinite(value) ? JsonNumber(value) : std::isnan(value) ? "not a number" : "infinite";
    return derived->name + " is " + shown + ", outside +-" + JsonNumber(DERIVED_MAX_PIX) +
           ": the stages cannot see through this camera";
}

std::string CameraFileText(const Camera& camera) {
    std::string text = "# The camera of an obstacle-track run; obstacle-track --camera FILE reads it back.\n";
    for (int k = 0; k < CAMERA_KEY_COUNT; ++k) {
        const CameraKey key = static_cast<CameraKey>(k);
        text += std::string(KEYS[k].name) + " = " + JsonNumber(FieldValue(camera, key)) + "  # " + KEYS[k].meaning + "\n";
    }
    return text;
}
