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

/// `line` without trailing blanks, tabs and CRs.
inline std::string_view trimRight(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    return line;
}

}  // namespace zentrel
