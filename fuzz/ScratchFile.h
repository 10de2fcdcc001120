// The scratch file of a fuzz target that hands its input to a reader of files: one per fuzzing
// process, rewritten for every input and removed at exit.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

struct Scratch {
    std::string path;
    ~Scratch() { std::remove(path.c_str()); }
};

// The file's name: "$TMPDIR/<stem>.<process id><extension>" (TMPDIR defaulting to /tmp), fixed by
// the first call.
inline const std::string& FuzzScratchFile(const char* stem, const char* extension) {
    static const Scratch scratch{[&] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir != nullptr ? dir : "/tmp") + "/" + stem + "." + std::to_string(getpid()) + extension;
    }()};
    return scratch.path;
}

// Writes the input into the scratch file; aborts the target when it cannot.
inline void WriteScratch(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file != nullptr && std::fwrite(data, 1, size, file) == size;
    if (file == nullptr || std::fclose(file) != 0 || !written) std::abort();
}
