// Terrain covariates from the elevation raster: sea regions, relief means, distance to the sea,
// and the derived file that keeps them.
#include "kriging/terrain_covariates.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <new>

#include "data/terrain.h"
#include "error.h"
#include "files/content_hash.h"
#include "files/mapped_file.h"
#include "files/output_file.h"
#include "files/read_file.h"

namespace zentrel {

namespace {
constexpr int W = kTerrainColumns, H = kTerrainRows;  // 5' cells, rows north to south
constexpr double kPi = 3.14159265358979323846;
constexpr double kCellKm = 6371.0 * kPi / H;          // 5' of latitude, about 9.26 km
constexpr uint8_t kWater = 255;
// Layout: the magic (8 bytes), the checksum of the raster the grids come from, the checksum of
// the payload, then the payload: the grids in the order of serialise(), this machine's byte order.
constexpr char kMagic[8] = {'Z', 'K', 'T', 'E', 'R', 'R', '3', '\n'};
constexpr size_t kHeader = sizeof kMagic + 2 * sizeof(uint64_t);

// A coarser grid of blocks of b x b cells.
struct Coarse {
    int b, w, h;
};
constexpr Coarse k10{2, W / 2, H / 2}, k15{3, W / 3, H / 3};

size_t cell(int r, int c, int width) { return static_cast<size_t>(r) * static_cast<size_t>(width) + static_cast<size_t>(c); }
int wrap(int c, int width) { return ((c % width) + width) % width; }
double rowLat(int r, int rows) { return 90.0 - (r + 0.5) * 180.0 / rows; }
// Columns either side spanning as many km as halfRows rows do, at latitude lat.
int halfColumns(int halfRows, double lat, int width) {
    const double c = std::max(std::cos(lat * kPi / 180.0), 0.02);
    return std::clamp(static_cast<int>(std::lround(halfRows / c)), halfRows, width / 2 - 1);
}
float altitudeOf(uint8_t byte) {
    int16_t isSea = 0;
    const int16_t a = terrainAltitudeOfByte(byte, isSea);
    return isSea ? 0.0f : a;
}

// The raster (9 MB) and the grids (20 MB) are checked by every process that opens them: a hash
// eight bytes a step, not one.
uint64_t checksum(const uint8_t* bytes, size_t n) { return contentHash(bytes, n); }
uint64_t checksum(const std::vector<uint8_t>& bytes) { return checksum(bytes.data(), bytes.size()); }


// Box means of `cellValue` over a grid of blocks: block sums, then per row prefix sums, then
// boxes of whole blocks about halfKm either side.
template <class Value>
std::vector<double> boxMeans(const Coarse& g, double halfKm, Value cellValue) {
    std::vector<double> prefix(static_cast<size_t>(g.w + 1) * static_cast<size_t>(g.h), 0);
    for (int r = 0; r < H; ++r)
        for (int c = 0; c < W; ++c) prefix[cell(r / g.b, c / g.b + 1, g.w + 1)] += cellValue(cell(r, c, W));
    for (int r = 0; r < g.h; ++r)
        for (int c = 0; c < g.w; ++c) prefix[cell(r, c + 1, g.w + 1)] += prefix[cell(r, c, g.w + 1)];
    auto rowSum = [&](int r, int c0, int c1) {  // blocks c0..c1 of row r, wrapping
        auto upTo = [&](int c) { return prefix[cell(r, c, g.w + 1)]; };
        if (c0 < 0) return upTo(g.w) - upTo(c0 + g.w) + upTo(c1 + 1);
        if (c1 >= g.w) return upTo(g.w) - upTo(c0) + upTo(c1 + 1 - g.w);
        return upTo(c1 + 1) - upTo(c0);
    };
    const double blockKm = kCellKm * g.b;
    const int halfRows = std::max(1, static_cast<int>(std::lround(halfKm / blockKm)));
    std::vector<double> out(static_cast<size_t>(g.w) * static_cast<size_t>(g.h));
    for (int r = 0; r < g.h; ++r) {
        const int hc = halfColumns(halfRows, rowLat(r, g.h), g.w);
        const int r0 = std::max(0, r - halfRows), r1 = std::min(g.h - 1, r + halfRows);
        const double cells = static_cast<double>(r1 - r0 + 1) * (2 * hc + 1) * g.b * g.b;
        for (int c = 0; c < g.w; ++c) {
            double sum = 0;
            for (int rr = r0; rr <= r1; ++rr) sum += rowSum(rr, c - hc, c + hc);
            out[cell(r, c, g.w)] = sum / cells;
        }
    }
    return out;
}

std::vector<uint16_t> quantise(const std::vector<double>& v, double scale, double offset) {
    std::vector<uint16_t> q(v.size());
    for (size_t i = 0; i < v.size(); ++i)
        q[i] = static_cast<uint16_t>(std::clamp(std::lround((v[i] + offset) * scale), 0L, 65535L));
    return q;
}

// Bilinear between block centres; longitude wraps, latitude stops at the outer rows.
float bilinear(const std::vector<uint16_t>& grid, const Coarse& g, double lon, double lat) {
    const double x = (lon + 180.0) * g.w / 360.0 - 0.5, y = (90.0 - lat) * g.h / 180.0 - 0.5;
    const double fx = std::floor(x), fy = std::floor(y), tx = x - fx, ty = y - fy;
    const int c0 = wrap(static_cast<int>(fx), g.w), c1 = wrap(static_cast<int>(fx) + 1, g.w);
    const int r0 = std::clamp(static_cast<int>(fy), 0, g.h - 1), r1 = std::clamp(static_cast<int>(fy) + 1, 0, g.h - 1);
    auto v = [&](int r, int c) { return static_cast<double>(grid[cell(r, c, g.w)]); };
    return static_cast<float>((1 - ty) * ((1 - tx) * v(r0, c0) + tx * v(r0, c1)) + ty * ((1 - tx) * v(r1, c0) + tx * v(r1, c1)));
}

template <class T>
void append(std::string& out, const std::vector<T>& v) {
    out.append(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
}
template <class T>
bool take(std::string_view in, size_t& pos, std::vector<T>& v, size_t count) {
    if (in.size() - pos < count * sizeof(T)) return false;
    v.resize(count);
    std::memcpy(v.data(), in.data() + pos, count * sizeof(T));
    pos += count * sizeof(T);
    return true;
}
}  // namespace

void TerrainCovariates::derive() {
    // Connected water regions (4-neighbours, longitude wraps); the large ones are the sea.
    std::vector<uint8_t> sea(raster_.size(), 0), seen(raster_.size(), 0);
    std::vector<size_t> region, stack;
    for (size_t start = 0; start < raster_.size(); ++start) {
        if (raster_[start] != kWater || seen[start]) continue;
        region.clear();
        stack.assign(1, start);
        seen[start] = 1;
        while (!stack.empty()) {
            const size_t i = stack.back();
            stack.pop_back();
            region.push_back(i);
            const int r = static_cast<int>(i / W), c = static_cast<int>(i % W);
            const size_t next[4] = {cell(r, wrap(c - 1, W), W), cell(r, wrap(c + 1, W), W), r > 0 ? cell(r - 1, c, W) : i,
                                    r + 1 < H ? cell(r + 1, c, W) : i};
            for (size_t j : next)
                if (raster_[j] == kWater && !seen[j]) {
                    seen[j] = 1;
                    stack.push_back(j);
                }
        }
        if (region.size() >= static_cast<size_t>(kMinSeaCells))
            for (size_t i : region) sea[i] = 1;
    }
    seen = {};
    // Distance to the sea (km) by chamfer passes with each row's own cell width; it is needed
    // only up to where exp(-d / 50 km) vanishes.
    constexpr float kFar = 600;
    std::vector<float> d(raster_.size());
    for (size_t i = 0; i < d.size(); ++i) d[i] = sea[i] ? 0.0f : kFar;
    std::vector<float> side(H), diagUp(H), diagDown(H);
    for (int r = 0; r < H; ++r) {
        const double dx = kCellKm * std::cos(rowLat(r, H) * kPi / 180.0);
        side[static_cast<size_t>(r)] = static_cast<float>(dx);
        if (r > 0) diagUp[static_cast<size_t>(r)] = static_cast<float>(std::hypot((dx + side[static_cast<size_t>(r - 1)]) / 2, kCellKm));
    }
    for (int r = 0; r + 1 < H; ++r) diagDown[static_cast<size_t>(r)] = diagUp[static_cast<size_t>(r + 1)];
    const float up = static_cast<float>(kCellKm);
    for (int pass = 0; pass < 2; ++pass) {
        for (int r = 0; r < H; ++r)
            for (int c = 0; c < W; ++c) {
                float& v = d[cell(r, c, W)];
                if (v == 0) continue;
                v = std::min(v, d[cell(r, wrap(c - 1, W), W)] + side[static_cast<size_t>(r)]);
                if (r > 0) {
                    const float g = diagUp[static_cast<size_t>(r)];
                    v = std::min({v, d[cell(r - 1, c, W)] + up, d[cell(r - 1, wrap(c - 1, W), W)] + g, d[cell(r - 1, wrap(c + 1, W), W)] + g});
                }
            }
        for (int r = H - 1; r >= 0; --r)
            for (int c = W - 1; c >= 0; --c) {
                float& v = d[cell(r, c, W)];
                if (v == 0) continue;
                v = std::min(v, d[cell(r, wrap(c + 1, W), W)] + side[static_cast<size_t>(r)]);
                if (r + 1 < H) {
                    const float g = diagDown[static_cast<size_t>(r)];
                    v = std::min({v, d[cell(r + 1, c, W)] + up, d[cell(r + 1, wrap(c - 1, W), W)] + g, d[cell(r + 1, wrap(c + 1, W), W)] + g});
                }
            }
    }
    seaNear_.resize(d.size());
    for (size_t i = 0; i < d.size(); ++i) seaNear_[i] = static_cast<uint8_t>(std::lround(255.0 * std::exp(-d[i] / 50.0)));
    d = {};
    auto seaOf = [&](size_t i) { return static_cast<double>(sea[i]); };
    sea25_ = quantise(boxMeans(k10, 25, seaOf), 65535, 0);
    sea100_ = quantise(boxMeans(k15, 100, seaOf), 65535, 0);
    sea500_ = quantise(boxMeans(k15, 500, seaOf), 65535, 0);
    mean50_ = quantise(boxMeans(k15, 50, [&](size_t i) { return static_cast<double>(altitudeOf(raster_[i])); }), 1, 1000);
}

size_t TerrainCovariates::fileSize() {
    const size_t n5 = static_cast<size_t>(W) * H, n10 = static_cast<size_t>(k10.w) * k10.h, n15 = static_cast<size_t>(k15.w) * k15.h;
    return kHeader + n5 * sizeof(uint8_t) + n10 * sizeof(uint16_t) + 3 * n15 * sizeof(uint16_t);
}

std::string TerrainCovariates::serialise(uint64_t rasterSum) const {
    std::string payload;
    append(payload, seaNear_);
    append(payload, sea25_);
    append(payload, mean50_);
    append(payload, sea100_);
    append(payload, sea500_);
    const uint64_t payloadSum = checksum(reinterpret_cast<const uint8_t*>(payload.data()), payload.size());
    std::string out(kMagic, sizeof kMagic);
    out.append(reinterpret_cast<const char*>(&rasterSum), sizeof rasterSum);
    out.append(reinterpret_cast<const char*>(&payloadSum), sizeof payloadSum);
    return out + payload;
}

// The header alone says which raster the grids claim to come from; the payload's checksum says
// that they are still the grids written then (a copy with its grids zeroed or overwritten
// under an intact header would shift every estimate without a word).
bool TerrainCovariates::parse(std::string_view in, uint64_t rasterSum) {
    if (in.size() != fileSize() || in.compare(0, sizeof kMagic, kMagic, sizeof kMagic) != 0) return false;
    uint64_t sum = 0, payloadSum = 0;
    std::memcpy(&sum, in.data() + sizeof kMagic, 8);
    std::memcpy(&payloadSum, in.data() + sizeof kMagic + 8, 8);
    if (sum != rasterSum || payloadSum != checksum(reinterpret_cast<const uint8_t*>(in.data()) + kHeader, in.size() - kHeader))
        return false;
    size_t pos = kHeader;
    const size_t n10 = static_cast<size_t>(k10.w) * k10.h, n15 = static_cast<size_t>(k15.w) * k15.h;
    return take(in, pos, seaNear_, raster_.size()) && take(in, pos, sea25_, n10) && take(in, pos, mean50_, n15) &&
           take(in, pos, sea100_, n15) && take(in, pos, sea500_, n15) && pos == in.size();
}

TerrainCovariates::TerrainCovariates(const std::string& dataFolder) {
    // A folder of stations alone takes the terrain (and its derived grids) of the shared data.
    const std::string from = terrainFolderOf(dataFolder).folder;
    if (from.empty()) return;
    raster_ = TerrainRaster(from).release();
    const uint64_t sum = checksum(raster_);
    rasterSum_ = sum;
    const std::string path = from + "/" + kFileName;
    {
        // A file of another size (cut short, or a huge sparse one) is never read; a folder, FIFO,
        // device or socket in its place is refused by name.
        const MappedFile file(path, fileSize(), fileSize());
        if (!file.special().empty())
            throw Error("The terrain grids file " + path + " is not a regular file but " + file.special() + ".");
        fromFile_ = !file.empty() && parse(file.bytes(), sum);
    }
    if (fromFile_) return;
    derive();
    // Kept for the next process, as the prepared models are: a file of an older program or a
    // damaged one would otherwise cost every process the derivation (0.4 s). Only over a
    // regular file or none, and quietly not where the folder cannot be written (an installed one).
    try {
        struct stat st{};
        if (::lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) writeOutputFile(path, serialise(sum));
    } catch (const std::exception&) {
    }
}

void TerrainCovariates::writeDerived(const std::string& dataFolder, const std::string& path) {
    TerrainCovariates t;
    t.raster_ = TerrainRaster(dataFolder).bytes();
    t.derive();
    writeOutputFile(path, t.serialise(checksum(t.raster_)));
}

TerrainAround TerrainCovariates::at(float lon, float lat) const {
    const double wrapped = lon - 360.0 * std::floor((lon + 180.0) / 360.0);
    const int c = wrap(static_cast<int>(std::floor((wrapped + 180.0) * W / 360.0)), W);
    const int r = std::clamp(static_cast<int>(std::floor((90.0 - lat) * H / 180.0)), 0, H - 1);
    TerrainAround t;
    if (!known()) {
        t.known = false;
        return t;
    }
    t.landAlt = altitudeOf(raster_[cell(r, c, W)]);
    t.seaNear = seaNear_[cell(r, c, W)] / 255.0f;
    // Mean altitude within about 10 km: the cell and its neighbours.
    const int hc = halfColumns(1, rowLat(r, H), W);
    double sum = 0;
    int n = 0;
    for (int rr = std::max(0, r - 1); rr <= std::min(H - 1, r + 1); ++rr)
        for (int cc = c - hc; cc <= c + hc; ++cc, ++n) sum += altitudeOf(raster_[cell(rr, wrap(cc, W), W)]);
    t.mean10 = static_cast<float>(sum / n);
    t.sea25 = bilinear(sea25_, k10, wrapped, lat) / 65535.0f;
    t.mean50 = bilinear(mean50_, k15, wrapped, lat) - 1000.0f;
    t.sea100 = bilinear(sea100_, k15, wrapped, lat) / 65535.0f;
    t.sea500 = bilinear(sea500_, k15, wrapped, lat) / 65535.0f;
    return t;
}

}  // namespace zentrel
