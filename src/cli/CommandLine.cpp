#include "CommandLine.h"

#include <cmath>
#include <iostream>
#include <utility>

#include "NumberParsing.h"

CommandLine::CommandLine(std::string program) : program_(std::move(program)) {}

void CommandLine::Flag(const std::string& name, bool& target) { options_.push_back({name, &target, nullptr, false}); }

void CommandLine::Value(const std::string& name, Reader read) { options_.push_back({name, nullptr, std::move(read), false}); }

void CommandLine::Text(const std::string& name, std::string& target) {
    Value(name, [&target](const std::string& value, std::string& problem) {
        if (value.empty()) {
            problem = "needs a value";
            return false;
        }
        target = value;
        return true;
    });
}

void CommandLine::Integer(const std::string& name, int& target, int min, int max, const std::string& what) {
    Value(name, [&target, min, max, what](const std::string& value, std::string& problem) {
        long long parsed = 0;
        if (!ParseDigits(value, max, parsed) || parsed < min) {
            problem = "'" + value + "' is not " + what + " (" + std::to_string(min) + " to " + std::to_string(max) + ")";
            return false;
        }
        target = static_cast<int>(parsed);
        return true;
    });
}

namespace {

// A real number, and above 0 where `aboveZero`.
bool ReadReal(const std::string& value, bool aboveZero, double& parsed, std::string& problem) {
    if (ParseNumber(value, parsed) && (!aboveZero || parsed > 0.0)) return true;
    problem = "'" + value + "' is not a number" + (aboveZero ? " above 0" : "");
    return false;
}

}  // namespace

void CommandLine::Real(const std::string& name, std::optional<double>& target, bool aboveZero) {
    Value(name, [&target, aboveZero](const std::string& value, std::string& problem) {
        double parsed = 0.0;
        if (!ReadReal(value, aboveZero, parsed, problem)) return false;
        target = parsed;
        return true;
    });
}

void CommandLine::FrameRate(const std::string& name, std::optional<double>& target) {
    Value(name, [&target](const std::string& value, std::string& problem) {
        double parsed = 0.0;
        if (!ReadReal(value, true, parsed, problem)) return false;
        if (!std::isfinite(1.0 / parsed)) {
            problem = "'" + value + "' frames per second are frames 1 / " + value + " s apart, beyond any number of seconds";
            return false;
        }
        target = parsed;
        return true;
    });
}

CommandLine::Option* CommandLine::Find(const std::string& name) {
    for (Option& option : options_) {
        if (option.name == name) return &option;
    }
    return nullptr;
}

bool CommandLine::Refuse(const std::string& message, std::string& error) const {
    error = program_ + ": " + message;
    return false;
}

bool CommandLine::Given(const std::string& name) const {
    for (const Option& option : options_) {
        if (option.name == name) return option.given;
    }
    return false;
}

bool CommandLine::Parse(int argc, const char* const* argv, std::string& error) {
    for (Option& option : options_) option.given = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const size_t equals = arg.find('=');
        const bool joined = arg.compare(0, 2, "--") == 0 && equals != std::string::npos;
        const std::string name = joined ? arg.substr(0, equals) : arg;
        Option* option = Find(name);
        if (option == nullptr) {
            return Refuse("'" + arg + "': " + (arg.compare(0, 1, "-") == 0 ? "unknown option" : "unexpected argument"),
                          error);
        }
        option->given = true;
        if (option->flag != nullptr) {
            if (joined) return Refuse(name + ": takes no value", error);
            *option->flag = true;
            continue;
        }
        if (!joined && i + 1 == argc) return Refuse(name + ": needs a value", error);
        const std::string value = joined ? arg.substr(equals + 1) : argv[++i];
        std::string problem;
        if (!option->read(value, problem)) return Refuse(name + ": " + problem, error);
    }
    return true;
}

bool ShowUsageError(const std::string& message, const char* usage) {
    std::cerr << message << '\n' << usage;
    return false;
}

int PrintUsage(const std::string& program, const char* usage) {
    std::cout << usage;
    return StandardOutputStatus(program);
}

int StandardOutputStatus(const std::string& program) {
    if (std::cout.flush()) return 0;
    std::cerr << program << ": standard output cannot be written\n";
    return FAILURE_STATUS;
}
