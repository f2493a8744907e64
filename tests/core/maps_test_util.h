// Helpers for the map file tests: a scratch folder per test and whole-file reads.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fixture.h"

namespace maps_test {

/// A fresh folder for one test, removed afterwards.
using ScratchFolder = zentrel::test::TempFolder;

inline void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string golden(const std::string& name) { return std::string(ZENTREL_TEST_DATA) + "/maps/" + name; }

}  // namespace maps_test
