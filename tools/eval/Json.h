// A small JSON reader for the tool side of the project: enough for the JSON Lines that
// obstacle-track writes (objects, arrays, numbers, null, booleans and plain strings).
// Numbers are read as doubles; the whole text must be one value with nothing after it.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

struct JsonValue {
    enum class Kind { Null, Boolean, Number, String, Array, Object };

    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0.0;
    std::string text;
    std::vector<JsonValue> items;                              // array elements
    std::vector<std::pair<std::string, JsonValue>> members;    // object members in file order

    // The first member named `key`, or nullptr when there is none (or this is no object).
    const JsonValue* Find(const std::string& key) const;
};

// A fault in the text; `column` counts characters from 1.
class JsonError : public std::runtime_error {
public:
    JsonError(const std::string& message, size_t column);
    size_t column;
};

// Parses one complete JSON text. Nesting deeper than 64 levels is refused rather than
// followed, so a hostile line cannot exhaust the stack.
JsonValue ParseJson(const std::string& text);
