// Settings defaults, storing the dialog boxes, and the ordered checks of "OK" and of the batch window.
#include "settings/program_settings.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "base/picture.h"

namespace zentrel {

namespace {
constexpr char CR = '\r';

SettingsMessage critical(std::string title, std::string text) {
    return {std::move(title), std::move(text), MessageIcon::Critical};
}

const std::string kPowerSignText =
    std::string("The power of Inverse Distance Weighting") + CR + "should be   positive to be meaningful.";
const std::string kTooFewText = std::string("You should allow one neighbour at least.") + CR + "Just to get a result.";
const std::string kAreaSmallText =
    std::string("You should allow to take into account") + CR + "stations which  are not exactly at your location.";

SettingsMessage minDistMessage() {
    return critical("Too small Minimum Distance",
                    std::string("Inverse Distance Averaging not allowed ") + CR +
                        "if the   Nearest Neighbour is closer than 100 m." + CR + CR + "Distance  was changed to 100m. ");
}

std::string shadText(const char* blanks) {
    return std::string("The coefficient of shadow correction ") + CR + "should be" + blanks +
           "between 0 (no shadow correction) and 1 (full shadow correction).";
}
}  // namespace

const std::array<const char*, kVariableCount> kVariableTitles = {
    "Monthly Mean Temperature in °C",
    "Monthly Mean of Daily Maximum Temperature in °C",
    "Monthly Mean of Daily Minimum Temperature in °C",
    "Monthly Precipitation Totals in mm (= Liter per Squaremeter)",
    "Water Vapor Pressure in Hectopascal (hPa)",
    "Monthly Totals of Potential Evapotranspiration in mm",
    "Wind Speed in m/s (multiply by 3.6 to get it in km/h)",
    "Sunshine Fraction"};

std::string outputFormatStatusText(int32_t code) {
    switch (code) {
        case FormatZentrel: return "Zentrel Format";
        case FormatOrvane: return "Standard Orvane Format";
        case FormatLgsInput: return "LGS Format (input)";
        case FormatLgsOutput: return "LGS Format (output)";
        case FormatVesk: return "Vesk Format";
        case FormatRastell: return "Rastell Format";
        case FormatPlantow: return "Plantow Format";
        default: return "";
    }
}

void ProgramSettings::SetInitialValues() {
    DisplayScale = 1.0f;
    Working.Lat = 41.9f;
    Working.Lon = 12.483f;
    Working.Alt = 17;
    MaxStat = 20;
    MaxDist = 1000;
    MinDist = 0.1f;
    MinHigh = -350;
    MaxHigh = 8848;
    PowExp = 1;
    MinStatErr = 6;
    GradCorr = 1;
    AltCorr = 1;
    ShadowOn = 1;
    Shad = 1.0f;
    for (int v = 0; v < kVariableCount; ++v) VariableTitles[static_cast<size_t>(v)] = kVariableTitles[static_cast<size_t>(v)];
    static const char* months[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};
    for (int m = 0; m < 12; ++m) {
        std::string name = months[m];
        name.resize(12, ' ');
        MonthNames[static_cast<size_t>(m)] = name;
    }
    DistEpsilon = 1e-10f;
}

double leadingNumber(const std::string& text) {
    // Leading number as a user would read it: blanks skipped, optional sign, digits, point,
    // digits, optional exponent; anything after it is ignored.
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    size_t start = i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    size_t digitsStart = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    }
    if (i == digitsStart || (i == digitsStart + 1 && text[digitsStart] == '.')) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '-' || text[j] == '+')) ++j;
        if (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
            while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
            i = j;
        }
    }
    const double v = std::strtod(text.substr(start, i - start).c_str(), nullptr);
    return std::isfinite(v) ? v : 0;
}

int16_t roundHalfEven16(double value) {
    double r = std::nearbyint(value);  // default rounding mode: halves to even
    if (!(r >= std::numeric_limits<int16_t>::min())) r = std::numeric_limits<int16_t>::min();
    if (r > std::numeric_limits<int16_t>::max()) r = std::numeric_limits<int16_t>::max();
    return static_cast<int16_t>(r);
}

Method effectiveMethod(const ProgramSettings& s) {
    return s.Method == Method::Described && s.RobustCorr == 1 ? Method::Robust : s.Method;
}

void setMethod(ProgramSettings& s, Method method) {
    s.Method = method;
    s.RobustCorr = method == Method::Robust ? 1 : 0;
}

void storeSettings(ProgramSettings& s, const SettingsInput& in) {
    s.PowExp = static_cast<float>(leadingNumber(in.PowExp));
    s.MaxDist = static_cast<float>(leadingNumber(in.MaxDist));
    s.MaxStat = roundHalfEven16(leadingNumber(in.MaxStat));
    s.MinHigh = static_cast<float>(leadingNumber(in.MinHigh));
    s.MaxHigh = static_cast<float>(leadingNumber(in.MaxHigh));
    s.MinDist = static_cast<float>(leadingNumber(in.MinDist));
    s.Shad = static_cast<float>(leadingNumber(in.Shad));
    s.GradCorr = in.GradCorr ? 1 : 0;
    s.AltCorr = in.AltCorr ? 1 : 0;
    s.NeighbAlt = in.NeighbAlt ? 1 : 0;
    // The robust check box and the method choice say the same where they overlap: a checked
    // box makes the described method robust, a cleared one makes the robust method described.
    s.Method = in.Method;
    if (in.Method == Method::Described && in.RobustCorr) s.Method = Method::Robust;
    if (in.Method == Method::Robust && !in.RobustCorr) s.Method = Method::Described;
    s.RobustCorr = s.Method == Method::Robust ? 1 : 0;
    if (s.Shad != 0) s.ShadowOn = 1;
}

SettingsCheck acceptSettingsDialog(ProgramSettings& s, SettingsInput& in) {
    for (std::string* box : {&in.PowExp, &in.MaxDist, &in.MaxStat, &in.MinHigh, &in.MaxHigh, &in.MinDist})
        for (char& c : *box)
            if (c == ',') c = '.';
    storeSettings(s, in);

    SettingsCheck check;
    auto fail = [&](SettingsMessage m) {
        check.ok = false;
        check.messages.push_back(std::move(m));
        return check;
    };
    if (s.PowExp < 0) return fail(critical("Wrong sign of power", kPowerSignText));
    if (s.PowExp > 5)
        return fail(critical("Rather high power!",
                             std::string("Even a power of 5 means") + CR + "that half the distance makes 32 times the effect."));
    if (s.Shad < 0) return fail(critical("Negative coefficients are meaningless!", shadText("  ")));
    if (s.Shad > 1) return fail(critical("Please correct input!", shadText("   ")));
    if (s.MaxStat > 20)
        return fail(critical("Problem: To many stations.",
                             std::string("More than 20 stations is a lot") + CR + "and may not make any sence."));
    if (s.MaxStat < 1) return fail(critical("Problem: To few stations.", kTooFewText));
    if (s.MaxDist > 22000) {
        s.MaxStat = 20;
        return fail(critical("Problem: Area definitely to large.",
                             std::string("More than half of the Earths surface") + CR +
                                 "is covered by the neighbourhoods size you chose." + CR +
                                 "This may not really represent your local climate."));
    }
    if (s.MinDist < 0.1f) {
        check.messages.push_back(minDistMessage());
        s.MinDist = 0.1f;
    }
    if (s.MaxDist <= 0) {
        s.MaxStat = 20;
        return fail(critical("Problem: Area too  small.", kAreaSmallText));
    }
    if (s.PowExp < 0.0001f) s.PowExp = 0;
    return check;
}

SettingsCheck checkBatchSettings(ProgramSettings& s, const SettingsInput& in) {
    storeSettings(s, in);
    SettingsCheck check;
    auto fail = [&](SettingsMessage m) {
        check.ok = false;
        check.messages.push_back(std::move(m));
        return check;
    };
    if (s.Shad < 0) return fail(critical("Negative coefficients are meaningless!", shadText("   ")));
    if (s.Shad > 1) return fail(critical("Please correct input!", shadText("   ")));
    if (s.PowExp < 0) return fail(critical("Wrong sign of power", kPowerSignText));
    if (s.PowExp > 5)
        return fail(critical("Problem: Too large power selected.",
                             std::string("The selected power appears to be rather large...") + CR +
                                 "You have to reduce it (maximum power = 5)!"));
    if (s.MaxStat > 20)
        return fail(critical("Problem: Too many stations.",
                             std::string("More than 20 stations is unlikely") + CR + "to be meaningful"));
    if (s.MaxStat < 1) return fail(critical("Problem: Too few stations.", kTooFewText));
    if (s.MaxDist > 22000) {
        s.MaxStat = 20;
        return fail(critical("Problem: Area too large.",
                             std::string("More than half of the Earth's surface") + CR +
                                 "is covered by   the neighbourhood size you chose." + CR +
                                 "This may not really   represent your local climate."));
    }
    if (s.MaxDist <= 0) {
        s.MaxStat = 20;
        return fail(critical("Problem: Area too  small.", kAreaSmallText));
    }
    if (s.MinDist < 0.1f) {
        check.messages.push_back(minDistMessage());
        s.MinDist = 0.1f;
    }
    return check;
}

SettingsInput settingsToInput(const ProgramSettings& s) {
    SettingsInput in;
    in.PowExp = shortestFloat(s.PowExp);
    in.MaxDist = shortestFloat(s.MaxDist);
    in.MaxStat = std::to_string(s.MaxStat);
    in.MinHigh = shortestFloat(s.MinHigh);
    in.MaxHigh = shortestFloat(s.MaxHigh);
    in.MinDist = shortestFloat(s.MinDist);
    in.Shad = shortestFloat(s.Shad);
    in.GradCorr = s.GradCorr == 1;
    in.AltCorr = s.AltCorr == 1;
    in.NeighbAlt = s.NeighbAlt == 1;
    in.Method = effectiveMethod(s);
    in.RobustCorr = in.Method == Method::Robust;
    return in;
}

KeyVerdict filterSettingsKey(SettingsBox box, char key, bool batchWindow) {
    KeyVerdict v;
    if (key == '\r') {
        v.moveFocus = true;
        return v;
    }
    const bool digit = key >= '0' && key <= '9';
    if (key == '\b' || digit) {
        v.accept = true;
        return v;
    }
    auto message = [&](std::string title, std::string text) {
        v.hasMessage = true;
        v.message = critical(std::move(title), std::move(text));
        return v;
    };
    switch (box) {
        case SettingsBox::MaxStat:
            if (key == '.') return message("Problem", "Number of stations must be an integer");
            if (key == '-')
                return message(batchWindow ? "Problem: Too few stations." : "Problem: To few stations.", kTooFewText);
            return v;
        case SettingsBox::MaxDist:
            if (key == '.') v.accept = true;
            if (key == '-') return message("Problem: Area too small.", "The distance must be positive.");
            return v;
        case SettingsBox::MinDist:
            if (key == '.') v.accept = true;
            if (key == '-')
                return message("Wrong sign of  Minimum Distance",
                               std::string("The Minimum Distance to be applied to Inverse Distance Averaging") + CR +
                                   "should be positive to be meaningful.");
            return v;
        case SettingsBox::PowExp:
            if (key == '.') v.accept = true;
            if (key == '-') return message("Wrong sign of power", kPowerSignText);
            return v;
        case SettingsBox::Shad:
            if (key == '.') v.accept = true;
            if (key == '-')
                return message("Problem: No negative shadows.", "The Coefficient must be between 0 and 1.");
            return v;
        case SettingsBox::MinHigh:
        case SettingsBox::MaxHigh:
            if (key == '.' || key == '-') v.accept = true;
            return v;
    }
    return v;
}

std::vector<SettingsMessage> checkAltitudeOrder(const std::string& minHigh, const std::string& maxHigh,
                                                bool leavingMin) {
    if (leadingNumber(minHigh) <= leadingNumber(maxHigh)) return {};
    return {critical("Altitude Confusion", leavingMin ? "Lowest Altitude should be below highest altitude!"
                                                      : "Highest Altitude should be above lowest altitude!")};
}

Location roundStatusLocation(const Location& location) {
    Location out = location;
    out.Lon = roundPicture(location.Lon, "##0.00");
    out.Lat = roundPicture(location.Lat, "##0.00");
    out.Alt = roundPicture(location.Alt, "###0");
    if (out.Name.empty())
        out.Name = "ST-Lon" + shortestFloat(out.Lon) + "-Lat" + shortestFloat(out.Lat) + "-Alt-" + shortestFloat(out.Alt);
    return out;
}

std::string statusLocationText(const Location& l) {
    return " Lon : " + shortestFloat(l.Lon) + " Lat : " + shortestFloat(l.Lat) + " Alt : " + shortestFloat(l.Alt);
}

}  // namespace zentrel
