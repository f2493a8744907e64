// The checks and the join of surface strips.
#include "maps/strip_join.h"

#include <gdal_priv.h>
#include <gdal_utils.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>

#include "decimal_number.h"
#include "error.h"
#include "files/output_file.h"
#include "files/read_file.h"

namespace zentrel {

namespace {

using Items = std::map<std::string, std::string>;

Items itemsOf(char** list) {
    Items out;
    for (char** p = list; p && *p; ++p) {
        const std::string item = *p;
        const size_t eq = item.find('=');
        if (eq != std::string::npos) out[item.substr(0, eq)] = item.substr(eq + 1);
    }
    return out;
}

bool isStripItem(const std::string& key) {
    return std::any_of(std::begin(kStripItems), std::end(kStripItems), [&](const char* k) { return key == k; });
}

// What one band is: name, unit, its own items, NoData and type.
std::string bandIdentity(GDALRasterBand* band) {
    int hasNoData = 0;
    const double noData = band->GetNoDataValue(&hasNoData);
    std::string out = std::string(band->GetDescription()) + "|" + band->GetUnitType() + "|" +
                      (hasNoData ? std::to_string(noData) : "-") + "|" + std::to_string(band->GetRasterDataType());
    for (const auto& [k, v] : itemsOf(band->GetMetadata())) out += "|" + k + "=" + v;
    return out;
}

struct Closer {
    void operator()(GDALDataset* d) const { GDALClose(d); }
};
using Dataset = std::unique_ptr<GDALDataset, Closer>;

struct Strip {
    std::string path;
    Dataset data;
    int index = 0, count = 0;
    Items items;
    std::array<double, 6> transform{};
};

// "2/8": strip 2 of 8.
bool parseTile(const std::string& text, int& index, int& count) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    const auto i = parseDecimal(text.substr(0, slash)), n = parseDecimal(text.substr(slash + 1));
    if (!i || !n || *i != std::floor(*i) || *n != std::floor(*n) || *i < 1 || *i > *n || *n > 1e6) return false;
    index = static_cast<int>(*i);
    count = static_cast<int>(*n);
    return true;
}

// GDAL's own message of the last error, for the end of a sentence.
std::string gdalMessage() {
    const char* m = CPLGetLastErrorMsg();
    return m && *m ? std::string(" (") + m + ")" : std::string();
}

struct QuietGdal {
    CPLErrorHandler previous = CPLSetErrorHandler(CPLQuietErrorHandler);
    ~QuietGdal() { CPLSetErrorHandler(previous); }
};

}  // namespace

void joinSurfaceStrips(const std::string& out, const std::vector<std::string>& strips) {
    if (strips.empty()) throw Error("Name the strips to join after the output file.");
    GDALAllRegister();
    const QuietGdal quiet;
    std::vector<Strip> all;
    for (const std::string& path : strips) {
        requireRegularFile(path, "The strip");
        Strip s;
        s.path = path;
        s.data.reset(static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly)));
        if (!s.data) throw Error("The strip " + path + " cannot be read as a raster" + gdalMessage() + ".");
        s.items = itemsOf(s.data->GetMetadata());
        if (!parseTile(s.items["tile"], s.index, s.count))
            throw Error("The strip " + path + " is no strip of zentrel raster --tile: its metadata has no tile I/N.");
        if (s.data->GetGeoTransform(s.transform.data()) != CE_None)
            throw Error("The strip " + path + " has no grid (geotransform).");
        all.push_back(std::move(s));
    }
    const Strip& first = all.front();
    for (const Strip& s : all) {
        std::string differ;
        std::map<std::string, bool> keys;
        for (const auto& [k, v] : first.items) keys[k] = true;
        for (const auto& [k, v] : s.items) keys[k] = true;
        for (const auto& [k, unused] : keys) {
            if (k == "tile") continue;
            const auto a = first.items.find(k), b = s.items.find(k);
            if (a == first.items.end() || b == s.items.end() || a->second != b->second) differ += (differ.empty() ? "" : ", ") + k;
        }
        if (!differ.empty())
            throw Error("The strip " + s.path + " is not a strip of the run of " + first.path + ": its " + differ + (differ.find(',') == std::string::npos ? " differs." : " differ."));
        bool sameBands = s.data->GetRasterCount() == first.data->GetRasterCount() && s.data->GetRasterXSize() == first.data->GetRasterXSize();
        for (int b = 1; sameBands && b <= s.data->GetRasterCount(); ++b)
            sameBands = bandIdentity(s.data->GetRasterBand(b)) == bandIdentity(first.data->GetRasterBand(b));
        if (!sameBands) throw Error("The strip " + s.path + " has other bands or columns than " + first.path + ".");
    }
    std::sort(all.begin(), all.end(), [](const Strip& a, const Strip& b) { return a.index < b.index; });
    for (size_t k = 0; k < all.size(); ++k) {
        if (k > 0 && all[k].index == all[k - 1].index)
            throw Error("The strips " + all[k - 1].path + " and " + all[k].path + " are both strip " + std::to_string(all[k].index) + ".");
        if (all[k].count != all.front().count)
            throw Error("The strip " + all[k].path + " is one of " + std::to_string(all[k].count) + " strips, " + all.front().path +
                        " one of " + std::to_string(all.front().count) + ".");
    }
    for (int i = 1; i <= all.front().count; ++i)
        if (std::none_of(all.begin(), all.end(), [i](const Strip& s) { return s.index == i; }))
            throw Error("Strip " + std::to_string(i) + " of " + std::to_string(all.front().count) + " of the run of " + first.path +
                        " is missing.");
    // One grid: the same west edge and cell size, each strip beginning where the one above ends.
    const std::array<double, 6>& t0 = all.front().transform;
    double north = t0[3];
    for (const Strip& s : all) {
        const std::array<double, 6>& t = s.transform;
        if (t[1] != t0[1] || t[5] != t0[5] || t[2] != 0 || t[4] != 0)
            throw Error("The strip " + s.path + " has cells of another size than strip 1 (" + all.front().path + ").");
        if (std::fabs(t[0] - t0[0]) > 1e-9 * std::fabs(t0[1]) || std::fabs(t[3] - north) > 1e-6 * std::fabs(t0[5]))
            throw Error("The strip " + s.path + " does not begin where the strip above it ends.");
        north = t[3] + s.data->GetRasterYSize() * t[5];
    }

    std::vector<GDALDatasetH> handles;
    for (const Strip& s : all) handles.push_back(GDALDataset::ToHandle(s.data.get()));
    int usageError = 0;
    Dataset vrt(GDALDataset::FromHandle(GDALBuildVRT("", static_cast<int>(handles.size()), handles.data(), nullptr, nullptr, &usageError)));
    if (!vrt) throw Error("The strips cannot be joined" + gdalMessage() + ".");
    for (const auto& [k, v] : first.items)
        if (!isStripItem(k)) vrt->SetMetadataItem(k.c_str(), v.c_str());
    for (int b = 1; b <= first.data->GetRasterCount(); ++b) {
        GDALRasterBand *source = first.data->GetRasterBand(b), *target = vrt->GetRasterBand(b);
        target->SetDescription(source->GetDescription());
        target->SetUnitType(source->GetUnitType());
        target->SetMetadata(source->GetMetadata());
        int hasNoData = 0;
        const double noData = source->GetNoDataValue(&hasNoData);
        if (hasNoData) target->SetNoDataValue(noData);
    }
    const std::string part = outputPartPath(out, ".part");
    const char* args[] = {"-of", "COG", "-co", "COMPRESS=DEFLATE", "-co", "PREDICTOR=YES", "-co", "BLOCKSIZE=256", "-co",
                          "OVERVIEWS=AUTO", "-co", "OVERVIEW_RESAMPLING=AVERAGE", "-co", "BIGTIFF=IF_SAFER", "-co",
                          "NUM_THREADS=ALL_CPUS", nullptr};
    GDALTranslateOptions* options = GDALTranslateOptionsNew(const_cast<char**>(args), nullptr);
    CPLErrorReset();
    GDALDatasetH written = GDALTranslate(part.c_str(), GDALDataset::ToHandle(vrt.get()), options, &usageError);
    GDALTranslateOptionsFree(options);
    const bool ok = written && (GDALClose(written), CPLGetLastErrorType() != CE_Failure);
    if (!ok) {
        const std::string why = diskIsFull(part) ? ": the disk is full" : gdalMessage();
        std::error_code ec;
        std::filesystem::remove(part, ec);
        throw Error("GeoTIFF file " + out + " cannot be written" + why + ".");
    }
    commitOutputPart(out, part);
}

}  // namespace zentrel
