// One parser for the programs' command lines. An option's value follows it ("--first 410") or is
// joined to it with '=' ("--first=410"); a flag takes no value. Whatever is wrong is reported with
// the program's name and the argument: "obstacle-eval: --truth: needs a value".
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The exit status of the programs and tools for a bad argument, a bad input or an output that
// cannot be written.
constexpr int FAILURE_STATUS = 2;

class CommandLine {
public:
    // Takes an option's value, or returns false with `problem` saying why it cannot.
    using Reader = std::function<bool(const std::string& value, std::string& problem)>;

    explicit CommandLine(std::string program);

    // Each name is one spelling ("--help", "-h"); several spellings may share a target.
    void Flag(const std::string& name, bool& target);
    // A value that must not be empty.
    void Text(const std::string& name, std::string& target);
    // Decimal digits only, min <= value <= max; `what` names the kind in the message
    // ("--first: 'x' is not a frame number (0 to 99999)").
    void Integer(const std::string& name, int& target, int min, int max, const std::string& what);
    // A real number, and above 0 where `aboveZero` ("--fps: 'x' is not a number above 0").
    void Real(const std::string& name, std::optional<double>& target, bool aboveZero);
    // A frame rate: a real number above 0 whose frame interval, 1 / rate, is a finite number of
    // seconds ("--fps: '1e-310' frames per second are frames 1 / 1e-310 s apart, beyond
    // any number of seconds").
    void FrameRate(const std::string& name, std::optional<double>& target);
    // Any other kind of value.
    void Value(const std::string& name, Reader read);

    // Parses argv[1..argc-1], setting each option's target as it goes. Returns false with
    // "PROGRAM: MESSAGE" in `error` at the first argument that is unknown, lacks its value or
    // has a value that cannot be taken.
    bool Parse(int argc, const char* const* argv, std::string& error);
    // Whether the last Parse met the option spelt `name`.
    bool Given(const std::string& name) const;

private:
    struct Option {
        std::string name;
        bool* flag;   // set for a flag, else nullptr
        Reader read;  // set for an option with a value
        bool given;   // met by the last Parse
    };

    Option* Find(const std::string& name);
    bool Refuse(const std::string& message, std::string& error) const;

    std::string program_;
    std::vector<Option> options_;
};

// Writes `message` and the usage text to standard error; returns false, for the parser's caller.
bool ShowUsageError(const std::string& message, const char* usage);

// --help: writes the usage text to standard output; returns StandardOutputStatus(program).
int PrintUsage(const std::string& program, const char* usage);

// 0 when standard output took everything written to it (a full disk and a closed pipe do not);
// else says so on standard error, after the program's name, and returns FAILURE_STATUS.
int StandardOutputStatus(const std::string& program);
