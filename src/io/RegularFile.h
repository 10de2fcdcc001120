// Opening obstacle-track's input files: only regular files are read, so that a FIFO without a
// writer, a device such as /dev/zero or a folder is refused at once instead of blocking the run or
// feeding it without end, and each file's length is known (and bounded) before anything is read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

struct RegularFile {
    FileHandle file;      // open for reading at its start; null when refused
    uint64_t length = 0;  // bytes in the file
};

// Opens `path` for reading. Returns a null handle with the problem in `problem` (without the file
// name) when the file cannot be opened, is not a regular file, or holds more than maxBytes.
RegularFile OpenRegularFile(const std::string& path, uint64_t maxBytes, std::string& problem);

// The problem of a file that cannot be opened at all.
constexpr const char* CANNOT_BE_OPENED = "cannot be opened (missing or unreadable)";
