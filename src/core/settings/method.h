// The estimation method: the described interpolation, its robust corrections, the locally
// adaptive method that lets each location choose its estimator by the neighbours' errors, or
// kriging with terrain covariates.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace zentrel {

/// Described: the classic inverse-distance method with its corrections, unchanged.
/// Robust: altitude slope shrunk towards a lapse rate, damped plane, physical bounds.
/// Adaptive: per location a choice among estimators by leave-one-out errors (engine/adaptive.h).
/// Kriging: kriging weights with a terrain-covariate correction fitted on the database's
/// leave-one-out rows (kriging/kriging.h).
enum class Method { Described, Robust, Adaptive, Kriging };

/// Every method, in the order of the enum: the one list that command line, settings dialog,
/// batch window and Python offer.
inline constexpr std::array<Method, 4> kMethods{Method::Described, Method::Robust, Method::Adaptive, Method::Kriging};

/// "described", "robust", "adaptive" or "kriging" (case-insensitive); nullopt for anything else.
std::optional<Method> parseMethod(std::string_view text);

/// The lower-case name parseMethod reads back: "described", "robust", "adaptive", "kriging".
const char* methodName(Method method);

/// The name with a capital, as the desktop's lists show it: "Described", "Robust", ...
std::string methodTitle(Method method);

/// The names joined for a message: "described, robust, adaptive or kriging".
std::string methodChoices();

}  // namespace zentrel
