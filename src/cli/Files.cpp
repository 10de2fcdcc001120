#include "Files.h"

#include <sys/stat.h>

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
    : in_(in), name_(std::move(name)), buffer_(maxLineBytes + 1), maxTotalBytes_(maxTotalBytes) {}

bool LineReader::Fail(const std::string& message) {
    error_ = message;
    return false;
}

// A line that fills the buffer without reaching its end leaves failbit without eofbit. The
// stream reports a failing buffer (a read error, or no memory within it) by its badbit.
bool LineReader::Next(std::string& line) {
    if (!error_.empty() || !in_.good()) return false;
    in_.getline(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    const uint64_t extracted = static_cast<uint64_t>(in_.gcount());
    totalBytes_ += extracted;
    if (in_.bad()) return Fail(name_ + ": read error after line " + std::to_string(number_));
    if (extracted == 0 && in_.eof()) return false;
    ++number_;
    if (in_.fail() && !in_.eof()) {
        return Fail(name_ + ":" + std::to_string(number_) + ": line longer than " + std::to_string(buffer_.size() - 1) +
                    " bytes");
    }
    if (totalBytes_ > maxTotalBytes_) return Fail(name_ + ": longer than " + std::to_string(maxTotalBytes_) + " bytes");
    line.assign(buffer_.data(), in_.eof() ? extracted : extracted - 1);  // without the '\n' taken
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}
