// Fuzz target: CSV import of station normals; bad rows become problems, never crashes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/csv_import.h"
#include "error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        (void)zentrel::importCsvText(text, "fuzz.csv");
    } catch (const zentrel::Error&) {
    }
    return 0;
}
