// The order and texts of the "OK" and batch checks, and their corrections.
#include "settings/program_settings.h"

#include <gtest/gtest.h>

using namespace zentrel;

namespace {
SettingsCheck ok(ProgramSettings& s, SettingsInput& in) { return acceptSettingsDialog(s, in); }
}  // namespace

TEST(Settings, PowerLimitsAndTinyPowerStoredAsZero) {
    ProgramSettings s;
    SettingsInput in;
    in.PowExp = "5";
    EXPECT_TRUE(ok(s, in).ok);
    in.PowExp = "5.01";
    auto c = ok(s, in);
    ASSERT_FALSE(c.ok);
    EXPECT_EQ(c.messages[0].title, "Rather high power!");
    EXPECT_FLOAT_EQ(s.PowExp, 5.01f);  // stored before the check
    in.PowExp = "0.00005";
    EXPECT_TRUE(ok(s, in).ok);
    EXPECT_EQ(s.PowExp, 0);
}

TEST(Settings, SmallMinDistIsRaisedWithANoteAndTheDialogCloses) {
    ProgramSettings s;
    SettingsInput in;
    in.MinDist = "0,05";
    auto c = ok(s, in);
    EXPECT_TRUE(c.ok);
    ASSERT_EQ(c.messages.size(), 1u);
    EXPECT_EQ(c.messages[0].title, "Too small Minimum Distance");
    EXPECT_EQ(c.messages[0].text,
              "Inverse Distance Averaging not allowed \rif the   Nearest Neighbour is closer than 100 m.\r\rDistance  was changed to 100m. ");
    EXPECT_FLOAT_EQ(s.MinDist, 0.1f);
}

TEST(Settings, AreaChecksResetMaxStat) {
    ProgramSettings s;
    SettingsInput in;
    in.MaxDist = "22000";
    EXPECT_TRUE(ok(s, in).ok);
    in.MaxDist = "22000.5";
    in.MaxStat = "25";  // checked before the area, so the station message comes first
    auto c = ok(s, in);
    EXPECT_EQ(c.messages[0].title, "Problem: To many stations.");
    in.MaxStat = "12";
    c = ok(s, in);
    ASSERT_FALSE(c.ok);
    EXPECT_EQ(c.messages[0].title, "Problem: Area definitely to large.");
    EXPECT_EQ(s.MaxStat, 20);
}

TEST(Settings, PastedDecimalStationCountIsRoundedHalfToEven) {
    ProgramSettings s;
    SettingsInput in;
    in.MaxStat = "12,5";
    EXPECT_TRUE(ok(s, in).ok);
    EXPECT_EQ(in.MaxStat, "12.5");
    EXPECT_EQ(s.MaxStat, 12);
    in.MaxStat = "13.5";
    ok(s, in);
    EXPECT_EQ(s.MaxStat, 14);
}

TEST(Settings, CheckOrderOfTheDialog) {
    ProgramSettings s;
    SettingsInput in;
    in.PowExp = "-1";
    in.Shad = "-1";
    EXPECT_EQ(ok(s, in).messages[0].title, "Wrong sign of power");
    in.PowExp = "1";
    EXPECT_EQ(ok(s, in).messages[0].title, "Negative coefficients are meaningless!");
    in.Shad = "1.5";
    EXPECT_EQ(ok(s, in).messages[0].title, "Please correct input!");
    in.Shad = "0";
    in.MaxStat = "0";
    EXPECT_EQ(ok(s, in).messages[0].title, "Problem: To few stations.");
    in.MaxStat = "20";
    in.MaxDist = "0";
    EXPECT_EQ(ok(s, in).messages[0].title, "Problem: Area too  small.");
    in.MaxDist = "100";
    EXPECT_TRUE(ok(s, in).ok);
    EXPECT_EQ(s.ShadowOn, 1);  // Shad 0 never switches the shadow off
}

TEST(Settings, BatchChecksHaveTheirOwnOrderAndTexts) {
    ProgramSettings s;
    SettingsInput in;
    in.PowExp = "-1";
    in.Shad = "-1";
    EXPECT_EQ(checkBatchSettings(s, in).messages[0].title, "Negative coefficients are meaningless!");
    in.Shad = "1";
    in.PowExp = "6";
    EXPECT_EQ(checkBatchSettings(s, in).messages[0].title, "Problem: Too large power selected.");
    in.PowExp = "1";
    in.MaxStat = "21";
    EXPECT_EQ(checkBatchSettings(s, in).messages[0].title, "Problem: Too many stations.");
    in.MaxStat = "20";
    in.MinDist = "0.01";
    auto c = checkBatchSettings(s, in);
    EXPECT_TRUE(c.ok);
    EXPECT_EQ(c.messages[0].title, "Too small Minimum Distance");
}

TEST(Settings, KeyFilters) {
    EXPECT_TRUE(filterSettingsKey(SettingsBox::MaxStat, '7', false).accept);
    auto dot = filterSettingsKey(SettingsBox::MaxStat, '.', false);
    EXPECT_FALSE(dot.accept);
    EXPECT_EQ(dot.message.text, "Number of stations must be an integer");
    EXPECT_EQ(filterSettingsKey(SettingsBox::MaxStat, '-', true).message.title, "Problem: Too few stations.");
    EXPECT_EQ(filterSettingsKey(SettingsBox::MaxStat, '-', false).message.title, "Problem: To few stations.");
    EXPECT_TRUE(filterSettingsKey(SettingsBox::MinHigh, '-', false).accept);
    EXPECT_TRUE(filterSettingsKey(SettingsBox::PowExp, '\r', false).moveFocus);
    auto letter = filterSettingsKey(SettingsBox::Shad, 'x', false);
    EXPECT_FALSE(letter.accept || letter.hasMessage);
    EXPECT_EQ(checkAltitudeOrder("500", "100", true)[0].text, "Lowest Altitude should be below highest altitude!");
    EXPECT_TRUE(checkAltitudeOrder("-350", "8848", false).empty());
}

TEST(StatusLocation, RoundsAndGeneratesAName) {
    const Location l = roundStatusLocation({"", 13.014f, 41.987f, 17.4f});
    EXPECT_FLOAT_EQ(l.Lon, 13.01f);
    EXPECT_FLOAT_EQ(l.Lat, 41.99f);
    EXPECT_EQ(l.Alt, 17);
    EXPECT_EQ(l.Name, "ST-Lon13.01-Lat41.99-Alt-17");
    EXPECT_EQ(statusLocationText(l), " Lon : 13.01 Lat : 41.99 Alt : 17");
    EXPECT_EQ(roundStatusLocation({"Rome", -3.456f, 1, 0}).Name, "Rome");
    EXPECT_FLOAT_EQ(roundStatusLocation({"", -3.455f, 1, 0}).Lon, -3.46f);
}

TEST(LeadingNumber, ReadsTheLeadingNumberOnly) {
    EXPECT_EQ(leadingNumber("12.5abc"), 12.5);
    EXPECT_EQ(leadingNumber("abc"), 0);
    EXPECT_EQ(leadingNumber("  -3"), -3);
    EXPECT_EQ(leadingNumber("."), 0);
    EXPECT_EQ(leadingNumber("1e3"), 1000);
}
