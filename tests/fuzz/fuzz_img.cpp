// Fuzz target: raster image files (header with its 6-byte reals, cells, georeference).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "error.h"
#include "maps/georeference.h"
#include "maps/img_file.h"
#include "maps/real48.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    try {
        const zentrel::ImgRaster raster = zentrel::parseImg(bytes, "fuzz.img");
        const zentrel::Georeference g = zentrel::Georeference::of(raster.Header);
        const long column = g.columnOf(g.lonOfColumn(0));
        const long row = g.rowOf(g.latOfRow(0));
        if (column >= 0 && column < raster.Header.Columns && row >= 0 && row < raster.Header.Rows)
            (void)raster.at(static_cast<int>(column), static_cast<int>(row));
        // Every 6-byte real read converts back to the same bytes, apart from zeros.
        const auto header = zentrel::formatImgHeader(raster.Header);
        if (zentrel::parseImgHeader(header, "again.img").Rows != raster.Header.Rows) __builtin_trap();
    } catch (const zentrel::Error&) {
    }
    if (size >= 6) {
        zentrel::Real48 r{};
        for (int k = 0; k < 6; ++k) r[k] = data[k];
        const double value = zentrel::Real48ToDouble(r);
        if (r[0] != 0 && zentrel::DoubleToReal48(value) != r) __builtin_trap();
    }
    return 0;
}
