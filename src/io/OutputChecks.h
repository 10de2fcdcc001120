// Checks made before a run opens anything for writing, so that no output destroys an input or
// another output. Files are compared by what they are, not by how they are spelled: two names
// are the same file when std::filesystem::equivalent finds them so (hard links, symbolic links,
// "./a" and "a" alike), or, for an output that does not exist yet, when they name the same
// folder and name. A device, a pipe or a terminal, which writing does not destroy, is never the
// same file as another.
#pragma once

#include <functional>
#include <string>
#include <vector>

// A file a run reads or writes, by the option that names it; `stream` is the descriptor of a
// standard stream (the path is then not used), -1 for a named file.
struct NamedFile {
    std::string option;
    std::string path;
    int stream = -1;
};

// The files of a run, by the options that name them. `frameFiles` forms the files of one frame
// (the pictures it reads, and those it writes, which lie in `overlayDir`) when asked, so that a
// long run's names are never all held at once.
struct RunFiles {
    std::vector<NamedFile> inputs;   // read by the whole run
    std::vector<NamedFile> outputs;  // written by the whole run
    std::vector<NamedFile> streams;
    std::string overlayDir;          // empty: no overlays
    int first = 0;
    int last = -1;
    std::function<void(int frame, std::vector<NamedFile>& inputs, std::vector<NamedFile>& outputs)> frameFiles;
};

// Refuses, with a message naming both, an output that is the same file as an input or as another
// output (a frame's output is compared with the files named once and with that frame's inputs:
// patterns of one length of frame number name one frame's files alike), a standard stream (standard output, standard error) that is the same file as an input
// or an output (the streams themselves may share one file), and an overlay folder in which an
// input lies. Only the identities of the files named once are kept while the frames' files are
// formed and compared one frame at a time.
bool CheckOutputsApart(const RunFiles& files, std::string& error);
