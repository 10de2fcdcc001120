#include "VideoFile.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace {

int Even(int n) { return n + n % 2; }

// The video being written, announced for AbandonVideoOnSignal: its temporary's name from before
// the file exists (the name holds the process's number, so no other file has it) until it is
// renamed or removed, and its encoder once started. The encoder is stopped before the file is
// removed: an encoder still starting might create it again.
char announcedTemporary[4096];
std::atomic<bool> temporaryAnnounced{false};
std::atomic<pid_t> announcedEncoder{-1};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free,
              "a signal handler reads them");

bool AnnounceTemporary(const std::string& temporary) {
    if (temporary.size() >= sizeof announcedTemporary) return false;
    std::memcpy(announcedTemporary, temporary.c_str(), temporary.size() + 1);
    temporaryAnnounced = true;
    return true;
}

void WithdrawAnnouncement() {
    temporaryAnnounced = false;
    announcedEncoder = -1;
}

constexpr int TEMPORARY_ATTEMPTS = 100;

// A hidden name beside `target` that no file had, created empty with the permissions a new file
// gets (the encoder then overwrites it).
bool CreateTemporary(const std::string& target, std::string& temporary, std::string& problem) {
    const std::filesystem::path p(target);
    int failure = 0;
    for (int attempt = 0; attempt < TEMPORARY_ATTEMPTS; ++attempt) {
        temporary = (p.parent_path() / ("." + p.filename().string() + "." + std::to_string(::getpid()) + "-" +
                                        std::to_string(attempt) + ".tmp"))
                        .string();
        if (!AnnounceTemporary(temporary)) {
            problem = "has too long a name";
            return false;
        }
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        failure = errno;
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
        WithdrawAnnouncement();
        if (failure != EEXIST) break;
    }
    problem = std::string("cannot be created in its folder (") + std::strerror(failure) + ")";
    return false;
}

std::string StatusText(int status) {
    if (WIFEXITED(status)) return std::string(VIDEO_ENCODER) + " ended with exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return std::string(VIDEO_ENCODER) + " was ended by signal " + std::to_string(WTERMSIG(status));
    return std::string(VIDEO_ENCODER) + " ended abnormally";
}

}  // namespace

std::string FindProgram(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "";
    size_t start = 0;
    while (start <= folders.size()) {
        const size_t end = std::min(folders.find(':', start), folders.size());
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        const std::string candidate = folder + "/" + program;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return "";
}

void SideBySideSize(const std::vector<const qim::Image*>& pictures, int& width, int& height) {
    width = 0;
    height = 0;
    for (const qim::Image* p : pictures) {
        width += p->cols;
        height = std::max(height, p->rows);
    }
    width = Even(width);
    height = Even(height);
}

void AbandonVideoOnSignal() {
    const pid_t encoder = announcedEncoder;
    if (encoder > 0) {
        // Killed outright: a terminated encoder would wait for the rest of its input, which
        // this process, in its handler, no longer sends.
        ::kill(encoder, SIGKILL);
        while (::waitpid(encoder, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    if (temporaryAnnounced) ::unlink(announcedTemporary);
}

VideoFile::~VideoFile() { Abandon(); }

bool VideoFile::Open(const std::string& encoder, const std::string& target, int w, int h, double fps_hz,
                     std::string& problem) {
    if (!CreateTemporary(target, temporary, problem)) return false;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        problem = std::string("no pipe to ") + VIDEO_ENCODER + " (" + std::strerror(errno) + ")";
        RemoveTemporary();
        return false;
    }
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.9g", fps_hz);
    const std::string size = std::to_string(w) + "x" + std::to_string(h);
    std::vector<std::string> args = {encoder, "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
                                     "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", size, "-r", rate, "-i", "-",
                                     "-an", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-f", "mp4", temporary};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const int failure = ::posix_spawn(&pid, encoder.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[0]);
    if (failure != 0) {
        pid = -1;
        ::close(ends[1]);
        RemoveTemporary();
        problem = encoder + " cannot be started (" + std::strerror(failure) + ")";
        return false;
    }
    announcedEncoder = pid;
    input = ends[1];
    path = target;
    width = w;
    height = h;
    rgb.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 3, 0);
    return true;
}

bool VideoFile::Write(const std::vector<const qim::Image*>& pictures, std::string& problem) {
    int w = 0;
    int h = 0;
    SideBySideSize(pictures, w, h);
    if (w != width || h != height) {
        problem = "a frame of " + std::to_string(w) + " x " + std::to_string(h) + " pixels in a video of " +
                  std::to_string(width) + " x " + std::to_string(height);
        return false;
    }
    std::fill(rgb.begin(), rgb.end(), 0);
    int left = 0;
    for (const qim::Image* p : pictures) {
        for (int v = 0; v < p->rows; ++v) {
            const uchar* bgr = p->ptr(v);
            unsigned char* out = &rgb[(static_cast<size_t>(v) * width + left) * 3];
            for (int u = 0; u < p->cols; ++u, bgr += 3, out += 3) {
                out[0] = bgr[2];
                out[1] = bgr[1];
                out[2] = bgr[0];
            }
        }
        left += p->cols;
    }
    size_t done = 0;
    while (done < rgb.size()) {
        const ssize_t n = ::write(input, rgb.data() + done, rgb.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            problem = std::string(VIDEO_ENCODER) + " takes no more frames (" + std::strerror(errno) + ")";
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool VideoFile::Close(std::string& problem) {
    if (!IsOpen()) return true;
    ::close(input);
    input = -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    pid = -1;
    if (!(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
        problem = StatusText(status);
        RemoveTemporary();
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        problem = std::string("cannot be written (") + std::strerror(errno) + ")";
        RemoveTemporary();
        return false;
    }
    WithdrawAnnouncement();
    return true;
}

void VideoFile::Abandon() {
    if (!IsOpen()) return;
    ::close(input);
    ::kill(pid, SIGTERM);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    pid = -1;
    RemoveTemporary();
}

void VideoFile::RemoveTemporary() {
    ::unlink(temporary.c_str());
    WithdrawAnnouncement();
}
