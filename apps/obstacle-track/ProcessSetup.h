// What obstacle-track sets up before it reads or writes anything: standard streams that a
// closed descriptor cannot swap for a result file, and signals that end the run without leaving
// a temporary file behind.
#pragma once

// Opens /dev/null on each of standard input, output and error that is closed, so that no file
// the run opens later takes its place (and its text). Returns whether standard output was open:
// a run that writes to a closed standard output must fail.
bool ReserveStandardStreams();

// On SIGINT, SIGTERM or SIGHUP, removes the temporary file being written (TemporaryBeingWritten)
// and the video's (AbandonVideoOnSignal), and ends the process by the same signal (one ignored when
// the run started stays ignored). The signals are held while a temporary is created and announced,
// so the handler knows every one that exists. A write to a closed pipe (EPIPE) or past the file
// size limit (EFBIG) fails with an error instead of ending the process, so that it is reported like
// any failed write.
void RemoveTemporariesOnSignals();

// The descriptors of standard output and error.
constexpr int STANDARD_OUTPUT = 1;
constexpr int STANDARD_ERROR = 2;

// Whether the descriptor is a terminal (a person watches it).
bool IsTerminal(int descriptor);
