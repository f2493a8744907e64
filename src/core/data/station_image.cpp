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
        const std::string_view in = file.bytes();
        if (in.size() < kHeader || std::memcmp(in.data(), kMagic, sizeof kMagic) != 0) return false;
        Reader r{in, sizeof kMagic};
        uint64_t fileKey = 0, length = 0, sum = 0;
        r.get(fileKey);
        r.get(length);
        r.get(sum);
        if (fileKey != key || length != in.size() - kHeader || contentHash(in.data() + kHeader, length) != sum) return false;
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
        std::string out(kMagic, sizeof kMagic);
        put(out, key);
        put(out, static_cast<uint64_t>(payload.size()));
        put(out, contentHash(payload));
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

}  // namespace zentrel
