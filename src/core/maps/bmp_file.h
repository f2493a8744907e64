// Uncompressed 24-bit BMP images (the world bitmap "woma.bmp").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "maps/colour_table.h"

namespace zentrel {

/// An image held top row first, each row from left to right.
struct RgbImage {
    int Width = 0;
    int Height = 0;
    std::vector<Rgb> Pixels;  ///< Width x Height

    RgbImage() = default;
    RgbImage(int width, int height, Rgb fill = {});
    Rgb& at(int x, int y) { return Pixels[static_cast<size_t>(y) * Width + x]; }
    const Rgb& at(int x, int y) const { return Pixels[static_cast<size_t>(y) * Width + x]; }
};

/// The bytes of a 24-bit BMP file: 14-byte file header, 40-byte information header (72 dpi, no
/// compression), rows bottom-up in blue, green, red order, each padded to a multiple of 4 bytes.
/// Throws Error for an empty image or one whose pixel count does not match its size.
std::vector<uint8_t> formatBmp24(const RgbImage& image);

/// Writes formatBmp24 to a file, replacing it. Throws Error when it cannot be written.
void writeBmp24(const std::string& path, const RgbImage& image);

/// Parses a 24-bit uncompressed BMP held in memory, with the checks of readBmp24.
RgbImage parseBmp24(const std::vector<uint8_t>& bytes, const std::string& fileName);

/// Reads a 24-bit uncompressed BMP (rows bottom-up or top-down). Throws Error naming the file
/// and the header field for anything else or a file shorter than its pixels.
RgbImage readBmp24(const std::string& path);

}  // namespace zentrel
