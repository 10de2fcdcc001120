#include "ProcessSetup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "BmpWriter.h"

namespace {

constexpr int ENDING_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RemoveTemporaryAndEnd(int signal) {
    if (const char* temporary = TemporaryBeingWritten()) ::unlink(temporary);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

bool ReserveStandardStreams() {
    bool outputOpen = true;
    for (int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(stream, F_GETFD) >= 0) continue;
        if (stream == STDOUT_FILENO) outputOpen = false;
        // The lowest free descriptor is the closed stream's own.
        ::open("/dev/null", O_RDWR);
    }
    return outputOpen;
}

void RemoveTemporariesOnSignals() {
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryAndEnd;
    sigemptyset(&action.sa_mask);
    for (int signal : ENDING_SIGNALS) sigaddset(&action.sa_mask, signal);
    for (int signal : ENDING_SIGNALS) {
        // A signal ignored by whoever started the run (nohup, a background job) stays ignored.
        struct sigaction before {};
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
    ::signal(SIGPIPE, SIG_IGN);
}
