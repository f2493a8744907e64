// Raster image files: the 534-byte header and the cells.
#include "maps/img_file.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "error.h"
#include "files/read_file.h"
#include "files/output_file.h"
#include "maps/real48.h"

namespace zentrel {

namespace {

constexpr int kRowsAt = 30, kColumnsAt = 32, kTitleAt = 38;
constexpr int kRefLatAt = 120, kRefLonAt = 128, kRefColumnAt = 136, kRefRowAt = 144;
constexpr int kCellWidthAt = 152, kCellHeightAt = 160, kCopied168At = 168, kScaleAt = 188, kOffsetAt = 196;

using Bytes = std::array<uint8_t, kImgHeaderSize>;

void putInt16(Bytes& b, int at, int16_t value) {
    const auto u = static_cast<uint16_t>(value);
    b[at] = static_cast<uint8_t>(u & 0xFF);
    b[at + 1] = static_cast<uint8_t>(u >> 8);
}

int16_t getInt16(const Bytes& b, int at) { return static_cast<int16_t>(b[at] | (b[at + 1] << 8)); }

// An 8-byte number field: the 6-byte real in its first six bytes, the last two zero.
void putReal(Bytes& b, int at, double value) {
    const Real48 r = DoubleToReal48(value);
    std::copy(r.begin(), r.end(), b.begin() + at);
}

double getReal(const Bytes& b, int at) {
    Real48 r{};
    std::copy(b.begin() + at, b.begin() + at + 6, r.begin());
    return Real48ToDouble(r);
}

std::ifstream openForReading(const std::string& path) {
    requireRegularFile(path, "Raster file");
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) throw Error("Raster file " + path + " is missing.");
        throw Error("Raster file " + path + " cannot be read.");
    }
    return in;
}

Bytes readHeaderBytes(std::ifstream& in, const std::string& path) {
    Bytes bytes{};
    in.read(reinterpret_cast<char*>(bytes.data()), kImgHeaderSize);
    if (in.gcount() != kImgHeaderSize)
        throw Error(fmt::format("Raster file {} is shorter than its {}-byte header ({} bytes).", path,
                                kImgHeaderSize, in.gcount()));
    return bytes;
}

}  // namespace

void ImgHeader::copyPassThroughFrom(const ImgHeader& displayed) {
    Byte22 = displayed.Byte22;
    Byte23 = displayed.Byte23;
    Bytes168 = displayed.Bytes168;
    Byte204 = displayed.Byte204;
}

std::array<uint8_t, kImgHeaderSize> formatImgHeader(const ImgHeader& header) {
    Bytes b{};
    b[22] = header.Byte22;
    b[23] = header.Byte23;
    putInt16(b, kRowsAt, header.Rows);
    putInt16(b, kColumnsAt, header.Columns);
    for (int k = 0; k < kImgTitleLength; ++k)
        b[kTitleAt + k] = k < static_cast<int>(header.Title.size()) ? static_cast<uint8_t>(header.Title[k]) : ' ';
    putReal(b, kRefLatAt, header.RefLat);
    putReal(b, kRefLonAt, header.RefLon);
    putReal(b, kRefColumnAt, header.RefColumn);
    putReal(b, kRefRowAt, header.RefRow);
    putReal(b, kCellWidthAt, header.CellWidth);
    putReal(b, kCellHeightAt, header.CellHeight);
    std::copy(header.Bytes168.begin(), header.Bytes168.end(), b.begin() + kCopied168At);
    putReal(b, kScaleAt, header.Scale);
    putReal(b, kOffsetAt, header.Offset);
    b[204] = header.Byte204;
    return b;
}

ImgHeader parseImgHeader(const std::array<uint8_t, kImgHeaderSize>& b, const std::string& fileName) {
    ImgHeader h;
    h.Byte22 = b[22];
    h.Byte23 = b[23];
    h.Rows = getInt16(b, kRowsAt);
    h.Columns = getInt16(b, kColumnsAt);
    if (h.Rows <= 0)
        throw Error(fmt::format("Raster file {}, header offset {} (rows): {} is not a positive number of rows.",
                                fileName, kRowsAt, h.Rows));
    if (h.Columns <= 0)
        throw Error(fmt::format("Raster file {}, header offset {} (columns): {} is not a positive number of columns.",
                                fileName, kColumnsAt, h.Columns));
    h.Title.assign(reinterpret_cast<const char*>(b.data() + kTitleAt), kImgTitleLength);
    const auto last = h.Title.find_last_not_of(std::string(" \0", 2));
    h.Title.erase(last == std::string::npos ? 0 : last + 1);
    h.RefLat = getReal(b, kRefLatAt);
    h.RefLon = getReal(b, kRefLonAt);
    h.RefColumn = getReal(b, kRefColumnAt);
    h.RefRow = getReal(b, kRefRowAt);
    h.CellWidth = getReal(b, kCellWidthAt);
    h.CellHeight = getReal(b, kCellHeightAt);
    if (h.CellWidth == 0)
        throw Error(fmt::format("Raster file {}, header offset {} (cell width): the cell width is 0.", fileName,
                                kCellWidthAt));
    if (h.CellHeight == 0)
        throw Error(fmt::format("Raster file {}, header offset {} (cell height): the cell height is 0.", fileName,
                                kCellHeightAt));
    std::copy(b.begin() + kCopied168At, b.begin() + kCopied168At + 19, h.Bytes168.begin());
    h.Scale = getReal(b, kScaleAt);
    h.Offset = getReal(b, kOffsetAt);
    h.Byte204 = b[204];
    return h;
}

ImgRaster parseImg(const std::vector<uint8_t>& bytes, const std::string& fileName) {
    if (bytes.size() < static_cast<size_t>(kImgHeaderSize))
        throw Error(fmt::format("Raster file {} is shorter than its {}-byte header ({} bytes).", fileName,
                                kImgHeaderSize, bytes.size()));
    Bytes header{};
    std::copy(bytes.begin(), bytes.begin() + kImgHeaderSize, header.begin());
    ImgRaster raster;
    raster.Header = parseImgHeader(header, fileName);
    const auto cells = static_cast<size_t>(raster.Header.Rows) * static_cast<size_t>(raster.Header.Columns);
    if (bytes.size() - kImgHeaderSize < cells)
        throw Error(fmt::format("Raster file {} holds fewer cells than its header's {} rows x {} columns.", fileName,
                                raster.Header.Rows, raster.Header.Columns));
    raster.Cells.assign(bytes.begin() + kImgHeaderSize, bytes.begin() + kImgHeaderSize + static_cast<std::ptrdiff_t>(cells));
    return raster;
}

ImgHeader readImgHeader(const std::string& path) {
    std::ifstream in = openForReading(path);
    return parseImgHeader(readHeaderBytes(in, path), path);
}

ImgRaster readImg(const std::string& path) {
    std::ifstream in = openForReading(path);
    ImgRaster raster;
    raster.Header = parseImgHeader(readHeaderBytes(in, path), path);
    const auto cells = static_cast<std::streamsize>(raster.Header.Rows) * raster.Header.Columns;
    // The size is checked before allocating, so a damaged header cannot ask for more memory
    // than the file holds.
    std::error_code ec;
    const auto fileSize = std::filesystem::file_size(path, ec);
    if (ec || static_cast<std::streamsize>(fileSize) - kImgHeaderSize < cells)
        throw Error(fmt::format("Raster file {} holds fewer cells than its header's {} rows x {} columns.", path,
                                raster.Header.Rows, raster.Header.Columns));
    raster.Cells.resize(static_cast<size_t>(cells));
    in.read(reinterpret_cast<char*>(raster.Cells.data()), cells);
    if (in.gcount() != cells)
        throw Error(fmt::format("Raster file {} holds fewer cells than its header's {} rows x {} columns.", path,
                                raster.Header.Rows, raster.Header.Columns));
    return raster;
}

void writeImg(const std::string& path, const ImgRaster& raster) {
    const auto cells = static_cast<size_t>(std::max<int>(raster.Header.Rows, 0)) *
                       static_cast<size_t>(std::max<int>(raster.Header.Columns, 0));
    if (raster.Cells.size() != cells)
        throw Error(fmt::format("Raster file {}: {} cells do not fill {} rows x {} columns.", path,
                                raster.Cells.size(), raster.Header.Rows, raster.Header.Columns));
    const Bytes header = formatImgHeader(raster.Header);
    // Written beside the target and renamed when whole, so that a full disk never leaves a
    // truncated map nor destroys the file it was to replace.
    replaceOutputFile(path, [&](const std::string& part) {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(header.data()), kImgHeaderSize);
        out.write(reinterpret_cast<const char*>(raster.Cells.data()), static_cast<std::streamsize>(cells));
        out.close();
        if (!out) throw Error("Raster file " + path + " cannot be written.");
    });
}

}  // namespace zentrel
