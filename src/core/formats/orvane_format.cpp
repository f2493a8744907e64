// Standard station format: header block and one line per variable.
#include "formats/orvane_format.h"

#include "base/picture.h"
#include "season/cycle.h"

namespace zentrel {

std::string elementName(int variable) {
    static const char* const names[kVariableCount] = {"Temp_mean_mly",    "Temp_mean_max", "Temp_mean_min",
                                                      "Precip_Total_mly", "Vap_Pr._mean_mly", "Pot._Eva._mly",
                                                      "Wind_sp.mean_mly", "Sunsh_fract._mly"};
    return variable >= 0 && variable < kVariableCount ? names[variable] : "";
}

std::string orvaneHeader(const Location& location) {
    std::string out;
    addLine(out, " ");
    addLine(out, "Station Name = " + location.Name + ", Latitude = " + formatPicture(location.Lat, "##0.00") +
                     "°,  Longitude = " + formatPicture(location.Lon, "###0.00") + "°,  Altitude = " +
                     formatPicture(location.Alt, "###0") + " m");
    addLine(out, " ");
    std::string titles(24, ' ');
    for (const char* t : {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC", "YEAR"})
        titles += std::string(7, ' ') + t + " ";
    addLine(out, titles);
    addLine(out, " ");
    return toWindows1252(out);
}

std::string orvaneLine(const VariableResult& result) {
    std::string line = alignLeft(firstChars(elementName(result.variable), 25), 25);
    for (size_t m = 1; m <= 13; ++m)
        line += alignRight(formatPicture(ClipValue(result.result.Best[m], result.variable), "0.00"), 10) + " ";
    std::string out;
    addLine(out, line);
    return toWindows1252(out);
}

std::string formatOrvane(const VariableResults& results, const VariableSelection& selection,
                         const Location& location) {
    std::string out = orvaneHeader(location);
    for (size_t v = 0; v < results.size(); ++v)
        if (selection[v]) out += orvaneLine(results[v]);
    return out;
}

}  // namespace zentrel
