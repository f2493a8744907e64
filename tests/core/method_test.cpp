// The method setting: names, and the robust switch read as the robust method.
#include <gtest/gtest.h>

#include "settings/method.h"
#include "settings/program_settings.h"

using namespace zentrel;

TEST(MethodSetting, NamesReadBackAnyCase) {
    for (Method m : kMethods) EXPECT_EQ(parseMethod(methodName(m)), m);
    EXPECT_EQ(methodChoices(), "described, robust, adaptive or kriging");
    EXPECT_EQ(parseMethod("Adaptive"), Method::Adaptive);
    EXPECT_EQ(parseMethod("ROBUST"), Method::Robust);
    EXPECT_FALSE(parseMethod(""));
    EXPECT_FALSE(parseMethod("adaptiv"));
    EXPECT_FALSE(parseMethod("adaptive "));
    EXPECT_STREQ(methodName(Method::Described), "described");
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
    EXPECT_EQ(s.Method, Method::Described);
    EXPECT_EQ(s.RobustCorr, 0);

    in.Method = Method::Adaptive;
    storeSettings(s, in);
    EXPECT_EQ(effectiveMethod(s), Method::Adaptive);
    EXPECT_EQ(s.RobustCorr, 0);
    in.Method = Method::Robust;
    in.RobustCorr = true;
    storeSettings(s, in);
    EXPECT_EQ(s.RobustCorr, 1);
}
