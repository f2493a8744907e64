// The four methods by name.
#include "engine/estimation_method.h"

#include "engine/adaptive_method.h"
#include "engine/described_method.h"
#include "engine/kriging_method.h"

namespace zentrel {

std::unique_ptr<EstimationMethod> makeEstimationMethod(Method method) {
    switch (method) {
        case Method::Described: return std::make_unique<DescribedMethod>();
        case Method::Robust: return std::make_unique<RobustMethod>();
        case Method::Adaptive: return std::make_unique<AdaptiveMethod>();
        case Method::Kriging: return std::make_unique<KrigingMethod>();
    }
    return std::make_unique<DescribedMethod>();
}

}  // namespace zentrel
