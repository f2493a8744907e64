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

// What "OK" stores and accepts, value by value, is the settings dialog's test (DialogsTest).

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

TEST(MethodSetting, KrigingUnlessChosenAndTheRobustSwitchIsASynonymOfTheRobustMethod) {
    ProgramSettings s;
    EXPECT_EQ(std::pair(effectiveMethod(s), settingsToInput(s).Method), std::pair(Method::Kriging, Method::Kriging));
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
