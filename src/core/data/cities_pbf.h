// Reader of the GeoNames town list "cities.pbf": length-prefixed protobuf records with
// delta-coded coordinates.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zentrel {

/// One town of the list.
struct City {
    int64_t id = 0;           ///< GeoNames id (field 1)
    std::string name;         ///< field 2, UTF-8
    std::string country;      ///< ISO country code, field 3
    std::string featureCode;  ///< GeoNames feature code, field 7 ("PPLC" = capital)
    int64_t population = 0;   ///< field 9, 0 when not given
    double lon = 0;           ///< degrees east (field 10)
    double lat = 0;           ///< degrees north (field 11)
};

/// Decodes the records. Each record is a varint length followed by a message; fields 10 and 11
/// are zigzag varints of longitude and latitude x 1e5 as differences from the previous record.
/// Unknown fields are skipped by their wire type. Throws Error naming `file`, the record number
/// and byte offset when the data are truncated or malformed.
std::vector<City> decodeCitiesPbf(std::string_view bytes, const std::string& file);

/// Reads and decodes a file. Throws Error when it is missing or malformed.
std::vector<City> readCitiesPbf(const std::string& path);

}  // namespace zentrel
