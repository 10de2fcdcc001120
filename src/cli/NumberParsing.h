// Numbers as text: given by the user in option values and the files they name, and written into
// results and camera files so that they read back exactly.
#pragma once

#include <string>

// A finite number in decimal (or scientific) notation that makes up the whole text, with an
// optional sign; false for anything else, "inf" and "nan" included.
bool ParseNumber(const std::string& text, double& value);

// A whole number of decimal digits only (no sign, no blanks) of at most `max`; false otherwise.
bool ParseDigits(const std::string& text, long long max, long long& value);

// The shortest text that reads back as the same double; "null" for a value that is not finite.
std::string JsonNumber(double value);
