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

// Frame numbers in names: a run of n 'X' stands for the frame number zero-padded to n digits
// (a number of more digits is written whole). Replaces every run in buf (bufSize bytes) through
// strchg, longest runs first, so that a shorter run is never found inside a longer one. Returns
// false when the grown name would not fit.
bool SubstituteFrameNumber(char* buf, size_t bufSize, int frame);

// The file a name pattern stands for at `frame` (0 or more); a pattern without 'X' names one file.
std::string FramePath(const std::string& pattern, int frame);

// Length of the longest run of 'X' in `text`: the digits a pattern gives the frame number; 0 for none.
int LongestXRun(const std::string& text);
