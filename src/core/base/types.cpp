// Variable names and confidence factors.
#include "base/types.h"

#include <cctype>
#include <cmath>
#include <algorithm>
#include <limits>
#include <utility>

namespace zentrel {

const std::array<const char*, kVariableCount> kVariableNames = {"Temp", "Tmax", "Tmin", "Prec",
                                                                "Vap",  "PET",  "Wind", "Sun"};

int variableFromName(const std::string& name) {
    for (int v = 0; v < kVariableCount; ++v) {
        const std::string candidate = kVariableNames[static_cast<size_t>(v)];
        if (candidate.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < name.size(); ++i)
            same = same && std::tolower(static_cast<unsigned char>(name[i])) ==
                               std::tolower(static_cast<unsigned char>(candidate[i]));
        if (same) return v;
    }
    return -1;
}

float confidenceFactor(int level) {
    switch (level) {
        case 95: return 1.96f;
        case 99: return 2.576f;
        default: return 1.645f;
    }
}

std::string capNames(uint8_t caps) {
    static constexpr std::array<const char*, kCapKinds.size()> kNames{"altitude slope", "plane",        "neighbour envelope",
                                                                     "world records",  "temperature order", "saturation",
                                                                     "covariate fallback"};
    std::string out;
    for (size_t k = 0; k < kCapKinds.size(); ++k)
        if (caps & kCapKinds[k]) out += (out.empty() ? "" : ", ") + std::string(kNames[k]);
    return out;
}

namespace {
float bound(const EstimateResult& r, int m, float k) {
    const size_t i = static_cast<size_t>(m);
    if (!r.HasStdErr) return std::numeric_limits<float>::quiet_NaN();
    if (r.StdErrLog[i] > 0) {
        const double y = std::log(std::max(static_cast<double>(r.Best[i]), 0.0) + r.LogOffset) + k * r.StdErrLog[i];
        return static_cast<float>(std::max(std::exp(y) - r.LogOffset, 0.0));
    }
    return r.Best[i] + k * r.StdErr[i];
}
}  // namespace

float lowBound(const EstimateResult& r, int m, float k) { return bound(r, m, -k); }
float highBound(const EstimateResult& r, int m, float k) { return bound(r, m, k); }

float ClipValue(float v, int variable) {
    if (v < 0 && variable > 2) v = 0;
    if (v > 1 && variable == Sun) v = 1;
    return v;
}

}  // namespace zentrel
