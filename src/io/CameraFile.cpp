#include "CameraFile.h"

#include <cmath>
#include <iomanip>
#include <map>
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

// A node of a calibration's YAML: a scalar, or a matrix (`rows`, `cols` and its `data` list),
// with the line it starts on.
struct YamlNode {
    int line = 0;
    std::string scalar;
    int rows = -1;
    int cols = -1;
    std::vector<double> data;
    bool hasData = false;
};

using YamlNodes = std::map<std::string, YamlNode>;

// The numbers of a YAML list's text ("[ 1., 2, 3e-1 ]"); false at a token that is not a number.
bool ListNumbers(const std::string& text, std::vector<double>& numbers, std::string& bad) {
    std::string spaced = text;
    for (char& c : spaced) {
        if (c == '[' || c == ']' || c == ',') c = ' ';
    }
    std::istringstream in(spaced);
    for (std::string token; in >> token;) {
        double value = 0.0;
        if (!ParseNumber(token, value)) {
            bad = token;
            return false;
        }
        numbers.push_back(value);
    }
    return true;
}

// The top-level nodes of a YAML text as OpenCV's FileStorage and ROS's camera_info files write
// them: `key: value` scalars and `key:` (optionally tagged `!!opencv-matrix`) followed by indented
// `rows:`, `cols:` and `data: [...]`, the list possibly over several lines. Other nested keys are
// passed over. False with "NAME:LINE: problem" in `error`.
bool ReadYamlNodes(const std::string& text, const std::string& name, YamlNodes& nodes, std::string& error) {
    std::istringstream in(text);
    std::string current;     // the matrix node being read
    std::string list;        // the text of a data list not yet closed
    bool inList = false;
    int number = 0;
    const auto fail = [&](const std::string& problem) {
        error = name + ":" + std::to_string(number) + ": " + problem;
        return false;
    };
    const auto closeList = [&]() {
        YamlNode& node = nodes[current];
        std::string bad;
        if (!ListNumbers(list, node.data, bad)) return fail(current + ": '" + bad + "' is not a number");
        node.hasData = true;
        inList = false;
        return true;
    };
    for (std::string raw; std::getline(in, raw);) {
        ++number;
        const std::string line = Trim(raw.substr(0, raw.find('#')));
        if (line.empty() || line[0] == '%' || line == "---") continue;
        if (inList) {
            list += " " + line;
            if (line.find(']') != std::string::npos && !closeList()) return false;
            continue;
        }
        const bool nested = raw[0] == ' ' || raw[0] == '\t';
        const size_t colon = line.find(':');
        if (colon == std::string::npos) return fail("'" + line + "' is not key: value");
        const std::string key = Trim(line.substr(0, colon));
        std::string value = Trim(line.substr(colon + 1));
        if (value.compare(0, 2, "!!") == 0) {  // a type tag, as OpenCV's !!opencv-matrix
            const size_t blank = value.find(' ');
            value = blank == std::string::npos ? "" : Trim(value.substr(blank));
        }
        if (!nested) {
            if (nodes.count(key) != 0) return fail(key + " given twice (first on line " + std::to_string(nodes[key].line) + ")");
            current = key;
            nodes[key].line = number;
            if (!value.empty() && value[0] == '[') {
                list = value;
                inList = true;
                if (value.find(']') != std::string::npos && !closeList()) return false;
            } else {
                nodes[key].scalar = value;
            }
            continue;
        }
        if (current.empty()) return fail("'" + line + "' belongs to no key");
        YamlNode& node = nodes[current];
        if (key == "rows" || key == "cols") {
            long long whole = 0;
            if (!ParseDigits(value, 1000, whole)) return fail(current + ": " + key + " '" + value + "' is not a count");
            (key == "rows" ? node.rows : node.cols) = static_cast<int>(whole);
        } else if (key == "data") {
            list = value;
            inList = true;
            if (value.find(']') != std::string::npos && !closeList()) return false;
        }
    }
    if (inList) return fail(current + ": the data list is not closed by ']'");
    return true;
}

// Everything but the whole-camera problems of the parse, kept to name the line of a problem.
struct Parse {
    Parse(const std::string& name, CameraFile& file, std::string& error, const CalibrationChoice& choice)
        : name(name), file(file), error(error), choice(choice),
          rowLabels{choice.colour ? "P_rect_02" : "P_rect_00", choice.colour ? "P_rect_03" : "P_rect_01"},
          sizeLabel(choice.colour ? "S_rect_02" : "S_rect_00") {}

    const std::string& name;
    CameraFile& file;
    std::string& error;
    const CalibrationChoice& choice;
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

    // KITTI rows: P0 and P1, labelled or as the first two bare rows, or a raw calibration's rows of
    // the chosen pair and its picture size.
    const std::string rowLabels[2];
    const std::string sizeLabel;
    bool raw = false;  // a raw calibration's P_rect rows
    std::vector<double> rows[2];
    int rowLine[2] = {};
    int bareRows = 0;

    std::string RowName(int row) const { return raw ? rowLabels[row] : "P" + std::to_string(row); }

    bool KittiLine(const std::string& line, int number) {
        std::istringstream in(line);
        std::vector<std::string> tokens;
        for (std::string token; in >> token;) tokens.push_back(token);
        if (tokens.empty()) return true;
        std::string label;
        int row = -1;
        if (tokens.front().back() == ':') {
            label = tokens.front().substr(0, tokens.front().size() - 1);
            raw = raw || label.compare(0, 7, "P_rect_") == 0;
            row = label == "P0" || label == rowLabels[0] ? 0 : label == "P1" || label == rowLabels[1] ? 1 : -1;
            if (row < 0 && label != sizeLabel) return true;  // other matrices of the set are not needed
            tokens.erase(tokens.begin());
        } else {
            row = bareRows < 2 ? bareRows : -1;
            label = row >= 0 ? RowName(row) : "";
            ++bareRows;
        }
        std::vector<double> numbers;
        for (const std::string& token : tokens) {
            double value = 0.0;
            if (!ParseNumber(token, value)) return Fail(number, "'" + token + "' is not a number");
            numbers.push_back(value);
        }
        const size_t needed = label == sizeLabel ? 2 : 12;
        if (numbers.size() != needed) {
            return Fail(number, (label.empty() ? std::string("a row") : label) + " has " +
                                    std::to_string(numbers.size()) + " numbers, " + std::to_string(needed) + " needed");
        }
        if (label == sizeLabel) return Give(KEY_WIDTH, numbers[0], number) && Give(KEY_HEIGHT, numbers[1], number);
        if (row < 0) return true;  // bare rows after P0 and P1
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
                return Fail(0, "no " + RowName(row) + " row (12 numbers of the " + (row == 0 ? "left" : "right") +
                                   " camera's projection)");
            }
        }
        return Projections(rows[0], rows[1], rowLine[0], rowLine[1], RowName(0), RowName(1));
    }

    // The rig of a left and a right rectified 3 x 4 projection, named `left` and `right` in messages.
    bool Projections(const std::vector<double>& p0, const std::vector<double>& p1, int line0, int line1,
                     const std::string& left, const std::string& right) {
        if (!(p1[0] > 0.0)) return Fail(line1, right + "[0] " + JsonNumber(p1[0]) + " is no focal length above 0");
        file.calibration = true;
        if (!Give(KEY_F, p0[0], line0) || !Give(KEY_U0, p0[2], line0) || !Give(KEY_V0, p0[6], line0)) return false;
        if (!Give(KEY_BASELINE, (p0[3] - p1[3]) / p1[0], line1)) {
            error += " (the baseline is (" + left + "[3] - " + right + "[3]) / " + right + "[0])";
            return false;
        }
        return Give(KEY_BF, file.camera.f_pix * file.camera.baseline_m, line1);
    }

    // A YAML matrix of `rows` x `cols` numbers (a vector of `rows` numbers also as one row), or a
    // failure naming it.
    const YamlNode* Matrix(const YamlNodes& nodes, const std::string& key, int rowCount, int colCount,
                           const std::string& fileName) {
        const YamlNode& node = nodes.at(key);
        const bool shaped = (node.rows == rowCount && node.cols == colCount) ||
                            (colCount == 1 && node.rows == 1 && node.cols == rowCount) || (node.rows < 0 && node.cols < 0);
        if (node.hasData && shaped && node.data.size() == static_cast<size_t>(rowCount * colCount)) return &node;
        error = fileName + ":" + std::to_string(node.line) + ": " + key + " is no " + std::to_string(rowCount) + " x " +
                std::to_string(colCount) + " matrix (" + std::to_string(node.data.size()) + " numbers)";
        return nullptr;
    }

    // The picture size of `image_width` and `image_height`, where given.
    bool YamlSize(const YamlNodes& nodes) {
        for (const CameraKey key : {KEY_WIDTH, KEY_HEIGHT}) {
            const auto node = nodes.find(key == KEY_WIDTH ? "image_width" : "image_height");
            if (node == nodes.end()) continue;
            double value = 0.0;
            if (!ParseNumber(node->second.scalar, value)) {
                return Fail(node->second.line, node->first + ": '" + node->second.scalar + "' is not a number");
            }
            if (!Give(key, value, node->second.line)) return false;
        }
        return true;
    }

    bool YamlFinish(const std::string& text) {
        YamlNodes nodes;
        if (!ReadYamlNodes(text, name, nodes, error)) return false;
        const auto has = [&](const YamlNodes& n, const char* key) { return n.count(key) != 0; };
        if (has(nodes, "P1") && has(nodes, "P2")) {
            const YamlNode* p1 = Matrix(nodes, "P1", 3, 4, name);
            const YamlNode* p2 = p1 ? Matrix(nodes, "P2", 3, 4, name) : nullptr;
            return p2 && Projections(p1->data, p2->data, p1->line, p2->line, "P1", "P2") && YamlSize(nodes);
        }
        if (has(nodes, "M1") && has(nodes, "T")) {
            const YamlNode* m1 = Matrix(nodes, "M1", 3, 3, name);
            const YamlNode* t = m1 ? Matrix(nodes, "T", 3, 1, name) : nullptr;
            if (!t) return false;
            file.calibration = true;
            return Give(KEY_F, m1->data[0], m1->line) && Give(KEY_U0, m1->data[2], m1->line) &&
                   Give(KEY_V0, m1->data[5], m1->line) && Give(KEY_BASELINE, -t->data[0], t->line) &&
                   Give(KEY_BF, file.camera.f_pix * file.camera.baseline_m, t->line) && YamlSize(nodes);
        }
        if (!has(nodes, "projection_matrix")) {
            return Fail(0, "no P1 and P2, M1 and T (OpenCV's stereo calibration) or projection_matrix (ROS camera_info)");
        }
        const YamlNode* left = Matrix(nodes, "projection_matrix", 3, 4, name);
        if (!left) return false;
        if (choice.rightText.empty()) {
            return Fail(0, "a ROS camera_info file of one camera gives no baseline: give the right camera's file too "
                           "(--camera-right)");
        }
        YamlNodes rightNodes;
        if (!ReadYamlNodes(choice.rightText, choice.rightName, rightNodes, error)) return false;
        if (!has(rightNodes, "projection_matrix")) {
            error = choice.rightName + ": no projection_matrix (ROS camera_info)";
            return false;
        }
        const YamlNode* right = Matrix(rightNodes, "projection_matrix", 3, 4, choice.rightName);
        return right &&
               Projections(left->data, right->data, left->line, 0, "projection_matrix",
                           choice.rightName + "'s projection_matrix") &&
               YamlSize(nodes);
    }
};

// The formats of a camera file, told apart by their contents.
enum class CameraFormat { OWN, KITTI, YAML };

CameraFormat FormatOf(const std::string& text, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (line.empty()) continue;
        if (line.compare(0, 5, "%YAML") == 0) return CameraFormat::YAML;
        if (line.find('=') != std::string::npos) return CameraFormat::OWN;
        break;
    }
    for (const char* mark : {"!!opencv-matrix", "projection_matrix:", "image_width:"}) {
        if (text.find(mark) != std::string::npos) return CameraFormat::YAML;
    }
    return CameraFormat::KITTI;
}

}  // namespace

const char* CameraKeyName(CameraKey key) { return KEYS[key].name; }

bool ParseCameraFile(const std::string& text, const std::string& name, CameraFile& file, std::string& error,
                     const CalibrationChoice& choice) {
    file = CameraFile{};
    Parse parse(name, file, error, choice);
    // A text saved as UTF-8 by some editors starts with a byte-order mark, which is no content.
    const bool marked = text.compare(0, UTF8_BYTE_ORDER_MARK.size(), UTF8_BYTE_ORDER_MARK) == 0;
    const std::string content = marked ? text.substr(UTF8_BYTE_ORDER_MARK.size()) : text;
    const std::vector<std::string> lines = ContentLines(content);
    const CameraFormat format = FormatOf(content, lines);
    if (format == CameraFormat::YAML) {
        if (!parse.YamlFinish(content)) return false;
    } else {
        const bool own = format == CameraFormat::OWN;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].empty()) continue;
            const int number = static_cast<int>(i + 1);
            if (!(own ? parse.OwnLine(lines[i], number) : parse.KittiLine(lines[i], number))) return false;
        }
        if (!(own ? parse.OwnFinish() : parse.KittiFinish())) return false;
    }
    const std::string problem = CameraProblem(file.camera);
    if (problem.empty()) return true;
    error = name + ": " + problem;
    return false;
}

namespace {

// The text of a camera file: a regular file of at most CAMERA_FILE_MAX_BYTES.
bool ReadCameraText(const std::string& path, std::string& text, std::string& error) {
    std::string problem;
    RegularFile input = OpenRegularFile(path, CAMERA_FILE_MAX_BYTES, problem);
    if (!input.file) {
        error = path + ": " + problem;
        return false;
    }
    text.assign(static_cast<size_t>(input.length), '\0');
    if (std::fread(text.data(), 1, text.size(), input.file.get()) == text.size()) return true;
    error = path + ": read error";
    return false;
}

}  // namespace

bool ReadCameraFile(const std::string& path, CameraFile& file, std::string& error, bool colour,
                    const std::string& rightPath) {
    CalibrationChoice choice;
    choice.colour = colour;
    choice.rightName = rightPath;
    std::string text;
    if (!ReadCameraText(path, text, error)) return false;
    if (!rightPath.empty() && !ReadCameraText(rightPath, choice.rightText, error)) return false;
    return ParseCameraFile(text, path, file, error, choice);
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

namespace {

constexpr double DEGREES_PER_RADIAN = 180.0 / 3.14159265358979323846;
constexpr int SHOWN_DIGITS = 4;

// A value for a message, to SHOWN_DIGITS significant digits.
std::string Shown(double value) {
    std::ostringstream text;
    text << std::setprecision(SHOWN_DIGITS) << value;
    return text.str();
}

}  // namespace

std::string ImplausibleCamera(const Camera& c) {
    std::string lines;
    if (c.camHeight_m > CAMERA_HEIGHT_MAX_M) {
        lines += "the camera height " + Shown(c.camHeight_m) + " m is no car's: millimetres? then " +
                 Shown(c.camHeight_m / 1000.0) + " m; centimetres? then " + Shown(c.camHeight_m / 100.0) + " m\n";
    }
    if (std::fabs(c.tanPitch) > PITCH_TANGENT_MAX) {
        lines += "the pitch " + Shown(c.tanPitch) + " is a tangent, of " +
                 Shown(std::atan(c.tanPitch) * DEGREES_PER_RADIAN) + " degrees: degrees given? then the tangent is " +
                 Shown(std::tan(c.tanPitch / DEGREES_PER_RADIAN)) + "\n";
    }
    if (c.baseline_m > BASELINE_MAX_M) {
        lines += "the baseline " + Shown(c.baseline_m) + " m is no car's stereo rig: millimetres? then " +
                 Shown(c.baseline_m / 1000.0) + " m\n";
    }
    if (c.frameInterval_s > FRAME_INTERVAL_MAX_S) {
        lines += "the frame interval " + Shown(c.frameInterval_s) + " s (" + Shown(1.0 / c.frameInterval_s) +
                 " frames per second) is no camera's: the interval given for the rate? then " +
                 Shown(c.frameInterval_s) + " frames per second; milliseconds? then " +
                 Shown(c.frameInterval_s / 1000.0) + " s\n";
    }
    return lines;
}
