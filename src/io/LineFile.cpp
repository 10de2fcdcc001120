#include "LineFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

LineFile::~LineFile() {
    if (owned && fd >= 0) ::close(fd);
}

void LineFile::Opened(int descriptor, bool own) {
    fd = descriptor;
    owned = own;
    struct stat status {};
    regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    // A file opened to append is written at its end whatever the offset says.
    const int flags = ::fcntl(fd, F_GETFL);
    const off_t at = ::lseek(fd, 0, flags >= 0 && (flags & O_APPEND) != 0 ? SEEK_END : SEEK_CUR);
    regular = regular && at >= 0;
    end = before = regular ? at : 0;
}

bool LineFile::Create(const std::string& path, std::string& problem) {
    // Opened without waiting: a named pipe that nobody reads is refused at once (ENXIO) instead
    // of holding the run in open() until a reader comes.
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    if (descriptor < 0) {
        problem = errno == ENXIO ? "is a named pipe that nobody reads"
                                 : std::string("cannot be created (") + std::strerror(errno) + ")";
        return false;
    }
    // Writes wait for room, as they do on a stream opened the usual way.
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        problem = std::string("cannot be set up for writing (") + std::strerror(errno) + ")";
        ::close(descriptor);
        return false;
    }
    Opened(descriptor, true);
    return true;
}

void LineFile::UseStandardOutput() { Opened(STDOUT_FILENO, false); }

bool LineFile::Append(const std::string& lines, std::string& problem) {
    size_t done = 0;
    while (done < lines.size()) {
        const ssize_t n = ::write(fd, lines.data() + done, lines.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || (regular && static_cast<size_t>(n) < lines.size())) {
            problem = n < 0 ? std::strerror(errno)
                            : "only " + std::to_string(n) + " of " + std::to_string(lines.size()) +
                                  " bytes fit: the disk is full or the file at its size limit";
            if (regular && !CutBack(end)) problem += "; the file cannot be cut back to its last whole line";
            return false;
        }
        done += static_cast<size_t>(n);
    }
    before = end;
    end += static_cast<long long>(lines.size());
    return true;
}

bool LineFile::UndoLastAppend() {
    if (!regular || !CutBack(before)) return false;
    end = before;
    return true;
}

bool LineFile::CutBack(long long length) {
    return ::ftruncate(fd, static_cast<off_t>(length)) == 0 && ::lseek(fd, static_cast<off_t>(length), SEEK_SET) >= 0;
}

bool LineFile::Close(std::string& problem) {
    if (!owned || fd < 0) return true;
    const bool closed = ::close(fd) == 0;
    if (!closed) problem = std::string("cannot be written (") + std::strerror(errno) + ")";
    fd = -1;
    return closed;
}
