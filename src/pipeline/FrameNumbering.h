// Frame numbers in file names: the run driver's text replacement and the name patterns built on it.
// Nothing here depends on the rest of the library, so the tools that render the pictures use it too.
#pragma once

#include <cstddef>
#include <string>

// Replaces, in place, every occurrence of str1 in buf (bufSize bytes) by str2, searching again
// from the start after each replacement. Refuses (returns false, buf unchanged from the refused
// replacement on) a replacement that would not fit, an empty str1, and a str2 containing str1,
// which would never end.
bool strchg(char* buf, size_t bufSize, const char* str1, const char* str2);

// Frame numbers in names: the longest run of 'X' in a name, when it is at least MIN_FRAME_DIGITS
// long, stands for the frame number zero-padded to its n digits (a number of more digits is
// written whole), and so does every other run of that length; shorter runs are the name's own
// text, so that a folder such as "X1" or a name with a capital X keeps it.
constexpr int MIN_FRAME_DIGITS = 3;

// The digits of the frame number in a name: the length of its longest run of 'X', or 0 when that
// is shorter than MIN_FRAME_DIGITS (the name holds no frame number).
int FrameDigits(const std::string& name);

// Replaces the frame number's runs in buf (bufSize bytes) through strchg. Returns false when the
// grown name would not fit.
bool SubstituteFrameNumber(char* buf, size_t bufSize, int frame);

// The file a name pattern stands for at `frame` (0 or more); a pattern without a frame number
// names one file.
std::string FramePath(const std::string& pattern, int frame);
