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

// Records the file; false with a message when another file already recorded is the same.
bool Record(Seen& seen, const NamedFile& file, std::string& error) {
    const std::string identity = FileIdentity(file);
    if (identity.empty()) return true;
    const auto known = seen.emplace(identity, file);
    if (known.second) return true;
    error = Describe(file) + ": is the same file as " + Describe(known.first->second);
    return false;
}

}  // namespace

std::string FileIdentity(const NamedFile& file) {
    struct stat status {};
    const bool exists = file.stream >= 0 ? ::fstat(file.stream, &status) == 0 : ::stat(file.path.c_str(), &status) == 0;
    if (exists) return S_ISREG(status.st_mode) ? "f " + DeviceAndInode(status) : "";
    return file.stream >= 0 ? "" : NewNameIdentity(file.path);
}

bool CheckOutputsApart(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs,
                       const std::vector<NamedFile>& streams, const std::string& overlayDir, std::string& error) {
    Seen seen;
    const std::string overlayFolder = overlayDir.empty() ? "" : FolderIdentity(overlayDir);
    for (const NamedFile& input : inputs) {
        if (!overlayFolder.empty() && FolderIdentity(fs::path(input.path).parent_path()) == overlayFolder) {
            error = "--overlay " + overlayDir + ": holds the input " + Describe(input);
            return false;
        }
        // An input named twice (a pattern without a frame number) is one file.
        const std::string identity = FileIdentity(input);
        if (!identity.empty()) seen.emplace(identity, input);
    }
    for (const NamedFile& output : outputs) {
        if (!Record(seen, output, error)) return false;
    }
    for (const NamedFile& stream : streams) {
        const auto known = seen.find(FileIdentity(stream));
        if (known == seen.end()) continue;
        error = Describe(stream) + ": is the same file as " + Describe(known->second);
        return false;
    }
    return true;
}
