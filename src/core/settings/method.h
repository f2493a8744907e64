// The estimation method: the described interpolation, its robust corrections, or the locally
// adaptive method that lets each location choose its estimator by the neighbours' errors.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace zentrel {

/// Described: the classic inverse-distance method with its corrections, unchanged.
/// Robust: altitude slope shrunk towards a lapse rate, damped plane, physical bounds.
/// Adaptive: per location a choice among estimators by leave-one-out errors (engine/adaptive.h).
enum class Method { Described, Robust, Adaptive };

/// Every method, in the order the programs offer them: the one list that choices are made from.
inline constexpr std::array kMethods{Method::Described, Method::Robust, Method::Adaptive};

/// "described", "robust" or "adaptive" (case-insensitive); nullopt for anything else.
std::optional<Method> parseMethod(std::string_view text);

/// The lower-case name parseMethod reads back: "described", "robust", "adaptive".
const char* methodName(Method method);

}  // namespace zentrel
