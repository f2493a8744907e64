// Element-coded file and rainfall-PET file.
#include "formats/vesk_format.h"

#include "base/picture.h"
#include "formats/orvane_format.h"
#include "season/cycle.h"

namespace zentrel {

namespace {
/// A text field quoted as CSV quotes it: a double quote inside is doubled, so that a name
/// like `Bar "North", upper` keeps the line's field count.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}
}  // namespace

std::string elementCode(int variable) {
    static const char* const codes[kVariableCount] = {"E203", "E201", "E202", "E208", "E298", "E294", "E297", "E296"};
    return variable >= 0 && variable < kVariableCount ? codes[variable] : "";
}

std::string veskHeader() {
    std::string out;
    addLine(out, " ");
    addLine(out, R"("STN-NAME","Lon","Lat","Alt","ELEMENT-CODE","JAN","FEB","MAR","APR","MAY","JUN","JUL","AUG","SEP","OCT","NOV","DEC","ELEMENT")");
    addLine(out, " ");
    return out;
}

std::string veskLine(const VariableResult& result, const Location& location) {
    std::string line = quoted(location.Name) + "," + formatPicture(location.Lon, "0##.00") + "," +
                       formatPicture(location.Lat, "####.00") + "," + formatPicture(location.Alt, "####.0") + "," +
                       elementCode(result.variable);
    for (size_t m = 1; m <= 12; ++m)
        line += "," + formatPicture(ClipValue(result.result.Best[m], result.variable), "0.00");
    line += ",\"" + elementName(result.variable) + "\"";
    std::string out;
    addLine(out, line);
    return toWindows1252(out);
}

std::string formatVesk(const VariableResults& results, const VariableSelection& selection,
                       const Location& location) {
    std::string out = veskHeader();
    for (size_t v = 0; v < results.size(); ++v)
        if (selection[v]) out += veskLine(results[v], location);
    return out;
}

std::string rainfallPetHeader() {
    std::string titles = R"(,"Lon","Lat","Alt")";
    for (const char* prefix : {"R", "E"})
        for (int m = 1; m <= 12; ++m) titles += ",\"" + std::string(prefix) + std::to_string(m) + "\"";
    std::string out;
    addLine(out, " Rainfall and PET");
    addLine(out, titles);
    addLine(out, " ");
    return out;
}

std::string rainfallPetLine(const VariableResult& prec, const VariableResult& pet, const Location& location) {
    std::string line = quoted(location.Name) + "," + formatPicture(location.Lon, "###.00") + "," +
                       formatPicture(location.Lat, "####.00") + "," + formatPicture(location.Alt, "####.0");
    for (size_t m = 1; m <= 12; ++m) line += "," + formatPicture(ClipValue(prec.result.Best[m], Prec), "0");
    for (size_t m = 1; m <= 12; ++m) line += "," + formatPicture(ClipValue(pet.result.Best[m], PET), "0");
    std::string out;
    addLine(out, line);
    return toWindows1252(out);
}

std::string formatRainfallPet(const VariableResults& results, const Location& location, bool header) {
    return (header ? rainfallPetHeader() : std::string()) + rainfallPetLine(results[Prec], results[PET], location);
}

}  // namespace zentrel
