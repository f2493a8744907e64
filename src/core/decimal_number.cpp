// Decimal numbers only: the one number reader of options and data files.
#include "decimal_number.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <system_error>
#include <type_traits>

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

namespace {
// The value of a decimal number, correctly rounded to T and independent of the locale. Beyond
// the type's range (rare: only option values and hostile files come here) the C library decides
// between an overflow (refused) and an underflow (the nearest representable value, 0 at worst).
template <typename T>
std::optional<T> readDecimal(std::string_view text) {
    if (!isDecimalNumber(text)) return std::nullopt;
    const std::string_view digits = text.front() == '+' ? text.substr(1) : text;
    T v{};
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (ec == std::errc::result_out_of_range) {
        const std::string copy(text);
        if constexpr (std::is_same_v<T, float>) v = std::strtof(copy.c_str(), nullptr);
        else v = std::strtod(copy.c_str(), nullptr);
    } else if (ec != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    if (!std::isfinite(v)) return std::nullopt;
    return v;
}
}  // namespace

std::optional<double> parseDecimal(std::string_view text) { return readDecimal<double>(text); }

// Read as a float directly: going through a double could round a value differently.
std::optional<float> parseDecimalFloat(std::string_view text) { return readDecimal<float>(text); }

std::string decimalProblem(std::string_view text, bool single) {
    if (!isDecimalNumber(text)) return "\"" + std::string(text) + "\" is not a number";
    if (single ? !parseDecimalFloat(text) : !parseDecimal(text)) return "\"" + std::string(text) + "\" is too large a number";
    return "";
}

}  // namespace zentrel
