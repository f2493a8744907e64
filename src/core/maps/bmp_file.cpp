// Uncompressed 24-bit BMP images.
#include "maps/bmp_file.h"

#include <fmt/format.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "error.h"
#include "files/read_file.h"

namespace zentrel {

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr int kPixelsPerMetre = 2835;  // 72 dpi

void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}
uint32_t get16(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t get32(const std::vector<uint8_t>& b, size_t at) { return get16(b, at) | (get16(b, at + 2) << 16); }

size_t rowBytes(int width) { return (static_cast<size_t>(width) * 3 + 3) / 4 * 4; }

}  // namespace

RgbImage::RgbImage(int width, int height, Rgb fill)
    : Width(width), Height(height), Pixels(static_cast<size_t>(width) * static_cast<size_t>(height), fill) {}

std::vector<uint8_t> formatBmp24(const RgbImage& image) {
    if (image.Width <= 0 || image.Height <= 0 ||
        image.Pixels.size() != static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height))
        throw Error(fmt::format("A {} x {} image with {} pixels cannot be written as a bitmap.", image.Width,
                                image.Height, image.Pixels.size()));
    const size_t stride = rowBytes(image.Width);
    const size_t pixelBytes = stride * static_cast<size_t>(image.Height);
    const size_t dataAt = kFileHeaderSize + kInfoHeaderSize;
    std::vector<uint8_t> b(dataAt + pixelBytes, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<uint32_t>(b.size()));
    put32(b, 10, static_cast<uint32_t>(dataAt));
    put32(b, 14, kInfoHeaderSize);
    put32(b, 18, static_cast<uint32_t>(image.Width));
    put32(b, 22, static_cast<uint32_t>(image.Height));  // positive: bottom-up rows
    put16(b, 26, 1);                                     // planes
    put16(b, 28, 24);                                    // bits per pixel
    put32(b, 30, 0);                                     // no compression
    put32(b, 34, static_cast<uint32_t>(pixelBytes));
    put32(b, 38, kPixelsPerMetre);
    put32(b, 42, kPixelsPerMetre);
    for (int y = 0; y < image.Height; ++y) {
        size_t at = dataAt + stride * static_cast<size_t>(image.Height - 1 - y);
        for (int x = 0; x < image.Width; ++x) {
            const Rgb& p = image.at(x, y);
            b[at++] = p.Blue;
            b[at++] = p.Green;
            b[at++] = p.Red;
        }
    }
    return b;
}

void writeBmp24(const std::string& path, const RgbImage& image) {
    const std::vector<uint8_t> bytes = formatBmp24(image);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw Error("Bitmap " + path + " cannot be written.");
}

RgbImage readBmp24(const std::string& path) {
    requireRegularFile(path, "Bitmap");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error("Bitmap " + path + " is missing or cannot be read.");
    std::vector<uint8_t> bytes;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec) bytes.resize(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (ec || in.gcount() != static_cast<std::streamsize>(bytes.size()))
        throw Error("Bitmap " + path + " cannot be read.");
    return parseBmp24(bytes, path);
}

RgbImage parseBmp24(const std::vector<uint8_t>& b, const std::string& path) {
    auto fail = [&](const std::string& what) { return Error("Bitmap " + path + ": " + what + "."); };
    if (b.size() < kFileHeaderSize + kInfoHeaderSize || b[0] != 'B' || b[1] != 'M')
        throw fail("not a BMP file (no \"BM\" header)");
    if (get32(b, 14) < kInfoHeaderSize) throw fail("header field at offset 14 (header size) is too small");
    const auto width = static_cast<int32_t>(get32(b, 18));
    const auto height = static_cast<int32_t>(get32(b, 22));
    if (get16(b, 28) != 24) throw fail("header field at offset 28 (bits per pixel) is not 24");
    if (get32(b, 30) != 0) throw fail("header field at offset 30 (compression) is not 0 (uncompressed)");
    if (width <= 0 || width > 1 << 16) throw fail(fmt::format("header field at offset 18 (width) is {}", width));
    if (height == 0 || height < -(1 << 16) || height > 1 << 16)
        throw fail(fmt::format("header field at offset 22 (height) is {}", height));
    const int rows = std::abs(height);
    const size_t stride = rowBytes(width);
    const size_t dataAt = get32(b, 10);
    // Checked before allocating: the pixels must all be in the file.
    if (dataAt > b.size() || (b.size() - dataAt) / stride < static_cast<size_t>(rows))
        throw fail("the file is shorter than its pixels");
    RgbImage image(width, rows);
    for (int y = 0; y < rows; ++y) {
        const int stored = height > 0 ? rows - 1 - y : y;
        size_t at = dataAt + stride * static_cast<size_t>(stored);
        for (int x = 0; x < width; ++x, at += 3) image.at(x, y) = {b[at + 2], b[at + 1], b[at]};
    }
    return image;
}

}  // namespace zentrel
