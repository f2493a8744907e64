// Climate surfaces as Float32 GeoTIFF: striped rows while computing, then tiles and overviews.
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <filesystem>
#include <fstream>

#include "error.h"
#include "files/output_file.h"
#include "maps/surface_files.h"

namespace zentrel {

namespace {

struct Options {
    char** list = nullptr;
    ~Options() { CSLDestroy(list); }
    Options& set(const char* key, const char* value) {
        list = CSLSetNameValue(list, key, value);
        return *this;
    }
};

void removeQuietly(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

std::string gdalMessage() {
    const char* m = CPLGetLastErrorMsg();
    return m && *m ? std::string(" (") + m + ")" : std::string();
}

}  // namespace

struct SurfaceGeoTiffWriter::Impl {
    std::string path, rowsPath, partPath;
    SurfaceGrid grid;
    int bands = 0;
    GDALDataset* rows = nullptr;
    bool inMemory = false;
    bool finished = false;

    // GDAL prints every error of a failed write (a dozen lines for a full disk); the writer
    // says what failed in one sentence instead.
    CPLErrorHandler previousHandler = CPLSetErrorHandler(CPLQuietErrorHandler);

    ~Impl() {
        if (rows) GDALClose(rows);
        if (!finished) {
            removeQuietly(rowsPath);
            removeQuietly(partPath);
        }
        CPLSetErrorHandler(previousHandler);
    }
    [[noreturn]] void fail(const std::string& what) {
        if (diskIsFull(partPath)) throw Error("GeoTIFF file " + path + " cannot be written: the disk is full.");
        throw Error("GeoTIFF file " + path + " cannot be written: " + what + gdalMessage() + ".");
    }
};

SurfaceGeoTiffWriter::SurfaceGeoTiffWriter(const std::string& path, const SurfaceGrid& grid,
                                           const SurfaceLayout& layout, const SurfaceMetadata& metadata,
                                           double memoryBytes)
    : impl_(std::make_unique<Impl>()) {
    Impl& m = *impl_;
    // Written beside the file the name really stands for (a link is followed), or in the
    // temporary folder for a device, FIFO or "-", whose bytes it receives when whole.
    m.path = path;
    m.partPath = outputPartPath(path, ".part");
    m.rowsPath = m.partPath + ".rows";
    m.grid = grid;
    m.bands = layout.bandCount();
    GDALAllRegister();
    // GDAL's block cache is most of the memory a huge surface takes (its default grows with
    // the machine's memory); unless the user sets GDAL_CACHEMAX, it is held at 128 MB. The world
    // at 5 arc-minutes with 26 bands: 770 MB peak with 256 MB, 480 MB with 128, in the same time
    // (62.6 and 63.1 s); with 64 MB 373 MB, but slower (70 s).
    if (!CPLGetConfigOption("GDAL_CACHEMAX", nullptr)) GDALSetCacheMax64(GIntBig{128} << 20);
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    if (!driver) m.fail("GDAL has no GeoTIFF driver");
    // The rows are read once more for the tiles. Up to memoryBytes they stay in memory; beyond, they
    // go to a file beside the target: one strip per few rows, band after band so that a block
    // of rows completes its strips; uncompressed up to 4 GB (a world at 5 arc-minutes with two
    // quantities is 0.8 GB), quickly compressed beyond.
    Options o;
    const double bytes = 4.0 * grid.Columns * grid.Rows * m.bands;
    m.inMemory = bytes <= memoryBytes;
    // A folder that cannot take the file fails now, not after the computing.
    CPLErrorReset();
    if (!std::ofstream(m.partPath, std::ios::binary)) m.fail("it cannot be created");
    if (m.inMemory) driver = GetGDALDriverManager()->GetDriverByName("MEM");
    if (bytes > 4e9) o.set("COMPRESS", "DEFLATE").set("ZLEVEL", "1").set("PREDICTOR", "3").set("NUM_THREADS", "ALL_CPUS");
    if (!m.inMemory) o.set("INTERLEAVE", "BAND").set("BLOCKYSIZE", "8").set("BIGTIFF", "IF_SAFER");
    CPLErrorReset();
    m.rows = driver ? driver->Create(m.inMemory ? "" : m.rowsPath.c_str(), grid.Columns, grid.Rows, m.bands,
                                     GDT_Float32, o.list)
                    : nullptr;
    if (!m.rows) m.fail("it cannot be created");
    double transform[6] = {grid.West, grid.CellWidth, 0, grid.North, 0, -grid.CellHeight};
    m.rows->SetGeoTransform(transform);
    OGRSpatialReference srs;
    srs.importFromEPSG(4326);
    char* wkt = nullptr;
    srs.exportToWkt(&wkt);
    m.rows->SetProjection(wkt);
    CPLFree(wkt);
    for (const auto& [key, value] : metadata) m.rows->SetMetadataItem(key.c_str(), value.c_str());
    for (const auto& [key, value] : metadata) {
        if (key == "long_name") m.rows->SetMetadataItem("TIFFTAG_IMAGEDESCRIPTION", value.c_str());
        if (key == "software") m.rows->SetMetadataItem("TIFFTAG_SOFTWARE", value.c_str());
    }
    for (int b = 0; b < m.bands; ++b) {
        GDALRasterBand* band = m.rows->GetRasterBand(b + 1);
        band->SetNoDataValue(kSurfaceNoData);
        band->SetDescription(layout.bandDescription(b).c_str());
        band->SetUnitType(periodUnits(layout.Variable, layout.periodOfBand(b)));
        band->SetMetadataItem("period", surfacePeriodName(layout.periodOfBand(b), layout.Variable).c_str());
        band->SetMetadataItem("quantity", quantityName(layout.quantityOfBand(b)));
    }
}

SurfaceGeoTiffWriter::~SurfaceGeoTiffWriter() = default;

void SurfaceGeoTiffWriter::writeRows(int firstRow, int rowCount, const std::vector<float>& values) {
    Impl& m = *impl_;
    const int columns = m.grid.Columns;
    CPLErrorReset();
    // Band b of the block starts at b * rowCount * columns: a band spacing of that many values.
    const CPLErr err = m.rows->RasterIO(GF_Write, 0, firstRow, columns, rowCount, const_cast<float*>(values.data()),
                                        columns, rowCount, GDT_Float32, m.bands, nullptr, sizeof(float),
                                        static_cast<GSpacing>(sizeof(float)) * columns,
                                        static_cast<GSpacing>(sizeof(float)) * columns * rowCount, nullptr);
    if (err != CE_None) m.fail("a block of rows was not written");
}

void SurfaceGeoTiffWriter::finish() {
    Impl& m = *impl_;
    CPLErrorReset();
    GDALDataset* source = m.rows;
    if (!m.inMemory) {
        m.rows->FlushCache();
        GDALClose(m.rows);
        m.rows = nullptr;
        if (CPLGetLastErrorType() == CE_Failure) m.fail("the rows were not written");
        source = static_cast<GDALDataset*>(GDALOpen(m.rowsPath.c_str(), GA_ReadOnly));
        if (!source) m.fail("the rows cannot be read back");
    }
    GDALDataset* out = nullptr;
    if (GDALDriver* cog = GetGDALDriverManager()->GetDriverByName("COG")) {
        Options o;
        o.set("COMPRESS", "DEFLATE").set("PREDICTOR", "YES").set("BLOCKSIZE", "256").set("OVERVIEWS", "AUTO");
        o.set("OVERVIEW_RESAMPLING", "AVERAGE");
        o.set("BIGTIFF", "IF_SAFER").set("NUM_THREADS", "ALL_CPUS");
        out = cog->CreateCopy(m.partPath.c_str(), source, FALSE, o.list, nullptr, nullptr);
    } else {
        // Older GDAL: a tiled GeoTIFF with its overviews inside.
        Options o;
        o.set("COMPRESS", "DEFLATE").set("PREDICTOR", "3").set("TILED", "YES").set("BIGTIFF", "IF_SAFER");
        o.set("NUM_THREADS", "ALL_CPUS");
        GDALDriver* gtiff = GetGDALDriverManager()->GetDriverByName("GTiff");
        out = gtiff->CreateCopy(m.partPath.c_str(), source, FALSE, o.list, nullptr, nullptr);
        if (out) {
            int levels[8], count = 0;
            for (int f = 2; count < 8 && m.grid.Columns / f >= 256; f *= 2) levels[count++] = f;
            if (count > 0 && out->BuildOverviews("AVERAGE", count, levels, 0, nullptr, nullptr, nullptr) != CE_None) {
                GDALClose(out);
                out = nullptr;
            }
        }
    }
    if (!m.inMemory) GDALClose(source);
    if (!out) m.fail("the tiled copy failed");
    CPLErrorReset();
    GDALClose(out);
    if (CPLGetLastErrorType() == CE_Failure) m.fail("the tiled copy was not written");
    removeQuietly(m.rowsPath);
    commitOutputPart(m.path, m.partPath);
    m.finished = true;
}

}  // namespace zentrel
