// Four lanes of multiply-rotate over eight-byte words, folded and mixed at the end.
#include "files/content_hash.h"

#include <cstring>

namespace zentrel {

namespace {
constexpr uint64_t kP1 = 0x9E3779B185EBCA87ULL, kP2 = 0xC2B2AE3D27D4EB4FULL, kP3 = 0x165667B19E3779F9ULL,
                   kP4 = 0x85EBCA77C2B2AE63ULL, kP5 = 0x27D4EB2F165667C5ULL;

uint64_t rotl(uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }
uint64_t word(const unsigned char* p) {
    uint64_t w = 0;
    std::memcpy(&w, p, 8);
    return w;
}
uint64_t round(uint64_t acc, uint64_t input) { return rotl(acc + input * kP2, 31) * kP1; }
uint64_t merge(uint64_t acc, uint64_t lane) { return (acc ^ round(0, lane)) * kP1 + kP4; }
}  // namespace

uint64_t contentHash(const void* data, size_t size, uint64_t seed) {
    const auto* p = static_cast<const unsigned char*>(data);
    const unsigned char* const end = p + size;
    uint64_t h = 0;
    if (size >= 32) {
        uint64_t a = seed + kP1 + kP2, b = seed + kP2, c = seed, d = seed - kP1;
        for (; end - p >= 32; p += 32) {
            a = round(a, word(p));
            b = round(b, word(p + 8));
            c = round(c, word(p + 16));
            d = round(d, word(p + 24));
        }
        h = rotl(a, 1) + rotl(b, 7) + rotl(c, 12) + rotl(d, 18);
        h = merge(merge(merge(merge(h, a), b), c), d);
    } else {
        h = seed + kP5;
    }
    h += static_cast<uint64_t>(size);
    for (; end - p >= 8; p += 8) h = rotl(h ^ round(0, word(p)), 27) * kP1 + kP4;
    for (; p < end; ++p) h = rotl(h ^ (*p * kP5), 11) * kP1;
    h ^= h >> 33;
    h *= kP2;
    h ^= h >> 29;
    h *= kP3;
    h ^= h >> 32;
    return h;
}

}  // namespace zentrel
