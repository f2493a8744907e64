// Variable names and confidence factors.
#include "engine/types.h"

#include <cctype>

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

}  // namespace zentrel
