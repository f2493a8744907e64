// Decimal numbers only: the one number reader of options and data files.
#include "decimal_number.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace zentrel {

bool isDecimalNumber(std::string_view text) {
    size_t i = 0;
    const size_t n = text.size();
    auto digits = [&] {
        const size_t start = i;
        while (i < n && text[i] >= '0' && text[i] <= '9') ++i;
        return i - start;
    };
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t mantissa = digits();
    if (i < n && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        if (digits() == 0) return false;
    }
    return i == n;
}

std::optional<double> parseDecimal(std::string_view text) {
    if (!isDecimalNumber(text)) return std::nullopt;
    const std::string copy(text);
    errno = 0;
    const double v = std::strtod(copy.c_str(), nullptr);
    if (!std::isfinite(v)) return std::nullopt;
    return v;  // an underflow reads as the nearest representable value, 0 at worst
}

std::optional<float> parseDecimalFloat(std::string_view text) {
    if (!isDecimalNumber(text)) return std::nullopt;
    const std::string copy(text);
    // Read as a float directly: going through a double could round a value differently.
    const float v = std::strtof(copy.c_str(), nullptr);
    if (!std::isfinite(v)) return std::nullopt;
    return v;
}

std::string decimalProblem(std::string_view text, bool single) {
    if (!isDecimalNumber(text)) return "\"" + std::string(text) + "\" is not a number";
    if (single ? !parseDecimalFloat(text) : !parseDecimal(text)) return "\"" + std::string(text) + "\" is too large a number";
    return "";
}

}  // namespace zentrel
