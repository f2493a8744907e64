// Conversion between double precision and the 6-byte real of the raster image header.
#include "maps/real48.h"

#include <cmath>
#include <string>

#include "error.h"

namespace zentrel {

namespace {
constexpr double kFractionScale = 549755813888.0;  // 2^39
}

Real48 DoubleToReal48(double value) {
    if (!std::isfinite(value)) throw Error("The value " + std::to_string(value) + " cannot be stored as a 6-byte real.");
    Real48 bytes{};
    if (value == 0) return bytes;
    const bool negative = std::signbit(value);
    int exponent = 0;
    const double mantissa = std::frexp(std::fabs(value), &exponent);  // [0.5, 1)
    // |value| = (2 * mantissa) * 2^(exponent - 1), and 2 * mantissa = 1 + f / 2^39.
    // Scaling by a power of two is exact, so the only rounding is nearbyint's (half to even).
    auto fraction = static_cast<uint64_t>(std::nearbyint((2.0 * mantissa - 1.0) * kFractionScale));
    int biased = exponent - 1 + 129;
    if (fraction == (uint64_t{1} << 39)) {  // rounded up to the next power of two
        fraction = 0;
        ++biased;
    }
    if (biased < 1) return bytes;  // below the smallest magnitude: 0
    if (biased > 255) throw Error("The value " + std::to_string(value) + " is too large for a 6-byte real.");
    bytes[0] = static_cast<uint8_t>(biased);
    for (int k = 1; k <= 5; ++k) bytes[k] = static_cast<uint8_t>((fraction >> (8 * (k - 1))) & 0xFF);
    if (negative) bytes[5] |= 0x80;
    return bytes;
}

double Real48ToDouble(const Real48& bytes) {
    if (bytes[0] == 0) return 0.0;
    uint64_t fraction = 0;
    for (int k = 5; k >= 1; --k) fraction = (fraction << 8) | bytes[k];
    fraction &= (uint64_t{1} << 39) - 1;  // without the sign bit
    const double magnitude = std::ldexp(1.0 + static_cast<double>(fraction) / kFractionScale, bytes[0] - 129);
    return (bytes[5] & 0x80) ? -magnitude : magnitude;
}

}  // namespace zentrel
