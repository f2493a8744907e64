// Fuzz target: station files (free-format 17-field lines), parsed and written again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/station_file.h"
#include "error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const auto stations = zentrel::parseStationText(text, "fuzz.txt");
        // What the writer writes for an accepted station, the reader accepts again.
        for (const auto& station : stations) (void)zentrel::parseStationLine(zentrel::formatStationLine(station), "again.txt", 1);
    } catch (const zentrel::Error&) {
    }
    return 0;
}
