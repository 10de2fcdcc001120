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

inline ProgramResult RunProgram(const std::string& program, const std::string& arguments,
                                const std::string& environment = "") {
    const std::string emulator = EMULATOR;
    const std::string command =
        environment + " " + (emulator.empty() ? "" : emulator + " ") + program + " " + arguments;
    ProgramResult result{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char chunk[4096];
    for (size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) > 0;) result.output.append(chunk, got);
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}
