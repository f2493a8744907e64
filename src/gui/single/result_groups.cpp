// Groups of the single-location window.
#include "single/result_groups.h"

namespace zentrel::gui::single {

// Colours of the temperature curves are fixed (Tmax light red, Temp light green, Tmin light
// blue); the others are chosen to read well on white: precipitation light blue, PET light
// red, sunshine brown, wind light green, vapour pressure blue.
const std::vector<GroupVariable>& groupVariables(int group) {
    static const std::vector<GroupVariable> groups[kGroupCount] = {
        {{Temp, QStringLiteral("T_Mean"), 10}, {Tmax, QStringLiteral("T_Max"), 12}, {Tmin, QStringLiteral("T_Min"), 9}},
        {{Prec, QStringLiteral("Prec"), 9}, {PET, QStringLiteral(" PET "), 12}},
        {{Sun, QStringLiteral("Sun "), 6}, {Wind, QStringLiteral("Wind "), 10}, {Vap, QStringLiteral("Vapor "), 1}}};
    return groups[group];
}

const std::vector<std::pair<int, QString>>& warningRows(int group) {
    static const std::vector<std::pair<int, QString>> rows[kGroupCount] = {
        {{Tmin, QStringLiteral("T_min")}, {Temp, QStringLiteral("T_mean")}, {Tmax, QStringLiteral("T_max")}},
        {{Prec, QStringLiteral("Precip")}, {PET, QStringLiteral("PET")}},
        {{Wind, QStringLiteral("Wind")}, {Vap, QStringLiteral("Vapor")}, {Sun, QStringLiteral("Sun")}}};
    return rows[group];
}

std::array<LegendEntry, 3> legendEntries(int group) {
    switch (group) {
        case 0:
            return {{{QStringLiteral("Monthly Means of Daily Maximum Temperatures [°C]"), 12},
                     {QStringLiteral("Monthly Means of Daily Mean Temperature [°C]"), 10},
                     {QStringLiteral("Monthly Means of Daily Minimum Temperature [°C]"), 9}}};
        case 1:
            return {{{QStringLiteral("Precipitation [mm/month]"), 9},
                     {QStringLiteral("Potential Evapotranspiration (PET) [mm/month]"), 12},
                     {QString(), -1}}};
        default:
            return {{{QStringLiteral("Sunshine Fraction"), 6},
                     {QStringLiteral("Windspeed [km/h]"), 10},
                     {QStringLiteral("Water Vapor Pressure [hPa]"), 1}}};
    }
}

QColor consoleColour(int number) {
    static const QRgb palette[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,
                                     0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
    return QColor(palette[number & 15]);
}

}  // namespace zentrel::gui::single
