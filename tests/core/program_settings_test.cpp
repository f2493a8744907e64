// The order and texts of the "OK" and batch checks, their corrections, and the method setting.
#include "settings/program_settings.h"

#include <gtest/gtest.h>

#include "settings/method.h"

using namespace zentrel;

namespace {
// The settings and the dialog's fields as typed, checked by "OK" or by the batch check.
class Settings : public ::testing::Test {
protected:
    SettingsCheck ok() { return acceptSettingsDialog(s, in); }
    std::string firstTitle() { return ok().messages.at(0).title; }
    std::string batchTitle() { return checkBatchSettings(s, in).messages.at(0).title; }
    ProgramSettings s;
    SettingsInput in;
};
}  // namespace

TEST_F(Settings, PowerLimitsAndTinyPowerStoredAsZero) {
    in.PowExp = "5";
    EXPECT_TRUE(ok().ok);
    in.PowExp = "5.01";
    EXPECT_EQ(firstTitle(), "Rather high power!");
    EXPECT_FALSE(ok().ok);
    EXPECT_FLOAT_EQ(s.PowExp, 5.01f);  // stored before the check
    in.PowExp = "0.00005";
    EXPECT_TRUE(ok().ok);
    EXPECT_EQ(s.PowExp, 0);
}

TEST_F(Settings, SmallMinDistIsRaisedWithANoteAndTheDialogCloses) {
    in.MinDist = "0,05";
    auto c = ok();
    EXPECT_TRUE(c.ok);
    ASSERT_EQ(c.messages.size(), 1u);
    EXPECT_EQ(c.messages[0].title, "Too small Minimum Distance");
    EXPECT_EQ(c.messages[0].text,
              "Inverse Distance Averaging not allowed \rif the   Nearest Neighbour is closer than 100 m.\r\rDistance  was changed to 100m. ");
    EXPECT_FLOAT_EQ(s.MinDist, 0.1f);
}

TEST_F(Settings, AreaChecksResetMaxStat) {
    in.MaxDist = "22000";
    EXPECT_TRUE(ok().ok);
    in.MaxDist = "22000.5";
    in.MaxStat = "25";  // checked before the area, so the station message comes first
    EXPECT_EQ(firstTitle(), "Problem: To many stations.");
    in.MaxStat = "12";
    auto c = ok();
    ASSERT_FALSE(c.ok);
    EXPECT_EQ(c.messages[0].title, "Problem: Area definitely to large.");
    EXPECT_EQ(s.MaxStat, 20);
}

TEST_F(Settings, PastedDecimalStationCountIsRoundedHalfToEven) {
    in.MaxStat = "12,5";
    EXPECT_TRUE(ok().ok);
    EXPECT_EQ(std::pair(in.MaxStat, int(s.MaxStat)), std::pair(std::string("12.5"), 12));
    in.MaxStat = "13.5";
    ok();
    EXPECT_EQ(s.MaxStat, 14);
}

// Each row mends the first problem of the row before: power, shadow, stations, area.
TEST_F(Settings, CheckOrderOfTheDialog) {
    const std::array<const char*, 5> steps[] = {{"-1", "-1", "20", "1000", "Wrong sign of power"},
                                                {"1", "-1", "20", "1000", "Negative coefficients are meaningless!"},
                                                {"1", "1.5", "20", "1000", "Please correct input!"},
                                                {"1", "0", "0", "1000", "Problem: To few stations."},
                                                {"1", "0", "20", "0", "Problem: Area too  small."}};
    for (const auto& [power, shad, maxStat, maxDist, title] : steps) {
        std::tie(in.PowExp, in.Shad, in.MaxStat, in.MaxDist) = std::tuple(power, shad, maxStat, maxDist);
        EXPECT_EQ(firstTitle(), title);
    }
    in.MaxDist = "100";
    EXPECT_TRUE(ok().ok);
    EXPECT_EQ(s.ShadowOn, 1);  // Shad 0 never switches the shadow off
}

TEST_F(Settings, BatchChecksHaveTheirOwnOrderAndTexts) {
    const std::array<const char*, 4> steps[] = {{"-1", "-1", "20", "Negative coefficients are meaningless!"},
                                                {"6", "1", "20", "Problem: Too large power selected."},
                                                {"1", "1", "21", "Problem: Too many stations."}};
    for (const auto& [power, shad, maxStat, title] : steps) {
        std::tie(in.PowExp, in.Shad, in.MaxStat) = std::tuple(power, shad, maxStat);
        EXPECT_EQ(batchTitle(), title);
    }
    in.MaxStat = "20";
    in.MinDist = "0.01";
    EXPECT_TRUE(checkBatchSettings(s, in).ok);
    EXPECT_EQ(batchTitle(), "Too small Minimum Distance");
}

TEST(SettingsKeys, FiltersPerBoxAndAltitudeOrder) {
    EXPECT_TRUE(filterSettingsKey(SettingsBox::MaxStat, '7', false).accept);
    const auto dot = filterSettingsKey(SettingsBox::MaxStat, '.', false);
    EXPECT_EQ(std::pair(dot.accept, dot.message.text), std::pair(false, std::string("Number of stations must be an integer")));
    EXPECT_EQ(filterSettingsKey(SettingsBox::MaxStat, '-', true).message.title + "|" + filterSettingsKey(SettingsBox::MaxStat, '-', false).message.title,
              "Problem: Too few stations.|Problem: To few stations.");
    EXPECT_TRUE(filterSettingsKey(SettingsBox::MinHigh, '-', false).accept && filterSettingsKey(SettingsBox::PowExp, '\r', false).moveFocus);
    auto letter = filterSettingsKey(SettingsBox::Shad, 'x', false);
    EXPECT_FALSE(letter.accept || letter.hasMessage);
    EXPECT_EQ(checkAltitudeOrder("500", "100", true)[0].text, "Lowest Altitude should be below highest altitude!");
    EXPECT_TRUE(checkAltitudeOrder("-350", "8848", false).empty());
}

TEST(StatusLocation, RoundsAndGeneratesAName) {
    const Location l = roundStatusLocation({"", 13.014f, 41.987f, 17.4f});
    EXPECT_EQ(std::vector<float>({l.Lon, l.Lat, l.Alt}), std::vector<float>({13.01f, 41.99f, 17}));
    EXPECT_EQ(l.Name + "|" + statusLocationText(l), "ST-Lon13.01-Lat41.99-Alt-17| Lon : 13.01 Lat : 41.99 Alt : 17");
    EXPECT_EQ(std::pair(roundStatusLocation({"Rome", -3.456f, 1, 0}).Name, roundStatusLocation({"", -3.455f, 1, 0}).Lon), std::pair(std::string("Rome"), -3.46f));
}

TEST(LeadingNumber, ReadsTheLeadingNumberOnly) {
    const std::pair<const char*, double> cases[] = {{"12.5abc", 12.5}, {"abc", 0}, {"  -3", -3}, {".", 0}, {"1e3", 1000}};
    for (const auto& [text, value] : cases) EXPECT_EQ(leadingNumber(text), value) << text;
}

TEST(MethodSetting, NamesReadBackAnyCase) {
    for (Method m : kMethods) EXPECT_EQ(parseMethod(methodName(m)), m);
    EXPECT_EQ(methodChoices(), "described, robust, adaptive or kriging");
    EXPECT_EQ(std::pair(parseMethod("Adaptive"), parseMethod("ROBUST")), std::pair(std::optional(Method::Adaptive), std::optional(Method::Robust)));
    for (const char* wrong : {"", "adaptiv", "adaptive "}) EXPECT_FALSE(parseMethod(wrong)) << wrong;
}

TEST(MethodSetting, AdaptiveUnlessChosenAndTheRobustSwitchIsASynonymOfTheRobustMethod) {
    ProgramSettings s;
    EXPECT_EQ(effectiveMethod(s), Method::Adaptive);
    s.Method = Method::Described;
    s.RobustCorr = 1;
    EXPECT_EQ(effectiveMethod(s), Method::Robust);

    SettingsInput in = settingsToInput(s);
    EXPECT_EQ(in.Method, Method::Robust);
    in.RobustCorr = false;  // clearing the check box leaves the described method
    storeSettings(s, in);
    EXPECT_EQ(std::pair(s.Method, int(s.RobustCorr)), std::pair(Method::Described, 0));

    in.Method = Method::Adaptive;
    storeSettings(s, in);
    EXPECT_EQ(std::pair(effectiveMethod(s), int(s.RobustCorr)), std::pair(Method::Adaptive, 0));
    in.Method = Method::Robust;
    in.RobustCorr = true;
    storeSettings(s, in);
    EXPECT_EQ(s.RobustCorr, 1);
}
