// Picture-pattern number formatting, exact on the decimal digits of the value.
#include "base/picture.h"

#include <fmt/format.h>

#include <cstdlib>

namespace zentrel {

namespace {

struct PatternShape {
    int decimals = 0;       // placeholders after the point
    int minDecimals = 0;    // '0' placeholders after the point: always shown ('#' only when significant)
    int minIntDigits = 0;   // digits forced before the point
    bool hasPoint = false;
};

PatternShape shapeOf(std::string_view pattern) {
    PatternShape shape;
    const size_t point = pattern.find('.');
    shape.hasPoint = point != std::string_view::npos;
    const std::string_view intPart = pattern.substr(0, point);
    if (shape.hasPoint) {
        for (char c : pattern.substr(point + 1))
            if (c == '0' || c == '#') ++shape.decimals;
        for (char c : pattern.substr(point + 1))
            if (c == '0') ++shape.minDecimals;
    }
    const size_t firstZero = intPart.find('0');
    if (firstZero != std::string_view::npos) {
        for (char c : intPart.substr(firstZero))
            if (c == '0' || c == '#') ++shape.minIntDigits;
    }
    return shape;
}

// Rounds a plain decimal text (digits with an optional point, no sign, no exponent) half away
// from zero to `decimals` places; returns the integer digits and the decimal digits.
void roundDecimalText(const std::string& text, int decimals, std::string& intDigits, std::string& fracDigits) {
    std::string digits;
    size_t pointPos = text.find('.');
    std::string intPart = text.substr(0, pointPos);
    std::string fracPart = pointPos == std::string::npos ? "" : text.substr(pointPos + 1);
    if (intPart.empty()) intPart = "0";
    bool roundUp = false;
    if (static_cast<int>(fracPart.size()) > decimals) {
        roundUp = fracPart[static_cast<size_t>(decimals)] >= '5';
        fracPart.resize(static_cast<size_t>(decimals));
    } else {
        fracPart.append(static_cast<size_t>(decimals) - fracPart.size(), '0');
    }
    digits = intPart + fracPart;
    if (roundUp) {
        int i = static_cast<int>(digits.size()) - 1;
        while (i >= 0) {
            if (digits[static_cast<size_t>(i)] == '9') {
                digits[static_cast<size_t>(i)] = '0';
                --i;
            } else {
                ++digits[static_cast<size_t>(i)];
                break;
            }
        }
        if (i < 0) digits.insert(digits.begin(), '1');
    }
    intDigits = digits.substr(0, digits.size() - static_cast<size_t>(decimals));
    fracDigits = digits.substr(digits.size() - static_cast<size_t>(decimals));
    size_t nz = intDigits.find_first_not_of('0');
    intDigits = nz == std::string::npos ? "" : intDigits.substr(nz);
}

// Fixed-point text of a shortest-representation number such as "1.5e-05" or "-123.25".
std::string toPlainDecimal(const std::string& shortest, bool& negative) {
    std::string s = shortest;
    negative = !s.empty() && s[0] == '-';
    if (negative) s.erase(0, 1);
    const size_t e = s.find_first_of("eE");
    if (e == std::string::npos) return s;
    const int exponent = std::atoi(s.c_str() + e + 1);
    std::string mantissa = s.substr(0, e);
    size_t point = mantissa.find('.');
    std::string digits = mantissa;
    int intLen = static_cast<int>(point == std::string::npos ? mantissa.size() : point);
    if (point != std::string::npos) digits.erase(point, 1);
    int newIntLen = intLen + exponent;
    if (newIntLen <= 0) return "0." + std::string(static_cast<size_t>(-newIntLen), '0') + digits;
    if (newIntLen >= static_cast<int>(digits.size()))
        return digits + std::string(static_cast<size_t>(newIntLen) - digits.size(), '0');
    return digits.substr(0, static_cast<size_t>(newIntLen)) + "." + digits.substr(static_cast<size_t>(newIntLen));
}

std::string formatShortest(const std::string& shortest, std::string_view pattern) {
    if (shortest == "nan" || shortest == "inf" || shortest == "-inf") return shortest;
    const PatternShape shape = shapeOf(pattern);
    bool negative = false;
    const std::string plain = toPlainDecimal(shortest, negative);
    std::string intDigits, fracDigits;
    roundDecimalText(plain, shape.decimals, intDigits, fracDigits);
    while (static_cast<int>(fracDigits.size()) > shape.minDecimals && fracDigits.back() == '0') fracDigits.pop_back();
    if (static_cast<int>(intDigits.size()) < shape.minIntDigits)
        intDigits.insert(0, static_cast<size_t>(shape.minIntDigits) - intDigits.size(), '0');
    // The sign stays on a negative value that rounds to zero ("-0.00"), as the user's
    // tables have always shown it; only a value of exactly zero is unsigned.
    const bool exactlyZero = plain.find_first_not_of("0.") == std::string::npos;
    std::string out;
    if (negative && !exactlyZero) out += '-';
    out += intDigits;
    if (shape.hasPoint && shape.decimals > 0) out += "." + fracDigits;  // "14." for "#.##", as ever
    return out;
}

}  // namespace

// A single holds no more than seven significant decimal digits: the shortest form that reads
// back to the same single may need nine ("5.9550004"), which is noise to a reader.
std::string shortestFloat(float value) { return fmt::format("{:.7g}", value == 0.0f ? 0.0f : value); }

std::string roundTripFloat(float value) { return fmt::format("{}", value == 0.0f ? 0.0f : value); }

std::string formatPicture(float value, std::string_view pattern) {
    return formatShortest(fmt::format("{}", value), pattern);
}

std::string formatPicture(double value, std::string_view pattern) {
    return formatShortest(fmt::format("{}", value), pattern);
}

std::string formatText(std::string_view text, std::string_view pattern) {
    size_t width = 0;
    for (char c : pattern)
        if (c == '@') ++width;
    if (text.size() >= width) return std::string(text);
    return std::string(width - text.size(), ' ') + std::string(text);
}

float roundPicture(float value, std::string_view pattern) {
    return std::strtof(formatPicture(value, pattern).c_str(), nullptr) + 0.0f;  // -0 becomes +0
}

}  // namespace zentrel
