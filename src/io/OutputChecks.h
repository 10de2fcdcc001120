// Checks made before a run opens anything for writing, so that no output destroys an input or
// another output. Files are compared by what they are, not by how they are spelled: two names
// are the same file when they reach one device and inode (hard links, symbolic links, "./a" and
// "a" alike), or, for an output that does not exist yet, the same folder and name.
#pragma once

#include <string>
#include <vector>

// A file a run reads or writes, by the option that names it; `stream` is the descriptor of a
// standard stream (the path is then not used), -1 for a named file.
struct NamedFile {
    std::string option;
    std::string path;
    int stream = -1;
};

// What a file is for the comparison: "f DEV INO" for an existing regular file (links followed),
// "n DEV INO NAME" for a name not existing yet in an existing folder, "p PATH" (absolute,
// normalised) in a folder that does not exist yet, and "" for anything else (a device, a pipe
// or a terminal, which writing does not destroy).
std::string FileIdentity(const NamedFile& file);

// Refuses, with a message naming both, an output that is the same file as an input or as another
// output, a standard stream (standard output, standard error) that is the same file as an input
// or an output (the streams themselves may share one file), and an overlay folder in which an
// input lies. `overlayDir` may be empty (no overlays).
bool CheckOutputsApart(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs,
                       const std::vector<NamedFile>& streams, const std::string& overlayDir, std::string& error);
