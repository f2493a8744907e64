// Windows-1252 text, column alignment and safe saving for every writer.
#include "formats/text_output.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "error.h"
#include "files/output_file.h"

namespace zentrel {

float ConfidenceLevel::factor() const { return confidenceFactor(percent); }

std::string ConfidenceLevel::lowTitle() const {
    switch (percent) {
        case 90: return "Low (5%)";
        case 95: return "Low (2.5%)";
        case 99: return "Low (.5%)";
        default: return "";
    }
}

std::string ConfidenceLevel::highTitle() const {
    switch (percent) {
        case 90: return "High (95%)";
        case 95: return "High (97.5%)";
        case 99: return "High (99.5%)";
        default: return "";
    }
}

void addLine(std::string& out, std::string_view text) {
    out += text;
    out += "\r\n";
}

void saveOutput(const std::string& path, const std::string& bytes, bool append) {
    namespace fs = std::filesystem;
    if (path == kStandardOutputName) {
        writeStandardOutput(bytes);
        return;
    }
    std::error_code ec;
    if (append && fs::is_regular_file(resolveOutputPath(path), ec)) {
        // Appending a location to a long batch file must not copy the file each time: add the
        // bytes in place and cut the file back to its old length if the write fails.
        const fs::path target(resolveOutputPath(path));
        const auto originalSize = fs::file_size(target, ec);
        if (ec) throw Error("Cannot append to the file \"" + path + "\": " + ec.message() + ".");
        std::ofstream out(target, std::ios::binary | std::ios::app);
        if (!out) throw Error("Cannot append to the file \"" + path + "\": " + std::strerror(errno) + ".");
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            fs::resize_file(target, originalSize, ec);
            throw Error("Cannot append to the file \"" + path + "\": the disk refused the data.");
        }
        return;
    }
    writeOutputFile(path, bytes);
}

}  // namespace zentrel
