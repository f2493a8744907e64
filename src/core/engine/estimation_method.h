// The estimation methods as the engine runs them. The described inverse-distance method, the
// robust and the adaptive methods and kriging are peers behind this interface; below them are
// the neighbour search (neighbours/) and the engine's shared steps: weights, regressions,
// cross-validation, the limits every method keeps, warnings and one climate per place.
#pragma once

#include <memory>

#include "settings/method.h"

namespace zentrel {

class Engine;
class StationExclusion;

class EstimationMethod {
public:
    virtual ~EstimationMethod() = default;
    /// Readies what the method keeps per database and variable, before the candidates load.
    virtual void prepare(Engine&) {}
    /// Stations the neighbour selection leaves out besides those held out; null for none more.
    virtual const StationExclusion* exclusion(const Engine&) const { return nullptr; }
    /// Forgets the last estimate (its strange-data test must not see it again).
    virtual void forget() {}
    /// The estimate from the active neighbours once their weights and the regressions are known:
    /// Best, Bias, StdErr and HasStdErr, the slopes the method sets, and the limits it applied
    /// (Caps).
    virtual void estimate(Engine&) = 0;
    /// True when estimate() gives every neighbour its weight itself: the inverse-distance
    /// weights and their shadow correction are then not computed first.
    virtual bool weighsItself() const { return false; }
    /// The method's strange-data test; called with ten or more active neighbours of known
    /// altitude. Sets WarnStrange with the month and the neighbour entry.
    virtual void detectStrangeData(Engine&) = 0;
};

/// The method the settings name.
std::unique_ptr<EstimationMethod> makeEstimationMethod(Method method);

}  // namespace zentrel
