// Reading a decimal number from text the same way everywhere: optional sign, digits with an
// optional "." and an optional exponent. Hexadecimal ("0x10"), "nan", "inf" and numbers
// beyond the range of the target type are refused, never read as something else.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zentrel {

/// True when `text` is written as a decimal number ("-12", "0.5", ".5", "1e3", "+2.").
bool isDecimalNumber(std::string_view text);

/// The value of a decimal number that fits a double, or nullopt.
std::optional<double> parseDecimal(std::string_view text);
/// The value of a decimal number that fits a float (single precision), or nullopt.
std::optional<float> parseDecimalFloat(std::string_view text);

/// Why `text` is no usable number, for a message: "\"abc\" is not a number" or "\"1e39\" is
/// too large a number"; "" when it is one. `single` checks the range of a float.
std::string decimalProblem(std::string_view text, bool single = false);

}  // namespace zentrel
