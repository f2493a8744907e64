// The kriging method's prepared model files: read back as written, never trusted when they are
// stale, damaged or not regular files, and giving the estimates a fresh derivation gives.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>

#include "data/station_database.h"
#include "engine/engine.h"
#include "fixture.h"
#include "kriging/model_file.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {

PreparedKriging sampleModel() {
    PreparedKriging m;
    for (int j = 0; j < 3; ++j) {
        KrigingRow row;
        row.lon = 10.5f + static_cast<float>(j);
        row.lat = -45.25f;
        row.variance = 0.3f;
        row.trust = 0.75f;
        for (size_t k = 0; k < 12; ++k) row.r[k] = static_cast<float>(j) - 0.5f * static_cast<float>(k);
        row.dX[3] = 1e-3f;
        m.rows.push_back(row);
    }
    m.global[6][2] = -0.0065f;
    m.held = {{12.5f, 41.75f}, {-70.25f, -33.5f}};
    m.gridStep = 3;
    m.layout = {6, false, true};
    m.nodes = {5, 120};
    m.packed.assign(2 * m.layout.floats(), 0.0f);
    m.packed[20] = 0.25f;
    m.packed.back() = 1;
    for (int k = 0; k < 4; ++k) {
        KrigingModel::StationTerrain t;
        t.alt = 100.0f * static_cast<float>(k);
        t.seaNear = 0.5f;
        t.x[1] = 0.01f * static_cast<float>(k);
        m.known.push_back(t);
    }
    return m;
}

// The estimate of Temp at a place among the ring of stations, from a database object of its own
// (so that nothing of an earlier model in this process is reused).
VariableResult krigedTemp(const TempFolder& folder) {
    ProgramSettings s;
    s.Method = Method::Kriging;
    Engine engine(s, folder.str(), std::make_shared<StationDatabase>(folder.str()));
    return engine.Run(Temp, Location{"", 10.2f, 45.1f, 150});
}

}  // namespace

TEST(KrigingModelFile, ReadsBackWhatWasWrittenUnderItsOwnKeyOnly) {
    TempFolder folder("kmodel");
    const std::string path = folder.file("kriging-model-Temp.bin");
    const PreparedKriging written = sampleModel();
    ASSERT_TRUE(writeKrigingModel(path, 42, written));
    PreparedKriging read;
    ASSERT_TRUE(readKrigingModel(path, 42, read));
    ASSERT_EQ(read.rows.size(), written.rows.size());
    for (size_t j = 0; j < read.rows.size(); ++j) EXPECT_EQ(std::memcmp(&read.rows[j], &written.rows[j], sizeof(KrigingRow)), 0) << j;
    EXPECT_EQ(read.global, written.global);
    EXPECT_EQ(read.held, written.held);
    EXPECT_EQ(read.gridStep, written.gridStep);
    EXPECT_TRUE(read.layout == written.layout);
    EXPECT_EQ(read.nodes, written.nodes);
    EXPECT_EQ(read.packed, written.packed);
    ASSERT_EQ(read.known.size(), written.known.size());
    for (size_t k = 0; k < read.known.size(); ++k)
        EXPECT_EQ(std::memcmp(&read.known[k], &written.known[k], sizeof(KrigingModel::StationTerrain)), 0) << k;
    EXPECT_FALSE(readKrigingModel(path, 43, read)) << "a file of another database or program was taken";
    EXPECT_FALSE(readKrigingModel(folder.file("none.bin"), 42, read));
}

TEST(KrigingModelFile, DamagedFilesAreRefusedWhateverTheirHeaderSays) {
    TempFolder folder("kmodel-damaged");
    const std::string path = folder.file("m.bin");
    ASSERT_TRUE(writeKrigingModel(path, 7, sampleModel()));
    const std::string whole = readFile(path);
    std::string zeroed = whole;  // the header intact, the coefficients zeroed
    std::fill(zeroed.end() - 200, zeroed.end(), '\0');
    const std::pair<const char*, std::string> cases[] = {
        {"bytes added", whole + "xyz"},           {"bytes cut", whole.substr(0, whole.size() - 4)},
        {"payload zeroed", zeroed},               {"header only", whole.substr(0, 32)},
        {"empty", ""},                            {"other magic", "ZKMODEL9" + whole.substr(8)},
        {"the format before the row grid", "ZKMODEL2" + whole.substr(8)},
    };
    for (const auto& [what, bytes] : cases) {
        folder.write("m.bin", bytes);
        PreparedKriging read;
        EXPECT_FALSE(readKrigingModel(path, 7, read)) << what;
    }
}

TEST(KrigingModelFile, AFifoInItsPlaceNeitherHangsTheReaderNorIsReplaced) {
    TempFolder folder("kmodel-fifo");
    const std::string path = folder.file("m.bin");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    auto reading = std::async(std::launch::async, [&] {
        PreparedKriging read;
        return readKrigingModel(path, 7, read);
    });
    ASSERT_EQ(reading.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "reading a FIFO blocks";
    EXPECT_FALSE(reading.get());
    EXPECT_FALSE(writeKrigingModel(path, 7, sampleModel()));
    EXPECT_TRUE(std::filesystem::is_fifo(path));
}

TEST(KrigingModelFile, EstimatesFromTheFileEqualAFreshDerivationAndAStaleFileIsDerivedAnew) {
    TempFolder folder("kmodel-engine");
    std::vector<Station> stations = ringOfEightStations();
    writeDataFolder(folder, 10, 45, stations);
    const std::string path = krigingModelPath(folder.str(), Temp);
    const VariableResult fresh = krigedTemp(folder);
    ASSERT_TRUE(std::filesystem::is_regular_file(path)) << "the whole database's model is not kept beside it";
    const VariableResult fromFile = krigedTemp(folder);
    for (size_t m = 1; m <= 13; ++m) {
        EXPECT_EQ(fromFile.result.Best[m], fresh.result.Best[m]) << m;
        EXPECT_EQ(fromFile.result.StdErr[m], fresh.result.StdErr[m]) << m;
    }
    // Another database in the same folder: the file of the old one must not be used, and the
    // new one's model replaces it.
    const std::string oldModel = readFile(path);
    for (Station& s : stations) s.Data[1] += 3 * s.Lat - 130;
    writeDataFolder(folder, 10, 45, stations);
    const VariableResult afterChange = krigedTemp(folder);
    EXPECT_NE(readFile(path), oldModel) << "the model of the old stations was taken for the new ones";
    std::filesystem::remove(path);
    const VariableResult derived = krigedTemp(folder);
    EXPECT_EQ(afterChange.result.Best[1], derived.result.Best[1]) << "a stale model file was trusted";
    EXPECT_EQ(afterChange.result.StdErr[1], derived.result.StdErr[1]) << "a stale model file was trusted";
    EXPECT_NE(afterChange.result.Best[1], fresh.result.Best[1]);
}

// The stations' covariates kept in the file are each station's own: eight stations at one
// altitude, told apart by their latitudes alone.
TEST(KrigingModelFile, EachStationsTerrainFromTheFileIsItsOwn) {
    TempFolder folder("kmodel-terrain");
    std::vector<Station> stations = ringOfEightStations();
    for (Station& s : stations) s.Alt = 300;
    writeDataFolder(folder, 10, 45, stations);
    const auto derived = KrigingModel::get(ProgramSettings{}, folder.str(), std::make_shared<StationDatabase>(folder.str()), Temp, nullptr);
    ASSERT_TRUE(std::filesystem::is_regular_file(krigingModelPath(folder.str(), Temp)));
    const auto read = KrigingModel::get(ProgramSettings{}, folder.str(), std::make_shared<StationDatabase>(folder.str()), Temp, nullptr);
    ASSERT_NE(read.get(), derived.get());
    for (const Station& s : stations) {
        const KrigingModel::StationTerrain a = derived->stationTerrain(s.Lon, s.Lat, s.Alt), b = read->stationTerrain(s.Lon, s.Lat, s.Alt);
        EXPECT_EQ(a.x, b.x) << s.Name;
        EXPECT_EQ(a.alt, b.alt) << s.Name;
    }
}
