// Any bytes as a command line: arguments separated by zero bytes, parsed as obstacle-track's
// options and by the shared parser; the frame patterns obstacle-track takes are expanded for its
// first and last frames. A refusal names the program; what is taken holds its bounds and, once
// both ends are given, its order; an expanded name has no run of X as long as the frame
// number's, and keeps its length where the number fits in that run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "FileFrames.h"
#include "FrameNumbering.h"
#include "TrackOptions.h"

namespace {

constexpr size_t MOST_ARGUMENTS = 64;

std::vector<std::string> Split(const uint8_t* data, size_t size) {
    std::vector<std::string> args{"program"};
    std::string current;
    for (size_t i = 0; i < size && args.size() < MOST_ARGUMENTS; ++i) {
        if (data[i] != 0) {
            current += static_cast<char>(data[i]);
            continue;
        }
        args.push_back(current);
        current.clear();
    }
    args.push_back(current);
    return args;
}

void CheckExpansion(const std::string& pattern, int frame) {
    if (pattern.empty()) return;
    const std::string path = FramePath(pattern, frame);
    const size_t digits = static_cast<size_t>(FrameDigits(pattern));
    if (digits == 0 ? path != pattern : FrameDigits(path) >= static_cast<int>(digits)) std::abort();
    if (std::to_string(frame).size() <= digits && path.size() != pattern.size()) std::abort();
}

void CheckTrackOptions(int argc, const char* const* argv) {
    TrackOptions o;
    std::string error;
    if (!ParseTrackOptions(argc, argv, o, error)) {
        if (error.empty()) std::abort();
        return;
    }
    if (o.first < 0 || o.last > MAX_FRAME) std::abort();
    // A range found on disk gets its missing end there, so only a given range is ordered here.
    if (!RangeFromDisk(o) && o.first > o.last) std::abort();
    for (const std::string& pattern : {o.disparityPattern, o.greyPattern}) {
        CheckExpansion(pattern, o.first);
        CheckExpansion(pattern, o.last);
    }
}

void CheckSharedParser(int argc, const char* const* argv) {
    std::string text;
    int number = -1;
    bool flag = false;
    CommandLine line("fuzz");
    line.Text("--text", text);
    line.Integer("--number", number, 3, 2000000000, "a number");
    line.Flag("--flag", flag);
    line.Flag("-f", flag);
    std::string error;
    if (!line.Parse(argc, argv, error) && error.rfind("fuzz: ", 0) != 0) std::abort();
    if (number != -1 && (number < 3 || number > 2000000000)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> args = Split(data, size);
    std::vector<const char*> argv;
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    const int argc = static_cast<int>(argv.size());
    CheckTrackOptions(argc, argv.data());
    CheckSharedParser(argc, argv.data());
    return 0;
}
