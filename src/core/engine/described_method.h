// The described inverse-distance method and its robust variant.
#pragma once

#include <array>

#include "engine/estimation_method.h"

namespace zentrel {

/// The weighted mean of the neighbours, each moved to the location by the altitude and gradient
/// regressions, with cross-validated errors and the classic strange-data test. Unchanged from
/// the method as described, single precision included.
class DescribedMethod : public EstimationMethod {
public:
    void estimate(Engine& engine) override;
    void detectStrangeData(Engine& engine) override;
};

/// The described method with robust corrections: the fitted altitude slope acts only within the
/// neighbours' altitude range (beyond it the prior lapse rate), the plane's value at the location
/// is kept within its values at the neighbours, and the result within the neighbours' envelope
/// and the world's records, with a standard error grown by what was extrapolated or cut off.
class RobustMethod : public DescribedMethod {
public:
    void estimate(Engine& engine) override;

private:
    // The envelope, the records and the errors grown by what was extrapolated (altitudeBeyond: m
    // the location lies beyond its neighbours' altitudes) or cut off.
    static void limit(Engine& engine, const std::array<float, 13>& planeAt, const std::array<float, 13>& planeSpan,
                      float altitudeBeyond);
};

}  // namespace zentrel
