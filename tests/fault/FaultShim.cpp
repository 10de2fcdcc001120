// A fault injector that the tests load into a program (LD_PRELOAD, or QEMU_SET_ENV=LD_PRELOAD=...
// under qemu-user) to make its write(), writev(), read() or rename() on one file fail, come up
// short or be cut off by a signal, as a full disk, a failing disk or a kill would, or to send a
// signal the moment its fopen() has created a file. Set by the environment:
//   FAULT_PATH    the calls on a file whose path contains this text are watched (required)
//   FAULT_OP      write (write and writev, the default), read, rename (the file's old name), or
//                 create (fopen: a striking call with FAULT_SIGNAL opens the file, then raises it)
//   FAULT_CALL    the fault strikes at this watched call (from 1), before it moves any byte ...
//   FAULT_BYTE    ... or once this many bytes have passed: the call that would carry them past
//                 it moves only the bytes up to it, and the fault strikes at the next call
//   FAULT_SIGNAL  a striking call raises this signal (9 SIGKILL, 15 SIGTERM) instead of failing
//   FAULT_ERRNO   the failing calls' error (default ENOSPC for writes, EIO for reads and renames)
// Once struck, every later watched call fails too, as a full or broken disk keeps failing. Only
// the calls a program makes itself are seen (the C++ streams' included), not those the C library
// makes inside its own functions (fwrite's writes).
#include <dlfcn.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

long long Setting(const char* name, long long otherwise) {
    const char* text = std::getenv(name);
    return text != nullptr ? std::atoll(text) : otherwise;
}

const char* const PATH = std::getenv("FAULT_PATH");
const char* const OP = std::getenv("FAULT_OP") != nullptr ? std::getenv("FAULT_OP") : "write";
const long long CALL = Setting("FAULT_CALL", 0);
const long long BYTE = Setting("FAULT_BYTE", -1);
const int SIGNAL = static_cast<int>(Setting("FAULT_SIGNAL", 0));
const int ERROR = static_cast<int>(Setting("FAULT_ERRNO", std::strcmp(OP, "write") == 0 ? ENOSPC : EIO));

long long calls = 0;
long long passed = 0;
bool struck = false;

bool Watched(const char* op, const char* name) {
    return PATH != nullptr && std::strcmp(OP, op) == 0 && std::strstr(name, PATH) != nullptr;
}

bool WatchedDescriptor(const char* op, int fd) {
    char link[64];
    char name[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, name, sizeof name - 1);
    if (n < 0) return false;
    name[n] = '\0';
    return Watched(op, name);
}

long long Strike() {
    struck = true;
    if (SIGNAL != 0) kill(getpid(), SIGNAL);
    errno = ERROR;
    return -1;
}

// How many of `size` bytes a watched call may move; -1 when it fails.
long long Allowed(size_t size) {
    if (struck || ++calls == CALL) return Strike();
    const long long wanted = static_cast<long long>(size);
    if (BYTE < 0 || passed + wanted <= BYTE) {
        passed += wanted;
        return wanted;
    }
    if (passed >= BYTE) return Strike();
    struck = true;
    const long long room = BYTE - passed;
    passed = BYTE;
    return room;
}

template <typename Function> Function Real(const char* name) {
    Function real;
    void* symbol = dlsym(RTLD_NEXT, name);
    std::memcpy(&real, &symbol, sizeof real);
    return real;
}

ssize_t RealWrite(int fd, const void* bytes, size_t size) {
    static const auto real = Real<ssize_t (*)(int, const void*, size_t)>("write");
    return real(fd, bytes, size);
}

}  // namespace

extern "C" ssize_t write(int fd, const void* bytes, size_t size) {
    const long long allowed = WatchedDescriptor("write", fd) ? Allowed(size) : static_cast<long long>(size);
    return allowed < 0 ? -1 : RealWrite(fd, bytes, static_cast<size_t>(allowed));
}

extern "C" ssize_t writev(int fd, const struct iovec* parts, int count) {
    std::vector<char> joined;
    for (int i = 0; i < count; ++i) {
        const char* from = static_cast<const char*>(parts[i].iov_base);
        joined.insert(joined.end(), from, from + parts[i].iov_len);
    }
    return write(fd, joined.data(), joined.size());
}

extern "C" ssize_t read(int fd, void* bytes, size_t size) {
    static const auto real = Real<ssize_t (*)(int, void*, size_t)>("read");
    const long long allowed = WatchedDescriptor("read", fd) ? Allowed(size) : static_cast<long long>(size);
    return allowed < 0 ? -1 : real(fd, bytes, static_cast<size_t>(allowed));
}

namespace {

using OpenCall = FILE* (*)(const char*, const char*);

FILE* Open(OpenCall real, const char* name, const char* mode) {
    if (!Watched("create", name) || (!struck && ++calls != CALL)) return real(name, mode);
    FILE* file = SIGNAL != 0 ? real(name, mode) : nullptr;
    Strike();
    return file;
}

}  // namespace

extern "C" FILE* fopen(const char* name, const char* mode) {
    static const auto real = Real<OpenCall>("fopen");
    return Open(real, name, mode);
}

extern "C" FILE* fopen64(const char* name, const char* mode) {
    static const auto real = Real<OpenCall>("fopen64");
    return Open(real, name, mode);
}

extern "C" int rename(const char* from, const char* to) {
    static const auto real = Real<int (*)(const char*, const char*)>("rename");
    return Watched("rename", from) && Allowed(0) < 0 ? -1 : real(from, to);
}
