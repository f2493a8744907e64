// Picture-pattern number formatting ("###0.00", "0.0000", "@@@@@") with "." as decimal
// point whatever the locale, and the shortest decimal form of a single-precision value.
#pragma once

#include <string>
#include <string_view>

namespace zentrel {

/// Formats value with a picture pattern: "0" is a digit always written, "#" a digit written
/// only when significant, "." the decimal point. The value is rounded half away from zero to
/// the pattern's decimals, on its shortest decimal representation (so 13.015f gives "13.02"
/// with "##0.00", as the user reads the number). The integer part has at least as many
/// digits as there are placeholders from the leftmost "0" to the point ("0##.00" -> "005.50").
/// Never pads with blanks. A negative value keeps its sign even when it rounds to zero
/// ("0.00" of -0.001 is "-0.00"); negative zero itself writes no sign. Without a "0" before
/// the point no integer digit is forced: "####.0" of 0.5 is ".5" and "####" of 0 is "".
/// NaN and infinities are written as "nan", "inf", "-inf".
std::string formatPicture(float value, std::string_view pattern);
std::string formatPicture(double value, std::string_view pattern);

/// Right-aligns text in a field of as many characters as the pattern has "@", padding with
/// blanks on the left. Longer text is returned whole.
std::string formatText(std::string_view text, std::string_view pattern);

/// The shortest general decimal form of a single-precision value, the form of every number
/// written without a pattern: at most seven significant digits, no trailing zeros (13.01,
/// -3.5, 17, 5.955, 1e-05); negative zero is "0".
std::string shortestFloat(float value);

/// The shortest decimal form that reads back to the very same single (up to nine digits:
/// 5.9550004), for files a program reads back (JSON, station files).
std::string roundTripFloat(float value);

/// Rounds value to the given number of decimals as formatPicture does and returns it as float
/// (a value that rounds to zero gives +0).
float roundPicture(float value, std::string_view pattern);

}  // namespace zentrel
