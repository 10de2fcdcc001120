// Percentiles of a sample of doubles.
#pragma once

#include <vector>

// Linear-interpolation percentile, 0 <= fraction <= 1; `values` need not be sorted and must not be
// empty. Between the closest ranks it interpolates linearly (the median of an even count is the
// mean of the middle two).
double Percentile(std::vector<double> values, double fraction);
