// The settings record that steers every estimate, its defaults, and the checks of the
// settings dialog's "OK" and of the batch window, as functions the windows only display.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/types.h"
#include "settings/method.h"

namespace zentrel {

/// Output format codes of the main window's "Output Formats" menu.
enum OutputFormatCode : int32_t {
    FormatZentrel = 1, FormatOrvane = 2, FormatLgsInput = 3, FormatLgsOutput = 4,
    FormatVesk = 5, FormatRastell = 6, FormatPlantow = 7
};
/// Status text of an output format code 1..7 ("Zentrel Format", ...), "" otherwise.
std::string outputFormatStatusText(int32_t code);

/// Titles of the variables, indexed by variable ("Monthly Mean Temperature in °C", ...).
extern const std::array<const char*, kVariableCount> kVariableTitles;

/// Program settings. One instance per program, shared by reference; engines only read it.
/// Defaults are those of SetInitialValues.
struct ProgramSettings {
    int16_t MaxStat = 20;       ///< maximum number of neighbours, 1..20
    float MaxDist = 1000;       ///< km, maximum neighbour distance, (0, 22000]
    float MinDist = 0.1f;       ///< km, nearest-neighbour approximation below this distance, >= 0.1
    float PowExp = 1;           ///< inverse-distance power 0..5 (0 = plain mean)
    float MinHigh = -350;       ///< m, lowest neighbour altitude when NeighbAlt = 1
    float MaxHigh = 8848;       ///< m, highest neighbour altitude when NeighbAlt = 1
    int16_t NeighbAlt = 0;      ///< 1 = neighbours must have an altitude inside MinHigh..MaxHigh
    int16_t AltCorr = 1;        ///< 1 = local linear altitude correction
    int16_t GradCorr = 1;       ///< 1 = climate gradient correction
    float Shad = 1.0f;          ///< shadow correction coefficient 0..1
    int16_t ShadowOn = 1;       ///< engine switch; set whenever a non-zero Shad is stored, never cleared
    int16_t RobustCorr = 0;     ///< 1 = robust altitude and gradient corrections (off: the classic method)
    /// The estimation method: kriging unless the user picks another (the smallest errors on
    /// held-out stations, and plausible away from them). RobustCorr = 1 with Described is read
    /// as Robust (the older switch).
    zentrel::Method Method = zentrel::Method::Kriging;
    float MinStatErr = 6;       ///< least active neighbours for error estimate and gradient correction
    float DistEpsilon = 1e-10f; ///< threshold of the great-circle distance
    int32_t OutputFormat = FormatZentrel;

    float DisplayScale = 1.0f;  ///< workbench display scale factor

    /// Current location, as set by the location dialogs (rounded by WriteStatusLocation).
    Location Current{"East of Rome", 13.01f, 41.99f, 17};
    /// The engine's start working location.
    Location Working{"", 12.483f, 41.9f, 17};

    std::array<std::string, kVariableCount> VariableTitles;
    std::array<std::string, 12> MonthNames;  ///< 12 characters each, left-aligned

    ProgramSettings() { SetInitialValues(); }

    /// Stores every default (leaves NeighbAlt, OutputFormat and the current location alone).
    void SetInitialValues();
};

/// The method the engine runs: Method, or Robust when only the older RobustCorr switch is on.
zentrel::Method effectiveMethod(const ProgramSettings& settings);
/// Makes `method` the one in force: stores Method and the older RobustCorr switch so that both
/// say the same, as every window that offers the choice must.
void setMethod(ProgramSettings& settings, zentrel::Method method);

/// Icon of a message box.
enum class MessageIcon { Critical, Exclamation, Question, Information };

/// A message for the user, shown by a window as a message box.
struct SettingsMessage {
    std::string title;
    std::string text;       ///< lines separated by a single CR (code 13)
    MessageIcon icon = MessageIcon::Critical;
};

/// Texts of the settings input boxes as the user typed them, and the check box states.
struct SettingsInput {
    std::string PowExp = "1", MaxDist = "1000", MaxStat = "20", MinHigh = "-350", MaxHigh = "8848",
                MinDist = "0.1", Shad = "1";
    bool GradCorr = true, AltCorr = true, NeighbAlt = false, RobustCorr = false;
    zentrel::Method Method = zentrel::Method::Kriging;  ///< RobustCorr = true with Described means Robust
};

/// Outcome of a validation: ok = no failure; messages in the order they are shown
/// (a correction note such as the minimum-distance one is shown but is not a failure).
struct SettingsCheck {
    bool ok = true;
    std::vector<SettingsMessage> messages;
};

/// Numeric value of the leading number of a text ("12.5abc" -> 12.5, "abc" -> 0), "." as point.
double leadingNumber(const std::string& text);
/// Rounds to the nearest integer, halves to even, clamped to the 16-bit range.
int16_t roundHalfEven16(double value);

/// "OK" of the settings dialog: replaces "," by "." in the six numeric boxes (in `input`),
/// stores every value, then checks in order; stops at the first failure.
SettingsCheck acceptSettingsDialog(ProgramSettings& settings, SettingsInput& input);

/// Stores the boxes into the record exactly as "OK" does (no comma replacement).
void storeSettings(ProgramSettings& settings, const SettingsInput& input);

/// The checks of the batch window after storing its boxes; stops at the first failure.
SettingsCheck checkBatchSettings(ProgramSettings& settings, const SettingsInput& input);

/// Box texts showing the stored values (what "Cancel" writes back).
SettingsInput settingsToInput(const ProgramSettings& settings);

/// The input boxes with key filters.
enum class SettingsBox { MaxStat, MaxDist, MinDist, PowExp, Shad, MinHigh, MaxHigh };

/// What a key press in a settings box does.
struct KeyVerdict {
    bool accept = false;        ///< the character goes into the box
    bool moveFocus = false;     ///< Enter: move on as Tab would
    bool hasMessage = false;    ///< show `message`, then discard the key
    SettingsMessage message;
};

/// Key filter of the settings dialog (batchWindow = false) and the batch window (true).
/// key is the character typed: '\b' backspace, '\r' Enter.
KeyVerdict filterSettingsKey(SettingsBox box, char key, bool batchWindow);

/// The messages of the altitude boxes when one loses focus with lowest > highest
/// (leavingMin: the box left is txtMinHigh). Empty when the order is fine.
std::vector<SettingsMessage> checkAltitudeOrder(const std::string& minHigh, const std::string& maxHigh,
                                                bool leavingMin);

/// WriteStatusLocation's storage rule: Lon and Lat rounded through "##0.00", Alt through
/// "###0"; an empty name becomes "ST-Lon<lon>-Lat<lat>-Alt-<alt>" of the rounded values.
Location roundStatusLocation(const Location& location);
/// Status panel 3 text of a (rounded) location: " Lon : 13.01 Lat : 41.99 Alt : 17".
std::string statusLocationText(const Location& location);

}  // namespace zentrel
