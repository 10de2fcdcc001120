#include "Percentile.h"

#include <algorithm>
#include <cstddef>

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const double position = fraction * static_cast<double>(values.size() - 1);
    const size_t below = static_cast<size_t>(position);
    const double above = position - static_cast<double>(below);
    if (above == 0.0 || values[below] == values[below + 1]) return values[below];
    return values[below] + above * (values[below + 1] - values[below]);
}
