// Splitting a text file into numbered lines, as every reader of the core does it.
#pragma once

#include <string_view>

namespace zentrel {

/// Calls f(lineNumber, line) for every line (numbered from 1) without its line end (LF or
/// CR LF). A Ctrl-Z character ends the text.
template <typename F>
void forEachLine(std::string_view text, F f) {
    const size_t ctrlZ = text.find('\x1a');
    if (ctrlZ != std::string_view::npos) text = text.substr(0, ctrlZ);
    long number = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        f(number, line);
    }
}

/// What a Ctrl-Z character cuts off the text (after the character), "" when there is none.
inline std::string_view textAfterCtrlZ(std::string_view text) {
    const size_t ctrlZ = text.find('\x1a');
    return ctrlZ == std::string_view::npos ? std::string_view() : text.substr(ctrlZ + 1);
}

/// Lines of a text that are not blank (a last line without its line end counts).
inline long countLines(std::string_view text) {
    long lines = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        if (text.substr(pos, end - pos).find_first_not_of(" \t\r") != std::string_view::npos) ++lines;
        pos = end + 1;
    }
    return lines;
}

/// `line` without trailing blanks, tabs and CRs.
inline std::string_view trimRight(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    return line;
}

}  // namespace zentrel
