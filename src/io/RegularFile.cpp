#include "RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
