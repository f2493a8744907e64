// Raster image (".img") files of the background maps and the raster export: a 534-byte
// little-endian header followed by one byte per cell, rows from north to south, each row from
// west to east.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zentrel {

inline constexpr int kImgHeaderSize = 534;
inline constexpr int kImgTitleLength = 80;
inline constexpr uint8_t kImgNoData = 255;     ///< a cell without data (sea)
inline constexpr uint8_t kImgAboveRange = 254; ///< a value above the coded range
inline constexpr uint8_t kImgMaxCount = 250;   ///< counts 0..250 are coded values

/// The header fields, each at its byte offset. Bytes the program does not set are zero when
/// written; the bytes it only copies from a displayed map are kept as they were read.
struct ImgHeader {
    uint8_t Byte22 = 0;                  ///< offset 22, copied
    uint8_t Byte23 = 0;                  ///< offset 23, copied
    int16_t Rows = 0;                    ///< offset 30, signed 16-bit
    int16_t Columns = 0;                 ///< offset 32, signed 16-bit
    std::string Title;                   ///< offset 38, 80 single-byte characters padded with blanks
    double RefLat = 0;                   ///< offset 120, degrees, 6-byte real
    double RefLon = 0;                   ///< offset 128, degrees
    double RefColumn = 0;                ///< offset 136, 0-based, may be fractional
    double RefRow = 0;                   ///< offset 144, 0-based from the top, may be fractional
    double CellWidth = 0;                ///< offset 152, degrees of longitude
    double CellHeight = 0;               ///< offset 160, degrees of latitude
    std::array<uint8_t, 19> Bytes168{};  ///< offsets 168..186, copied
    double Scale = 1;                    ///< offset 188, physical units per count
    double Offset = 0;                   ///< offset 196, physical value of count 0
    uint8_t Byte204 = 0;                 ///< offset 204, copied

    /// Copies the fields a new raster takes over from the displayed map (offsets 22, 23,
    /// 168..186 and 204).
    void copyPassThroughFrom(const ImgHeader& displayed);

    /// Physical value of a cell count: Offset + Scale * count.
    double valueOf(uint8_t count) const { return Offset + Scale * count; }
};

/// The header bytes. The title is cut at 80 characters. Throws Error when a number cannot be
/// held by a 6-byte real.
std::array<uint8_t, kImgHeaderSize> formatImgHeader(const ImgHeader& header);

/// Parses header bytes; the title loses its trailing blanks and zero bytes. Throws Error naming
/// `fileName` and the field when the number of rows or columns is not positive or a cell size
/// is zero (the georeference would divide by it).
ImgHeader parseImgHeader(const std::array<uint8_t, kImgHeaderSize>& bytes, const std::string& fileName);

/// A raster: header and Rows x Columns cells, row 0 northernmost.
struct ImgRaster {
    ImgHeader Header;
    std::vector<uint8_t> Cells;

    uint8_t at(int column, int row) const { return Cells[static_cast<size_t>(row) * Header.Columns + column]; }
};

/// Reads the header only. Throws Error when the file is missing or shorter than the header.
ImgHeader readImgHeader(const std::string& path);

/// Parses a whole raster file held in memory, with the checks of readImg.
ImgRaster parseImg(const std::vector<uint8_t>& bytes, const std::string& fileName);

/// Reads header and cells. Throws Error naming the file when it is missing, its header is
/// malformed or it holds fewer cells than the header says (extra bytes are ignored). Allocates
/// no more than the file holds.
ImgRaster readImg(const std::string& path);

/// Writes header and cells, replacing the file. Throws Error when the number of cells does
/// not match the header or the file cannot be written.
void writeImg(const std::string& path, const ImgRaster& raster);

}  // namespace zentrel
