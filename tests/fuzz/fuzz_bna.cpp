// Fuzz target: BNA boundary and capital text, parsed, reduced to pixels and written again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "error.h"
#include "maps/bna_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const auto shapes = zentrel::parseBna(text, "fuzz.bna");
        zentrel::toPixelShapes(shapes, 2160, 1080);
        // What the writer writes, the reader reads back to the same shapes.
        const auto again = zentrel::parseBna(zentrel::formatBna(shapes), "again.bna");
        if (again.size() != shapes.size()) __builtin_trap();
    } catch (const zentrel::Error&) {
    }
    return 0;
}
