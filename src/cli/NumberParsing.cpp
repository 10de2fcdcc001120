#include "NumberParsing.h"

#include <charconv>
#include <cmath>

bool ParseNumber(const std::string& text, double& value) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-') return false;
    }
    const std::from_chars_result result = std::from_chars(first, last, value);
    return result.ec == std::errc() && result.ptr == last && std::isfinite(value);
}

bool ParseDigits(const std::string& text, long long max, long long& value) {
    long long parsed = 0;
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9' || parsed > max) return false;
        parsed = parsed * 10 + (c - '0');
    }
    if (parsed > max) return false;
    value = parsed;
    return true;
}

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}
