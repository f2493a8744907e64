// The kriging method: the model of the variable (kriging/kriging.h), the active neighbours
// handed to it, and its outcome written into the result record within the neighbour envelope.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/estimation_method.h"
#include "kriging/kriging.h"

namespace zentrel {

class KrigingModel;

class KrigingMethod : public EstimationMethod {
public:
    /// The model of the engine's variable with the held-out stations, kept while exclusion,
    /// database and neighbour selection stay (one per variable: an engine that goes through the
    /// eight variables at each place finds each model without asking for it).
    void prepare(Engine& engine) override;
    void forget() override { errorsValid_ = false; }
    /// Under kriging the Tmax/Tmin stations whose fields hold monthly extremes are left out too.
    const StationExclusion* exclusion(const Engine& engine) const override;
    void estimate(Engine& engine) override;
    bool weighsItself() const override { return true; }  ///< the kriging weights
    /// The adaptive method's test on the errors of the neighbours' own rows.
    void detectStrangeData(Engine& engine) override;

private:
    std::shared_ptr<const KrigingModel> model_;
    // The leave-one-out errors of the last estimate's neighbours, for its strange-data test.
    std::array<std::array<float, 12>, kKrigingNeighbours> errors_{};
    bool errorsValid_ = false;
    struct Key {
        int variable = -1;
        const StationExclusion* excluded = nullptr;
        uint64_t generation = 0;
        uint64_t settings = 0;  ///< the neighbour selection the model was fitted with
        bool operator==(const Key&) const = default;
    } key_;
    struct Kept {
        std::shared_ptr<const KrigingModel> model;
        Key key;
    };
    std::array<Kept, kVariableCount> kept_{};
};

}  // namespace zentrel
