// A station's position as one 64-bit number (the bits of its longitude and latitude as stored,
// so that two positions are one exactly when their floats are), and a mix of those bits for the
// tables that hash them.
#pragma once

#include <cstdint>
#include <cstring>

namespace zentrel {

inline uint64_t positionBits(float lon, float lat) {
    uint32_t a = 0, b = 0;
    std::memcpy(&a, &lon, 4);
    std::memcpy(&b, &lat, 4);
    return (static_cast<uint64_t>(a) << 32) | b;
}

/// Every bit of `key` mixed into every bit of the result: longitudes differ in the high word,
/// latitudes in the low one, and a table indexed by a few bits must see both.
inline uint64_t mixBits(uint64_t key) {
    key = (key ^ (key >> 33)) * 0xFF51AFD7ED558CCDULL;
    key = (key ^ (key >> 33)) * 0xC4CEB9FE1A85EC53ULL;
    return key ^ (key >> 33);
}

}  // namespace zentrel
