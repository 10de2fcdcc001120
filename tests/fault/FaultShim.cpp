// A fault injector that the tests load into a program (LD_PRELOAD, or QEMU_SET_ENV=LD_PRELOAD=...
// under qemu-user) to make its write(), writev(), read() or rename() on one file fail, come up
// short or be cut off by a signal, as a full disk, a failing disk or a kill would. Set by the
// environment:
//   FAULT_PATH    the calls on a file whose path contains this text are watched (required)
//   FAULT_OP      write (write and writev, the default), read, or rename (the file's old name)
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

struct Plan {
    const char* path = std::getenv("FAULT_PATH");
    const char* op = std::getenv("FAULT_OP") != nullptr ? std::getenv("FAULT_OP") : "write";
    long long call = Number("FAULT_CALL", 0);
    long long byte = Number("FAULT_BYTE", -1);
    int signal = static_cast<int>(Number("FAULT_SIGNAL", 0));
    int error = static_cast<int>(Number("FAULT_ERRNO", std::strcmp(op, "write") == 0 ? ENOSPC : EIO));

    static long long Number(const char* name, long long otherwise) {
        const char* text = std::getenv(name);
        return text != nullptr ? std::atoll(text) : otherwise;
    }
};

const Plan& ThePlan() {
    static const Plan plan;
    return plan;
}

long long calls = 0;
long long passed = 0;
bool struck = false;

bool Watched(const char* op, const char* name) {
    const Plan& plan = ThePlan();
    return plan.path != nullptr && std::strcmp(plan.op, op) == 0 && std::strstr(name, plan.path) != nullptr;
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
    if (ThePlan().signal != 0) kill(getpid(), ThePlan().signal);
    errno = ThePlan().error;
    return -1;
}

// How many of `size` bytes a watched call may move; -1 when it fails.
long long Allowed(size_t size) {
    const Plan& plan = ThePlan();
    if (struck || ++calls == plan.call) return Strike();
    const long long wanted = static_cast<long long>(size);
    if (plan.byte >= 0 && passed + wanted > plan.byte) {
        const long long room = plan.byte - passed;
        if (room <= 0) return Strike();
        struck = true;
        passed += room;
        return room;
    }
    passed += wanted;
    return wanted;
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
    if (!WatchedDescriptor("write", fd)) return RealWrite(fd, bytes, size);
    const long long allowed = Allowed(size);
    return allowed < 0 ? -1 : RealWrite(fd, bytes, static_cast<size_t>(allowed));
}

extern "C" ssize_t writev(int fd, const struct iovec* parts, int count) {
    static const auto real = Real<ssize_t (*)(int, const struct iovec*, int)>("writev");
    if (!WatchedDescriptor("write", fd)) return real(fd, parts, count);
    std::vector<char> joined;
    for (int i = 0; i < count; ++i) {
        const char* from = static_cast<const char*>(parts[i].iov_base);
        joined.insert(joined.end(), from, from + parts[i].iov_len);
    }
    const long long allowed = Allowed(joined.size());
    return allowed < 0 ? -1 : RealWrite(fd, joined.data(), static_cast<size_t>(allowed));
}

extern "C" ssize_t read(int fd, void* bytes, size_t size) {
    static const auto real = Real<ssize_t (*)(int, void*, size_t)>("read");
    if (!WatchedDescriptor("read", fd)) return real(fd, bytes, size);
    const long long allowed = Allowed(size);
    return allowed < 0 ? -1 : real(fd, bytes, static_cast<size_t>(allowed));
}

extern "C" int rename(const char* from, const char* to) {
    static const auto real = Real<int (*)(const char*, const char*)>("rename");
    if (Watched("rename", from) && Allowed(0) < 0) return -1;
    return real(from, to);
}
