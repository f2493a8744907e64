// Fuzz target: CLIMAT import. The input is a station list and one monthly report, separated by
// a line "==". Both are written to a scratch folder and imported as from disk.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "data/climat_import.h"
#include "error.h"

namespace {
const std::filesystem::path& scratch() {
    static const std::filesystem::path folder = [] {
        char pattern[] = "/tmp/fuzz_climat.XXXXXX";
        const char* made = mkdtemp(pattern);
        if (!made) std::abort();
        std::filesystem::create_directories(std::filesystem::path(made) / "reports");
        return std::filesystem::path(made);
    }();
    return folder;
}

void write(const std::filesystem::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t cut = text.find("\n==\n");
    const std::string list = cut == std::string::npos ? text : text.substr(0, cut + 1);
    const std::string report = cut == std::string::npos ? std::string() : text.substr(cut + 4);
    write(scratch() / "stations.csv", list);
    write(scratch() / "reports" / "CLIMAT_RAW_200301.txt", report);
    zentrel::ClimatOptions options;
    options.minYears = 1;
    try {
        (void)zentrel::importClimat((scratch() / "reports").string(), (scratch() / "stations.csv").string(), options);
    } catch (const zentrel::Error&) {
    }
    return 0;
}
