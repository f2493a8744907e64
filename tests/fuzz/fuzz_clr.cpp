// Fuzz target: colour tables (".clr"), with the legend built from them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "error.h"
#include "maps/colour_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const auto ranges = zentrel::parseColourRanges(text, "fuzz.clr");
        const auto table = zentrel::ColourTable::fromRanges(ranges);
        (void)table.legendEntries();
        const auto again = zentrel::parseColourRanges(zentrel::formatColourFile("header", ranges), "again.clr");
        if (again.size() != ranges.size()) __builtin_trap();
    } catch (const zentrel::Error&) {
    }
    return 0;
}
