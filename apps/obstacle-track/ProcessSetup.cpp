#include "ProcessSetup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "BmpWriter.h"
#include "VideoFile.h"

namespace {

constexpr int ENDING_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
// Process-wide, as the signal handlers are: the ending signals, and the mask before they were held.
sigset_t endingSignals;
sigset_t maskBeforeHold;

void HoldEndingSignals() { ::sigprocmask(SIG_BLOCK, &endingSignals, &maskBeforeHold); }
void ReleaseEndingSignals() { ::sigprocmask(SIG_SETMASK, &maskBeforeHold, nullptr); }

extern "C" void RemoveTemporaryAndEnd(int signal) {
    if (const char* temporary = TemporaryBeingWritten()) ::unlink(temporary);
    AbandonVideoOnSignal();
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
    sigemptyset(&endingSignals);
    for (int signal : ENDING_SIGNALS) sigaddset(&endingSignals, signal);
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryAndEnd;
    action.sa_mask = endingSignals;
    for (int signal : ENDING_SIGNALS) {
        // A signal ignored by whoever started the run (nohup, a background job) stays ignored.
        struct sigaction before {};
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
    HoldSignalsWhileCreatingTemporaries({HoldEndingSignals, ReleaseEndingSignals});
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
}

bool IsTerminal(int descriptor) { return isatty(descriptor) == 1; }
