#include "Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits>
#include <new>
#include <string>
#include <utility>

namespace {

const char* Kind(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "a special file";
}

}  // namespace

RegularFile OpenRegularFile(const std::string& path, uint64_t maxBytes, std::string& problem) {
    RegularFile input;
    // Without O_NONBLOCK, opening a FIFO waits for a writer; the mode is looked at before any read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        problem = CANNOT_BE_OPENED;
        return input;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = info.st_mode == 0 ? CANNOT_BE_OPENED : std::string("is not a regular file (") + Kind(info.st_mode) + ")";
        ::close(fd);
        return input;
    }
    const uint64_t length = static_cast<uint64_t>(info.st_size);
    if (length > maxBytes) {
        problem = "holds " + std::to_string(length) + " bytes, more than the " + std::to_string(maxBytes) + " read";
        ::close(fd);
        return input;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    std::FILE* file = flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ? nullptr : ::fdopen(fd, "rb");
    if (file == nullptr) {
        problem = CANNOT_BE_OPENED;
        ::close(fd);
        return input;
    }
    input.file.reset(file);
    input.length = length;
    return input;
}

bool OpenInputFile(const std::string& path, std::ifstream& in, std::string& error) {
    std::string problem;
    if (!OpenRegularFile(path, std::numeric_limits<uint64_t>::max(), problem).file) {
        error = path + ": " + problem;
        return false;
    }
    in.open(path, std::ios::binary);
    if (in) return true;
    error = path + ": " + CANNOT_BE_OPENED;
    return false;
}

bool ReplaceableOutput(const std::string& path, std::string& error) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) return true;
    error = path + ": exists and is not a regular file";
    return false;
}

LineReader::LineReader(std::istream& in, std::string name, size_t maxLineBytes, uint64_t maxTotalBytes)
    : in_(in), name_(std::move(name)), maxLineBytes_(maxLineBytes), maxTotalBytes_(maxTotalBytes) {}

bool LineReader::Fail(const std::string& message) {
    error_ = message;
    return false;
}

// Straight from the stream's buffer, which reports a failed read by throwing (as a file buffer
// does); a failed allocation is left to the caller, whose input it is.
bool LineReader::Next(std::string& line) {
    std::streambuf* buffer = in_.rdbuf();
    if (!error_.empty() || ended_ || buffer == nullptr) return false;
    line.clear();
    try {
        for (;;) {
            const int c = buffer->sbumpc();
            if (c == std::char_traits<char>::eof()) {
                ended_ = true;
                if (line.empty()) return false;
                break;
            }
            if (++totalBytes_ > maxTotalBytes_) return Fail(name_ + ": longer than " + std::to_string(maxTotalBytes_) + " bytes");
            if (c == '\n') break;
            if (line.size() == maxLineBytes_) {
                return Fail(name_ + ":" + std::to_string(number_ + 1) + ": line longer than " +
                            std::to_string(maxLineBytes_) + " bytes");
            }
            line.push_back(static_cast<char>(c));
        }
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        return Fail(name_ + ": read error after line " + std::to_string(number_));
    }
    ++number_;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}
