// The 6-byte real of the raster image header: byte 0 the exponent e biased by 129 (0 means the
// value 0), bytes 1..5 the 39-bit fraction f least significant byte first, the sign s in the top
// bit of byte 5; value = (-1)^s * 2^(e - 129) * (1 + f / 2^39).
#pragma once

#include <array>
#include <cstdint>

namespace zentrel {

using Real48 = std::array<uint8_t, 6>;

/// Nearest Real48 of a double (fraction rounded half to even). Magnitudes below 2^-128
/// (about 2.9e-39) become 0, as do both zeros. Throws Error for infinities, NaN and magnitudes
/// of 2^126 * (2 - 2^-39) (about 1.7e38) and above, which the format cannot hold.
Real48 DoubleToReal48(double value);

/// The exact double value of a Real48; any fraction and sign with exponent byte 0 is 0.
double Real48ToDouble(const Real48& bytes);

}  // namespace zentrel
