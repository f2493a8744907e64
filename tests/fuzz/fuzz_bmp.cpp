// Fuzz target: 24-bit BMP images.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "error.h"
#include "maps/bmp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const zentrel::RgbImage image = zentrel::parseBmp24(std::vector<uint8_t>(data, data + size), "fuzz.bmp");
        if (zentrel::parseBmp24(zentrel::formatBmp24(image), "again.bmp").Pixels != image.Pixels) __builtin_trap();
    } catch (const zentrel::Error&) {
    }
    return 0;
}
