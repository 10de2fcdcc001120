#include "Files.h"

#include <sys/stat.h>

#include <new>
#include <string>
#include <utility>

bool OpenInputFile(const std::string& path, std::ifstream& in, std::string& error) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        error = path + ": cannot open";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + ": not a regular file";
        return false;
    }
    in.open(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open";
        return false;
    }
    return true;
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
