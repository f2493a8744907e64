// The geometry of the cross-validation: distances, inverse-distance weights and bearings between
// the active neighbours, and the leave-one-out weights with the shadow term. None of it depends
// on the stations' data, only on their positions and the weighting settings, so it is kept
// between estimates: an unchanged neighbour set (the next variable at the same place, the next
// cell of a grid) reuses all of it, and a changed one keeps what its pairs share with the last.
#pragma once

#include <array>
#include <cstdint>

#include "base/geometry.h"

namespace zentrel {

inline constexpr int kMaxPairPoints = 20;

/// One step of a shadow chain: a neighbour nearer than the shadowed one, with
/// f = shad * (1 - near / far) and its bearing.
struct ShadowStep {
    float f;
    const Bearing* by;
};

/// A weight after the shadow steps weight * (1 - f * (1 - (1 - c) / 2)), each rounded to single,
/// where c is the cosine of the angle between `of` and the step's bearing. Bit for bit what the
/// cosine of each degree difference gives.
float shadowChain(float weight, const Bearing& of, const ShadowStep* steps, int count);

/// The inverse-distance weight d^-p rounded to single, 0 for d = 0.
float inverseDistanceWeight(float d, float p);

/// What the pair tables depend on besides the positions.
struct PairSettings {
    float p = 1;            ///< inverse-distance power as the weights use it
    float distEpsilon = kDefaultDistEpsilon;
    float shad = 1;
    bool shadow = true;     ///< shadow term on
    bool operator==(const PairSettings&) const = default;
};

/// Tables for several neighbour sets at once, one per slot (the engine uses one per variable),
/// so that runs over many locations alternating between variables find their sets again.
class NeighbourPairs {
public:
    static constexpr int kSlots = 8;

    /// Sets the tables up for points[0..n) (the active neighbours in neighbour order, no two at
    /// the same position), kept in `slot` (0..kSlots-1). A set any slot holds with the same
    /// settings is used as it is; otherwise the pairs it shares with the slot's last set (or the
    /// last set used) are taken over.
    void update(const std::array<const SpherePoint*, kMaxPairPoints>& points, int n, const PairSettings& settings,
                int slot = 0);

    /// The normalised weights of the others for estimating point a from them (entry a is 0).
    const std::array<float, kMaxPairPoints>& leaveOneOut(int a) const { return tables_[current_].loo[static_cast<size_t>(a)]; }

    /// How the last update went: 2 all reused, 1 some pairs taken over, 0 all computed.
    int lastReuse() const { return lastReuse_; }

private:
    template <class T>
    using Square = std::array<std::array<T, kMaxPairPoints>, kMaxPairPoints>;
    struct Tables {
        bool valid = false;
        PairSettings settings;
        int n = 0;
        std::array<uint64_t, kMaxPairPoints> position{};  // longitude and latitude bits
        Square<float> dist{}, weight{};
        Square<Bearing> by{};  // by[a][b]: bearing of b seen from a
        Square<float> loo{};
    };
    static void leaveOneOut(Tables& t, int a, const PairSettings& settings);
    std::array<Tables, kSlots + 1> tables_;
    std::array<size_t, kSlots> slotTables_{0, 1, 2, 3, 4, 5, 6, 7};  // which table each slot holds
    size_t spare_ = kSlots;    // the table the next computation goes into
    size_t current_ = 0;       // the table of the last update
    int lastReuse_ = 0;
};

}  // namespace zentrel
