// Numbers given as text by the user: option values and the files they name.
#pragma once

#include <string>

// A finite number in decimal (or scientific) notation that makes up the whole text, with an
// optional sign; false for anything else, "inf" and "nan" included.
bool ParseNumber(const std::string& text, double& value);

// A whole number of decimal digits only (no sign, no blanks) of at most `max`; false otherwise.
bool ParseDigits(const std::string& text, long long max, long long& value);
