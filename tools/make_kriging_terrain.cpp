// Derives the kriging method's terrain grids (sea regions, relief means, distance to the sea)
// from a data folder's elevation raster and writes them beside it.
// Usage: make_kriging_terrain DATA_FOLDER
#include <chrono>
#include <cstdio>
#include <exception>

#include "kriging/terrain_covariates.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_kriging_terrain DATA_FOLDER\n");
        return 2;
    }
    try {
        const auto start = std::chrono::steady_clock::now();
        const std::string path = std::string(argv[1]) + "/" + zentrel::TerrainCovariates::kFileName;
        zentrel::TerrainCovariates::writeDerived(argv[1], path);
        std::printf("make_kriging_terrain: wrote %s in %.1f s\n", path.c_str(),
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_kriging_terrain: %s\n", e.what());
        return 1;
    }
    return 0;
}
