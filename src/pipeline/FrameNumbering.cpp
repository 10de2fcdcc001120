#include "FrameNumbering.h"

#include <algorithm>
#include <cstring>
#include <vector>

bool strchg(char* buf, size_t bufSize, const char* str1, const char* str2) {
    const size_t len1 = std::strlen(str1);
    const size_t len2 = std::strlen(str2);
    if (len1 == 0 || std::strstr(str2, str1) != nullptr) return false;
    // Text made by one replacement is searched again; the cap stops a chain of replacements
    // that keeps recreating str1 across their borders.
    for (size_t replacements = 0; replacements <= bufSize; ++replacements) {
        char* hit = std::strstr(buf, str1);
        if (hit == nullptr) return true;
        const size_t head = static_cast<size_t>(hit - buf);
        const size_t tail = std::strlen(hit + len1);
        if (head + len2 + tail + 1 > bufSize) return false;
        std::memmove(hit + len2, hit + len1, tail + 1);
        std::memcpy(hit, str2, len2);
    }
    return false;
}

int FrameDigits(const std::string& name) {
    int longest = 0;
    int run = 0;
    for (char c : name) {
        run = c == 'X' ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest >= MIN_FRAME_DIGITS ? longest : 0;
}

bool SubstituteFrameNumber(char* buf, size_t bufSize, int frame) {
    const size_t n = static_cast<size_t>(FrameDigits(buf));
    if (n == 0) return true;
    // No run is longer, so each occurrence of n X is a whole run.
    std::string digits = std::to_string(frame);
    if (digits.size() < n) digits.insert(0, n - digits.size(), '0');
    return strchg(buf, bufSize, std::string(n, 'X').c_str(), digits.c_str());
}

std::string FramePath(const std::string& pattern, int frame) {
    // Each 'X' may grow into at most ten digits.
    std::vector<char> buf(pattern.size() * 10 + 1, '\0');
    std::copy(pattern.begin(), pattern.end(), buf.begin());
    SubstituteFrameNumber(buf.data(), buf.size(), frame);
    return buf.data();
}
