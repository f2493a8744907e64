// The rules every numeric option follows: one spelling rule for whole numbers, messages that name
// the option, impossible combinations refused before any work, and no note before a refusal.
#include <gtest/gtest.h>

#include "cli_fixture.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {
const std::string kEstimate = "estimate --lon 10 --lat 45 --alt 100 --var Temp --json ";
std::string ring() { return " --data " + ringFolder().str(); }
}  // namespace

// "20", "20.0" and "2e1" are one number, on every whole-number option; "20.5" is refused by
// name, never rounded.
TEST(OptionRules, WholeNumbersInAnyDecimalSpellingAreTheSameAndFractionsAreRefused) {
    const std::string twenty = runCliOk(kEstimate + "--maxstat 20" + ring()).out;
    for (const char* same : {"20.0", "2e1", "+20"})
        EXPECT_EQ(runCliOk(kEstimate + "--maxstat " + same + ring()).out, twenty) << same;
    const CliResult half = runCli(kEstimate + "--maxstat 19.5" + ring());
    EXPECT_EQ(half.code, 2);
    EXPECT_EQ(half.err, "zentrel: --maxstat: \"19.5\" is not a whole number; give one in 1..20.\n");
    const CliResult folds = runCli("validate --var Temp --folds 2.0 --data " + ringFolder().str());
    EXPECT_EQ(folds.code, 0) << folds.err;
}

// The settings checks' own words, with the option they are about in front.
TEST(OptionRules, SettingsRefusalsNameTheOptionAndSayNoNoteBeforeThem) {
    const std::pair<std::string, std::string> rows[] = {
        {"--maxstat 0", "zentrel: --maxstat: Problem: Too few stations.: You should allow one neighbour at least. Just to get a result.\n"},
        {"--maxdist 0", "zentrel: --maxdist: Problem: Area too  small.: "},
        {"--powexp 6", "zentrel: --powexp: Problem: Too large power selected.: "},
        // Below 0.1 the distance is raised with a note, but -1 is refused: the note would tell
        // of a run that does not happen.
        {"--mindist -1", "zentrel: --mindist: \"-1\" must be 0..22000.\n"},
        {"--minhigh 10000 --maxhigh -600 --neighbalt 1",
         "zentrel: --minhigh 10000 lies above --maxhigh -600, so no station could be a neighbour: Altitude Confusion: "
         "Lowest Altitude should be below highest altitude!\n"},
        {"--minhigh 9000", "zentrel: --minhigh 9000 lies above --maxhigh 8848, "}};
    for (const auto& [options, message] : rows) {
        const CliResult r = runCli(kEstimate + options + ring());
        EXPECT_EQ(r.code, 2) << options;
        EXPECT_EQ(r.err.rfind(message, 0), 0u) << options << "\n" << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << options << ": more than the refusal\n" << r.err;
        EXPECT_EQ(r.out, "") << options;
    }
    // A small minimum distance alone is still raised with its note and runs.
    const CliResult small = runCliOk(kEstimate + "--mindist 0.01" + ring());
    EXPECT_NE(small.err.find("zentrel: note: --mindist: Too small Minimum Distance: "), std::string::npos) << small.err;
}

TEST(OptionRules, ValidatingAFolderWithoutStationsIsADataError) {
    TempFolder empty("option-rules-empty");
    const CliResult r = runCli("validate --data " + empty.str());
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "zentrel: the data folder " + empty.str() +
                         " holds the normals of no variable: there is nothing to validate; add stations with zentrel data import-csv.\n");
    EXPECT_EQ(r.out, "");
}
