// Protobuf decoding of the town list, only as much of the wire format as the list uses.
#include "data/cities_pbf.h"

#include <fmt/format.h>

#include <fstream>
#include <sstream>

#include "error.h"
#include "files/read_file.h"

namespace zentrel {

namespace {

class Cursor {
public:
    Cursor(std::string_view bytes, const std::string& file) : bytes_(bytes), file_(file) {}

    bool atEnd() const { return pos_ >= bytes_.size(); }
    size_t pos() const { return pos_; }
    void setRecord(long record) { record_ = record; }

    uint64_t varint(const char* what) {
        uint64_t value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (pos_ >= bytes_.size()) fail(fmt::format("the {} is cut off", what));
            const auto byte = static_cast<uint8_t>(bytes_[pos_++]);
            value |= static_cast<uint64_t>(byte & 0x7F) << shift;
            if ((byte & 0x80) == 0) return value;
        }
        fail(fmt::format("the {} is longer than 10 bytes", what));
    }

    std::string_view take(uint64_t length, const char* what) {
        if (length > bytes_.size() - pos_)
            fail(fmt::format("the {} of {} bytes runs past the end of the file", what, length));
        const std::string_view out = bytes_.substr(pos_, static_cast<size_t>(length));
        pos_ += static_cast<size_t>(length);
        return out;
    }

    [[noreturn]] void fail(const std::string& why) const {
        throw Error(fmt::format("Town list {}, record {} (byte {}): {}.", file_, record_, pos_, why));
    }

private:
    std::string_view bytes_;
    const std::string& file_;
    size_t pos_ = 0;
    long record_ = 0;
};

int64_t zigzag(uint64_t v) { return static_cast<int64_t>(v >> 1) ^ -static_cast<int64_t>(v & 1); }

}  // namespace

std::vector<City> decodeCitiesPbf(std::string_view bytes, const std::string& file) {
    std::vector<City> cities;
    Cursor outer(bytes, file);
    int64_t lon = 0, lat = 0;  // running sums of the coordinate differences, x 1e5
    long record = 0;
    while (!outer.atEnd()) {
        outer.setRecord(++record);
        const uint64_t length = outer.varint("record length");
        const std::string_view message = outer.take(length, "record");
        Cursor in(message, file);
        in.setRecord(record);
        City city;
        while (!in.atEnd()) {
            const uint64_t key = in.varint("field key");
            const int field = static_cast<int>(key >> 3);
            const int wire = static_cast<int>(key & 7);
            if (wire == 0) {
                const uint64_t v = in.varint(fmt::format("field {}", field).c_str());
                switch (field) {
                    case 1: city.id = zigzag(v); break;
                    case 9: city.population = static_cast<int64_t>(v); break;
                    case 10: lon += zigzag(v); break;
                    case 11: lat += zigzag(v); break;
                    default: break;
                }
            } else if (wire == 2) {
                const uint64_t n = in.varint("text length");
                const std::string_view text = in.take(n, fmt::format("text of field {}", field).c_str());
                switch (field) {
                    case 2: city.name = text; break;
                    case 3: city.country = text; break;
                    case 7: city.featureCode = text; break;
                    default: break;
                }
            } else if (wire == 1) {
                in.take(8, "fixed64 field");
            } else if (wire == 5) {
                in.take(4, "fixed32 field");
            } else {
                in.fail(fmt::format("field {} has the unknown wire type {}", field, wire));
            }
        }
        city.lon = static_cast<double>(lon) / 1e5;
        city.lat = static_cast<double>(lat) / 1e5;
        cities.push_back(std::move(city));
    }
    return cities;
}

std::vector<City> readCitiesPbf(const std::string& path) {
    requireRegularFile(path, "The town list");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error("The town list " + path + " is missing.");
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return decodeCitiesPbf(buffer.str(), path);
}

}  // namespace zentrel
