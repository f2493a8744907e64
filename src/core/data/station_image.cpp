// The station image: layout, key and checks.
#include "data/station_image.h"

#include <sys/stat.h>

#include <cstring>

#include "data/station_file.h"
#include "error.h"
#include "files/content_hash.h"
#include "files/output_file.h"
#include "files/mapped_file.h"
#include "source_identity.h"

namespace zentrel {

namespace {

// Layout: the magic and format (8 bytes), the key, the payload's length and its checksum, then
// the payload: per file its state (0 absent or left to its reader, 1 stations) and station
// count; per station its fifteen numbers (latitude, longitude, altitude, twelve months) and the
// lengths of its name and country, then the texts; all in this machine's byte order (the image
// is derived where it is used).
constexpr char kMagic[8] = {'Z', 'S', 'T', 'I', 'M', 'G', '1', '\n'};
constexpr size_t kHeader = sizeof kMagic + 3 * sizeof(uint64_t);
constexpr size_t kMaxImageBytes = size_t{1} << 30;
constexpr size_t kNumbers = 15;

template <class T>
void put(std::string& out, const T& value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

struct Reader {
    std::string_view in;
    size_t pos;
    template <class T>
    bool get(T& value) {
        if (in.size() - pos < sizeof value) return false;
        std::memcpy(&value, in.data() + pos, sizeof value);
        pos += sizeof value;
        return true;
    }
    bool text(std::string& out, uint32_t length) {
        if (in.size() - pos < length) return false;
        out.assign(in.data() + pos, length);
        pos += length;
        return true;
    }
};

constexpr char kTableMagic[8] = {'Z', 'S', 'T', 'T', 'A', 'B', '1', '\n'};

// The payload of an image at `path` with magic `magic` when its key is `key` and its length
// and checksum are right; empty otherwise. The mapping lives as long as `file`.
std::string_view checkedPayload(const MappedFile& file, const char* magic, uint64_t key) {
    const std::string_view in = file.bytes();
    if (in.size() < kHeader || std::memcmp(in.data(), magic, sizeof kMagic) != 0) return {};
    uint64_t fileKey = 0, length = 0, sum = 0;
    std::memcpy(&fileKey, in.data() + sizeof kMagic, 8);
    std::memcpy(&length, in.data() + sizeof kMagic + 8, 8);
    std::memcpy(&sum, in.data() + sizeof kMagic + 16, 8);
    if (fileKey != key || length != in.size() - kHeader || contentHash(in.data() + kHeader, length) != sum) return {};
    return in.substr(kHeader);
}

// Writes magic, key, the payload's length and checksum, then the payload, to `path` replaced
// whole; only over a regular file or none: a derived file never replaces anything else.
bool writeImage(const std::string& path, const char* magic, uint64_t key, const std::string& payload) {
    std::string out(magic, sizeof kMagic);
    put(out, key);
    put(out, static_cast<uint64_t>(payload.size()));
    put(out, contentHash(payload));
    out += payload;
    struct stat st{};
    if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return false;
    writeOutputFile(path, out);
    return true;
}

void putText(std::string& out, const std::string& text) {
    put(out, static_cast<uint32_t>(text.size()));
    out += text;
}

}  // namespace

const std::vector<std::string>& stationFileNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (int v : {Temp, Prec}) {
            for (int i = 1; i <= 6; ++i)
                for (int j = 1; j <= 6; ++j) out.push_back(bandFileName(v, i, j));
            out.emplace_back(bandBounds(v).south);
            out.emplace_back(bandBounds(v).north);
        }
        for (int v = 0; v < kVariableCount; ++v)
            if (v != Temp && v != Prec) out.push_back(wholeFileName(v));
        return out;
    }();
    return names;
}

uint64_t stationImageKey(const std::vector<StationFileRead>& files) {
    std::string digest;
    put(digest, kSourceIdentity);
    put(digest, static_cast<uint64_t>(files.size()));
    for (const StationFileRead& f : files) {
        put(digest, static_cast<uint64_t>(f.name.size()));
        digest += f.name;
        put(digest, static_cast<uint8_t>(f.present));
        put(digest, static_cast<uint64_t>(f.bytes.size()));
        put(digest, contentHash(f.bytes));
    }
    return contentHash(digest);
}

void parseStationFiles(const std::string& folder, std::vector<StationFileRead>& files) {
    for (StationFileRead& f : files) {
        f.stations = nullptr;
        // A Ctrl-Z ends a file with a notice to the user, which its reader gives.
        if (!f.present || f.bytes.find('\x1a') != std::string::npos) continue;
        try {
            auto stations = std::make_shared<std::vector<Station>>(parseStationText(f.bytes, folder + "/" + f.name));
            if (stations->size() <= static_cast<size_t>(kMaxStations)) f.stations = std::move(stations);
        } catch (const Error&) {
            // left to the reader of the file, which reports it when the file is asked for
        }
    }
}

bool readStationImage(const std::string& path, uint64_t key, std::vector<StationFileRead>& files) {
    try {
        const MappedFile file(path, kHeader, kMaxImageBytes);
        const std::string_view in = checkedPayload(file, kMagic, key);
        if (in.empty()) return false;
        Reader r{in, 0};
        uint64_t count = 0;
        if (!r.get(count) || count != files.size()) return false;
        std::vector<std::shared_ptr<const std::vector<Station>>> read(files.size());
        for (size_t k = 0; k < files.size(); ++k) {
            uint8_t state = 0;
            uint64_t stations = 0;
            if (!r.get(state) || !r.get(stations) || state > 1) return false;
            if (state == 0) continue;
            // Each station takes at least its numbers and two lengths.
            if (stations > (in.size() - r.pos) / (kNumbers * sizeof(float) + 2 * sizeof(uint32_t))) return false;
            auto list = std::make_shared<std::vector<Station>>(stations);
            for (Station& s : *list) {
                float numbers[kNumbers];
                uint32_t nameLength = 0, countryLength = 0;
                if (!r.get(numbers) || !r.get(nameLength) || !r.get(countryLength) || !r.text(s.Name, nameLength) ||
                    !r.text(s.Country, countryLength))
                    return false;
                s.Lat = numbers[0];
                s.Lon = numbers[1];
                s.Alt = numbers[2];
                for (size_t m = 1; m <= 12; ++m) s.Data[m] = numbers[2 + m];
            }
            read[k] = std::move(list);
        }
        if (r.pos != in.size()) return false;
        for (size_t k = 0; k < files.size(); ++k) files[k].stations = std::move(read[k]);
        return true;
    } catch (...) {
        return false;
    }
}

bool writeStationImage(const std::string& path, uint64_t key, const std::vector<StationFileRead>& files) noexcept {
    try {
        std::string payload;
        put(payload, static_cast<uint64_t>(files.size()));
        for (const StationFileRead& f : files) {
            put(payload, static_cast<uint8_t>(f.stations ? 1 : 0));
            put(payload, static_cast<uint64_t>(f.stations ? f.stations->size() : 0));
            if (!f.stations) continue;
            for (const Station& s : *f.stations) {
                float numbers[kNumbers] = {s.Lat, s.Lon, s.Alt};
                for (size_t m = 1; m <= 12; ++m) numbers[2 + m] = s.Data[m];
                put(payload, numbers);
                put(payload, static_cast<uint32_t>(s.Name.size()));
                put(payload, static_cast<uint32_t>(s.Country.size()));
                payload += s.Name;
                payload += s.Country;
            }
        }
        return writeImage(path, kMagic, key, payload);
    } catch (...) {
        return false;
    }
}


uint64_t stationTableImageKey(std::string_view tableText) {
    std::string digest;
    put(digest, kSourceIdentity);
    put(digest, static_cast<uint64_t>(tableText.size()));
    put(digest, contentHash(tableText));
    return contentHash(digest);
}

bool readStationTableImage(const std::string& path, uint64_t key, StationOrigins& out) {
    try {
        const MappedFile file(path, kHeader, kMaxImageBytes);
        const std::string_view payload = checkedPayload(file, kTableMagic, key);
        if (payload.empty()) return false;
        Reader r{payload, 0};
        uint64_t count = 0;
        // Each row takes at least its four numbers, two years and five lengths.
        if (!r.get(count) || count > payload.size() / (6 * 4 + 5 * 4)) return false;
        std::vector<StationOrigins::Row> rows(count);
        for (StationOrigins::Row& row : rows) {
            int32_t variable = 0, yearsMin = 0, yearsMax = 0;
            auto origin = std::make_shared<StationOrigin>();
            const auto text = [&](std::string& t) {
                uint32_t length = 0;
                return r.get(length) && r.text(t, length);
            };
            if (!r.get(variable) || !r.get(row.lon) || !r.get(row.lat) || !r.get(row.alt) || !r.get(yearsMin) ||
                !r.get(yearsMax) || !text(row.name) || !text(origin->id) || !text(origin->source) || !text(origin->period) ||
                !text(origin->note) || variable < 0 || variable >= kVariableCount)
                return false;
            row.variable = variable;
            origin->yearsMin = yearsMin;
            origin->yearsMax = yearsMax;
            row.origin = std::move(origin);
        }
        if (r.pos != payload.size()) return false;
        out = StationOrigins::fromRows(std::move(rows));
        return true;
    } catch (...) {
        return false;
    }
}

bool writeStationTableImage(const std::string& path, uint64_t key, const StationOrigins& table) noexcept {
    try {
        std::string payload;
        put(payload, static_cast<uint64_t>(table.rows().size()));
        for (const StationOrigins::Row& row : table.rows()) {
            if (!row.origin) return false;
            put(payload, static_cast<int32_t>(row.variable));
            put(payload, row.lon);
            put(payload, row.lat);
            put(payload, row.alt);
            put(payload, static_cast<int32_t>(row.origin->yearsMin));
            put(payload, static_cast<int32_t>(row.origin->yearsMax));
            putText(payload, row.name);
            putText(payload, row.origin->id);
            putText(payload, row.origin->source);
            putText(payload, row.origin->period);
            putText(payload, row.origin->note);
        }
        return writeImage(path, kTableMagic, key, payload);
    } catch (...) {
        return false;
    }
}

}  // namespace zentrel
