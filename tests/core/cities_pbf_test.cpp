// Town list decoding: hand-encoded records, delta coordinates, skipped fields, broken data.
#include "data/cities_pbf.h"

#include <gtest/gtest.h>

#include "error.h"
#include "fixture.h"

using namespace zentrel;

namespace {
std::string varint(uint64_t v) {
    std::string out;
    while (v >= 0x80) {
        out += static_cast<char>((v & 0x7F) | 0x80);
        v >>= 7;
    }
    out += static_cast<char>(v);
    return out;
}
std::string zig(int64_t v) { return varint(static_cast<uint64_t>((v << 1) ^ (v >> 63))); }
std::string text(int field, const std::string& s) {
    return varint(static_cast<uint64_t>(field) << 3 | 2) + varint(s.size()) + s;
}
std::string record(const std::string& body) { return varint(body.size()) + body; }
}  // namespace

TEST(CitiesPbf, DecodesFieldsAndAccumulatesCoordinateDifferences) {
    const std::string rome = varint(1 << 3) + zig(3169070) + text(2, "Rome") + text(3, "IT") + text(4, "VA") +
                             text(7, "PPLC") + varint(9 << 3) + varint(2318895) + varint(10 << 3) + zig(1248) +
                             varint(11 << 3) + zig(4189193);
    // Second record: coordinates relative to Rome; an unknown fixed32 field 12 is skipped.
    const std::string south = text(2, "S\xC3\xA3o Paulo") + text(3, "BR") + varint(10 << 3) + zig(-4663390 - 1248) +
                              varint(11 << 3) + zig(-2354750 - 4189193) + varint(12 << 3 | 5) + std::string(4, 'x');
    const auto cities = decodeCitiesPbf(record(rome) + record(south), "t.pbf");
    ASSERT_EQ(cities.size(), 2u);
    const City& r = cities[0];
    EXPECT_EQ(std::to_string(r.id) + " " + r.name + " " + r.country + " " + r.featureCode + " " + std::to_string(r.population),
              "3169070 Rome IT PPLC 2318895");
    EXPECT_EQ(cities[1].population, 0);
    for (const auto& [got, expected] : {std::pair{r.lon, 0.01248}, {r.lat, 41.89193}, {cities[1].lon, -46.6339}, {cities[1].lat, -23.5475}})
        EXPECT_NEAR(got, expected, 1e-12);
}

TEST(CitiesPbf, TruncatedDataNamesRecordAndByte) {
    const std::string good = record(text(2, "A"));
    EXPECT_EQ(zentrel::test::errorOf([&] { decodeCitiesPbf(good + varint(10) + "abc", "t.pbf"); }),
              "Town list t.pbf, record 2 (byte 5): the record of 10 bytes runs past the end of the file.");
    EXPECT_THROW(decodeCitiesPbf(record(varint(2 << 3 | 3)), "t.pbf"), Error);  // group wire type
    EXPECT_THROW(decodeCitiesPbf(std::string(1, '\x85'), "t.pbf"), Error);      // varint cut off
    EXPECT_THROW(readCitiesPbf("/nonexistent/cities.pbf"), Error);
}
