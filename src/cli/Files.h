// The files named on a command line. Only a regular file is opened for reading: a device such
// as /dev/zero never ends and a FIFO without a writer blocks the open itself. Its lines are read
// within bounds on the line and on the whole text, so no input can take unbounded memory. An
// output replaces only a regular file: written under a temporary name and renamed, it would
// put a plain file in the place of a device or a FIFO.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <istream>
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

// Opens `path` for reading, the one check of every input file of the programs: a FIFO without a
// writer, a device such as /dev/zero or a folder is refused at once instead of blocking the run or
// feeding it without end, and the file's length is known (and bounded) before anything is read.
// Returns a null handle with the problem in `problem` (without the file name) when the file cannot
// be opened, is not a regular file ("is not a regular file (a FIFO)"), or holds more than maxBytes.
RegularFile OpenRegularFile(const std::string& path, uint64_t maxBytes, std::string& problem);

// The problem of a file that cannot be opened at all.
constexpr const char* CANNOT_BE_OPENED = "cannot be opened (missing or unreadable)";

// Opens `path` into `in` when OpenRegularFile takes it (a symbolic link is followed); otherwise
// returns false with "PATH: PROBLEM" in `error`.
bool OpenInputFile(const std::string& path, std::ifstream& in, std::string& error);

// True when `path` does not exist yet or names a regular file (a symbolic link is followed);
// otherwise false with "PATH: exists and is not a regular file" in `error`.
bool ReplaceableOutput(const std::string& path, std::string& error);

// The lines of a text, without their ends ("\n" or "\r\n"); a last line needs no end.
class LineReader {
public:
    // `name` is the input's name in messages.
    LineReader(std::istream& in, std::string name, size_t maxLineBytes, uint64_t maxTotalBytes);

    // The next line into `line`, true; false at the end of the text or at a fault, which
    // Error() then describes.
    bool Next(std::string& line);
    int Number() const { return number_; }  // of the line Next gave last, from 1
    // "" at the end of the text; else "NAME:LINE: line longer than N bytes",
    // "NAME: longer than N bytes" or "NAME: read error after line N".
    const std::string& Error() const { return error_; }

private:
    bool Fail(const std::string& message);

    std::istream& in_;
    std::string name_;
    size_t maxLineBytes_;
    uint64_t maxTotalBytes_;
    uint64_t totalBytes_ = 0;
    int number_ = 0;
    bool ended_ = false;
    std::string error_;
};
