// The locally adaptive method: the active neighbours handed to the adaptive estimate
// (engine/adaptive.h) with their leave-one-out weights, and its outcome in the result record.
#pragma once

#include <array>

#include "engine/adaptive.h"
#include "engine/estimation_method.h"

namespace zentrel {

class AdaptiveMethod : public EstimationMethod {
public:
    void forget() override { valid_ = false; }
    void estimate(Engine& engine) override;
    /// Tests its own leave-one-out errors, all months and neighbours at once.
    void detectStrangeData(Engine& engine) override;

private:
    // The last estimate, for the strange-data test: the field, its outcome and the neighbour
    // entry of each of the field's stations; valid only after a full estimate.
    AdaptiveField field_;
    AdaptiveOutcome outcome_;
    std::array<int, 20> entries_{};
    bool valid_ = false;
};

}  // namespace zentrel
