#include "OutputChecks.h"

#include <filesystem>
#include <system_error>

#include "BmpWriter.h"

namespace {

namespace fs = std::filesystem;

std::string Describe(const NamedFile& file) { return file.stream >= 0 ? file.option : file.option + " " + file.path; }

// Where a file of the run lies, for comparing it with another.
struct Place {
    enum class Kind { OTHER, FILE, NEW_IN_FOLDER, NEW_ELSEWHERE };
    Kind kind = Kind::OTHER;  // OTHER: a device, a pipe, a terminal, a closed stream: never the same
    fs::path path;            // FILE: a name of it; NEW_IN_FOLDER: its folder; NEW_ELSEWHERE: absolute, normalised
    fs::path name;            // NEW_IN_FOLDER: its name in the folder
};

// The place of a name that does not exist: where the write reaches through links.
Place NewPlace(const std::string& path) {
    std::string target = path;
    std::string problem;
    FollowLinks(path, target, problem);
    const fs::path name = target;
    const fs::path folder = name.has_parent_path() ? name.parent_path() : fs::path(".");
    std::error_code error;
    if (fs::is_directory(folder, error)) return {Place::Kind::NEW_IN_FOLDER, folder, name.filename()};
    return {Place::Kind::NEW_ELSEWHERE, fs::absolute(name, error).lexically_normal(), {}};
}

// A standard stream is looked at through the name the system gives its descriptor.
Place PlaceOf(const NamedFile& file) {
    const fs::path named = file.stream >= 0 ? fs::path("/proc/self/fd") / std::to_string(file.stream) : fs::path(file.path);
    std::error_code error;
    const fs::file_status status = fs::status(named, error);
    if (fs::exists(status)) return {fs::is_regular_file(status) ? Place::Kind::FILE : Place::Kind::OTHER, named, {}};
    return file.stream >= 0 ? Place{} : NewPlace(file.path);
}

bool SamePlace(const Place& a, const Place& b) {
    if (a.kind != b.kind) return false;
    std::error_code error;
    switch (a.kind) {
        case Place::Kind::FILE:
            return fs::equivalent(a.path, b.path, error);
        case Place::Kind::NEW_IN_FOLDER:
            return a.name == b.name && fs::equivalent(a.path, b.path, error);
        case Place::Kind::NEW_ELSEWHERE:
            return a.path == b.path;
        case Place::Kind::OTHER:
            break;
    }
    return false;
}

// Files by their places, the first named of each place kept.
struct Placed {
    Place place;
    NamedFile file;
};
using Seen = std::vector<Placed>;

const NamedFile* Find(const Seen& seen, const Place& place) {
    for (const Placed& known : seen) {
        if (SamePlace(known.place, place)) return &known.file;
    }
    return nullptr;
}

void Add(Seen& seen, const Place& place, const NamedFile& file) {
    if (place.kind != Place::Kind::OTHER && Find(seen, place) == nullptr) seen.push_back({place, file});
}

// False, with the message that `file` is the same file as `known`.
bool Same(const NamedFile& file, const NamedFile& known, std::string& error) {
    error = Describe(file) + ": is the same file as " + Describe(known);
    return false;
}

// The run's files named once, and the standard streams, by place.
struct Known {
    Seen inputs;
    Seen outputs;
    Seen streams;
};

// The folder of the overlays, when there is one.
struct OverlayFolder {
    std::string option;  // as named
    bool exists = false;
};

bool InputOutsideOverlays(const NamedFile& input, const OverlayFolder& overlays, std::string& error) {
    if (!overlays.exists) return true;
    const fs::path folder = fs::path(input.path).parent_path();
    std::error_code problem;
    if (!fs::equivalent(folder.empty() ? fs::path(".") : folder, overlays.option, problem)) return true;
    error = "--overlay " + overlays.option + ": holds the input " + Describe(input);
    return false;
}

// False, with a message, where `file` is one of the files named once.
bool ApartFromNamed(const Known& known, const Place& place, const NamedFile& file, std::string& error) {
    for (const Seen* seen : {&known.inputs, &known.outputs}) {
        if (const NamedFile* named = Find(*seen, place)) return Same(file, *named, error);
    }
    return true;
}

// False, with a message, where a standard stream is `file`.
bool ApartFromStreams(const Known& known, const Place& place, const NamedFile& file, std::string& error) {
    const NamedFile* stream = Find(known.streams, place);
    return stream == nullptr || Same(*stream, file, error);
}

// A frame's input: no output and no stream may be it.
bool CheckFrameInput(const Known& known, const NamedFile& input, std::string& error) {
    const Place place = PlaceOf(input);
    if (place.kind == Place::Kind::OTHER) return true;
    if (const NamedFile* output = Find(known.outputs, place)) return Same(*output, input, error);
    return ApartFromStreams(known, place, input, error);
}

// A frame's output: no file named once and no stream may be it.
bool CheckFrameOutput(const Known& known, const NamedFile& output, std::string& error) {
    const Place place = PlaceOf(output);
    return place.kind == Place::Kind::OTHER ||
           (ApartFromNamed(known, place, output, error) && ApartFromStreams(known, place, output, error));
}

}  // namespace

bool CheckOutputsApart(const RunFiles& files, std::string& error) {
    Known known;
    std::error_code problem;
    const OverlayFolder overlays{files.overlayDir, !files.overlayDir.empty() && fs::is_directory(files.overlayDir, problem)};
    for (const NamedFile& input : files.inputs) {
        if (!InputOutsideOverlays(input, overlays, error)) return false;
        Add(known.inputs, PlaceOf(input), input);
    }
    for (const NamedFile& output : files.outputs) {
        const Place place = PlaceOf(output);
        if (place.kind == Place::Kind::OTHER) continue;
        if (!ApartFromNamed(known, place, output, error)) return false;
        Add(known.outputs, place, output);
    }
    for (const NamedFile& stream : files.streams) {
        const Place place = PlaceOf(stream);
        if (place.kind == Place::Kind::OTHER) continue;
        if (!ApartFromNamed(known, place, stream, error)) return false;
        Add(known.streams, place, stream);
    }
    std::vector<NamedFile> inputs;
    std::vector<NamedFile> outputs;
    for (int frame = files.first; files.frameFiles && frame <= files.last; ++frame) {
        inputs.clear();
        outputs.clear();
        files.frameFiles(frame, inputs, outputs);
        Seen frameInputs;
        for (const NamedFile& input : inputs) {
            if (!InputOutsideOverlays(input, overlays, error) || !CheckFrameInput(known, input, error)) return false;
            Add(frameInputs, PlaceOf(input), input);
        }
        for (const NamedFile& output : outputs) {
            if (!CheckFrameOutput(known, output, error)) return false;
            const NamedFile* input = Find(frameInputs, PlaceOf(output));
            if (input != nullptr) return Same(output, *input, error);
        }
    }
    return true;
}
