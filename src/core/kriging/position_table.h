// Stations found by their position: an open-addressing table from the bits of (lon, lat) to a
// number. An estimate looks up each of its neighbours' covariates and rows here, twenty times
// or more, in tables of up to tens of thousands of stations: a flat table reads one or two cache
// lines where a map of nodes reads several.
#pragma once

#include <cstdint>
#include <vector>

#include "base/position_bits.h"

namespace zentrel {

class PositionTable {
public:
    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    /// Room for `count` positions without growing.
    void reserve(size_t count) {
        size_t slots = 16;
        while (slots < 2 * count) slots *= 2;
        if (slots <= keys_.size()) return;
        std::vector<uint64_t> keys = std::move(keys_);
        std::vector<uint32_t> values = std::move(values_);
        keys_.assign(slots, 0);
        values_.assign(slots, kNone);
        mask_ = slots - 1;
        size_ = 0;
        for (size_t k = 0; k < keys.size(); ++k)
            if (values[k] != kNone) put(keys[k], values[k]);
    }

    /// The position's number becomes `value` (a position given twice keeps the last).
    void set(float lon, float lat, uint32_t value) {
        if (2 * (size_ + 1) > keys_.size()) reserve(size_ + 1 > 8 ? 2 * (size_ + 1) : 16);
        put(key(lon, lat), value);
    }

    /// The position's number, or kNone. Positions are told apart by their bits, as stored.
    uint32_t find(float lon, float lat) const {
        if (keys_.empty()) return kNone;
        const uint64_t k = key(lon, lat);
        for (size_t at = slot(k);; at = (at + 1) & mask_) {
            if (values_[at] == kNone) return kNone;
            if (keys_[at] == k) return values_[at];
        }
    }

private:
    static uint64_t key(float lon, float lat) { return positionBits(lon, lat); }
    size_t slot(uint64_t k) const { return static_cast<size_t>(mixBits(k)) & mask_; }
    void put(uint64_t k, uint32_t value) {
        for (size_t at = slot(k);; at = (at + 1) & mask_) {
            if (values_[at] == kNone) {
                keys_[at] = k;
                values_[at] = value;
                ++size_;
                return;
            }
            if (keys_[at] == k) {
                values_[at] = value;
                return;
            }
        }
    }

    std::vector<uint64_t> keys_;
    std::vector<uint32_t> values_;
    size_t mask_ = 0;
    size_t size_ = 0;
};

}  // namespace zentrel
