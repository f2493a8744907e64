// Pair tables of the cross-validation, and the shadow chain they share with the weights.
#include "engine/neighbour_pairs.h"

#include <bit>
#include <cmath>

namespace zentrel {

namespace {
constexpr double kPi = 3.1415926535;  // the engine's pi for the shadow term

inline double shadowProduct(float weight, float f, double c) { return weight * (1.0 - f * (1.0 - (1.0 - c) * 0.5)); }

// Whether the product above, taken with c from the identity cos(a - b) = cos a cos b + sin a sin b,
// rounds to the same single as with c from the cosine of the degree difference. The two c agree to
// about 1e-13 (even for the 9999 of a missing direction), so the products differ by less than
// `margin`; the rounding is the same when the whole interval around x rounds to one value.
inline bool roundsSafely(double x, float weight, float f) {
    const double margin = std::fabs(static_cast<double>(weight)) * (std::fabs(static_cast<double>(f)) * 1e-12 + 1e-14);
    return (x == 0) | (static_cast<float>(x - margin) == static_cast<float>(x + margin));
}

uint64_t positionBits(const SpherePoint& p) {
    return (static_cast<uint64_t>(std::bit_cast<uint32_t>(p.lon)) << 32) | std::bit_cast<uint32_t>(p.lat);
}
}  // namespace

float shadowChain(float weight, const Bearing& of, const ShadowStep* steps, int count) {
    float w = weight;
    bool safe = true;
    for (int k = 0; k < count; ++k) {
        const Heading& h = steps[k].by->heading;
        const double x = shadowProduct(w, steps[k].f, of.heading.cos * h.cos + of.heading.sin * h.sin);
        safe = safe && roundsSafely(x, w, steps[k].f);
        w = static_cast<float>(x);
    }
    if (safe) return w;
    // Near a rounding boundary: the chain again with the cosines themselves.
    w = weight;
    const double degrees = of.degrees();
    for (int k = 0; k < count; ++k)
        w = static_cast<float>(shadowProduct(w, steps[k].f, std::cos((degrees - steps[k].by->degrees()) * kPi / 180.0)));
    return w;
}

float inverseDistanceWeight(float d, float p) {
    if (d == 0) return 0.0f;
    // For the usual powers 1 and 2 a division gives d^-p to half a unit in the last place (d * d
    // is exact in double); pow is within one unit of the same value. Where no single-precision
    // rounding boundary lies within a few units of it, both round alike.
    if (p == 1.0f || p == 2.0f) {
        const double dd = d;
        const double y = 1.0 / (p == 1.0f ? dd : dd * dd);
        if (static_cast<float>(y * (1.0 - 1e-15)) == static_cast<float>(y * (1.0 + 1e-15))) return static_cast<float>(y);
    }
    return static_cast<float>(std::pow(static_cast<double>(d), -static_cast<double>(p)));
}

// Row a of the leave-one-out weights: the weights of the others with the shadow term, normalised.
// The shadow chains of all the others run side by side, one lane each, over the shadowing points
// c in order (a step where c is not nearer to a than b leaves b's weight as it is), so that they
// overlap instead of waiting on one another.
void NeighbourPairs::leaveOneOut(Tables& t, int a, const PairSettings& settings) {
    constexpr int N = kMaxPairPoints;
    const auto u = [](int i) { return static_cast<size_t>(i); };
    const int n = t.n;
    std::array<float, N>& w = t.loo[u(a)];
    w = t.weight[u(a)];  // entry a is 0
    for (int b = n; b < N; ++b) w[u(b)] = 0;
    if (settings.shadow) {
        alignas(16) std::array<double, N> hc, hs;
        alignas(16) std::array<float, N> dab;
        std::array<int, N> unsafe{};
        for (int b = 0; b < N; ++b) {
            const bool in = b < n;
            hc[u(b)] = in ? t.by[u(a)][u(b)].heading.cos : 1.0;
            hs[u(b)] = in ? t.by[u(a)][u(b)].heading.sin : 0.0;
            dab[u(b)] = in ? t.dist[u(a)][u(b)] : -1.0f;  // padding lanes are never shadowed
        }
        const float shad = settings.shad;
        for (int c = 0; c < n; ++c) {
            if (c == a) continue;
            const float dac = dab[u(c)];
            const double hcc = hc[u(c)], hsc = hs[u(c)];
            for (size_t b = 0; b < N; ++b) {
                const bool nearer = dac < dab[b];
                const float f = shad * (1.0f - dac / dab[b]);
                const double x = shadowProduct(w[b], f, hc[b] * hcc + hs[b] * hsc);
                unsafe[b] |= nearer & !roundsSafely(x, w[b], f);
                const float stepped = static_cast<float>(x);
                w[b] = nearer ? stepped : w[b];
            }
        }
        std::array<ShadowStep, N + 1> steps;
        for (int b = 0; b < n; ++b) {
            if (!unsafe[u(b)]) continue;
            // Near a rounding boundary somewhere: this chain again, step by step.
            int count = 0;
            for (int c = 0; c < n; ++c) {
                steps[u(count)] = {shad * (1.0f - dab[u(c)] / dab[u(b)]), &t.by[u(a)][u(c)]};
                count += (dab[u(c)] < dab[u(b)]) & (c != a);
            }
            w[u(b)] = shadowChain(t.weight[u(a)][u(b)], t.by[u(a)][u(b)], steps.data(), count);
        }
    }
    float sum = 0;
    for (int b = 0; b < n; ++b) sum += w[u(b)];
    if (sum != 0)
        for (int b = 0; b < n; ++b) w[u(b)] /= sum;
}

void NeighbourPairs::update(const std::array<const SpherePoint*, kMaxPairPoints>& points, int n,
                            const PairSettings& settings, int slot) {
    const auto u = [](int i) { return static_cast<size_t>(i); };
    std::array<uint64_t, kMaxPairPoints> position{};
    for (int a = 0; a < n; ++a) position[u(a)] = positionBits(*points[u(a)]);
    const auto holds = [&](const Tables& t) {
        return t.valid && t.settings == settings && t.n == n && std::equal(position.begin(), position.begin() + n, t.position.begin());
    };
    for (size_t k : slotTables_)
        if (holds(tables_[k])) {
            current_ = k;
            lastReuse_ = 2;
            return;
        }
    // Take pairs over from the slot's last set, or else from the last set used.
    const size_t own = slotTables_[u(slot)];
    const auto sharesPairs = [&](const Tables& t) {
        return t.valid && t.settings.p == settings.p && t.settings.distEpsilon == settings.distEpsilon;
    };
    const Tables& old = sharesPairs(tables_[own]) ? tables_[own] : tables_[current_];
    // Where each point stood in that set, if its pairs can be taken over from there.
    std::array<int, kMaxPairPoints> from;
    from.fill(-1);
    lastReuse_ = 0;
    if (sharesPairs(old))
        for (int a = 0; a < n; ++a)
            for (int o = 0; o < old.n; ++o)
                if (old.position[u(o)] == position[u(a)]) {
                    from[u(a)] = o;
                    lastReuse_ = 1;
                    break;
                }

    Tables& t = tables_[spare_];
    t.valid = false;  // until complete
    t.settings = settings;
    t.n = n;
    t.position = position;
    for (int a = 0; a < n; ++a) {
        t.dist[u(a)][u(a)] = t.weight[u(a)][u(a)] = 0;
        for (int b = a + 1; b < n; ++b) {
            const int oa = from[u(a)], ob = from[u(b)];
            if (oa >= 0 && ob >= 0) {
                t.dist[u(a)][u(b)] = t.dist[u(b)][u(a)] = old.dist[u(oa)][u(ob)];
                t.weight[u(a)][u(b)] = t.weight[u(b)][u(a)] = old.weight[u(oa)][u(ob)];
                t.by[u(a)][u(b)] = old.by[u(oa)][u(ob)];
                t.by[u(b)][u(a)] = old.by[u(ob)][u(oa)];
                continue;
            }
            // Distance and the weight are symmetric (the cosine of the longitude difference is
            // even), and so are the terms both bearings of a pair share.
            const SpherePoint& pa = *points[u(a)];
            const SpherePoint& pb = *points[u(b)];
            const float d = Distance(pa, pb, settings.distEpsilon);
            t.dist[u(a)][u(b)] = t.dist[u(b)][u(a)] = d;
            t.weight[u(a)][u(b)] = t.weight[u(b)][u(a)] = inverseDistanceWeight(d, settings.p);
            const ArcTerms arc = arcTerms(pa, pb);
            t.by[u(a)][u(b)] = bearing(pa, pb, arc);
            t.by[u(b)][u(a)] = bearing(pb, pa, arc);
        }
    }

    for (int a = 0; a < n; ++a) leaveOneOut(t, a, settings);
    t.valid = true;
    current_ = spare_;
    spare_ = own;
    slotTables_[u(slot)] = current_;
}

}  // namespace zentrel
