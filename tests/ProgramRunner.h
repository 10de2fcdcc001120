// Runs one of the project's programs (under the cross emulator when there is one) and collects
// its standard output and exit status. `environment` holds shell assignments for the program
// ("NAME=value ...").
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

struct ProgramResult {
    int status;          // exit status, or -1 when the program could not be run or was killed
    std::string output;  // standard output
};

// Runs a shell command of the build machine itself (no emulator).
inline ProgramResult RunHostCommand(const std::string& command) {
    ProgramResult result{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char chunk[4096];
    for (size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) > 0;) result.output.append(chunk, got);
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

// `environment` goes before the command ("LD_PRELOAD=... "); `seconds` > 0 ends the program after
// that long (status 124), so that a hang fails a test.
inline ProgramResult RunProgram(const std::string& program, const std::string& arguments,
                                const std::string& environment = "", int seconds = 0) {
    const std::string emulator = EMULATOR;
    const std::string limit = seconds > 0 ? "timeout " + std::to_string(seconds) + " " : "";
    return RunHostCommand(environment + " " + limit + (emulator.empty() ? "" : emulator + " ") + program + " " +
                          arguments);
}
