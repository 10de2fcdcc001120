#include "TimesFile.h"

#include <cstdint>
#include <fstream>
#include <sstream>

#include "Files.h"
#include "NumberParsing.h"

namespace {

constexpr size_t TIME_LINE_MAX_BYTES = 256;
constexpr uint64_t TIME_FILE_MAX_BYTES = uint64_t(1) << 26;

// One finite number later than `previous` (when there is one), or false with what is wrong.
bool ParseTime(const std::string& line, const double* previous, double& time_s, std::string& problem) {
    std::istringstream fields(line);
    std::string field, extra;
    if (!(fields >> field)) {
        problem = "no time";
        return false;
    }
    if (!ParseNumber(field, time_s)) {
        problem = "\"" + field + "\" is not a finite number";
        return false;
    }
    if (fields >> extra) {
        problem = "more than one number";
        return false;
    }
    if (previous != nullptr && !(time_s > *previous)) {
        problem = field + " s is not later than the line before's time: the times must increase";
        return false;
    }
    return true;
}

}  // namespace

bool ParseTimes(std::istream& in, const std::string& name, std::vector<double>& times, std::string& error) {
    LineReader lines(in, name, TIME_LINE_MAX_BYTES, TIME_FILE_MAX_BYTES);
    times.clear();
    std::string line;
    while (lines.Next(line)) {
        double time_s = 0.0;
        std::string problem;
        if (!ParseTime(line, times.empty() ? nullptr : &times.back(), time_s, problem)) {
            error = name + ":" + std::to_string(lines.Number()) + ": " + problem;
            return false;
        }
        times.push_back(time_s);
    }
    error = lines.Error();
    if (error.empty() && times.empty()) error = name + ": no times";
    return error.empty();
}

bool ReadTimesFile(const std::string& path, std::vector<double>& times, std::string& error) {
    std::ifstream in;
    return OpenInputFile(path, in, error) && ParseTimes(in, path, times, error);
}
