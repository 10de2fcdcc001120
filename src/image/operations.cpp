#include "operations.h"

#include <climits>
#include <cmath>

namespace operations {

namespace {

// Truncation toward zero that saturates at the int limits and maps NaN to 0, so that both
// targets agree where a plain conversion would be undefined.
int TruncateToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0) return INT_MAX;
    if (value <= -2147483649.0) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

int round(double value) {
    double intpart = 0.0;
    const double fractpart = std::modf(value, &intpart);
    const int whole = TruncateToInt(intpart);
    if (std::fabs(fractpart) == 0.5 && whole % 2 == 0) return whole;
    return TruncateToInt(value >= 0 ? value + 0.5 : value - 0.5);
}

template <> unsigned char saturate_cast<unsigned char>(int v) {
    if (v < 0) return 0;
    if (v > UCHAR_MAX) return UCHAR_MAX;
    return static_cast<unsigned char>(v);
}

template <> unsigned char saturate_cast<unsigned char>(float v) {
    return saturate_cast<unsigned char>(round(static_cast<double>(v)));
}

}  // namespace operations
