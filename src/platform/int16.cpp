#include "int16.h"

#include "failure.h"

#include <cmath>
#include <limits>

namespace Int16 {

double RoundHalfEven(double value) {
    if (!std::isfinite(value))
        return value;
    // nearbyint follows the current rounding mode, which is round-to-nearest-even by default.
    return std::nearbyint(value);
}

std::int16_t FromDouble(double value) {
    const double r = RoundHalfEven(value);
    if (std::isnan(r) || r < Min || r > Max)
        throw Failure(FailureCode::Overflow);
    return static_cast<std::int16_t>(r);
}

std::int16_t Add(int a, int b) {
    const long sum = static_cast<long>(a) + static_cast<long>(b);
    if (sum < Min || sum > Max)
        throw Failure(FailureCode::Overflow);
    return static_cast<std::int16_t>(sum);
}

std::int32_t ToInt32(double value) {
    const double r = RoundHalfEven(value);
    if (std::isnan(r) || r < std::numeric_limits<std::int32_t>::min() ||
        r > std::numeric_limits<std::int32_t>::max())
        throw Failure(FailureCode::Overflow);
    return static_cast<std::int32_t>(r);
}

std::int16_t IncrementSaturating(std::int16_t value) {
    return value == Max ? value : static_cast<std::int16_t>(value + 1);
}

} // namespace Int16
