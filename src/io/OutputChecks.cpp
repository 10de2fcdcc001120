#include "OutputChecks.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "BmpWriter.h"

namespace {

namespace fs = std::filesystem;

std::string Describe(const NamedFile& file) { return file.stream >= 0 ? file.option : file.option + " " + file.path; }

std::string DeviceAndInode(const struct stat& status) {
    return std::to_string(status.st_dev) + " " + std::to_string(status.st_ino);
}

// The identity of a folder, "" when it does not exist.
std::string FolderIdentity(const fs::path& folder) {
    struct stat status {};
    const std::string name = folder.empty() ? "." : folder.string();
    if (::stat(name.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return "";
    return "f " + DeviceAndInode(status);
}

// The identity of a name that does not exist: its folder and name.
std::string NewNameIdentity(const std::string& path) {
    std::string target = path;
    std::string problem;
    FollowLinks(path, target, problem);
    const fs::path name = target;
    const std::string folder = FolderIdentity(name.parent_path());
    if (folder.empty()) return "p " + fs::absolute(name).lexically_normal().string();
    return "n" + folder.substr(1) + " " + name.filename().string();
}

using Seen = std::map<std::string, NamedFile>;

// False, with the message that `file` is the same file as `known`.
bool Same(const NamedFile& file, const NamedFile& known, std::string& error) {
    error = Describe(file) + ": is the same file as " + Describe(known);
    return false;
}

// The run's files named once, and the standard streams, by identity.
struct Known {
    Seen inputs;
    Seen outputs;
    Seen streams;
};

bool InputOutsideOverlays(const NamedFile& input, const std::string& overlayDir, const std::string& overlayFolder,
                          std::string& error) {
    if (overlayFolder.empty() || FolderIdentity(fs::path(input.path).parent_path()) != overlayFolder) return true;
    error = "--overlay " + overlayDir + ": holds the input " + Describe(input);
    return false;
}

// False, with a message, where `file` is one of the files named once.
bool ApartFromNamed(const Known& known, const std::string& identity, const NamedFile& file, std::string& error) {
    for (const Seen* seen : {&known.inputs, &known.outputs}) {
        const auto named = seen->find(identity);
        if (named != seen->end()) return Same(file, named->second, error);
    }
    return true;
}

// False, with a message, where a standard stream is `file`.
bool ApartFromStreams(const Known& known, const std::string& identity, const NamedFile& file, std::string& error) {
    const auto stream = known.streams.find(identity);
    return stream == known.streams.end() || Same(stream->second, file, error);
}

// A frame's input: no output and no stream may be it.
bool CheckFrameInput(const Known& known, const NamedFile& input, std::string& error) {
    const std::string identity = FileIdentity(input);
    if (identity.empty()) return true;
    const auto output = known.outputs.find(identity);
    if (output != known.outputs.end()) return Same(output->second, input, error);
    return ApartFromStreams(known, identity, input, error);
}

// A frame's output: no file named once and no stream may be it.
bool CheckFrameOutput(const Known& known, const NamedFile& output, std::string& error) {
    const std::string identity = FileIdentity(output);
    return identity.empty() ||
           (ApartFromNamed(known, identity, output, error) && ApartFromStreams(known, identity, output, error));
}

}  // namespace

std::string FileIdentity(const NamedFile& file) {
    struct stat status {};
    const bool exists = file.stream >= 0 ? ::fstat(file.stream, &status) == 0 : ::stat(file.path.c_str(), &status) == 0;
    if (exists) return S_ISREG(status.st_mode) ? "f " + DeviceAndInode(status) : "";
    return file.stream >= 0 ? "" : NewNameIdentity(file.path);
}

bool CheckOutputsApart(const RunFiles& files, std::string& error) {
    Known known;
    const std::string overlayFolder = files.overlayDir.empty() ? "" : FolderIdentity(files.overlayDir);
    for (const NamedFile& input : files.inputs) {
        if (!InputOutsideOverlays(input, files.overlayDir, overlayFolder, error)) return false;
        const std::string identity = FileIdentity(input);
        if (!identity.empty()) known.inputs.emplace(identity, input);
    }
    for (const NamedFile& output : files.outputs) {
        const std::string identity = FileIdentity(output);
        if (identity.empty()) continue;
        if (!ApartFromNamed(known, identity, output, error)) return false;
        known.outputs.emplace(identity, output);
    }
    for (const NamedFile& stream : files.streams) {
        const std::string identity = FileIdentity(stream);
        if (identity.empty()) continue;
        if (!ApartFromNamed(known, identity, stream, error)) return false;
        known.streams.emplace(identity, stream);
    }
    std::vector<NamedFile> inputs;
    std::vector<NamedFile> outputs;
    for (int frame = files.first; files.frameFiles && frame <= files.last; ++frame) {
        inputs.clear();
        outputs.clear();
        files.frameFiles(frame, inputs, outputs);
        for (const NamedFile& input : inputs) {
            if (!InputOutsideOverlays(input, files.overlayDir, overlayFolder, error) || !CheckFrameInput(known, input, error)) {
                return false;
            }
        }
        for (const NamedFile& output : outputs) {
            if (!CheckFrameOutput(known, output, error)) return false;
        }
    }
    return true;
}
