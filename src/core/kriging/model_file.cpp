// The kriging method's prepared model files: layout, key and checks.
#include "kriging/model_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <type_traits>

#include "data/data_info.h"
#include "data/station_database.h"
#include "files/content_hash.h"
#include "files/output_file.h"
#include "files/read_file.h"
#include "source_identity.h"

namespace zentrel {

namespace {

// Layout: the magic and format (8 bytes), the key, the payload's length and its checksum, then
// the payload: the counts of rows and held stations, the rows, the global coefficients, the
// held positions, then the grid's step, its layout (covariates, coefficients, smearing: three
// 32-bit numbers), its count of nodes, the nodes and their packed row work, all in this machine's
// byte order (the file is derived where it is used); last the count of stations and their terrain
// (covariates, sea proximity, altitude). Format 3 added the grid; format 4 the stations' terrain
// and the payload's checksum eight bytes a step (contentHash): a process reads eight files of up to
// a few megabytes, and the byte-at-a-time checksum and the terrain were a third of its start.
constexpr char kMagic[8] = {'Z', 'K', 'M', 'O', 'D', 'E', 'L', '4'};
constexpr size_t kHeader = sizeof kMagic + 3 * sizeof(uint64_t);
constexpr size_t kMaxFileBytes = size_t{1} << 30;
static_assert(std::is_trivially_copyable_v<KrigingRow>);
static_assert(std::is_trivially_copyable_v<KrigingModel::StationTerrain>);

struct Hash {
    uint64_t h = 1469598103934665603ULL;  // FNV-1a, 64 bits
    void bytes(const void* data, size_t n) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ULL;
    }
    template <class T>
    void value(const T& v) {
        static_assert(std::is_trivially_copyable_v<T>);
        bytes(&v, sizeof v);
    }
};

// Each station's position, altitude and twelve values, hashed eight bytes a step.
void hashStations(Hash& hash, const std::vector<Station>& stations) {
    hash.value(stations.size());
    std::vector<float> fields;
    fields.reserve(stations.size() * 15);
    for (const Station& s : stations) {
        fields.insert(fields.end(), {s.Lon, s.Lat, s.Alt});
        fields.insert(fields.end(), s.Data.begin() + 1, s.Data.begin() + 13);
    }
    hash.value(contentHash(fields.data(), fields.size() * sizeof(float)));
}

template <class T>
void append(std::string& out, const T* data, size_t count) {
    if (count > 0) out.append(reinterpret_cast<const char*>(data), count * sizeof(T));
}

// An empty vector's data() may be null, which memcpy must never see, even for no bytes.
template <class T>
bool take(const std::string& in, size_t& pos, T* data, size_t count) {
    const size_t n = count * sizeof(T);
    if (count > in.size() / sizeof(T) || in.size() - pos < n) return false;
    if (n > 0) std::memcpy(static_cast<void*>(data), in.data() + pos, n);
    pos += n;
    return true;
}

// The whole file when it is a regular file of a sane size; "" otherwise. Opened without
// blocking, so that a FIFO put in its place cannot hang the estimate.
std::string readWhole(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    std::string bytes;
    struct stat st{};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) >= kHeader &&
        static_cast<size_t>(st.st_size) <= kMaxFileBytes) {
        bytes = readBytes(fd, static_cast<size_t>(st.st_size));
    }
    ::close(fd);
    return bytes;
}

}  // namespace

std::string krigingModelPath(const std::string& dataFolder, int variable) {
    return dataFolder + "/kriging-model-" + kVariableNames.at(static_cast<size_t>(variable)) + ".bin";
}

uint64_t krigingContentKey(int variable, const std::vector<Station>& stations, const std::vector<Station>& others,
                           uint64_t rasterSum, uint64_t settingsFingerprint) {
    Hash hash;
    hash.value(kSourceIdentity);
    hash.value(variable);
    hash.value(rasterSum);
    hash.value(settingsFingerprint);
    hashStations(hash, stations);
    hashStations(hash, others);
    return hash.h;
}

bool readKrigingModel(const std::string& path, uint64_t key, PreparedKriging& out) {
    const std::string in = readWhole(path);
    if (in.size() < kHeader || std::memcmp(in.data(), kMagic, sizeof kMagic) != 0) return false;
    uint64_t fileKey = 0, length = 0, sum = 0;
    size_t pos = sizeof kMagic;
    take(in, pos, &fileKey, 1);
    take(in, pos, &length, 1);
    take(in, pos, &sum, 1);
    if (fileKey != key || length != in.size() - kHeader) return false;
    if (contentHash(in.data() + kHeader, in.size() - kHeader) != sum) return false;
    uint64_t rows = 0, held = 0;
    if (!take(in, pos, &rows, 1) || !take(in, pos, &held, 1)) return false;
    PreparedKriging model;
    if (rows > in.size() / sizeof(KrigingRow) || held > in.size() / sizeof(float)) return false;
    model.rows.resize(rows);
    model.held.resize(held);
    std::vector<float> positions(2 * held);
    uint64_t nodes = 0;
    int32_t layout[3] = {};
    if (!take(in, pos, model.rows.data(), rows) || !take(in, pos, model.global.data(), model.global.size()) ||
        !take(in, pos, positions.data(), positions.size()) || !take(in, pos, &model.gridStep, 1) || !take(in, pos, layout, 3) ||
        !take(in, pos, &nodes, 1) || layout[0] < 1 || layout[0] > kMaxCovariates || nodes > in.size() / sizeof(float))
        return false;
    model.layout = {layout[0], layout[1] != 0, layout[2] != 0};
    const size_t floats = model.layout.floats();
    if (nodes > in.size() / (floats * sizeof(float))) return false;
    model.nodes.resize(nodes);
    model.packed.resize(nodes * floats);
    uint64_t known = 0;
    if (!take(in, pos, model.nodes.data(), nodes) || !take(in, pos, model.packed.data(), model.packed.size()) ||
        !take(in, pos, &known, 1) || known > in.size() / sizeof(KrigingModel::StationTerrain))
        return false;
    model.known.resize(known);
    if (!take(in, pos, model.known.data(), known) || pos != in.size()) return false;
    for (size_t i = 0; i < held; ++i) model.held[i] = {positions[2 * i], positions[2 * i + 1]};
    out = std::move(model);
    return true;
}

bool writeKrigingModel(const std::string& path, uint64_t key, const PreparedKriging& model) noexcept {
    try {
        std::string payload;
        const uint64_t rows = model.rows.size(), held = model.held.size();
        append(payload, &rows, 1);
        append(payload, &held, 1);
        append(payload, model.rows.data(), model.rows.size());
        append(payload, model.global.data(), model.global.size());
        for (const auto& [lon, lat] : model.held) {
            append(payload, &lon, 1);
            append(payload, &lat, 1);
        }
        const uint64_t nodes = model.nodes.size();
        if (model.packed.size() != nodes * model.layout.floats()) return false;
        const int32_t layout[3] = {model.layout.covariates, model.layout.coefficients, model.layout.smearing};
        append(payload, &model.gridStep, 1);
        append(payload, layout, 3);
        append(payload, &nodes, 1);
        append(payload, model.nodes.data(), model.nodes.size());
        append(payload, model.packed.data(), model.packed.size());
        const uint64_t known = model.known.size();
        append(payload, &known, 1);
        append(payload, model.known.data(), model.known.size());
        const uint64_t sum = contentHash(payload);
        const uint64_t length = payload.size();
        std::string out(kMagic, sizeof kMagic);
        append(out, &key, 1);
        append(out, &length, 1);
        append(out, &sum, 1);
        out += payload;
        // Only over a regular file or none: a derived file never replaces anything else.
        struct stat st{};
        if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return false;
        writeOutputFile(path, out);
        return true;
    } catch (...) {
        return false;
    }
}

void prepareKrigingModels(const std::string& dataFolder) {
    auto database = std::make_shared<const StationDatabase>(dataFolder);
    for (int v = 0; v < kVariableCount; ++v)
        if (holdsVariable(dataFolder, v)) KrigingModel::get(ProgramSettings{}, dataFolder, database, v, nullptr);
}

}  // namespace zentrel
